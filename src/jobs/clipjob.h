// The clip worker: runs yt-dlp for one requested section and, with Exact
// cut, the steps that make the clip from it (exact_cut.h).
#pragma once
#include <windows.h>
#include "win/globals.h"

enum { CLIP_URL_CAP = 2048, CLIP_COOKIES_CAP = 16 };
// The share of the bar (tenths) the download fills in an exact cut.
enum { EXACT_FETCH_SHARE = 800 };

// The status while a job ends for want of yt-dlp.
extern const wchar_t MISSING_YTDLP_STATUS[];
// The log line before a run from the address once the site has refused the
// media addresses of the look-up's kept information.
extern const wchar_t KEPT_INFO_REFUSED_LINE[];

struct ClipJob {
    wchar_t url[CLIP_URL_CAP];
    double start;                    // seconds, -1 = not given
    double end;                      // seconds, -1 = not given
    double clip_len;                 // seconds the section lasts; <= 0: not known
    int height;                      // -1 audio only, 0 no limit, else max height
    int mp4;
    int exact;
    int noaudio;
    wchar_t cookies[CLIP_COOKIES_CAP];  // browser name, "none" for no cookies
    wchar_t outdir[PATH_CAP];        // the job's own output folder
    // What a finished look-up of the same address kept: given to yt-dlp in
    // place of the address, so that it need not look the video up again.
    // Empty: the address itself.
    wchar_t info_file[PATH_CAP];
};

// Builds the yt-dlp command line for job into line (capacity cap); it is
// run with the job's folder as its current folder. ffmpeg_dir may be null
// or empty when ffmpeg was not found.
void build_clip_command(const ClipJob* job, const wchar_t* ytdlp,
                        const wchar_t* ffmpeg_dir, wchar_t* line, size_t cap);

// "--cookies-from-browser" and the browser, unless cookies is "none".
void append_cookie_args(wchar_t* line, size_t cap, const wchar_t* cookies);

// cut_thread: the clip worker's thread routine; param is a malloc'ed ClipJob
// that the thread frees. Ends by posting WM_APP_CUT_DONE exactly once, with
// the failure cause the tools named and the clip's own file name; a cancelled job's folder is removed first and its code is
// RUN_CANCELLED, and so is the still empty folder of a job that found no
// yt-dlp (code 1). A run from the kept information that the site refuses
// (its media addresses have expired) is run once more with the address.
DWORD WINAPI cut_thread(LPVOID param);
