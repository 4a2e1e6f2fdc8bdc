// Which fragments of a file hold a clip, the requests that fetch them (the
// init piece, then the fragments in pieces of 1 MiB, fetched several at
// a time; never more than 10 MiB, as a longer answer is throttled by the
// biggest video site), and what the fetched file's head needs changed for
// a WebM to be one valid file.
#pragma once
#include <cstddef>

#include "media/frag_index.h"

// A piece is at most FRAG_PIECE_MAX; FRAG_PIECE_BYTES is the size asked
// for: small enough that several transfers share a run of fragments, since
// one answer arrives no faster than the server sends to one connection.
enum { FRAG_PIECE_MAX = 10 << 20, FRAG_PIECE_BYTES = 1 << 20 };

struct FragPlan {
    int first, last;          // the fragments fetched, inclusive
    long long from, to;       // their bytes in the file, to inclusive
    long long bytes;          // init piece and fragments
    int piece_count;          // requests, init piece included
    // Start in the fetched file for ffmpeg's input "-ss" (which counts from
    // that file's first time, as it does for the whole file): Start less
    // the time the fetched fragments skip. 0 with Start blank.
    double seek;
};

// Plans the fragments of index for a clip from start to end (seconds on the
// video's timeline; -1 = blank): from the last fragment that begins at or
// before Start (Start blank: the first) to the one that holds End (End
// blank: the last). ffmpeg's copy cut of a WebM reads on past End by as
// far as its input began before Start, so there End is taken that much
// later. 1 when
// planned; 0 when index has no fragments or end is not after start.
int plan_fragments(const FragIndex* index, double start, double end, FragPlan* plan);

// Piece i (0 to piece_count - 1) of plan: bytes from to to, inclusive.
// 0 for a bad index.
int frag_piece(const FragIndex* index, const FragPlan* plan, int i, long long* from, long long* to);

// A fetched WebM holds the init piece, the SeekHead and Cues as they were,
// and then only the planned clusters. In its first index->init_end bytes,
// head: the Segment becomes one of unknown size, the SeekHead a Void
// element, and each cue now points where its cluster lies in the fetched
// file (a cue before the first fetched cluster at that one, a cue after
// the last at the file's end), so that ffmpeg seeks in it as in the whole
// file. Every change keeps the bytes' length. 1 when done; 0 when head is
// shorter than the init piece or the Cues do not read back.
int webm_fix_head(unsigned char* head, size_t len, const FragIndex* index, const FragPlan* plan);
