// Fetches a clip as its fragments on Linux the way the clip job does on
// Windows: the resolving run, the heads, the plan, the fetch and the cut,
// every command line from the same builders, each tool run as a child in
// the clip's folder. For the end-to-end test and the benchmark.
#pragma once
#include <string>
#include <vector>

struct FetchRun {
    int fragments;                   // 1: the clip came by the fragment road
    std::wstring reason;             // why not, when it did not
    std::wstring name;               // the clip's file name yt-dlp chose
    long long planned;               // bytes of the planned pieces
    double duration;                 // the video's seconds as yt-dlp knows them, -1 unknown
    std::vector<std::wstring> commands;
    std::string output;              // what the children wrote
};

// source: an information file (as a look-up keeps it) in folder, or an
// address; options: the clip job's "-f" and container options.
FetchRun run_fragment_fetch(const char* folder, const std::wstring& source, int from_file,
                            const std::vector<std::wstring>& options, double start, double end);
