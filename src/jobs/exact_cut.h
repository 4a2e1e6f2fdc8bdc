// The exact cut in steps, once yt-dlp has fetched the section as for a copy
// cut: ffprobe reads the fetched file, the planner (media/cut_plan.h) decides
// how the clip is made, ffmpeg runs its steps and the result is checked.
// Where the cut cannot be made soundly the section is re-encoded from the
// file already fetched, said in one log line; it is never fetched again.
#pragma once
#include "jobs/clip_run.h"

// Makes the clip from the media file yt-dlp left in the job folder; the
// finished file keeps that file's name, and no intermediate file is left.
// The clip's name goes into clip->file (left empty when nothing was fetched).
// Returns 0 when the clip is made (or the fetched file is kept as the clip),
// RUN_CANCELLED after a cancel, otherwise the failed step's code; a failed
// cut leaves the fetched file as it was.
unsigned long make_exact_cut(ClipRun* clip);
