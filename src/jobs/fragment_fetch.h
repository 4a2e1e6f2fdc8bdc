// A clip's section fetched as only the fragments that hold it: yt-dlp
// resolves the clip's formats, fetches each file's head (its index) and then
// the planned pieces of at most 10 MiB, and ffmpeg cuts the clip from them
// in the job folder as yt-dlp's own section fetch would have cut it. Where
// that road does not apply, one "[tarnvik]" line says why and the caller
// fetches the section as before.
#pragma once
#include "jobs/clip_run.h"

// Runs the fragment road for clip with yt-dlp at ytdlp. 1 when it ran to an
// end, with *code what the job reports (0: the clip is in the job folder
// under yt-dlp's name, RUN_CANCELLED, RUN_FAILED); 0 when the section must
// be fetched as before. Either way it leaves no file of its own behind.
int fetch_by_fragments(ClipRun* clip, const wchar_t* ytdlp, unsigned long* code);
