// What workers send to the main window: seven posted messages. A text
// travels as a heap copy (malloc) that the window frees after use.
#pragma once
#include <windows.h>
#include "text/bounded.h"

enum {
    WM_APP_LOG = WM_APP + 1,         // lParam: log line copy or null
    WM_APP_STATUS = WM_APP + 2,      // wParam: kind, lParam: status text copy or null
    WM_APP_CUT_DONE = WM_APP + 3,    // wParam: exit code, lParam: CutDone or null
    WM_APP_SETUP_DONE = WM_APP + 4,  // wParam: how it ended (below); lParam: SetupWorker
    WM_APP_PROGRESS = WM_APP + 5,    // wParam: tenths of a percent, negative = no position
    WM_APP_LOOKUP_DONE = WM_APP + 6,  // lParam: the ended Lookup (jobs/lookup.h), which the window frees
    WM_APP_PREVIEW_DONE = WM_APP + 7  // lParam: the ended Preview (jobs/preview.h), which the window frees
};

// Which worker's end WM_APP_SETUP_DONE reports: the window shows each in its own words.
enum SetupWorker { SETUP_BY_FIRST_RUN = 0, SETUP_BY_UPDATE = 1 };
// How the tool download ended: every tool in place, something failed, or
// the user cancelled it before it was done.
enum { SETUP_FAILED = 0, SETUP_OK = 1, SETUP_CANCELLED = 2 };
// How the update ended; a cancelled one sends SETUP_CANCELLED.
enum UpdateOutcome { UPDATE_INCOMPLETE = SETUP_FAILED, UPDATE_APPLIED = SETUP_OK, UPDATE_CURRENT = 3 };

enum { STATUS_STAGE = 0, STATUS_TOOL_MISSING = 2 };

// How a clip job ended, as WM_APP_CUT_DONE carries it (malloc'ed; the
// window frees it).
struct CutDone {
    unsigned long code;      // 0 done, RUN_CANCELLED, or the failed step's code
    int cause;               // the FailureCause the tools' output named, or CAUSE_NONE
    wchar_t folder[PATH_CAP];  // the job's own folder
    wchar_t file[PATH_CAP];    // the clip's own name in it; empty when the job names none
};

// Posts to g_main; waits and retries while the window's queue is full, so
// nothing is lost and order holds. Without a window nothing is posted.
// Returns nonzero when the message was posted.
BOOL post_message(UINT msg, WPARAM wparam, LPARAM lparam);
// Posts a message carrying a heap copy of text; frees the copy if the post fails.
BOOL post_text(UINT msg, WPARAM wparam, const wchar_t* text);

BOOL post_log(const wchar_t* text);
// Formats into 1024 characters (longer text is cut to 1023) and posts it.
BOOL post_logf(const wchar_t* format, ...);
BOOL post_status(int kind, const wchar_t* text);
// Logs "$ " and a child's command line (cut to the log's line limit), as
// the log shows each child before it runs.
BOOL echo_command(const wchar_t* cmdline);
// Posts WM_APP_CUT_DONE with code also in wParam and the clip's file name
// (empty: none named); a block that cannot be made is posted as null, which
// the window takes for a failed job.
BOOL post_cut_done(unsigned long code, int cause, const wchar_t* folder, const wchar_t* file);
