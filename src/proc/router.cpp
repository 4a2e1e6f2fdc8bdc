// What one line of a child's output becomes: progress, a status word, a log line.
#include "proc/router.h"
#include <wchar.h>
#include "jobs/globals.h"
#include "jobs/messages.h"
#include "proc/progress.h"
#include "text/hints.h"

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

// Written by the worker that runs the job, read by the window once the
// job's end message has arrived.
static volatile LONG g_failure_cause = CAUSE_NONE;

void reset_failure_cause()
{
    InterlockedExchange(&g_failure_cause, CAUSE_NONE);
}

void note_failure_cause(int cause)
{
    // Only the job's worker writes it, so reading and then setting is safe.
    if (cause_replaces(failure_cause(), cause))
        InterlockedExchange(&g_failure_cause, cause);
}

int failure_cause()
{
    return (int)InterlockedCompareExchange(&g_failure_cause, CAUSE_NONE, CAUSE_NONE);
}

static BOOL post_progress(int tenths)
{
    return post_message(WM_APP_PROGRESS, (WPARAM)(INT_PTR)tenths, 0);
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
        return 1000;
    return percent_to_tenths(percent);
}

static const wchar_t* stage_status(const wchar_t* line)
{
    for (const StageWord& stage : STAGE_WORDS)
        if (wcsstr(line, stage.marker))
            return stage.status;
    return NULL;
}

BOOL handle_line(const wchar_t* line)
{
    double value;
    if (parse_dl_percent(line, value))
        return post_progress(percent_to_tenths(value));
    if (parse_ffmpeg_time(line, value))
        return post_progress(time_to_tenths(value, g_clip_len));
    if (parse_curl_progress(line, value))
        return post_progress(percent_to_tenths(value));
    note_failure_cause(cause_of_line(line));
    const wchar_t* status = stage_status(line);
    if (status)
        post_status(STATUS_STAGE, status);
    return post_log(line);
}
