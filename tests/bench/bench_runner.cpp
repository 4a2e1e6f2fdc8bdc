// How fast run_logged takes a child's output: the scripted child writes
// many short lines or fewer long ones, and each run is set beside a plain
// read of the same child's pipe to its end. Prints the best of a few rounds.
#include <windows.h>
#include <stdio.h>
#include <string>
#include "jobs/run_logged.h"
#include "proc/runner.h"
#include "support/capture.h"
#include "support/programs.h"
#include "win/globals.h"

namespace {

struct Workload {
    const char* name;
    const wchar_t* step;
    double lines;
    double bytes;
};

const Workload WORKLOADS[] = {
    {"100,000 short lines", L"lines:100000", 100000, 100000.0 * 12},
    {"1,000 lines of 8 KB", L"big:1000:8000", 1000, 1000.0 * 8001},
};
const int ROUNDS = 3;

std::wstring child_line(const Workload& w)
{
    return quoted(bin_program(L"child.exe")) + L" " + w.step;
}

// Only reads the pipe to its end: what any runner has to pay at the least.
double baseline_bytes(const Workload& w)
{
    HANDLE read_end, write_end;
    if (!make_private_pipe(&read_end, &write_end, true))
        return -1;
    PROCESS_INFORMATION info;
    bool started = start_program(child_line(w), INVALID_HANDLE_VALUE, write_end, &info);
    CloseHandle(write_end);
    double total = -1;
    if (started) {
        char chunk[2048];
        DWORD got;
        total = 0;
        while (ReadFile(read_end, chunk, sizeof chunk, &got, NULL) && got > 0)
            total += got;
        WaitForSingleObject(info.hProcess, INFINITE);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseHandle(read_end);
    return total;
}

struct Timing {
    double seconds;
    double delivered;  // lines that reached the window, or bytes read
};

Timing time_runner(const Workload& w)
{
    std::wstring line = child_line(w);
    double start = now_seconds();
    unsigned long code = run_logged(&line[0], 0);
    double seconds = now_seconds() - start;
    double delivered = (double)capture_take().size();
    if (code != 0)
        delivered = -1;
    return {seconds, delivered};
}

// The same run with nowhere to post: what cutting and converting cost alone.
Timing time_runner_unposted(const Workload& w)
{
    HWND window = g_main;
    g_main = NULL;
    std::wstring line = child_line(w);
    double start = now_seconds();
    unsigned long code = run_logged(&line[0], 0);
    Timing t = {now_seconds() - start, code == 0 ? w.lines : -1};
    g_main = window;
    return t;
}

Timing time_baseline(const Workload& w)
{
    double start = now_seconds();
    double bytes = baseline_bytes(w);
    return {now_seconds() - start, bytes};
}

Timing best_of(Timing (*measure)(const Workload&), const Workload& w)
{
    Timing best = measure(w);
    for (int i = 1; i < ROUNDS; i++) {
        Timing t = measure(w);
        // A round that lost output is quick for the wrong reason: it never
        // beats one that delivered everything.
        bool t_ok = t.delivered >= 0, best_ok = best.delivered >= 0;
        if ((t_ok && !best_ok) || (t_ok == best_ok && t.seconds < best.seconds))
            best = t;
    }
    return best;
}

void print_row(const char* what, const Workload& w, const Timing& t)
{
    printf("  %-34s %7.3f s  %10.0f lines/s  %7.2f MB/s\n", what, t.seconds, w.lines / t.seconds,
           w.bytes / t.seconds / 1e6);
}

}  // namespace

int main()
{
    if (!capture_start()) {
        fprintf(stderr, "bench_runner: no window to post to\n");
        return 1;
    }
    int status = 0;
    for (const Workload& w : WORKLOADS) {
        printf("%s (%.0f bytes)\n", w.name, w.bytes);
        Timing runner = best_of(time_runner, w);
        Timing unposted = best_of(time_runner_unposted, w);
        Timing baseline = best_of(time_baseline, w);
        if (runner.delivered != w.lines || unposted.delivered != w.lines ||
            baseline.delivered != w.bytes) {
            fprintf(stderr, "  lost output: %.0f lines, %.0f bytes\n", runner.delivered,
                    baseline.delivered);
            status = 1;
        }
        print_row("run_logged, lines posted to window", w, runner);
        print_row("run_logged, no window to post to", w, unposted);
        print_row("baseline, pipe read to its end", w, baseline);
        printf("  ratio runner/baseline (time): %.2f posted, %.2f without a window\n",
               runner.seconds / baseline.seconds, unposted.seconds / baseline.seconds);
    }
    capture_stop();
    return status;
}
