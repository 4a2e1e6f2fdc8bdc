// Runs one command line as a hidden child process, hands each line of its
// output (stdout and stderr joined) to the router while it runs, and
// returns its exit code.
#pragma once

inline constexpr unsigned long RUN_FAILED = 0xFFFFFFFFul;
// The exit code of a child ended by a cancel (that of a console program
// stopped with Ctrl+C), and run_logged's result once a cancel was asked for.
inline constexpr unsigned long RUN_CANCELLED = 0xC000013Aul;

// cmdline must be writable. echo: log "$ " and the line first.
// Returns the child's exit code, RUN_FAILED when it could not be run, or
// RUN_CANCELLED when a cancel ended it or kept it from starting.
unsigned long run_logged(wchar_t* cmdline, int echo);

// Cancelling the running worker's children (the window's thread asks).
// Ends every child process and all they started at once; until the next
// reset_cancel no further child starts.
void cancel_children();
// 1 once cancel_children was called since the last reset_cancel.
int cancel_requested();
// Called before a new worker starts.
void reset_cancel();
