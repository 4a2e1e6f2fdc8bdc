// Runs the planned steps of an exact cut: every child in the job folder and
// the worker's group, every intermediate file removed at the end.
#include "jobs/exact_cut.h"
#include <stdlib.h>
#include <wchar.h>
#include "jobs/messages.h"
#include "media/cut_plan.h"
#include "proc/tools.h"
#include "text/bounded.h"
#include "win/files.h"
#include "win/held_files.h"
#include "win/locator.h"

enum {
    CUT_FILES_CAP = CUT_MAX_STEPS * CUT_MAX_STEP_FILES,
    CHECK_FAILED = 1  // the code of a result that failed its check
};

static const wchar_t PROCESSING_STATUS[] = L"processing…";
static const wchar_t MISSING_TOOLS_LINE[] =
    L"[tarnvik] exact cut: ffmpeg or ffprobe is missing — the clip is the section as fetched; press "
    L"\"Update tools\" to download them.";
// ffprobe's data lines; anything else it writes is an error worth logging.
static const wchar_t* const PROBE_SECTIONS[] = {L"packet|", L"stream|", L"format|"};

struct ExactCut {
    ClipRun* clip;
    wchar_t ffmpeg[PATH_CAP], ffprobe[PATH_CAP];
    wchar_t fetched[PATH_CAP];       // yt-dlp's name for it, and so the result's
    wchar_t section[CUT_NAME_CAP];   // the fetched file's name while the steps run
    wchar_t line[CLIP_LINE_CAP];
    ProbeResult probe;               // the section's, then the result's
    CutPlan plan;
    int file_count;                  // every intermediate file a step may have left
    wchar_t files[CUT_FILES_CAP][CUT_NAME_CAP];
};

static int is_probe_data(const wchar_t* line)
{
    for (const wchar_t* section : PROBE_SECTIONS)
        if (wcsncmp(line, section, wcslen(section)) == 0)
            return 1;
    return 0;
}

static void take_probe_line(void* ctx, const wchar_t* line)
{
    ExactCut* cut = (ExactCut*)ctx;
    if (is_probe_data(line))
        probe_read_line(&cut->probe, line);
    else
        handle_line(&cut->clip->router, line);
}

// Runs the ffprobe command in cut->line into cut->probe.
static unsigned long run_probe(ExactCut* cut)
{
    return run_clip_child(cut->clip, cut->line, NULL, take_probe_line, cut);
}

// The section is read in two ffprobe runs into one record: its packets,
// then its streams' extradata.
static unsigned long probe_section(ExactCut* cut)
{
    probe_begin(&cut->probe);
    if (!build_probe_command(cut->ffprobe, cut->section, cut->line, CLIP_LINE_CAP))
        return RUN_FAILED;
    unsigned long code = run_probe(cut);
    if (code != 0)
        return code;
    if (!build_probe_streams_command(cut->ffprobe, cut->section, cut->line, CLIP_LINE_CAP))
        return RUN_FAILED;
    return run_probe(cut);
}

static int job_path(const ExactCut* cut, const wchar_t* name, wchar_t (&path)[PATH_CAP])
{
    return join_path(path, cut->clip->job->outdir, name);
}

// Both wait while a scanner or a sync client holds the file for a moment.
static int rename_in_job(const ExactCut* cut, const wchar_t* from, const wchar_t* to)
{
    wchar_t source[PATH_CAP], target[PATH_CAP];
    return job_path(cut, from, source) && job_path(cut, to, target) && rename_file(source, target);
}

// 1 when the file is gone; otherwise the log says which file stays.
static int delete_in_job(const ExactCut* cut, const wchar_t* name)
{
    wchar_t path[PATH_CAP];
    if (job_path(cut, name, path) && delete_file(path))
        return 1;
    post_logf(L"[tarnvik] exact cut: %ls could not be removed (Windows error %lu) — it stays in the clip's folder",
              name, GetLastError());
    return 0;
}

static void note_files(ExactCut* cut, const CutStepInfo* info)
{
    for (int i = 0; i < info->file_count; ++i) {
        int known = 0;
        for (int k = 0; k < cut->file_count && !known; ++k)
            known = _wcsicmp(cut->files[k], info->files[i]) == 0;
        if (!known && cut->file_count < CUT_FILES_CAP)
            format_text(cut->files[cut->file_count++], L"%ls", info->files[i]);
    }
}

// The join list and the like: the step's "line" is the file's text.
static int write_step_file(const ExactCut* cut, const CutStepInfo* info)
{
    wchar_t path[PATH_CAP];
    int size = WideCharToMultiByte(CP_UTF8, 0, cut->line, -1, NULL, 0, NULL, NULL);
    char* bytes = size > 0 ? (char*)malloc((size_t)size) : NULL;
    int written = bytes && WideCharToMultiByte(CP_UTF8, 0, cut->line, -1, bytes, size, NULL, NULL) > 0 &&
                  job_path(cut, info->output, path) && write_new_file(path, bytes, (size_t)size - 1);
    free(bytes);
    return written;
}

static unsigned long run_step(ExactCut* cut, const CutStepInfo* info, wchar_t (&why)[CUT_REASON_CAP])
{
    switch (info->tool) {
    case CUT_TOOL_WRITE:
        return write_step_file(cut, info) ? 0 : RUN_FAILED;
    case CUT_TOOL_FFPROBE: {
        probe_begin(&cut->probe);
        unsigned long code = run_probe(cut);
        if (code == 0 && !judge_cut_result(&cut->plan, &cut->probe, why))
            return CHECK_FAILED;
        return code;
    }
    default:
        // ffmpeg's times count against the media this step goes through.
        cut->clip->router.clip_len = info->media_seconds;
        return run_clip_child(cut->clip, cut->line, NULL, NULL, NULL);
    }
}

// Runs the plan's steps in order; on a failure why says what failed.
static unsigned long run_steps(ExactCut* cut, wchar_t (&why)[CUT_REASON_CAP])
{
    const int count = cut->plan.step_count;
    for (int i = 0; i < count; ++i) {
        CutStepInfo info;
        why[0] = L'\0';
        if (!build_cut_step(&cut->plan, i, cut->ffmpeg, cut->ffprobe, cut->fetched, cut->line, CLIP_LINE_CAP,
                            &info)) {
            format_text(why, L"%ls", L"a step's command line does not fit");
            return RUN_FAILED;
        }
        note_files(cut, &info);
        LineRouter* router = &cut->clip->router;
        int from = router->bar_from + router->bar_span;
        share_bar_up_to(cut->clip, from + (BAR_FULL - from) / (count - i));
        unsigned long code = run_step(cut, &info, why);
        if (code != 0) {
            if (!why[0] && info.failure)
                format_text(why, L"%ls", info.failure);
            return code;
        }
    }
    return 0;
}

// The steps, and after a failed one the re-encode of the whole section.
static unsigned long run_plan(ExactCut* cut)
{
    for (;;) {
        wchar_t why[CUT_REASON_CAP];
        unsigned long code = run_steps(cut, why);
        if (code == 0 || code == RUN_CANCELLED || !plan_fallback(&cut->plan, why))
            return code;
        post_log(cut->plan.reason);
    }
}

// Made: the result stands, and nothing else may stay. Otherwise the
// fetched file goes back to its own name, as it came from yt-dlp; where it
// cannot, the clip is the section under its working name. Either way the
// job names its clip, so a file left beside it is never reported.
static void finish_files(ExactCut* cut, int made)
{
    for (int i = 0; i < cut->file_count; ++i)
        if (_wcsicmp(cut->files[i], cut->section) != 0)
            delete_in_job(cut, cut->files[i]);
    if (made) {
        delete_in_job(cut, cut->section);
    } else if (!rename_in_job(cut, cut->section, cut->fetched)) {
        post_logf(L"[tarnvik] exact cut: the fetched section could not get its name back (Windows error %lu) — "
                  L"the clip is %ls",
                  GetLastError(), cut->section);
        format_text(cut->clip->file, L"%ls", cut->section);
    }
}

static unsigned long cut_in_steps(ExactCut* cut)
{
    const ClipJob* job = cut->clip->job;
    unsigned long long size = 0;
    if (!find_media_file(job->outdir, cut->fetched, &size))
        return 0;  // nothing was fetched: the window reports the failure
    format_text(cut->clip->file, L"%ls", cut->fetched);
    if (!find_tool(TOOL_FFPROBE, cut->ffprobe) || !find_tool(TOOL_FFMPEG, cut->ffmpeg)) {
        post_log(MISSING_TOOLS_LINE);
        return 0;
    }
    // Short ASCII names for the steps' command lines; the result gets yt-dlp's.
    cut_section_name(cut->fetched, cut->section);
    if (!rename_in_job(cut, cut->fetched, cut->section)) {
        post_logf(L"[tarnvik] exact cut: the fetched file could not be renamed (Windows error %lu) — the clip "
                  L"is the section as fetched",
                  GetLastError());
        return 0;
    }
    post_status(STATUS_STAGE, PROCESSING_STATUS);
    int made = 0;
    unsigned long code = probe_section(cut);
    if (code == 0) {
        CutRequest request = {job->start, job->end, cut->clip->video_length, job->height < 0, job->noaudio};
        plan_cut(&cut->probe, &request, cut->section, &cut->plan);
        if (cut->plan.reason[0])
            post_log(cut->plan.reason);
        if (cut->plan.mode != CUT_AS_FETCHED) {
            code = run_plan(cut);
            made = code == 0;
        }
    }
    if (code != RUN_CANCELLED)  // a cancelled job's folder goes as a whole
        finish_files(cut, made);
    return code;
}

unsigned long make_exact_cut(ClipRun* clip)
{
    // The probe's packets make this too large for a worker's stack.
    ExactCut* cut = (ExactCut*)calloc(1, sizeof(ExactCut));
    if (!cut)
        return RUN_FAILED;
    cut->clip = clip;
    unsigned long code = cut_in_steps(cut);
    free(cut);
    return code;
}
