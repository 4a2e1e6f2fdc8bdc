// Runs a worker's child with every line routed to the window.
#include "jobs/run_logged.h"
#include "jobs/messages.h"
#include "jobs/router.h"
#include "proc/runner.h"
#include "proc/system.h"

struct Watched {
    LineWatch watch;
    void* ctx;
    LineRouter router;
};

static void watch_and_route(void* ctx, const wchar_t* line)
{
    Watched* watched = (Watched*)ctx;
    if (watched->watch)
        watched->watch(line, watched->ctx);
    handle_line(&watched->router, line);
}

static unsigned long run_watched(wchar_t* cmdline, const wchar_t* folder, LineWatch watch, void* ctx)
{
    Watched watched = {watch, ctx, {}};
    // These children have no clip length to measure ffmpeg's times against.
    init_router(&watched.router, -1.0);
    // These are the system's console programs (curl, tar, cmd.exe), which
    // write in the console's code page where they do not write UTF-8.
    ChildRun run = child_run(cmdline, watch_and_route, &watched);
    run.folder = folder;
    run.code_page = console_code_page();
    return run_child(&run, NULL);
}

unsigned long run_logged(wchar_t* cmdline, int echo)
{
    // A cancelled worker starts nothing, so it shows nothing either.
    if (echo && !cancel_requested())
        echo_command(cmdline);
    return run_watched(cmdline, NULL, NULL, NULL);
}

unsigned long run_in_folder(wchar_t* cmdline, const wchar_t* folder, LineWatch watch, void* ctx)
{
    return run_watched(cmdline, folder, watch, ctx);
}
