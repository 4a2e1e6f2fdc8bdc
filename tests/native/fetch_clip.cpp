// Fetches a clip as its fragments with Tarnvik's own planner and command
// lines and Debian's yt-dlp and ffmpeg, for tests/bench/section-fetch.py
// (not a test):
//   fetch_clip FOLDER INFO_FILE START END EXACT [YT-DLP OPTION…]
// INFO_FILE is a look-up's information in FOLDER; START or END -1 is blank;
// EXACT 1 makes the exact cut from the fetched clip. Prints the command
// lines and, when the former road would be taken, why.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fetch_run.h"
#include "run_cut.h"

int main(int argc, char** argv)
{
    if (argc < 6) {
        std::fprintf(stderr, "usage: fetch_clip FOLDER INFO_FILE START END EXACT [OPTION...]\n");
        return 2;
    }
    std::vector<std::wstring> options;
    for (int i = 6; i < argc; ++i)
        options.push_back(from_utf8(argv[i]));
    const double start = std::atof(argv[3]), end = std::atof(argv[4]);
    FetchRun fetch = run_fragment_fetch(argv[1], from_utf8(argv[2]), 1, options, start, end);
    for (const std::wstring& c : fetch.commands)
        std::printf("$ %s\n", to_utf8(c).c_str());
    if (!fetch.fragments) {
        std::printf("former road: %s\n%s", to_utf8(fetch.reason).c_str(), fetch.output.c_str());
        return 1;
    }
    std::printf("planned %lld bytes\n", fetch.planned);
    if (std::atoi(argv[5])) {
        CutRequest request = {start, end, fetch.duration, 0, 0};
        CutRun run = run_exact_cut(argv[1], to_utf8(fetch.name).c_str(), request);
        std::printf("%s\n", to_utf8(run.reason).c_str());
        return run.ok ? 0 : 1;
    }
    return 0;
}
