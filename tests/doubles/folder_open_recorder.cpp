// Stands in for the shell's folder window in the window tests: the tests
// point the "open" verb of folders at it, so that Tarnvik's "open this
// folder" ends here instead of in a real folder window. It appends the
// folder it was given, and a line feed, in UTF-8 to "folder-opens.txt" in its
// own folder, and exits.
//
// A window program, not a console one: Wine would open a console window
// for it, which takes the foreground from Tarnvik's window while a test
// types into it, and hands it to nobody when it closes.
#include "double_script.h"
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring folder = argv && argc > 1 ? argv[1] : L"";
    return write_bytes(own_folder() + L"\\folder-opens.txt", to_utf8(folder + L"\n"), true) ? 0 : 1;
}
