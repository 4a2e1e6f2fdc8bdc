// What runs in the background decides what the buttons say and allow; every
// worker starts here, with a fresh cancel.
#include <windows.h>
#include "proc/runner.h"
#include "ui/pictures.h"
#include "ui/window.h"

Running g_running = RUNNING_NOTHING;

void show_running(Running what)
{
    g_running = what;
    // While work runs, the one thing to start is stopping it.
    SetWindowTextW(g_cut, what == RUNNING_NOTHING ? CUT_CLIP_TEXT : CANCEL_TEXT);
    EnableWindow(g_cut, TRUE);
    // "Update tools" pressed from the keyboard hands the focus to "Cancel".
    if (what == RUNNING_NOTHING) {
        enable_control(g_update);
        resume_lookup();
        resume_pictures();
    } else {
        disable_control(g_update, g_cut);
        // Nothing of the pictures holds up a clip, and a tool update may
        // need to replace the ffmpeg they run.
        pause_pictures();
    }
}

int start_worker(Running what, LPTHREAD_START_ROUTINE routine, void* param, const wchar_t* status)
{
    // Set before the thread exists, so that an early Cancel is never lost.
    reset_cancel();
    show_running(what);
    SetWindowTextW(g_status, status);
    HANDLE worker = CreateThread(nullptr, 0, routine, param, 0, nullptr);
    if (!worker) {
        show_running(RUNNING_NOTHING);
        g_busy = 0;
        return 0;
    }
    CloseHandle(worker);
    return 1;
}
