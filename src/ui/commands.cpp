// What the user's buttons and choices do: "Cut clip" checks the request and
// starts the clip worker, "Open clips folder" shows the clips, "Update
// tools" starts the update worker, and the quality choice keeps "No audio"
// out of an audio-only request.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>
#include <wchar.h>
#include "jobs/clipjob.h"
#include "jobs/messages.h"
#include "jobs/update.h"
#include "proc/runner.h"
#include "proc/tools.h"
#include "text/clipname.h"
#include "text/hints.h"
#include "text/timecode.h"
#include "ui/rules.h"
#include "ui/window.h"
#include "win/files.h"
#include "win/globals.h"
#include "win/locator.h"
#include "win/open_folder.h"

volatile LONG g_busy = 0;

enum { TIME_TEXT_CAP = 63, FALLBACK_HEIGHT = 1080 };

// Reads a control's text into cap characters. 0 when the text is longer:
// a cut URL or time would ask for a different clip than the one typed.
static int read_field(HWND control, wchar_t* out, int cap)
{
    out[0] = L'\0';
    if (GetWindowTextLengthW(control) > cap - 1)
        return 0;
    GetWindowTextW(control, out, cap);
    return 1;
}

// parse_timecode's answer for a time field (1 a time, 0 blank, -1 not a
// time); seconds stays -1 unless a time was read.
static int read_time(HWND control, double& seconds)
{
    wchar_t text[TIME_TEXT_CAP];
    seconds = -1.0;
    if (!read_field(control, text, TIME_TEXT_CAP))
        return -1;
    return parse_timecode(text, seconds);
}

// The first thing wrong with the typed request, or null when it can run.
static const wchar_t* check_request(ClipJob* job)
{
    if (!read_field(g_url, job->url, CLIP_URL_CAP - 1) || !is_http_url(job->url))
        return L"Enter a valid http(s) video URL.";
    if (read_time(g_start, job->start) < 0)
        return L"Start time not understood.";
    int end_given = read_time(g_end, job->end);
    if (end_given < 0)
        return L"End time not understood.";
    if (end_given > 0 && job->start >= 0 && job->end >= 0 && job->start >= job->end)
        return L"End time must be after start time.";
    return nullptr;
}

static int is_checked(HWND box)
{
    return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

static void read_options(ClipJob* job)
{
    LRESULT quality = SendMessageW(g_quality, CB_GETCURSEL, 0, 0);
    job->height = (quality >= 0 && quality < QUALITY_COUNT) ? QUALITY_HEIGHTS[quality] : FALLBACK_HEIGHT;
    job->mp4 = is_checked(g_mp4);
    job->exact = is_checked(g_exact);
    job->noaudio = is_checked(g_noaudio) && job->height >= 0;
    LRESULT browser = SendMessageW(g_cookies, CB_GETCURSEL, 0, 0);
    if (browser < 0 || browser >= COOKIE_COUNT)
        browser = 0;
    format_text(job->cookies, L"%ls", COOKIE_NAMES[browser]);
}

const wchar_t* report_unwritable(const wchar_t* folder)
{
    post_logf(L"[tarnvik] cannot write to %ls — move Tarnvik.exe to a folder of its own that you "
              L"can write to, such as C:\\Tools\\Tarnvik.",
              folder);
    return L"Tarnvik needs its own writable folder.";
}

static void refuse(ClipJob* job, const wchar_t* message)
{
    SetWindowTextW(g_status, message);
    free(job);
    g_busy = 0;
}

// yt-dlp gone (an antivirus quarantined it, most often): said before it
// is looked for in vain by a job, with the footer brought up to date.
static const wchar_t* report_missing_ytdlp()
{
    wchar_t hint[HINT_LINE_CAP];
    if (build_hint_line(CAUSE_START_MISSING, -1, hint))
        post_log(hint);
    refresh_footer();
    return MISSING_YTDLP_STATUS;
}

// Windows' path limit holds for yt-dlp's files: in a folder this deep the
// clip's name would be cut to nothing useful.
static const wchar_t* report_too_deep(const wchar_t* folder)
{
    post_logf(L"[tarnvik] %ls is too deep a folder for the clips: Windows allows %d characters in a path, which "
              L"leaves fewer than %d for a clip's name — move Tarnvik.exe to a shorter folder, such as "
              L"C:\\Tools\\Tarnvik.",
              folder, (int)WINDOWS_PATH_UNITS, (int)CLIP_NAME_MIN_UNITS);
    return L"Tarnvik's folder is too deep for the clips — see log below.";
}

void on_cut_clip()
{
    if (InterlockedCompareExchange(&g_busy, 1, 0) != 0)
        return;
    ClipJob* job = (ClipJob*)calloc(1, sizeof(ClipJob));
    if (!job) {
        g_busy = 0;
        return;
    }
    if (const wchar_t* problem = check_request(job)) {
        refuse(job, problem);
        return;
    }
    read_options(job);
    // Checked against the video's length once the look-up has found it;
    // without an End, the clip then has a length for the bar.
    const VideoInfo* video = known_video(job->url, job->cookies);
    double video_length = video ? video->video_length : -1;
    wchar_t past_end[LENGTH_MESSAGE_CAP];
    if (!times_fit_length(job->start, job->end, video_length, past_end)) {
        refuse(job, past_end);
        return;
    }
    kept_info_file(job->url, job->cookies, job->info_file);
    CreateDirectoryW(g_clipsdir, nullptr);
    // Sharing a folder with another job could report that job's file.
    int made = make_job_folder(g_clipsdir, GetTickCount(), job->outdir);
    if (made < 0) {
        refuse(job, L"Could not create a new job folder in the clips folder.");
        return;
    }
    // yt-dlp would only fail later, and less clearly, in a folder that is not there.
    if (made == 0) {
        refuse(job, report_unwritable(g_clipsdir));
        return;
    }
    // The folder was made first to tell an unwritable clips folder; either
    // refusal removes it again, still empty.
    ClipNameBudget budget;
    wchar_t ytdlp[PATH_CAP];
    const wchar_t* refusal = !clip_name_budget(job->outdir, &budget) ? report_too_deep(g_appdir)
                             : !find_tool(TOOL_YTDLP, ytdlp)        ? report_missing_ytdlp()
                                                                    : nullptr;
    if (refusal) {
        RemoveDirectoryW(job->outdir);
        refuse(job, refusal);
        return;
    }
    job->clip_len = clip_len_in(job->start, job->end, video_length);
    SendMessageW(g_progress, PBM_SETPOS, 0, 0);
    if (!start_worker(RUNNING_CLIP, cut_thread, job, L"starting…"))
        free(job);
}

void cancel_running_work()
{
    if (g_running != RUNNING_NOTHING) {
        SetWindowTextW(g_status, L"cancelling…");
        // The worker reports the end with its usual end message.
        cancel_children();
    }
}

void cancel_on_escape()
{
    // Esc stops the look-up too; the Cancel button stops only the work it names.
    cancel_running_lookup();
    cancel_running_work();
}

void on_cut_button()
{
    if (g_running == RUNNING_NOTHING)
        on_cut_clip();
    else
        cancel_running_work();
}

void on_open_clips()
{
    CreateDirectoryW(g_clipsdir, nullptr);
    open_folder(g_clipsdir);
}

void on_quality_change()
{
    int audio_only = SendMessageW(g_quality, CB_GETCURSEL, 0, 0) == QUALITY_AUDIO_ONLY;
    if (audio_only) {
        SendMessageW(g_noaudio, BM_SETCHECK, BST_UNCHECKED, 0);
        disable_control(g_noaudio, g_quality);
    } else {
        enable_control(g_noaudio);
    }
}

void on_update_tools()
{
    // Like a clip job, it runs only while no other worker does.
    if (InterlockedCompareExchange(&g_busy, 1, 0) != 0)
        return;
    if (!can_write_in(g_appdir)) {
        SetWindowTextW(g_status, report_unwritable(g_appdir));
        g_busy = 0;
        return;
    }
    SendMessageW(g_progress, PBM_SETPOS, 0, 0);
    stop_lookup_for_work();
    start_worker(RUNNING_UPDATE, update_thread, nullptr, L"updating tools…");
}
