// Downloads with the system's curl that end by themselves on any network,
// and the check of each download against the SHA-256 its publisher lists.
#pragma once
#include "text/proxy.h"
#include "text/sums.h"
#include "win/globals.h"
#include "win/proxy.h"

enum {
    TOOL_LINE_CAP = 4096,     // curl and tar command lines
    SUMS_MAX_SECONDS = 120,   // the longest one try at a sums file may take
    TOOL_MAX_SECONDS = 3600,  // ... and at a tool (100 MB at 28 KB/s)
    NOT_FOUND_PAUSES = 3,     // a 404 is tried again after each of these pauses
    ASSET_NAME_CAP = 128,
    URL_CAP = 512,
    DL_NOT_THERE = -1         // dl: the release host answered 404 after every pause
};

// What one set-up or update run works with, read once as it starts.
struct SetupContext {
    wchar_t temp[PATH_CAP];           // the temporary folder, or empty when the system gives none that fits
    ProxySettings proxy;              // the user's proxy settings, resolved for each address
    wchar_t proxy_logged[PROXY_CAP];  // the proxy the log last named for a download
};

// One file as its publisher offers it in a release, beside that release's
// sums file.
struct Published {
    const wchar_t* tool;           // plain name for the log: "yt-dlp"
    const wchar_t* release;        // the release's download URL, ending in "/"
    const char* listed_as;         // the file's name in the sums file, a pattern of find_matching_sum
    int newest;                    // 1: of several that match, the newest release line
    const wchar_t* label;          // "[setup] downloading %ls ..."
    const wchar_t* sums_url;
    const wchar_t* saved_as;       // ASCII names in the folder fetched into,
    const wchar_t* sums_saved_as;  // so curl never sees the user's letters
    const char* preferred;         // looked for first, as listed_as (the first match); null: none
};

// A file as its release's sums file lists it now.
struct ListedFile {
    const Published* release;
    char name[ASSET_NAME_CAP];
    char hex[SHA256_HEX_CAP];
};

// How long a download that answered 404 waits before each further try:
// the ffmpeg builds' "latest" release is deleted and re-created on every
// build, and its files are missing meanwhile.
extern unsigned long g_not_found_pause_ms;

// Fills context for a run: the temporary folder and the system's proxy
// settings. end_setup lets go of what it holds.
void begin_setup(SetupContext* context);
void end_setup(SetupContext* context);

// dl: downloads url into folder\name with curl started in folder, so that it
// gets only the relative ASCII name. A 404 is tried again after each pause;
// a revocation check that cannot be made, once more without it. 1 when curl
// succeeded and the file is there; DL_NOT_THERE when the release host kept
// answering 404 (said in the log); 0 otherwise.
int dl(SetupContext* context, const wchar_t* url, const wchar_t* folder, const wchar_t* name,
       const wchar_t* label, long max_seconds);

// Fetches the release's sums file into folder (and removes it) and finds
// the file it lists. 1 with listed filled; DL_NOT_THERE when the release
// host has no such sums file (only that is logged); 0, with the reason
// logged, when it cannot.
int fetch_listed_sum(SetupContext* context, const Published* release, const wchar_t* folder,
                     ListedFile* listed);

// Logs that file is not installed for want of its sums file.
void report_sums_unfetched(const Published* file);

// 1 when the file at path has the sum hex; otherwise logs that tool failed
// the check.
int matches_sum(const wchar_t* path, const char* hex, const wchar_t* tool);

// Downloads the listed file into folder\saved_as and checks it against its
// listed sum. 1: the verified file is there. 0: the reason is logged and
// nothing of the download is left.
int fetch_matching(SetupContext* context, const ListedFile* listed, const wchar_t* folder);
