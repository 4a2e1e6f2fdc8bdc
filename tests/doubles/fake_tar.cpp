// Stand-in for the system's tar.exe: install it as tar.exe in the system
// folder. It understands the call "-xf ARCHIVE -C FOLDER" (relative names are
// taken from its current folder). The "archive" is a text file (UTF-8) that
// lists what it holds: one relative path a line, with '/' or '\' between
// folders; a line ending in a separator is an empty folder; blank lines and
// '#' lines are skipped. Every listed file is created under FOLDER (its
// folders as needed) holding "fake PATH\n", so a test can tell which entry
// ended up where. As the real tar does, it fails when FOLDER does not exist.
// It reads "tar.script" from its own folder (see double_script.h for the
// file's form):
//   args <file>               appends this run's arguments (the program as
//                             named on the command line first), one a line in
//                             UTF-8, then an empty line
//   fail <archive-end> <code> for an archive path ending in <archive-end>:
//                             prints an error line and exits with <code>
#include "double_script.h"

// Creates every folder on the way to path (path itself included when it ends
// in a separator).
static void make_parents(const std::wstring& path)
{
    for (size_t i = 3; i < path.size(); i++)
        if (path[i] == L'\\')
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

static bool extract_entry(const std::wstring& folder, std::wstring entry)
{
    for (wchar_t& c : entry)
        if (c == L'/')
            c = L'\\';
    std::wstring path = folder + L"\\" + entry;
    make_parents(path);
    if (entry.back() == L'\\')
        return true;
    return write_bytes(path, to_utf8(L"fake " + entry + L"\n"), false);
}

static int extract(const std::wstring& archive, const std::wstring& folder)
{
    DWORD attrs = GetFileAttributesW(folder.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        say_error("tar.exe: could not chdir to '" + to_utf8(folder) + "'\n");
        return 1;
    }
    std::string bytes;
    if (!read_bytes(archive, bytes)) {
        say_error("tar.exe: Error opening archive: Failed to open '" + to_utf8(archive) + "'\n");
        return 1;
    }
    for (const std::wstring& entry : split_lines(from_utf8(bytes))) {
        if (!extract_entry(folder, entry)) {
            say_error("tar.exe: " + to_utf8(entry) + ": Can't create\n");
            return 1;
        }
    }
    return 0;
}

int wmain(int argc, wchar_t** argv)
{
    std::wstring here = own_folder();
    std::wstring archive = option_value(argc, argv, L"-xf");
    std::wstring folder = option_value(argc, argv, L"-C");
    std::vector<ScriptLine> script = read_script(L"tar.script");
    for (const ScriptLine& s : script)
        if (s.word == L"args")
            write_bytes(resolve_in(here, s.rest), args_text(argc, argv) + "\n", true);
    for (const ScriptLine& s : script) {
        std::vector<std::wstring> words = split_words(s.rest);
        if (s.word == L"fail" && words.size() >= 2 && ends_with(archive, words[0])) {
            say_error("tar.exe: Error opening archive: Unrecognized archive format\n");
            return _wtoi(words[1].c_str());
        }
    }
    if (archive.empty() || folder.empty()) {
        say_error("tar.exe: expected -xf ARCHIVE -C FOLDER\n");
        return 2;
    }
    return extract(archive, folder);
}
