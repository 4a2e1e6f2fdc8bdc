// Stand-in for yt-dlp.exe: copy it as yt-dlp.exe into a program folder.
// It reads "yt-dlp.script" from its own folder (see double_script.h for the
// file's form); every command is optional, and without a script it ends at
// once with exit code 0. What it does, in this order:
//   args <file>           writes the arguments it received, as the C runtime
//                         split them, one a line in UTF-8, argv[0] first;
//                         the file is replaced whole on every run
//   cwd <file>            writes its current folder and "\n" (UTF-8), replaced
//                         whole on every run
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
//   pace <file>           before transcript line N, and once more after the
//                         last, writes the line "[pace] N" and waits until
//                         <file> holds a number of N or more: a watcher
//                         that reads the window sees the state after every
//                         line, however slow either side is
//   say <text>            writes the text and "\n" in UTF-8 after the
//                         transcript; may be given several times
//   media <name> <bytes>  writes a file of that many bytes, named <name>, into
//                         the folder of the "-o" template; may be repeated
//   fetched <name> <file> when the "-o" template begins as <name> does
//                         (up to its first field), copies <file> to <name>
//                         and says "[download] Destination: <name>" and two
//                         percentages; may be repeated
//   hold <prefix>         when the "-o" template begins with <prefix>: writes
//                         "held.txt" next to itself and waits a minute
//   sleep <ms>            waits before exiting, so a job can be kept running
//   exit <code>           the exit code (default 0)
//   refuse-info-json <file>  when given "--load-info-json": replays that
//                         file (a site refusing the kept media addresses)
//                         and ends with exit code 1, before anything else
//                         but "args"
// A look-up (an argument "--skip-download") reads "yt-dlp-lookup.script"
// instead ("yt-dlp-resolve.script" for a clip job's resolving run, the one
// with "-o infojson:<name>"), which takes the same commands and also
//   field <name> <value>  a field of the video for "--print" templates;
//                         without one, "title" is "Fake video" and every
//                         other field "NA", as yt-dlp prints what it lacks
//   info-json <file>      the information file to write: that file's
//                         bytes (default: the title alone)
// and, when its exit code is 0, it prints each "--print" template with the
// fields put in ("%(name)s" as it is, "%(name)+j" as a JSON string; not
// when it replays a transcript, which holds yt-dlp's own printed lines),
// then writes "<-o>.info.json" (or "<name>.info.json" for "-o
// infojson:<name>") for "--write-info-json": the title alone, or with
//   info-json <file>      that file's bytes
#include <cstdlib>
#include "double_script.h"

static void write_out(const std::string& bytes)
{
    DWORD put = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), (DWORD)bytes.size(), &put, nullptr);
}

// Waits until the watcher has written a number of at least line into
// file. A watcher that is gone stops holding the job after two minutes.
static void await_pace(const std::wstring& file, unsigned long line)
{
    write_out("[pace] " + std::to_string(line) + "\n");
    DWORD started = GetTickCount();
    std::string seen;
    while (!(read_bytes(file, seen) && strtoul(seen.c_str(), nullptr, 10) >= line) &&
           GetTickCount() - started < 120000)
        Sleep(2);
}

static void replay(const std::wstring& path, DWORD delay_ms, const std::wstring& pace_file)
{
    std::string bytes;
    if (!read_bytes(path, bytes)) {
        say_error("fake yt-dlp: transcript not found\n");
        return;
    }
    size_t start = 0;
    unsigned long lines = 0;
    for (size_t i = 0; i < bytes.size(); i++) {
        bool ends = bytes[i] == '\n' ||
                    (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'));
        if (!ends)
            continue;
        if (!pace_file.empty())
            await_pace(pace_file, ++lines);
        write_out(bytes.substr(start, i + 1 - start));
        start = i + 1;
        if (delay_ms)
            Sleep(delay_ms);
    }
    if (start < bytes.size())
        write_out(bytes.substr(start));
    if (!pace_file.empty())
        await_pace(pace_file, ++lines);
}

// The folder part of the "-o" template, "." (the current folder) when it
// names none; the template itself names no real file.
static std::wstring output_folder(int argc, wchar_t** argv)
{
    std::wstring templ = option_value(argc, argv, L"-o");
    size_t slash = templ.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : templ.substr(0, slash);
}

static std::wstring current_folder()
{
    wchar_t folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
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

// "fetched <name> <file>": the piece a run with that name's template writes.
static void write_fetched(int argc, wchar_t** argv, const std::wstring& spec)
{
    std::wstring templ = option_value(argc, argv, L"-o"), name = split_words(spec).at(0);
    std::string content;
    size_t field = templ.find(L"%(");
    if (field == std::wstring::npos || field == 0 || name.compare(0, field, templ, 0, field) != 0)
        return;
    if (!read_bytes(resolve_in(own_folder(), rest_after_words(spec, 1)), content) ||
        !write_bytes(output_folder(argc, argv) + L"\\" + name, content, false))
        say_error("fake yt-dlp: could not write a fetched file\n");
    write_out(to_utf8(L"[download] Destination: " + name + L"\n"));
    write_out("[download]  50.0% of 1.00KiB\n[download] 100.0% of 1.00KiB\n");
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

static std::wstring field_value(const std::vector<ScriptLine>& script, const std::wstring& name)
{
    for (const ScriptLine& s : script)
        if (s.word == L"field" && split_words(s.rest).at(0) == name)
            return rest_after_words(s.rest, 1);
    return name == L"title" ? L"Fake video" : L"NA";
}

static std::wstring as_json(const std::wstring& text)
{
    std::wstring json = L"\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\')
            json += L'\\';
        json += c;
    }
    return json + L"\"";
}

static std::wstring expand_template(std::wstring text, const std::vector<ScriptLine>& script)
{
    for (size_t at = text.find(L"%("); at != std::wstring::npos; at = text.find(L"%(", at)) {
        size_t close = text.find(L')', at);
        if (close == std::wstring::npos)
            break;
        std::wstring value = field_value(script, text.substr(at + 2, close - at - 2));
        bool json = text.compare(close + 1, 2, L"+j") == 0;
        if (json && value != L"NA")
            value = as_json(value);
        text.replace(at, close + (json ? 3 : 2) - at, value);
        at += value.size();
    }
    return text;
}

static void answer_lookup(int argc, wchar_t** argv, const std::vector<ScriptLine>& script)
{
    bool replayed = false;  // a recording holds yt-dlp's own printed lines
    for (const ScriptLine& s : script)
        replayed = replayed || s.word == L"transcript";
    for (int i = 1; i + 1 < argc && !replayed; i++)
        if (wcscmp(argv[i], L"--print") == 0)
            write_out(to_utf8(expand_template(argv[i + 1], script) + L"\n"));
    if (!has_option(argc, argv, L"--write-info-json"))
        return;
    std::wstring name = option_value(argc, argv, L"-o");
    for (int i = 1; i + 1 < argc; i++)
        if (wcscmp(argv[i], L"-o") == 0 && wcsncmp(argv[i + 1], L"infojson:", 9) == 0)
            name = argv[i + 1] + 9;
    std::string info = to_utf8(L"{\"title\": " + as_json(field_value(script, L"title")) + L"}");
    for (const ScriptLine& s : script)
        if (s.word == L"info-json" && !read_bytes(resolve_in(own_folder(), s.rest), info))
            say_error("fake yt-dlp: information file not found\n");
    write_bytes(name + L".info.json", info, false);
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
    bool lookup = has_option(argc, argv, L"--skip-download");
    bool resolve = false;
    for (int i = 1; i + 1 < argc; i++)
        resolve = resolve || (wcscmp(argv[i], L"-o") == 0 && wcsncmp(argv[i + 1], L"infojson:", 9) == 0);
    std::vector<ScriptLine> script =
        read_script(resolve ? L"yt-dlp-resolve.script" : lookup ? L"yt-dlp-lookup.script" : L"yt-dlp.script");
    DWORD delay_ms = 0, sleep_ms = 0;
    std::wstring pace_file;
    int exit_code = 0;
    for (const ScriptLine& s : script) {
        if (s.word == L"delay")
            delay_ms = (DWORD)_wtol(s.rest.c_str());
        if (s.word == L"pace")
            pace_file = resolve_in(here, s.rest);
        if (s.word == L"sleep")
            sleep_ms = (DWORD)_wtol(s.rest.c_str());
        if (s.word == L"exit")
            exit_code = _wtoi(s.rest.c_str());
    }
    for (const ScriptLine& s : script)
        if (s.word == L"args")
            write_whole(resolve_in(here, s.rest), args_text(argc, argv));
    for (const ScriptLine& s : script)
        if (s.word == L"cwd")
            write_whole(resolve_in(here, s.rest), to_utf8(current_folder() + L"\n"));
    for (const ScriptLine& s : script)
        if (s.word == L"refuse-info-json" && has_option(argc, argv, L"--load-info-json")) {
            replay(resolve_in(here, s.rest), 0, L"");
            return 1;
        }
    for (const ScriptLine& s : script)
        if (s.word == L"hold" && option_value(argc, argv, L"-o").compare(0, s.rest.size(), s.rest) == 0) {
            write_bytes(here + L"\\held.txt", "held", false);
            Sleep(60000);
        }
    for (const ScriptLine& s : script)
        if (s.word == L"temp")
            unpack_into_temp(resolve_in(here, s.rest));
    for (const ScriptLine& s : script)
        if (s.word == L"spawn")
            spawn(s.rest);
    for (const ScriptLine& s : script)
        if (s.word == L"transcript")
            replay(resolve_in(here, s.rest), delay_ms, pace_file);
    for (const ScriptLine& s : script)
        if (s.word == L"say")
            write_out(to_utf8(s.rest + L"\n"));
    if (lookup && exit_code == 0)  // yt-dlp prints nothing for a video it could not read
        answer_lookup(argc, argv, script);
    for (const ScriptLine& s : script)
        if (s.word == L"media")
            write_media(output_folder(argc, argv), s.rest);
    for (const ScriptLine& s : script)
        if (s.word == L"fetched")
            write_fetched(argc, argv, s.rest);
    if (sleep_ms)
        Sleep(sleep_ms);
    return exit_code;
}
