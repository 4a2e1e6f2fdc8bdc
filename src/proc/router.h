// Decides what the window does with one line of a child's output:
// progress moves the bar, a stage line sets a status word, and every
// line that is not progress is logged. It also remembers the cause of
// failure the output names (the first, unless a weak one is outranked
// later), for the plain-words line after a failed job.
#pragma once
#include <windows.h>

BOOL handle_line(const wchar_t* line);

// Forgets the cause seen so far; a clip job calls it before its child runs.
void reset_failure_cause();
// Keeps cause (a FailureCause) where it replaces the one kept since the
// reset (cause_replaces).
void note_failure_cause(int cause);
// The cause kept since the reset, or CAUSE_NONE.
int failure_cause();
