// Runs one command line as a hidden child process, hands each line of its
// output (stdout and stderr joined) to the router while it runs, and
// returns its exit code.
#pragma once

inline constexpr unsigned long RUN_FAILED = 0xFFFFFFFFul;

// cmdline must be writable. echo: log "$ " and the line first.
// Returns the child's exit code, or RUN_FAILED when it could not be run.
unsigned long run_logged(wchar_t* cmdline, int echo);

// Shown each line of the child's output before the router gets it.
typedef void (*LineWatch)(const wchar_t* line, void* ctx);

// As run_logged with echo off, but the child starts in folder as its
// current folder, and watch (may be null) sees every line first.
unsigned long run_in_folder(wchar_t* cmdline, const wchar_t* folder, LineWatch watch, void* ctx);
