// "--selftest": fixed checks of the parsers, the command-line builder and
// the process runner, written to selftest.txt without ever making a window.
#include "selftest/selftest.h"
#include <windows.h>
#include <stdio.h>
#include <wchar.h>
#include "jobs/run_logged.h"
#include "proc/system.h"
#include "text/cmdline.h"
#include "text/format.h"
#include "text/progress.h"
#include "text/timecode.h"

namespace {

enum { ARG_LINE_CAP = 512 };

struct TimecodeCheck {
    const char* label;
    const wchar_t* text;
    int result;
    double seconds;  // compared only when result is 1
};

const TimecodeCheck TIMECODE_CHECKS[] = {
    {"tc 5:38", L"5:38", 1, 338.0},
    {"tc 338", L"338", 1, 338.0},
    {"tc h:m:s", L"1:02:03.5", 1, 3723.5},
    {"tc blank", L"", 0, 0},
    {"tc invalid", L"1:70x", -1, 0},
    {"tc alpha", L"ab", -1, 0},
};

struct FormatCheck {
    const char* label;
    int height;
    int mp4;
    int noaudio;
    const wchar_t* selector;
};

const FormatCheck FORMAT_CHECKS[] = {
    {"fmt 1080 mp4 noaudio", 1080, 1, 1, L"bv*[vcodec^=avc1][height<=1080]/bv*[height<=1080]"},
    {"fmt best plain", 0, 0, 0, L"bv*+ba/b"},
    {"fmt audio", -1, 0, 0, L"ba/b"},
    {"fmt 720 mp4", 720, 1, 0,
     L"bv*[vcodec^=avc1][height<=720]+ba[acodec^=mp4a]/bv*[height<=720]+ba/b[height<=720]"},
};

struct RunCheck {
    const char* label;
    const wchar_t* command;  // for cmd.exe
    unsigned long exit_code;
};

const RunCheck RUN_CHECKS[] = {
    {"run exit code", L"exit 3", 3},
    {"run capture ok", L"echo hello", 0},
};

typedef int (*ProgressParser)(const wchar_t* line, double& out);

struct ProgressCheck {
    const char* label;
    ProgressParser parse;
    const wchar_t* line;
    int result;
    // Equal bounds ask for exactly that value, otherwise strictly between.
    double low;
    double high;
};

const ProgressCheck PROGRESS_CHECKS[] = {
    {"dl percent", parse_dl_percent, L"[download]  45.3% of 10.00MiB at 2MiB/s", 1, 45.3, 45.3},
    {"dl dest not pct", parse_dl_percent, L"[download] Destination: x.mp4", 0, 0, 0},
    {"ffmpeg time", parse_ffmpeg_time, L"size=  2048KiB time=00:00:05.20 bitrate=3225kb/s speed=2x",
     1, 5.19, 5.21},
    {"ffmpeg dur not prog", parse_ffmpeg_time, L"Duration: 00:10:00.00, start: 0", 0, 0, 0},
    {"curl progress", parse_curl_progress, L"######################    31.4%", 1, 31.4, 31.4},
    {"curl not dl line", parse_curl_progress, L"[download] 100% done", 0, 0, 0},
};

const wchar_t QUOTED_PATH[] = L"C:\\dir with space\\yt-dlp.exe";
const wchar_t QUOTED_LINE[] = L"\"C:\\dir with space\\yt-dlp.exe\" --flag plain";

struct Report {
    FILE* file;
    int failures;
};

void report(Report* r, const char* label, bool passed)
{
    fprintf(r->file, "%s %s\n", passed ? "PASS" : "FAIL", label);
    if (!passed)
        r->failures++;
}

bool in_range(double value, double low, double high)
{
    if (low == high)
        return value == low;
    return value > low && value < high;
}

void check_timecodes(Report* r)
{
    for (const TimecodeCheck& c : TIMECODE_CHECKS) {
        double seconds = -1;
        int result = parse_timecode(c.text, seconds);
        report(r, c.label, result == c.result && (result != 1 || seconds == c.seconds));
    }
}

void check_formats(Report* r)
{
    for (const FormatCheck& c : FORMAT_CHECKS) {
        wchar_t selector[FORMAT_SELECTOR_CAP];
        build_format_selector(c.height, c.mp4, c.noaudio, selector);
        report(r, c.label, wcscmp(selector, c.selector) == 0);
    }
}

void check_quoting(Report* r)
{
    wchar_t line[ARG_LINE_CAP] = {};
    append_arg(line, ARG_LINE_CAP, QUOTED_PATH);
    append_arg(line, ARG_LINE_CAP, L"--flag");
    append_arg(line, ARG_LINE_CAP, L"plain");
    report(r, "arg quoting", wcscmp(line, QUOTED_LINE) == 0);
}

void check_runs(Report* r)
{
    for (const RunCheck& c : RUN_CHECKS) {
        // A writable line: the runner may write into it while it starts the child.
        wchar_t line[CMD_LINE_CAP];
        report(r, c.label, cmd_line(line, c.command) && run_logged(line, 0) == c.exit_code);
    }
}

void check_progress(Report* r)
{
    for (const ProgressCheck& c : PROGRESS_CHECKS) {
        double value = 0;
        int result = c.parse(c.line, value);
        report(r, c.label, result == c.result && (result != 1 || in_range(value, c.low, c.high)));
    }
}

}  // namespace

void run_selftest()
{
    FILE* file = fopen("selftest.txt", "w");
    if (!file)
        ExitProcess(1);
    Report r = {file, 0};
    check_timecodes(&r);
    check_formats(&r);
    check_quoting(&r);
    check_runs(&r);
    check_progress(&r);
    if (r.failures)
        fprintf(file, "RESULT FAIL %d\n", r.failures);
    else
        fprintf(file, "RESULT OK\n");
    fclose(file);
    ExitProcess(r.failures ? 1 : 0);
}
