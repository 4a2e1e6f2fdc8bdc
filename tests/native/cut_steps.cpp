// Makes an exact cut of a fetched section with Tarnvik's own planner and
// Debian's ffmpeg, for tests/bench/exact-cut.py (not a test):
//   cut_steps FOLDER FILE START END [VIDEO_LENGTH]
// FILE is the section yt-dlp fetched into FOLDER; the clip replaces it.
// Prints each command line and the planner's log lines.
#include <cstdio>
#include <cstdlib>

#include "run_cut.h"

int main(int argc, char** argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: cut_steps FOLDER FILE START END [VIDEO_LENGTH]\n");
        return 2;
    }
    CutRequest request = {std::atof(argv[3]), std::atof(argv[4]), argc > 5 ? std::atof(argv[5]) : -1, 0, 0};
    CutRun run = run_exact_cut(argv[1], argv[2], request);
    for (size_t i = 0; i < run.commands.size(); ++i)
        std::printf("$ %s\n  (%.2f s)\n", to_utf8(run.commands[i]).c_str(), i < run.seconds.size() ? run.seconds[i] : 0.0);
    std::printf("%s\n", to_utf8(run.first_reason).c_str());
    if (run.reason != run.first_reason)
        std::printf("%s\n", to_utf8(run.reason).c_str());
    for (const std::string& e : run.errors)
        std::printf("error: %s\n", e.c_str());
    return run.ok ? 0 : 1;
}
