// The window's decisions that need no window: which URLs are taken, the
// clip's length, the job folder's name, the finished file, the footer.
#pragma once
#include <cstddef>
#include "text/bounded.h"
#include "text/ellipsis.h"
#include "text/footer.h"
#include "win/files.h"
#include "win/globals.h"

// 1 when url begins with "http://" or "https://" in any letter case.
int is_http_url(const wchar_t* url);

// Seconds the clip lasts: end - start, end alone without a start, -1
// without an end (start and end are -1 when not given).
double clip_length(double start, double end);

// With the video's length known (duration > 0), the clip's length when no
// End is given is the rest of the video from Start; otherwise clip_length.
double clip_length_in(double start, double end, double duration);

enum { LENGTH_MESSAGE_CAP = 80 };
// Against a video of duration seconds (unknown: 0 or less, nothing is
// checked): a Start at or past its end, or an End past it, is refused with
// the message to show. 1 when the times fit.
int times_fit_length(double start, double end, double duration, wchar_t (&message)[LENGTH_MESSAGE_CAP]);

// Creates a fresh job folder inside clipsdir, named after tick and a
// pseudo-random number, into outdir (PATH_CAP). A name that is already
// taken (an earlier job, another copy of the program) is never reused.
// 1: outdir was created now. 0: creation failed for another reason;
// outdir holds the name that was tried. -1: every name tried was taken.
int make_job_folder(const wchar_t* clipsdir, unsigned long tick, wchar_t* outdir);

// "done — NAME (N.N MB)" into out (cap characters, always terminated), on
// one line of width as measure counts it: a long name is shortened with
// "…", so that the size always shows.
void format_done(const wchar_t* name, unsigned long long size, long width, MeasureText measure, void* context,
                 wchar_t* out, size_t cap);

// The footer line for the tools as they are now, yt-dlp's age counted to
// today by the system clock.
void build_footer(wchar_t (&out)[FOOTER_CAP]);
