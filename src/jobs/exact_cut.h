// The exact cut in steps, once yt-dlp has fetched the section as for a copy
// cut: ffprobe reads the fetched file, the planner (media/cut_plan.h) decides
// how the clip is made, ffmpeg runs its steps and the result is checked.
// Where the cut cannot be made soundly the section is re-encoded from the
// file already fetched, said in one log line; it is never fetched again.
// Also what the children of one clip job share (ClipRun), with clipjob.cpp.
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
};

// Runs one child of the job with the job folder as its current folder and
// its command line echoed first, in the worker's group, so a cancel ends it
// with the rest of the job. Its lines go to on_line with ctx (null: the
// router). temp_folder: the child's TEMP and TMP, or null.
unsigned long run_clip_child(ClipRun* clip, wchar_t* line, const wchar_t* temp_folder, ChildLineHandler on_line,
                             void* ctx);

// Gives the next child the bar from where the last share ended, or where
// the bar stands if that is further, up to to (tenths of a percent).
void share_bar_up_to(ClipRun* clip, int to);

// Makes the clip from the media file yt-dlp left in the job folder; the
// finished file keeps that file's name, and no intermediate file is left.
// Returns 0 when the clip is made (or the fetched file is kept as the clip),
// RUN_CANCELLED after a cancel, otherwise the failed step's code; a failed
// cut leaves the fetched file as it was.
unsigned long make_exact_cut(ClipRun* clip);
