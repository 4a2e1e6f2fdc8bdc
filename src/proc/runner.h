// Runs one command line as a hidden child process, hands each line of its
// output (stdout and stderr joined) to the router while it runs, and
// returns its exit code.
#pragma once
#include <windows.h>

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

// A group of children that is cancelled on its own: the worker's (clip,
// tool download, update) is the one above; the look-up has another.
struct ChildGroup {
    INIT_ONCE once;
    HANDLE job;
    volatile LONG cancelled;
};
#define CHILD_GROUP_INIT {INIT_ONCE_STATIC_INIT, NULL, 0}

typedef void (*ChildLineHandler)(void* ctx, const wchar_t* line);

struct ChildRun {
    wchar_t* cmdline;            // writable, built with append_arg
    const wchar_t* folder;       // the child's current folder; null: Tarnvik's own
    const wchar_t* temp_folder;  // TEMP and TMP in the child's environment; null: inherited
    ChildGroup* group;           // its group
    ChildLineHandler on_line;    // every output line, and nothing else sees them; may be null
    void* ctx;
};

// The child's exit code, RUN_FAILED when it was not started (*start_error
// then holds GetLastError's code), or RUN_CANCELLED. Nothing is logged.
unsigned long run_child(const ChildRun* run, unsigned long* start_error);
// As cancel_children, reset_cancel and cancel_requested for one group.
void cancel_group(ChildGroup* group);
int group_cancelled(ChildGroup* group);
void reset_group(ChildGroup* group);
