// The window's rules, kept apart so that the tests can call them: which
// addresses are taken, the clip's length and the times that fit the video,
// the job folder it makes in the clips folder, and the footer line from the
// tools found and today's date.
#pragma once
#include <cstddef>
#include "text/bounded.h"
#include "text/footer.h"
#include "win/files.h"
#include "win/globals.h"

// 1 when url begins with "http://" or "https://" in any letter case.
int is_http_url(const wchar_t* url);

// Seconds the clip lasts: end - start, end alone without a start, -1
// without an end (start and end are -1 when not given).
double clip_len_of(double start, double end);

// With the video's length known (video_length > 0), the clip's length when no
// End is given is the rest of the video from Start; otherwise clip_len_of.
double clip_len_in(double start, double end, double video_length);

enum { LENGTH_MESSAGE_CAP = 80 };
// Against a video of video_length seconds (unknown: 0 or less, nothing is
// checked): a Start at or past its end, or an End past it, is refused with
// the message to show. 1 when the times fit.
int times_fit_length(double start, double end, double video_length, wchar_t (&message)[LENGTH_MESSAGE_CAP]);

// Creates a fresh job folder inside clipsdir, named after tick and a
// pseudo-random number, into outdir (PATH_CAP). A name that is already
// taken (an earlier job, another copy of the program) is never reused.
// 1: outdir was created now. 0: creation failed for another reason;
// outdir holds the name that was tried. -1: every name tried was taken.
int make_job_folder(const wchar_t* clipsdir, unsigned long tick, wchar_t* outdir);


// The footer line for the tools as they are now, yt-dlp's age counted to
// today by the system clock.
void build_footer(wchar_t (&out)[FOOTER_CAP]);
