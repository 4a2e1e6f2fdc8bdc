// yt-dlp's video information, as the resolving run writes it once the
// clip's format selector has chosen one or two formats: whether each chosen
// format is a single file that can be fetched in pieces, and the
// information yt-dlp is then given to fetch (--load-info-json) in which each
// of them is a format of Tarnvik's own ("p0", "p1") that lists exactly the
// wanted pieces of its file, named in the address ("range=FROM-TO", as the
// file's own site names pieces of it).
#pragma once
#include <cstddef>

#include "media/frag_index.h"
#include "media/frag_plan.h"

enum {
    FETCH_MAX_FORMATS = 2,
    FETCH_URL_CAP = 8192,
    FETCH_WORD_CAP = 64,
    // The first request for a file's head: the init part and the index of
    // most files (a file of some hours has an index of a few KB).
    FETCH_HEAD_BYTES = 64 << 10
};

struct FetchFormat {
    char id[FETCH_WORD_CAP];   // yt-dlp's format_id
    char ext[FETCH_WORD_CAP];  // its extension
    char url[FETCH_URL_CAP];   // the file's address
    long long filesize;        // bytes, -1 unknown
    size_t begin, end;         // the format's object in the information text
};

struct FetchInfo {
    int count;  // chosen formats, in yt-dlp's order (video first)
    FetchFormat formats[FETCH_MAX_FORMATS];
    char ext[FETCH_WORD_CAP];  // the clip's extension (the merged one for two)
    double duration;           // seconds, -1 unknown
    size_t top_end;            // the top-level object's closing brace
};

// Our names for the chosen formats, in order, and the selector that fetches
// them one by one ("p0,p1").
extern const char* const FETCH_IDS[FETCH_MAX_FORMATS];

// Reads the chosen formats from the information text json (len bytes).
// 1 when every chosen format is a single file fetched over HTTP(S) (itself,
// or as DASH fragments that are byte ranges of one file); 0 with why in
// reason ("a live stream", "an HLS stream", …).
int read_fetch_info(const char* json, size_t len, FetchInfo* info, wchar_t (&reason)[FRAG_REASON_CAP]);

// What each format of the fetch lists: the head (its first head_bytes, one
// request), or the planned pieces.
struct FetchPart {
    long long head_bytes;    // > 0: the head
    const FragIndex* index;  // else the index and the plan
    const FragPlan* plan;
};

// The size write_fetch_info needs at most for these parts.
size_t fetch_info_size(size_t len, const FetchInfo* info, const FetchPart* parts);

// Writes into out (cap bytes) the information for a fetch: json as it is,
// its formats replaced by the chosen ones, each named FETCH_IDS[i] and
// listing parts[i]; no fixup, chunking or second address is left for yt-dlp
// to use. Returns the bytes written, 0 when they did not fit.
size_t write_fetch_info(const char* json, const FetchInfo* info, const FetchPart* parts, char* out, size_t cap);
