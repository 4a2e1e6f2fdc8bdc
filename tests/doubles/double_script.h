// What the stand-in programs share: they are steered only through a script
// file next to their own exe, so a test can drive them even when they are
// started by another program (Tarnvik.exe) rather than by the test itself.
//
// A script is UTF-8 text, one command a line: a word, a space, the rest.
// Blank lines and lines beginning with '#' are skipped. A file name in a
// script is taken from the script's own folder unless it is absolute.
#pragma once
#include <windows.h>
#include <cwchar>
#include <string>
#include <vector>

struct ScriptLine {
    std::wstring word;
    std::wstring rest;
};

inline std::wstring own_folder()
{
    wchar_t path[MAX_PATH] = {0};
    GetModuleFileNameW(nullptr, path, MAX_PATH - 1);
    wchar_t* slash = wcsrchr(path, L'\\');
    if (slash)
        *slash = 0;
    return path;
}

inline std::string to_utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr,
                                nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], n, nullptr,
                            nullptr);
    return out;
}

inline std::wstring from_utf8(const std::string& bytes)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), nullptr, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), &out[0], n);
    return out;
}

inline bool read_bytes(const std::wstring& path, std::string& out)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    out.clear();
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(f, chunk, sizeof chunk, &got, nullptr) && got > 0)
        out.append(chunk, got);
    CloseHandle(f);
    return true;
}

inline bool write_bytes(const std::wstring& path, const std::string& bytes, bool append)
{
    HANDLE f =
        CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                    nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    BOOL ok = bytes.empty() || WriteFile(f, bytes.data(), (DWORD)bytes.size(), &put, nullptr);
    CloseHandle(f);
    return ok && put == bytes.size();
}

// Writes a record that a test may be waiting for, so that it appears
// whole or not at all: under another name first, then renamed into place.
inline bool write_whole(const std::wstring& path, const std::string& bytes)
{
    std::wstring part = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".part";
    if (!write_bytes(part, bytes, false))
        return false;
    // A reader of the old record keeps it from being replaced for a moment.
    for (int attempt = 0; attempt < 200; attempt++) {
        if (MoveFileExW(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        Sleep(10);
    }
    DeleteFileW(part.c_str());
    return false;
}

inline std::wstring resolve_in(const std::wstring& folder, const std::wstring& name)
{
    bool absolute = (name.size() > 1 && name[1] == L':') ||
                    (!name.empty() && (name[0] == L'\\' || name[0] == L'/'));
    return absolute ? name : folder + L"\\" + name;
}

// The lines of a text, "\n" or "\r\n" between them, without blank lines
// and lines beginning with '#'.
inline std::vector<std::wstring> split_lines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (!line.empty() && line[0] != L'#')
            lines.push_back(line);
    }
    return lines;
}

// The script named file_name next to this exe; empty when there is none.
inline std::vector<ScriptLine> read_script(const wchar_t* file_name)
{
    std::vector<ScriptLine> script;
    std::string bytes;
    if (!read_bytes(own_folder() + L"\\" + file_name, bytes))
        return script;
    for (const std::wstring& line : split_lines(from_utf8(bytes))) {
        size_t space = line.find(L' ');
        ScriptLine entry;
        entry.word = line.substr(0, space);
        if (space != std::wstring::npos)
            entry.rest = line.substr(space + 1);
        script.push_back(entry);
    }
    return script;
}

// Splits "text with spaces 123" into the text and the number after its last
// space; false when the rest does not end in a number.
inline bool split_trailing_number(const std::wstring& rest, std::wstring& head, long& number)
{
    size_t space = rest.rfind(L' ');
    if (space == std::wstring::npos || space + 1 >= rest.size())
        return false;
    wchar_t* stop = nullptr;
    number = wcstol(rest.c_str() + space + 1, &stop, 10);
    if (*stop != 0)
        return false;
    head = rest.substr(0, space);
    return true;
}

inline std::vector<std::wstring> split_words(const std::wstring& text)
{
    std::vector<std::wstring> words;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(L' ', pos);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > pos)
            words.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return words;
}

// text without its first n words (and the spaces after them).
inline std::wstring rest_after_words(const std::wstring& text, size_t n)
{
    size_t pos = 0;
    for (size_t i = 0; i < n; i++) {
        pos = text.find_first_not_of(L' ', pos);
        pos = pos == std::wstring::npos ? pos : text.find(L' ', pos);
        if (pos == std::wstring::npos)
            return L"";
    }
    size_t start = text.find_first_not_of(L' ', pos);
    return start == std::wstring::npos ? L"" : text.substr(start);
}

inline bool ends_with(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// One argument a line, UTF-8, the program as named on the command line first.
inline std::string args_text(int argc, wchar_t** argv)
{
    std::wstring text;
    for (int i = 0; i < argc; i++)
        text += std::wstring(argv[i]) + L"\n";
    return to_utf8(text);
}

// Writes the text to the console's standard error, as the real tools report failures.
inline void say_error(const std::string& text)
{
    DWORD put = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), (DWORD)text.size(), &put, nullptr);
}

// Writes the bytes to standard output, as the real tools report.
inline void say_out(const std::string& text)
{
    DWORD put = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), (DWORD)text.size(), &put, nullptr);
}

inline bool has_option(int argc, wchar_t** argv, const wchar_t* option)
{
    for (int i = 1; i < argc; i++)
        if (wcscmp(argv[i], option) == 0)
            return true;
    return false;
}

// The value that follows option in argv, or empty.
inline std::wstring option_value(int argc, wchar_t** argv, const wchar_t* option)
{
    for (int i = 1; i + 1 < argc; i++)
        if (wcscmp(argv[i], option) == 0)
            return argv[i + 1];
    return L"";
}

// This run's number, 1 for the first, counted in the file counter_name next
// to this exe (a test removes it to start over).
inline int next_run_number(const wchar_t* counter_name)
{
    std::wstring path = own_folder() + L"\\" + counter_name;
    std::string bytes;
    int run = read_bytes(path, bytes) ? atoi(bytes.c_str()) + 1 : 1;
    write_bytes(path, std::to_string(run), false);
    return run;
}

// Appends our current folder and the arguments after argv[0], one a line
// in UTF-8, and an empty line that ends the run.
inline void record_run(const std::wstring& file, int argc, wchar_t** argv)
{
    wchar_t folder[MAX_PATH] = {0};
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring text = std::wstring(L"cwd ") + folder + L"\n";
    for (int i = 1; i < argc; i++)
        text += std::wstring(argv[i]) + L"\n";
    write_bytes(file, to_utf8(text + L"\n"), true);
}

// The n-th of the script's lines with word (the last one again past them),
// or null when there is none.
inline const ScriptLine* nth_line(const std::vector<ScriptLine>& script, const wchar_t* word, int n)
{
    const ScriptLine* found = nullptr;
    for (const ScriptLine& s : script)
        if (s.word == word && (found = &s, --n == 0))
            break;
    return found;
}

// What the fake ffmpeg and ffprobe do first on every run: read
// "<tool>.script", count the run in "<tool>.count", and obey its "args
// <file>" (record_run) and "sleep <ms>" lines. Returns the run's number.
inline int start_counted_run(const std::wstring& tool, int argc, wchar_t** argv, std::vector<ScriptLine>& script)
{
    script = read_script((tool + L".script").c_str());
    int run = next_run_number((tool + L".count").c_str());
    for (const ScriptLine& s : script) {
        if (s.word == L"args")
            record_run(resolve_in(own_folder(), s.rest), argc, argv);
        if (s.word == L"sleep")
            Sleep((DWORD)_wtol(s.rest.c_str()));
    }
    return run;
}

// 1 when the script has "fail <run>" for this run.
inline bool fails_in(const std::vector<ScriptLine>& script, int run)
{
    for (const ScriptLine& s : script)
        if (s.word == L"fail" && _wtoi(s.rest.c_str()) == run)
            return true;
    return false;
}

// The colour (COLORREF) of the square in the middle of the picture the fake
// ffmpeg writes for the frame at seconds (the End's time for the last frame
// before End, -1 for the video's last frame): a test tells by it which
// frame a window shows.
inline unsigned long fake_frame_color(double seconds)
{
    long ms = seconds < 0 ? 999999 : (long)(seconds * 1000 + 0.5);
    return RGB(20 + ms / 1000 % 200, 20 + ms % 1000 / 5, 160 + ms / 200000 % 90);
}
