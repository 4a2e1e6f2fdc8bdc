// What the window is told about one line of a child's output: progress
// moves the bar, a stage line sets a status word, and every line that is
// not progress is logged. The router also keeps the cause of failure the
// output names (the first, unless a weak one is outranked later), for the
// plain-words line after a failed clip.
#pragma once

enum { BAR_FULL = 1000 };  // the whole progress bar, in tenths of a percent

struct LineRouter {
    double clip_len;  // seconds ffmpeg's times count against; <= 0: unknown
    int cause;        // the FailureCause the lines named (note_cause), or CAUSE_NONE
    // This child's share of the bar, in tenths of a percent: its own 0-1000
    // fills bar_from to bar_from + bar_span.
    int bar_from, bar_span;
    int steady;    // 1: the bar never goes back (one job of several children)
    int bar_last;  // the last position posted, -1 before the first
};

// The whole bar for one child, going back when the child starts over
// (the tool download's separate files); no cause yet.
void init_router(LineRouter* router, double clip_len);

void handle_line(LineRouter* router, const wchar_t* line);
// handle_line as a run_child line handler; ctx is the LineRouter.
void route_child_line(void* ctx, const wchar_t* line);

// Keeps cause (a FailureCause) where it replaces the one kept so far
// (cause_replaces).
void note_cause(LineRouter* router, int cause);
