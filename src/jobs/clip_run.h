// One clip job's run: what its children share (the job, the line router
// with its share of the bar, what the tools told about the video), and how
// each child is run in the job's folder and the worker's group.
#pragma once
#include "jobs/clipjob.h"
#include "jobs/router.h"
#include "proc/runner.h"

enum { CLIP_LINE_CAP = 32768 };

struct ClipRun {
    ClipJob* job;  // the 403 retry takes the address in place of the kept information
    LineRouter router;
    double video_length;  // the whole video's seconds, as yt-dlp's ffmpeg named it; -1 unknown
    unsigned long start_error;  // why the last child could not start (GetLastError), or 0
    wchar_t file[PATH_CAP];     // the clip's own name in the job folder, once it is known
};

// Runs one child of the job with the job folder as its current folder and
// its command line echoed first, in the worker's group, so a cancel ends it
// with the rest of the job. Its lines go to on_line with ctx (null: the
// router). temp_folder: the child's TEMP and TMP, or null.
unsigned long run_clip_child(ClipRun* clip, wchar_t* line, const wchar_t* temp_folder, ChildLineHandler on_line,
                             void* ctx);

// Runs a yt-dlp command line of the job (clipjob.cpp) with a temporary
// folder of its own, removed after it however it ended. Its lines go to
// on_line with ctx (null: the router, noting the video's length that
// yt-dlp's ffmpeg names).
unsigned long run_ytdlp(ClipRun* clip, wchar_t* line, ChildLineHandler on_line, void* ctx);

// Gives the next child the bar from where the last share ended, or where
// the bar stands if that is further, up to to (tenths of a percent).
void share_bar_up_to(ClipRun* clip, int to);
