// The index at the head of a single media file that lets a clip be fetched
// as a few of its fragments: a fragmented MP4's "sidx" box (each reference
// a "moof"+"mdat" pair that begins with a key frame) or a WebM's Cues when
// they come before the first cluster. Readers of the file's first bytes,
// whichever arrived, into one fixed-size record on the caller's heap.
#pragma once
#include <cstddef>

enum {
    // A fragment of 2 s gives 9 hours: more than any clip source holds
    // whole in one file. A longer index is not used.
    FRAG_MAX = 16384,
    FRAG_REASON_CAP = 160
};

enum FragKind { FRAG_MP4 = 1, FRAG_WEBM = 2 };

// What a reader makes of the head.
enum FragRead {
    FRAG_READ_OK,
    FRAG_READ_MORE,  // the head is cut short: `need` bytes from the file's start hold the index
    FRAG_READ_NONE   // no usable index; `reason` says why
};

struct FragIndex {
    int kind;               // FragKind
    long long init_end;     // bytes [0, init_end) make the init piece every fetch begins with
    long long file_size;    // the file's length where the head tells it, else -1
    double duration;        // seconds the file lasts, -1 unknown
    int count;
    long long offset[FRAG_MAX];  // each fragment's first byte in the file
    long long size[FRAG_MAX];    // its length in bytes
    double start[FRAG_MAX];      // its first time, seconds on the index's timeline

    // WebM: what a fetched file's head needs changed (webm_fix_head).
    long long segment_size_at;  // the Segment's size field
    int segment_size_length;
    long long segment_data;     // where the Segment's data begins: cue positions count from here
    long long seek_head_at, seek_head_length;  // the whole SeekHead element; 0 length: none
    long long cues_at, cues_length;            // the whole Cues element
};

// Reads the head of a file (its first len bytes; file_size the whole
// file's length when known, else -1) into index. FRAG_READ_MORE sets *need
// to the number of bytes from the start that hold the whole index;
// FRAG_READ_NONE writes why into reason ("the file has no index at its
// head", …, no "[tarnvik]" prefix).
int read_frag_index(const unsigned char* head, size_t len, long long file_size, FragIndex* index,
                    long long* need, wchar_t (&reason)[FRAG_REASON_CAP]);

// The two readers read_frag_index chooses between by the file's first bytes.
int read_mp4_index(const unsigned char* head, size_t len, long long file_size, FragIndex* index, long long* need,
                   wchar_t (&reason)[FRAG_REASON_CAP]);
int read_webm_index(const unsigned char* head, size_t len, long long file_size, FragIndex* index,
                    long long* need, wchar_t (&reason)[FRAG_REASON_CAP]);
