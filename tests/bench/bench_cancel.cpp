// How quickly Cancel stops a clip job: from the press of the button to the
// status "cancelled", with the fake yt-dlp and a grandchild of it running
// and a part file in the job folder. Prints the median of 20 rounds.
#include <windows.h>
#include <stdio.h>
#include <algorithm>
#include <vector>
#include "support/doubles.h"
#include "support/programs.h"
#include "support/ui_driver.h"

namespace {

enum { ID_URL = 101, ID_CUT = 109, ID_STATUS = 111, ROUNDS = 20, WAIT_MS = 20000 };

size_t spawned_lines(const UiApp& app)
{
    std::vector<std::wstring> log = ui_log_lines(app);
    return std::count_if(log.begin(), log.end(),
                         [](const std::wstring& line) { return line.rfind(L"spawned ", 0) == 0; });
}

bool start(UiApp& app)
{
    std::wstring dir = ui_program_dir(L"bench cancel");
    TextLines script = {L"spawn " + quoted(bin_program(L"child.exe")) + L" sleep:120000",
                        L"media clip.mp4.part 5000", L"sleep 120000"};
    if (dir.empty() || !ui_install_tools(dir, nullptr) || !write_lines(dir + L"\\yt-dlp.script", script))
        return false;
    if (!ui_launch(app, dir))
        return false;
    ui_set_text(app, ID_URL, L"https://example.com/long");
    return true;
}

// Milliseconds from the press to "cancelled"; -1 when a wait ran out.
double cancel_round(const UiApp& app, size_t round)
{
    ui_click(app, ID_CUT);
    if (!wait_until([&] { return spawned_lines(app) == round + 1; }, WAIT_MS))
        return -1;
    LARGE_INTEGER begin, end, frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&begin);
    ui_click(app, ID_CUT);
    if (!wait_until([&] { return ui_text(app, ID_STATUS) == L"cancelled"; }, WAIT_MS))
        return -1;
    QueryPerformanceCounter(&end);
    return 1000.0 * (double)(end.QuadPart - begin.QuadPart) / (double)frequency.QuadPart;
}

}  // namespace

int main()
{
    UiApp app;
    if (!start(app)) {
        fprintf(stderr, "bench_cancel: Tarnvik did not start\n");
        return 1;
    }
    std::vector<double> times;
    for (size_t round = 0; round < ROUNDS; round++) {
        double ms = cancel_round(app, round);
        if (ms < 0) {
            fprintf(stderr, "bench_cancel: round %zu did not finish\n", round + 1);
            ui_close(app, WAIT_MS);
            return 1;
        }
        times.push_back(ms);
    }
    ui_close(app, WAIT_MS);
    std::sort(times.begin(), times.end());
    printf("Cancel to \"cancelled\", %d rounds: median %.1f ms (min %.1f, max %.1f)\n", ROUNDS,
           (times[ROUNDS / 2 - 1] + times[ROUNDS / 2]) / 2, times.front(), times.back());
    return 0;
}
