#include "jobs/update.h"
#include "jobs/bootstrap.h"
#include "jobs/lookup.h"
#include "jobs/messages.h"
#include "proc/runner.h"

// The sums files come first: a few KB tell which tool has a new release.
// Only those are fetched, and each replaces its old files in one step, so
// a tool that fails to update stays as it was.
DWORD WINAPI update_thread(LPVOID param)
{
    (void)param;
    // A look-up's yt-dlp (and the deno it runs) would keep them from being replaced.
    end_lookup();
    post_log(L"[setup] checking for newer tools ...");
    SetupContext context;
    begin_setup(&context);
    ListedFile files[STEP_COUNT];
    int listed[STEP_COUNT];
    for (int step = 0; step < STEP_COUNT; ++step)
        listed[step] = fetch_step_sum(step, &context, &files[step]) == 1;
    int ok = 1, changed = 0, step = 0;
    for (; step < STEP_COUNT && !cancel_requested(); ++step) {
        if (listed[step] && step_is_current(step, &files[step])) {
            post_logf(L"[setup] %ls is up to date", step_tool(step));
            continue;
        }
        if (listed[step]) {
            post_logf(L"[setup] %ls: a newer release is published (or it is missing here)", step_tool(step));
            changed = 1;
        }
        if (!listed[step] || !install_step(step, &context, &files[step])) {
            post_logf(L"[setup] %ls left as it was", step_tool(step));
            ok = 0;
        }
    }
    // A cancel that came after the last step was done changes nothing; one
    // that stopped the checks early leaves the rest unknown, not up to date.
    WPARAM outcome = UPDATE_CURRENT;
    if (cancel_requested() && (!ok || changed || step < STEP_COUNT))
        outcome = SETUP_CANCELLED;
    else if (!ok)
        outcome = UPDATE_INCOMPLETE;
    else if (changed)
        outcome = UPDATE_APPLIED;
    end_setup(&context);
    post_message(WM_APP_SETUP_DONE, outcome, SETUP_BY_UPDATE);
    return 0;
}
