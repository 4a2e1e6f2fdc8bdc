// Downloads with the system's curl that end by themselves on any network,
// and the check of each download against the SHA-256 its publisher lists.
#pragma once
#include "jobs/globals.h"
#include "text/sums.h"

enum {
    TOOL_LINE_CAP = 4096,     // curl and tar command lines
    SUMS_MAX_SECONDS = 120,   // the longest one try at a sums file may take
    TOOL_MAX_SECONDS = 3600   // ... and at a tool (100 MB at 28 KB/s)
};

// One file as its publisher offers it, beside the sums file of its release.
struct Published {
    const wchar_t* tool;           // plain name for the log: "yt-dlp"
    const wchar_t* url;
    const wchar_t* label;          // "[setup] downloading %ls ..."
    const wchar_t* sums_url;
    const char* listed_as;         // the file's name in the sums file
    const wchar_t* saved_as;       // ASCII names in the folder fetched into,
    const wchar_t* sums_saved_as;  // so curl never sees the user's letters
};

// How long a download that answered 404 waits before its one more try: the
// ffmpeg builds' "latest" release is deleted and re-created on every build,
// and its files are missing meanwhile.
extern unsigned long g_not_found_pause_ms;

// Downloads url into folder\name with curl started in folder, so that it
// gets only the relative ASCII name. A 404 is tried once more after the
// pause; a revocation check that cannot be made, once more without it.
// 1 when curl succeeded and the file is there.
int dl(const wchar_t* url, const wchar_t* folder, const wchar_t* name, const wchar_t* label,
       long max_seconds);

// Fetches file's sums file into folder (and removes it) and finds the sum
// it lists for file. 0, with the reason logged, when it cannot.
int fetch_listed_sum(const Published* file, const wchar_t* folder, char (&hex)[SHA256_HEX_CAP]);

// 1 when the file at path has the sum hex; otherwise logs that tool failed
// the check.
int matches_sum(const wchar_t* path, const char* hex, const wchar_t* tool);

// Downloads file into folder\saved_as and checks it against hex, a sum
// fetched before. 1: the verified file is there. 0: the reason is logged and
// nothing of the download is left.
int fetch_matching(const Published* file, const wchar_t* folder, const char* hex);
