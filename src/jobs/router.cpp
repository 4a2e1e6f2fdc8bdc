// What one line of a child's output becomes: progress, a status word, a log line.
#include "jobs/router.h"
#include <wchar.h>
#include "jobs/messages.h"
#include "text/hints.h"
#include "text/progress.h"

struct StageWord {
    const wchar_t* marker;
    const wchar_t* status;
};

// The first marker found in a line decides its status word.
static const StageWord STAGE_WORDS[] = {
    {L"Extracting URL", L"analyzing video…"},
    {L"[download] Destination", L"downloading…"},
    {L"[Merger]", L"processing…"},
    {L"[VideoRemuxer]", L"processing…"},
    {L"[ExtractAudio]", L"processing…"},
    {L"Fixup", L"processing…"},
};

void init_router(LineRouter* router, double clip_len)
{
    router->clip_len = clip_len;
    router->cause = CAUSE_NONE;
    router->bar_from = 0;
    router->bar_span = BAR_FULL;
    router->steady = 0;
    router->bar_last = -1;
}

void note_cause(LineRouter* router, int cause)
{
    if (cause_replaces(router->cause, cause))
        router->cause = cause;
}

// tenths: the child's own progress, 0-1000, or negative for none.
static void post_progress(LineRouter* router, int tenths)
{
    int position = tenths < 0 ? tenths : router->bar_from + tenths * router->bar_span / BAR_FULL;
    if (router->steady && position <= router->bar_last)
        return;
    if (position >= 0)
        router->bar_last = position;
    post_message(WM_APP_PROGRESS, (WPARAM)(INT_PTR)position, 0);
}

static int percent_to_tenths(double percent)
{
    return (int)(percent * 10.0);
}

// Without a known clip length a time says nothing about how far the job is.
static int time_to_tenths(double seconds, double clip_len)
{
    if (clip_len <= 0)
        return -1;
    double share = seconds / clip_len;
    double percent = share * 100.0;
    if (percent > 100.0)
        return BAR_FULL;
    return percent_to_tenths(percent);
}

static const wchar_t* stage_status(const wchar_t* line)
{
    for (const StageWord& stage : STAGE_WORDS)
        if (wcsstr(line, stage.marker))
            return stage.status;
    return NULL;
}

void handle_line(LineRouter* router, const wchar_t* line)
{
    double value;
    if (parse_dl_percent(line, value)) {
        post_progress(router, percent_to_tenths(value));
    } else if (parse_ffmpeg_time(line, value)) {
        post_progress(router, time_to_tenths(value, router->clip_len));
    } else if (parse_curl_progress(line, value)) {
        post_progress(router, percent_to_tenths(value));
    } else {
        note_cause(router, cause_of_line(line));
        if (const wchar_t* status = stage_status(line))
            post_status(STATUS_STAGE, status);
        post_log(line);
    }
}

void route_child_line(void* ctx, const wchar_t* line)
{
    handle_line((LineRouter*)ctx, line);
}
