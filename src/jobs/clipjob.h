// The clip worker: runs yt-dlp for one requested section.
#pragma once
#include <windows.h>
#include "jobs/globals.h"

enum { CLIP_URL_CAP = 2048, CLIP_COOKIES_CAP = 16 };
// The share of the bar (tenths) the download fills in an exact cut.
enum { EXACT_FETCH_SHARE = 800 };

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
};

// Builds the yt-dlp command line for job into line (capacity cap).
// ffmpeg_dir may be null or empty when ffmpeg was not found.
void build_clip_command(const ClipJob* job, const wchar_t* ytdlp,
                        const wchar_t* ffmpeg_dir, wchar_t* line, size_t cap);

// Thread routine; param is a malloc'ed ClipJob that the thread frees.
// Ends by posting WM_APP_CUT_DONE exactly once, with the failure cause the
// tools named; a cancelled job's folder is removed first and its code is
// RUN_CANCELLED.
DWORD WINAPI cut_thread(LPVOID param);
