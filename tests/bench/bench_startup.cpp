// How long Tarnvik takes from its start to its window on screen, against
// the floor: the same window with the same controls and manifest that does
// nothing else (bare_window.exe). Both are started in turn, many times, in
// a program folder with every tool; prints the medians and their ratio.
// Arguments: the number of starts of each (30), and another Tarnvik.exe to
// time in place of the one built (an older build, to compare).
//   shown:   from CreateProcess until the window is visible
//   painted: until it and every control in it have been painted, the
//            moment the user sees the whole window
#include <windows.h>
#include <stdio.h>
#include <algorithm>
#include <vector>
#include "support/programs.h"
#include "support/ui_driver.h"

namespace {

enum { ROUNDS = 30, WAIT_MS = 60000 };

struct Start {
    double shown_ms, painted_ms;
};

double since(const LARGE_INTEGER& begin)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * (double)(now.QuadPart - begin.QuadPart) / (double)frequency.QuadPart;
}

BOOL CALLBACK note_unpainted(HWND window, LPARAM unpainted)
{
    if (GetUpdateRect(window, nullptr, FALSE))
        *(bool*)unpainted = true;
    return TRUE;
}

// Whether window and all of its children have painted all there is to paint.
bool painted(HWND window)
{
    bool unpainted = GetUpdateRect(window, nullptr, FALSE) != 0;
    EnumChildWindows(window, note_unpainted, (LPARAM)&unpainted);
    return !unpainted;
}

// One start of exe in dir, ended again; false when it never showed its window.
bool time_start(const std::wstring& exe, const std::wstring& dir, Start& start)
{
    UiApp app;
    LARGE_INTEGER begin;
    QueryPerformanceCounter(&begin);
    if (!ui_start(app, exe, dir))
        return false;
    // Polled as often as the clock allows: a coarser poll would blur both alike.
    DWORD started = GetTickCount();
    while (!ui_shown(app) && GetTickCount() - started < WAIT_MS)
        Sleep(1);
    start.shown_ms = since(begin);
    bool done = app.main != nullptr;
    while (done && !painted(app.main) && GetTickCount() - started < WAIT_MS)
        Sleep(1);
    start.painted_ms = since(begin);
    ui_close(app, WAIT_MS);
    return done && GetTickCount() - started < WAIT_MS;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void report(const char* what, const std::vector<double>& bare, const std::vector<double>& tarnvik)
{
    printf("%-9s  bare window %7.1f ms   Tarnvik %7.1f ms   ratio %.2f\n", what, median(bare), median(tarnvik),
           median(tarnvik) / median(bare));
}

}  // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : ROUNDS;
    std::wstring dir = ui_program_dir(L"bench start-up");
    wchar_t other[MAX_PATH] = L"";
    if (argc > 2 && MultiByteToWideChar(CP_ACP, 0, argv[2], -1, other, MAX_PATH) == 0)
        other[0] = L'\0';
    if (dir.empty() || !ui_install_tools(dir, nullptr) ||
        (argc > 2 && !CopyFileW(other, (dir + L"\\Tarnvik.exe").c_str(), FALSE))) {
        fprintf(stderr, "bench_startup: no program folder with the tools\n");
        return 1;
    }
    const std::wstring bare = bin_program(L"bare_window.exe"), tarnvik = dir + L"\\Tarnvik.exe";
    // Wine's first start of a program reads it from disk; neither is timed so.
    Start start;
    if (!time_start(bare, dir, start) || !time_start(tarnvik, dir, start)) {
        fprintf(stderr, "bench_startup: a window did not appear\n");
        return 1;
    }
    std::vector<double> shown[2], painted_ms[2];
    for (int round = 0; round < rounds; round++) {
        // Either goes first in turn, so that a drift of the machine's load weighs on both.
        for (int i = 0; i < 2; i++) {
            int which = (round + i) % 2;
            if (!time_start(which ? tarnvik : bare, dir, start)) {
                fprintf(stderr, "bench_startup: a window did not appear in round %d\n", round + 1);
                return 1;
            }
            shown[which].push_back(start.shown_ms);
            painted_ms[which].push_back(start.painted_ms);
        }
    }
    printf("Start-up, %d starts each, medians:\n", rounds);
    report("shown", shown[0], shown[1]);
    report("painted", painted_ms[0], painted_ms[1]);
    return 0;
}
