// Stands in for the shell's folder window in the window tests: the tests
// point the "open" verb of folders at it, so that Tarnvik's "open this
// folder" ends here instead of in a real folder window. It appends the
// folder it was given, and a line feed, in UTF-8 to "folder-opens.txt" in its
// own folder, and exits.
#include "double_script.h"

int wmain(int argc, wchar_t** argv) {
    std::wstring folder = argc > 1 ? argv[1] : L"";
    return write_bytes(own_folder() + L"\\folder-opens.txt", to_utf8(folder + L"\n"), true) ? 0 : 1;
}
