#include "jobs/clip_run.h"
#include "jobs/messages.h"

unsigned long run_clip_child(ClipRun* clip, wchar_t* line, const wchar_t* temp_folder, ChildLineHandler on_line,
                             void* ctx)
{
    if (!cancel_requested())
        echo_command(line);
    if (!on_line) {
        on_line = route_child_line;
        ctx = &clip->router;
    }
    ChildRun run = child_run(line, on_line, ctx);
    run.folder = clip->job->outdir;
    run.temp_folder = temp_folder;
    return run_child(&run, &clip->start_error);
}

void share_bar_up_to(ClipRun* clip, int to)
{
    LineRouter* router = &clip->router;
    int from = router->bar_from + router->bar_span;
    if (router->bar_last > from)
        from = router->bar_last;
    router->bar_from = from;
    router->bar_span = to > from ? to - from : 0;
}
