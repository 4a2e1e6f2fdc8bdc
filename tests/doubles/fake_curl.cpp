// Stand-in for the system's curl.exe: install it as curl.exe in the system
// folder. It understands "... -o TARGET URL" (the URL is the last argument;
// TARGET is taken from its current folder when relative) and reads
// "curl.script" from its own folder (see double_script.h for the file's form):
//   args <file>                   appends this run's arguments (the program
//                                 as named on the command line first), one a
//                                 line in UTF-8, then an empty line
//   requests <file>               appends "<URL> <bytes>" for this run: the
//                                 bytes it wrote to TARGET (0: none)
//   fail <url-end> <code> [<bytes> [<text>]]  for a URL ending in <url-end>:
//                                 writes <bytes> bytes (default none) to
//                                 TARGET, as a broken download leaves them,
//                                 prints the error line "curl: (<code>) <text>"
//                                 (default text "fake failure") and exits with
//                                 <code>
//   revocation <url-end> <text>   unless --ssl-no-revoke is given: prints
//                                 "curl: (35) <text>" and exits 35, as when the
//                                 certificate's revocation cannot be checked
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

static std::wstring g_requests;  // the "requests" file, or empty
static std::wstring g_url;

// Writes bytes to TARGET and notes the request; true when written.
static bool serve(const std::wstring& target, const std::string& bytes)
{
    bool written = write_bytes(target, bytes, false);
    if (!g_requests.empty())
        write_bytes(g_requests, to_utf8(g_url) + " " + std::to_string(written ? bytes.size() : 0) + "\n", true);
    return written;
}

int wmain(int argc, wchar_t** argv)
{
    std::wstring here = own_folder();
    std::wstring target = option_value(argc, argv, L"-o");
    std::wstring url = argc > 1 ? argv[argc - 1] : L"";
    std::vector<ScriptLine> script = read_script(L"curl.script");
    g_url = url;
    for (const ScriptLine& s : script) {
        if (s.word == L"args")
            write_bytes(resolve_in(here, s.rest), args_text(argc, argv) + "\n", true);
        if (s.word == L"requests")
            g_requests = resolve_in(here, s.rest);
    }
    if (target.empty() || url.empty()) {
        say_error("curl: no URL or no -o target given\n");
        return 2;
    }
    for (const ScriptLine& s : script) {
        std::vector<std::wstring> words = split_words(s.rest);
        if (words.empty() || !ends_with(url, words[0]))
            continue;
        if (s.word == L"fail" && words.size() >= 2) {
            // Without a byte count TARGET is not even created.
            serve(words.size() >= 3 ? target : L"", std::string(words.size() >= 3 ? (size_t)_wtol(words[2].c_str()) : 0, 'p'));
            std::wstring text = words.size() >= 4 ? rest_after_words(s.rest, 3) : L"fake failure";
            say_error("curl: (" + to_utf8(words[1]) + ") " + to_utf8(text) + "\n");
            return _wtoi(words[1].c_str());
        }
        if (s.word == L"revocation" && !has_option(argc, argv, L"--ssl-no-revoke")) {
            say_error("curl: (35) " + to_utf8(rest_after_words(s.rest, 1)) + "\n");
            return 35;
        }
        if (s.word == L"empty") {
            serve(L"", "");
            return 0;
        }
        if (s.word == L"stall" && words.size() >= 2) {
            write_bytes(target, std::string((size_t)_wtol(words[1].c_str()), 'p'), false);
            say_error("#######                                                              10.0%\r");
            Sleep(120000);
            return 28;
        }
        if (s.word == L"serve" && words.size() >= 2) {
            std::string bytes;
            if (!read_bytes(resolve_in(here, rest_after_words(s.rest, 1)), bytes)) {
                say_error("curl: (37) Couldn't read the file to serve\n");
                return 37;
            }
            draw_progress();
            return serve(target, bytes) ? 0 : 23;
        }
    }
    draw_progress();
    return serve(target, to_utf8(L"fake download of " + url + L"\n")) ? 0 : 23;
}
