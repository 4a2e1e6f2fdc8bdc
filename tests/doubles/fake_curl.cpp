// Stand-in for the system's curl.exe: install it as
// C:\Windows\System32\curl.exe. It understands the call "-L -# --fail -o
// TARGET URL" (the URL is the last argument) and reads "curl.script" from its
// own folder (see double_script.h for the file's form):
//   args <file>                   appends this run's arguments (without the
//                                 program name), one a line in UTF-8, then an
//                                 empty line
//   fail <url-end> <code> [<bytes>]  for a URL ending in <url-end>: writes
//                                 <bytes> bytes (default none) to TARGET, as a
//                                 broken download leaves them, prints the error
//                                 line "curl: (<code>) fake failure" and exits
//                                 with <code>
//   empty <url-end>               exits 0 without writing TARGET
//   serve <url-end> <file>        copies <file> to TARGET
//   stall <url-end> <bytes>       writes <bytes> bytes to TARGET, draws part of
//                                 the progress bar and hangs for two minutes
// Any other URL gets TARGET holding "fake download of URL\n". A run that
// writes TARGET draws curl's "-#" progress bar on standard error first.
#include "double_script.h"

static void draw_progress()
{
    say_error("#######                                                              10.0%\r");
    say_error("####################################                                 50.0%\r");
    say_error("######################################################################## 100.0%\n");
}

int wmain(int argc, wchar_t** argv)
{
    std::wstring here = own_folder();
    std::wstring target = option_value(argc, argv, L"-o");
    std::wstring url = argc > 1 ? argv[argc - 1] : L"";
    std::vector<ScriptLine> script = read_script(L"curl.script");
    for (const ScriptLine& s : script)
        if (s.word == L"args")
            write_bytes(resolve_in(here, s.rest), args_text(argc, argv, 1) + "\n", true);
    if (target.empty() || url.empty()) {
        say_error("curl: no URL or no -o target given\n");
        return 2;
    }
    for (const ScriptLine& s : script) {
        std::vector<std::wstring> words = split_words(s.rest);
        if (words.empty() || !ends_with(url, words[0]))
            continue;
        if (s.word == L"fail" && words.size() >= 2) {
            if (words.size() >= 3)
                write_bytes(target, std::string((size_t)_wtol(words[2].c_str()), 'p'), false);
            say_error("curl: (" + to_utf8(words[1]) + ") fake failure\n");
            return _wtoi(words[1].c_str());
        }
        if (s.word == L"empty")
            return 0;
        if (s.word == L"stall" && words.size() >= 2) {
            write_bytes(target, std::string((size_t)_wtol(words[1].c_str()), 'p'), false);
            say_error("#######                                                              10.0%\r");
            Sleep(120000);
            return 28;
        }
        if (s.word == L"serve" && words.size() >= 2) {
            std::string bytes;
            if (!read_bytes(resolve_in(here, s.rest.substr(words[0].size() + 1)), bytes)) {
                say_error("curl: (37) Couldn't read the file to serve\n");
                return 37;
            }
            draw_progress();
            return write_bytes(target, bytes, false) ? 0 : 23;
        }
    }
    draw_progress();
    return write_bytes(target, to_utf8(L"fake download of " + url + L"\n"), false) ? 0 : 23;
}
