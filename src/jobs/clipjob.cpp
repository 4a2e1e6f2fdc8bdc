// The clip worker: only the fragments that hold the requested section
// (fragment_fetch.h), or a yt-dlp run that fetches the section
// into the job's own folder (once more from the address when the site
// refuses the kept information), then for an exact cut the steps that make it
// exact (exact_cut.h), reported to the window by posted messages.
#include "jobs/clipjob.h"
#include <stdlib.h>
#include <wchar.h>
#include "jobs/clip_run.h"
#include "jobs/exact_cut.h"
#include "jobs/fragment_fetch.h"
#include "jobs/messages.h"
#include "jobs/run_logged.h"
#include "media/cut_plan.h"
#include "proc/tools.h"
#include "text/bounded.h"
#include "text/clipname.h"
#include "text/cmdline.h"
#include "text/format.h"
#include "text/hints.h"
#include "win/files.h"
#include "win/globals.h"
#include "win/held_files.h"
#include "win/locator.h"
#include "win/temp_folder.h"

enum {
    // The Start and End fields accept at most three fields of 31 digits, so
    // a time stays below 4e34 seconds: 35 digits, a full stop and three
    // decimals. A cut text would send yt-dlp a different section.
    SECTION_TIME_CAP = 48,
    SECTION_CAP = 2 * SECTION_TIME_CAP + 4  // "*", start, "-", end
};

const wchar_t MISSING_YTDLP_STATUS[] = L"yt-dlp missing — press \"Update tools\"";
const wchar_t KEPT_INFO_REFUSED_LINE[] =
    L"[tarnvik] the site refused the video information kept from the look-up — trying again with the address";
static const wchar_t NO_COOKIES[] = L"none";
static const wchar_t SECTION_FROM_START[] = L"0";
static const wchar_t SECTION_TO_END[] = L"inf";

// Right after the URL. "--encoding utf-8" because the runner reads every
// child as UTF-8, while yt-dlp.exe otherwise writes the ANSI code page and
// drops what it cannot hold (a title such as "Café – Ünïcode").
static const wchar_t* const LEADING_OPTIONS[] = {
    YTDLP_NO_PLAYLIST, YTDLP_NEWLINE, YTDLP_NO_MTIME, YTDLP_ENCODING, YTDLP_UTF8, YTDLP_OUTPUT};

// seconds < 0 means the time was not given.
static void format_section_time(double seconds, const wchar_t* not_given, wchar_t (&out)[SECTION_TIME_CAP])
{
    if (seconds >= 0)
        format_text(out, L"%.3f", seconds);
    else
        format_text(out, L"%ls", not_given);
}

static void append_section(wchar_t* line, size_t cap, const ClipJob* job)
{
    wchar_t from[SECTION_TIME_CAP], to[SECTION_TIME_CAP], section[SECTION_CAP];
    format_section_time(job->start, SECTION_FROM_START, from);
    format_section_time(job->end, SECTION_TO_END, to);
    // The asterisk makes it a time range in yt-dlp's section syntax.
    format_text(section, L"*%ls-%ls", from, to);
    append_arg(line, cap, YTDLP_SECTIONS);
    append_arg(line, cap, section);
}

static void append_format(wchar_t* line, size_t cap, const ClipJob* job)
{
    wchar_t selector[FORMAT_SELECTOR_CAP];
    build_format_selector(job->height, job->mp4, job->noaudio, selector);
    append_arg(line, cap, YTDLP_FORMAT);
    append_arg(line, cap, selector);
    if (job->height < 0) {
        append_arg(line, cap, YTDLP_EXTRACT_AUDIO);
    } else if (job->mp4) {
        // A selector with '+' fetches video and audio apart, to be merged;
        // without it there is a single stream that can only be remuxed.
        append_arg(line, cap, wcschr(selector, L'+') ? YTDLP_MERGE_FORMAT : YTDLP_REMUX_VIDEO);
        append_arg(line, cap, YTDLP_MP4);
    }
}

void build_clip_command(const ClipJob* job, const wchar_t* ytdlp,
                        const wchar_t* ffmpeg_dir, wchar_t* line, size_t cap)
{
    line[0] = L'\0';
    append_arg(line, cap, ytdlp);
    if (job->info_file[0]) {
        append_arg(line, cap, YTDLP_LOAD_INFO_JSON);
        append_arg(line, cap, job->info_file);
    } else {
        append_arg(line, cap, job->url);
    }
    for (const wchar_t* option : LEADING_OPTIONS)
        append_arg(line, cap, option);

    // No folder in the template: yt-dlp runs in the job's folder, whose name
    // would otherwise pass through its template fields and its expansion
    // of environment variables ("C:\Tools $HOME").
    ClipNameBudget budget;
    wchar_t output[OUTPUT_TEMPLATE_CAP];
    clip_name_budget(job->outdir, &budget);
    format_output_template(&budget, output);
    append_arg(line, cap, output);

    // Without a location yt-dlp searches PATH, which begins with our folder,
    // and so finds the ffmpeg the locator found. It expands "$NAME" and
    // "%NAME%" in a location (and a leading "~", which a full path never
    // has): ffmpeg next to the program is left to PATH, and one elsewhere is
    // named only when nothing in its folder expands.
    if (ffmpeg_dir && ffmpeg_dir[0] && _wcsicmp(ffmpeg_dir, g_appdir) != 0 && !wcspbrk(ffmpeg_dir, L"%$")) {
        append_arg(line, cap, YTDLP_FFMPEG_LOCATION);
        append_arg(line, cap, ffmpeg_dir);
    }
    append_section(line, cap, job);
    append_format(line, cap, job);
    append_cookie_args(line, cap, job->cookies);
}

void append_cookie_args(wchar_t* line, size_t cap, const wchar_t* cookies)
{
    if (wcscmp(cookies, NO_COOKIES) != 0) {
        append_arg(line, cap, YTDLP_COOKIES_FROM_BROWSER);
        append_arg(line, cap, cookies);
    }
}

// Leaves the folder that holds the file. A drive root keeps its backslash:
// "C:" alone would mean the current folder of drive C.
static void strip_to_folder(wchar_t* path)
{
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash)
        return;
    if (slash == path + 2 && path[1] == L':')
        slash[1] = L'\0';
    else
        slash[0] = L'\0';
}

// yt-dlp's ffmpeg names the video's length as it opens it ("Duration:"),
// the video's input first: an exact cut of a WebM section needs it.
static void take_ytdlp_line(void* ctx, const wchar_t* line)
{
    ClipRun* clip = (ClipRun*)ctx;
    double seconds = 0;
    if (clip->video_length < 0 && read_input_duration(line, &seconds))
        clip->video_length = seconds;
    handle_line(&clip->router, line);
}

// yt-dlp.exe unpacks itself into its temporary folder and leaves that
// behind when it is killed: each run gets a folder of its own, removed
// after it however it ended.
unsigned long run_ytdlp(ClipRun* clip, wchar_t* line, ChildLineHandler on_line, void* ctx)
{
    wchar_t temp[PATH_CAP];
    int own_temp = make_temp_folder(L"yt-dlp", temp);
    if (!on_line) {
        on_line = take_ytdlp_line;
        ctx = clip;
    }
    unsigned long code = run_clip_child(clip, line, own_temp ? temp : NULL, on_line, ctx);
    // A yt-dlp.exe that did not start is the cause, whatever was said before.
    int start_cause = code == RUN_FAILED ? cause_of_start_error(clip->start_error) : CAUSE_NONE;
    if (start_cause != CAUSE_NONE)
        clip->router.cause = start_cause;
    if (own_temp && !rmtree(temp))
        post_logf(L"[tarnvik] yt-dlp's temporary folder could not be removed: %ls", temp);
    return code;
}

// Returns what WM_APP_CUT_DONE carries: 0 when the clip is made, 1 when
// there is no yt-dlp, RUN_FAILED when nothing could be run, otherwise the
// failed step's exit code.
static unsigned long run_clip(ClipRun* clip)
{
    wchar_t ytdlp[PATH_CAP];
    // Gone since "Cut clip" looked (an antivirus took it): the same hint,
    // and no empty job folder left.
    if (!find_tool(TOOL_YTDLP, ytdlp)) {
        post_status(STATUS_TOOL_MISSING, MISSING_YTDLP_STATUS);
        clip->router.cause = CAUSE_START_MISSING;
        rmtree(clip->job->outdir);
        return 1;
    }
    wchar_t* line = (wchar_t*)malloc(CLIP_LINE_CAP * sizeof(wchar_t));
    if (!line)
        return RUN_FAILED;
    wchar_t ffmpeg[PATH_CAP];
    if (find_tool(TOOL_FFMPEG, ffmpeg))
        strip_to_folder(ffmpeg);
    // The download takes most of an exact cut's time; its steps share the rest.
    clip->router.bar_span = clip->job->exact ? (int)EXACT_FETCH_SHARE : (int)BAR_FULL;
    unsigned long code = 0;
    if (!fetch_by_fragments(clip, ytdlp, &code)) {
        build_clip_command(clip->job, ytdlp, ffmpeg, line, CLIP_LINE_CAP);
        code = run_ytdlp(clip, line, NULL, NULL);
    }
    // The kept information holds media addresses that a site lets expire;
    // the address itself makes yt-dlp fetch fresh ones.
    if (code != 0 && code != RUN_CANCELLED && clip->job->info_file[0] && clip->router.cause == CAUSE_FORBIDDEN) {
        post_log(KEPT_INFO_REFUSED_LINE);
        clip->job->info_file[0] = L'\0';
        clip->router.cause = CAUSE_NONE;
        build_clip_command(clip->job, ytdlp, ffmpeg, line, CLIP_LINE_CAP);
        code = run_ytdlp(clip, line, NULL, NULL);
    }
    free(line);
    unsigned long long size = 0;
    // The exact cut names the file it made; a copy cut's clip is what yt-dlp
    // left in the job's own folder, which nothing else writes into.
    if (code == 0 && clip->job->exact)
        code = make_exact_cut(clip);
    else if (code == 0)
        find_media_file(clip->job->outdir, clip->file, &size);
    return code;
}

// A cancelled job leaves nothing half-done: the part files and fragments
// yt-dlp wrote go with the job's own folder.
static void remove_cancelled_job(const ClipJob* job)
{
    if (rmtree(job->outdir))
        post_log(L"[tarnvik] job cancelled — its folder and all yt-dlp wrote into it were removed");
    else
        post_logf(L"[tarnvik] job cancelled — its folder could not be removed: %ls", job->outdir);
}

DWORD WINAPI cut_thread(LPVOID param)
{
    ClipRun clip;
    clip.job = (ClipJob*)param;
    clip.video_length = -1.0;
    clip.start_error = 0;
    clip.file[0] = L'\0';
    init_router(&clip.router, clip.job->clip_len);
    clip.router.steady = 1;
    unsigned long code = run_clip(&clip);
    if (code == RUN_CANCELLED)
        remove_cancelled_job(clip.job);
    // The window frees the block; one that could not be made arrives as
    // null and counts as a failed job there.
    post_cut_done(code, clip.router.cause, clip.job->outdir, clip.file);
    free(param);
    return 0;
}
