// Runs a planned exact cut on Linux the way the clip job runs it on
// Windows: each step a child in the job folder, ffprobe's lines read one at
// a time, a failed step or check turned into the fallback. For the
// end-to-end test and the benchmark, with Debian's own ffmpeg.
#pragma once
#include <string>
#include <vector>

#include "media/cut_plan.h"

struct CutRun {
    int ok;                          // a result was made (and, unless fallen back, checked)
    int mode;                        // the plan's mode at the end
    std::wstring first_reason;       // the planner's first log line
    std::wstring reason;             // the last one (the fallback's, when it fell back)
    std::vector<std::wstring> commands;
    std::vector<double> seconds;     // each command's wall time
    std::vector<std::string> errors; // what failed steps wrote
};

// Runs ffmpeg commands as given by their Windows command line, split back
// into arguments; returns the exit code and hands every output line over.
int run_command(const std::wstring& line, const char* folder, void (*on_line)(void*, const wchar_t*),
                void* ctx, std::string* output);

// Cuts in folder, where the fetched section is fetched_name; the result
// gets the same name. The intermediate files are removed.
CutRun run_exact_cut(const char* folder, const char* fetched_name, const CutRequest& request);

// Runs command through the shell in folder; its exit code, with what it
// wrote (both streams) into output when given.
int shell_in(const std::string& folder, const std::string& command, std::string* output);

std::string to_utf8(const std::wstring& text);
std::wstring from_utf8(const std::string& text);
