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

// Shown each line of the child's output before the router gets it.
typedef void (*LineWatch)(const wchar_t* line, void* ctx);

// As run_logged with echo off, but the child starts in folder as its
// current folder, and watch (may be null) sees every line first.
unsigned long run_in_folder(wchar_t* cmdline, const wchar_t* folder, LineWatch watch, void* ctx);

// Cancelling the running worker's children (the window's thread asks).
// Ends every child process and all they started at once; until the next
// reset_cancel no further child starts.
void cancel_children();
// 1 once cancel_children was called since the last reset_cancel.
int cancel_requested();
// Called before a new worker starts.
void reset_cancel();
// Waits ms milliseconds, or less when a cancel comes. 1 when the whole
// pause passed with no cancel.
int pause_unless_cancelled(unsigned long ms);
