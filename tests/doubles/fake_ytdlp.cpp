// Stand-in for yt-dlp.exe: copy it as yt-dlp.exe into a program folder.
// It reads "yt-dlp.script" from its own folder (see double_script.h for the
// file's form); every command is optional, and without a script it ends at
// once with exit code 0. What it does, in this order:
//   args <file>           writes the arguments it received, as the C runtime
//                         split them, one a line in UTF-8, argv[0] first;
//                         the file is replaced on every run
//   temp <file>           writes the TEMP folder it was given to the file and
//                         leaves a folder "_MEI<pid>" with a file in it
//                         there, as yt-dlp.exe's one-file build does
//   spawn <command line>  starts that program, which inherits our output
//                         (as ffmpeg does), and writes "spawned <our pid>
//                         <its pid>"
//   transcript <file>     copies the file's bytes to standard output, one
//                         line at a time (a line ends after "\n", or after a
//                         "\r" that no "\n" follows, as ffmpeg's status does)
//   delay <ms>            pause after each transcript line (default 0)
//   say <text>            writes the text and "\n" in UTF-8 after the
//                         transcript; may be given several times
//   media <name> <bytes>  writes a file of that many bytes, named <name>, into
//                         the folder of the "-o" template; may be repeated
//   sleep <ms>            waits before exiting, so a job can be kept running
//   exit <code>           the exit code (default 0)
#include "double_script.h"

static void write_out(const std::string& bytes)
{
    DWORD put = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), (DWORD)bytes.size(), &put, nullptr);
}

static void replay(const std::wstring& path, DWORD delay_ms)
{
    std::string bytes;
    if (!read_bytes(path, bytes)) {
        say_error("fake yt-dlp: transcript not found\n");
        return;
    }
    size_t start = 0;
    for (size_t i = 0; i < bytes.size(); i++) {
        bool ends = bytes[i] == '\n' ||
                    (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'));
        if (!ends)
            continue;
        write_out(bytes.substr(start, i + 1 - start));
        start = i + 1;
        if (delay_ms)
            Sleep(delay_ms);
    }
    if (start < bytes.size())
        write_out(bytes.substr(start));
}

// The folder part of the "-o" template; the template itself names no real file.
static std::wstring output_folder(int argc, wchar_t** argv)
{
    std::wstring templ = option_value(argc, argv, L"-o");
    size_t slash = templ.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : templ.substr(0, slash);
}

static void write_media(const std::wstring& folder, const std::wstring& spec)
{
    std::wstring name;
    long size = 0;
    if (!split_trailing_number(spec, name, size) || size < 0) {
        say_error("fake yt-dlp: bad media line\n");
        return;
    }
    if (!write_bytes(folder + L"\\" + name, std::string((size_t)size, 'm'), false))
        say_error("fake yt-dlp: could not write media\n");
}

static void spawn(std::wstring cmdline)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (!CreateProcessW(nullptr, &cmdline[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        say_error("fake yt-dlp: could not spawn\n");
        return;
    }
    write_out("spawned " + std::to_string(GetCurrentProcessId()) + " " + std::to_string(info.dwProcessId) + "\n");
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
}

static void unpack_into_temp(const std::wstring& record)
{
    wchar_t temp[MAX_PATH] = {0};
    GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH);
    write_bytes(record, to_utf8(temp), false);
    std::wstring unpacked = std::wstring(temp) + L"\\_MEI" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(unpacked.c_str(), nullptr);
    write_bytes(unpacked + L"\\python.dll", "unpacked", false);
}

int wmain(int argc, wchar_t** argv)
{
    std::wstring here = own_folder();
    std::vector<ScriptLine> script = read_script(L"yt-dlp.script");
    DWORD delay_ms = 0, sleep_ms = 0;
    int exit_code = 0;
    for (const ScriptLine& s : script) {
        if (s.word == L"delay")
            delay_ms = (DWORD)_wtol(s.rest.c_str());
        if (s.word == L"sleep")
            sleep_ms = (DWORD)_wtol(s.rest.c_str());
        if (s.word == L"exit")
            exit_code = _wtoi(s.rest.c_str());
    }
    for (const ScriptLine& s : script)
        if (s.word == L"args")
            write_bytes(resolve_in(here, s.rest), args_text(argc, argv), false);
    for (const ScriptLine& s : script)
        if (s.word == L"temp")
            unpack_into_temp(resolve_in(here, s.rest));
    for (const ScriptLine& s : script)
        if (s.word == L"spawn")
            spawn(s.rest);
    for (const ScriptLine& s : script)
        if (s.word == L"transcript")
            replay(resolve_in(here, s.rest), delay_ms);
    for (const ScriptLine& s : script)
        if (s.word == L"say")
            write_out(to_utf8(s.rest + L"\n"));
    for (const ScriptLine& s : script)
        if (s.word == L"media")
            write_media(output_folder(argc, argv), s.rest);
    if (sleep_ms)
        Sleep(sleep_ms);
    return exit_code;
}
