// Runs one command line as a hidden child process, hands each line of its
// output (stdout and stderr joined) to the caller's handler while it runs,
// and returns its exit code. Children are cancelled by group.
#pragma once
#include <windows.h>

inline constexpr unsigned long RUN_FAILED = 0xFFFFFFFFul;
// The exit code of a child ended by a cancel (that of a console program
// stopped with Ctrl+C), and run_child's result once a cancel was asked for.
inline constexpr unsigned long RUN_CANCELLED = 0xC000013Aul;

// Children that are cancelled together. Each group has its own kill-on-close
// job object (made on first use), so ending one group never touches another,
// and closing Tarnvik ends them all.
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
    ChildGroup* group;           // null: the worker's group (clip, tool download, update)
    ChildLineHandler on_line;    // every output line, may be null
    void* ctx;
    // A line that is not UTF-8 is read in this code page (the console's, for
    // the system's programs, console_code_page); 0: every line is read as
    // UTF-8, ill-formed bytes replaced.
    unsigned int code_page;
};

// A run of cmdline whose lines go to on_line with ctx, every other field at
// its default (Tarnvik's own folder and TEMP, the worker's group, UTF-8);
// the caller sets the ones that differ by name.
ChildRun child_run(wchar_t* cmdline, ChildLineHandler on_line, void* ctx);

// Runs one hidden child and blocks until its output has ended and it has
// exited (output that something else still holds open is read for two
// seconds more after the child has gone, then left).
// Its standard input is NUL, as a console would give it. Returns its exit
// code, RUN_FAILED when it could not start (then *start_error, if given, holds
// GetLastError(); the runner also hands the handler the lines "[tarnvik]
// failed to start process (error N)" and Windows' own text) or could not be
// put into its group, where a cancel reaches it (said in one line), or
// RUN_CANCELLED when its group's cancel ended it or kept it from starting.
// A start refused for a moment (the program file held by a scanner) is tried
// again for a few seconds first. Safe to call from two threads at once: each
// child inherits only its own pipe.
unsigned long run_child(const ChildRun* run, unsigned long* start_error);

// Starts tried again so far, for tests.
extern volatile LONG g_start_retries;

// Ends every child of the group, and all they started, at once; until the
// next reset_group no new child of the group starts.
void cancel_group(ChildGroup* group);
// 1 once cancel_group was called since the last reset_group.
int group_cancelled(ChildGroup* group);
// Called before a new piece of work in that group.
void reset_group(ChildGroup* group);
// Cancels the group and returns once its children have ended (after a few
// seconds at most, should one refuse to).
void end_group(ChildGroup* group);
// Waits ms milliseconds, or less when the group is cancelled. 1 when the
// whole pause passed with no cancel.
int pause_in_group(ChildGroup* group, unsigned long ms);

// The worker's group: the window's thread cancels the clip, download or
// update that runs (at most one; the look-up has a group of its own).
void cancel_children();
int cancel_requested();
// Called before a new worker starts.
void reset_cancel();
int pause_unless_cancelled(unsigned long ms);
