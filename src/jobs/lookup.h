// The look-up: one yt-dlp run in the background that reads what a video
// is (title, length, live; chapters, frame rate and the format its pictures
// are taken from) without fetching any of it, and keeps all that
// yt-dlp learnt in a file of its own folder, for a clip of the same video.
#pragma once
#include <windows.h>
#include "jobs/clipjob.h"
#include "text/video_details.h"
#include "text/video_info.h"

// LOOKUP_SEVERAL: the address holds more than one video (a playlist, a
// page with several); none of them is "the video".
enum LookupOutcome { LOOKUP_FOUND, LOOKUP_FAILED, LOOKUP_CANCELLED, LOOKUP_SEVERAL };
enum { LOOKUP_OUTPUT_CAP = 16384 };

struct Lookup {
    // The request, filled by the window.
    unsigned long serial;  // tells the window's current request from a stale one
    wchar_t url[CLIP_URL_CAP];
    wchar_t cookies[CLIP_COOKIES_CAP];
    wchar_t folder[PATH_CAP];  // its own: yt-dlp's current and temporary folder
    // The answer, filled by the thread.
    int outcome;
    int videos;  // how many yt-dlp named
    VideoInfo video;
    int cause;                        // the FailureCause its output named, if any
    wchar_t info_file[PATH_CAP];      // empty when yt-dlp wrote none
    VideoDetails details;             // read from the info file; empty without one
    ULONGLONG finished;               // GetTickCount64 when it ended
    wchar_t output[LOOKUP_OUTPUT_CAP];  // yt-dlp's lines, for the log when it failed
};

// The yt-dlp command line of lookup into line (capacity cap).
void build_lookup_command(const Lookup* lookup, const wchar_t* ytdlp, wchar_t* line, size_t cap);

// Starts lookup_thread for lookup (malloc'ed). It ends by posting
// WM_APP_LOOKUP_DONE with the record, which the window frees. Called only
// while no other look-up runs (the cancel is shared); 0 when the thread
// could not start (lookup is then the caller's again).
int start_lookup(Lookup* lookup);

// Ends the running look-up's yt-dlp and all it started, at once; it then
// reports LOOKUP_CANCELLED. Touches no clip, download or update.
void cancel_lookup();

// As cancel_lookup, and returns once its yt-dlp and all it started have
// ended: Windows refuses to replace a program that runs.
void end_lookup();
