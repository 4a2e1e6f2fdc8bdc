// The stand-in main window: a message-only window pumped by its own thread,
// so workers can post to it while the test thread waits and checks.
#include "jobs/messages.h"
#include "support/capture.h"
#include "win/globals.h"
#include <stdio.h>
#include <stdlib.h>

namespace {

const wchar_t CAPTURE_CLASS[] = L"TarnvikTestCapture";
// Private messages of the capture itself, above the program's five.
const UINT WM_CAPTURE_SYNC = WM_APP + 100;  // lParam: event to set
const UINT WM_CAPTURE_STOP = WM_APP + 101;
const UINT WM_CAPTURE_HOLD = WM_APP + 102;  // lParam: event to wait for
const DWORD STOP_WAIT_MS = 30000;
const DWORD SYNC_WAIT_MS = 120000;

SRWLOCK g_lock = SRWLOCK_INIT;
std::vector<CapturedMsg> g_recorded;
HANDLE g_arrived;  // auto-reset, set after each recorded message
HANDLE g_thread;
HANDLE g_release;  // manual-reset, ends a hold
HWND g_window;

bool carries_text(UINT msg)
{
    return msg == WM_APP_LOG || msg == WM_APP_STATUS || msg == WM_APP_CUT_DONE;
}

void record(UINT msg, WPARAM wparam, LPARAM lparam)
{
    CapturedMsg captured;
    captured.msg = msg;
    captured.wparam = wparam;
    captured.lparam = carries_text(msg) ? 0 : lparam;
    captured.has_text = carries_text(msg) && lparam != 0;
    if (captured.has_text && msg == WM_APP_CUT_DONE) {
        const CutDone* done = (const CutDone*)lparam;
        captured.text = done->folder;
        captured.cause = done->cause;
        captured.file = done->file;
        free((void*)lparam);
    } else if (captured.has_text) {
        captured.text = (const wchar_t*)lparam;
        free((void*)lparam);
    }
    AcquireSRWLockExclusive(&g_lock);
    g_recorded.push_back(captured);
    ReleaseSRWLockExclusive(&g_lock);
    SetEvent(g_arrived);
}

LRESULT CALLBACK capture_proc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (msg >= WM_APP_LOG && msg <= WM_APP_LOOKUP_DONE) {
        record(msg, wparam, lparam);
        return 0;
    }
    switch (msg) {
    case WM_CAPTURE_SYNC:
        SetEvent((HANDLE)lparam);
        return 0;
    case WM_CAPTURE_HOLD:
        WaitForSingleObject((HANDLE)lparam, INFINITE);
        return 0;
    case WM_CAPTURE_STOP:
        DestroyWindow(window);
        return 0;
    case WM_CLOSE:
        return 0;  // only capture_stop ends the stand-in
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, msg, wparam, lparam);
}

struct StartRequest {
    HANDLE ready;
    HWND window;
};

DWORD WINAPI capture_thread(LPVOID param)
{
    StartRequest* request = (StartRequest*)param;
    WNDCLASSW cls = {};
    cls.lpfnWndProc = capture_proc;
    cls.hInstance = GetModuleHandleW(NULL);
    cls.lpszClassName = CAPTURE_CLASS;
    RegisterClassW(&cls);  // fails harmlessly when a former capture registered it
    HWND window = CreateWindowExW(0, CAPTURE_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                                  cls.hInstance, NULL);
    request->window = window;
    // The request lives on capture_start's stack: not to be touched once set.
    SetEvent(request->ready);
    if (!window)
        return 1;
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0)
        DispatchMessageW(&msg);
    // Texts still queued when the window went are freed as the window would.
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE))
        if (carries_text(msg.message) && msg.lParam)
            free((void*)msg.lParam);
    return 0;
}

// Posted, not sent: a sent message would overtake the posted ones.
bool post_to_capture(UINT msg, LPARAM lparam)
{
    while (!PostMessageW(g_window, msg, 0, lparam)) {
        if (GetLastError() != ERROR_NOT_ENOUGH_QUOTA)
            return false;
        Sleep(1);
    }
    return true;
}

// Every message posted before this call has been handled when it returns.
void wait_until_handled()
{
    HANDLE handled = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (handled && post_to_capture(WM_CAPTURE_SYNC, (LPARAM)handled))
        WaitForSingleObject(handled, SYNC_WAIT_MS);
    if (handled)
        CloseHandle(handled);
}

}  // namespace

bool capture_start()
{
    if (g_window)
        return false;
    if (!g_arrived)
        g_arrived = CreateEventW(NULL, FALSE, FALSE, NULL);
    StartRequest request = {CreateEventW(NULL, TRUE, FALSE, NULL), NULL};
    if (!g_arrived || !request.ready)
        return false;
    g_thread = CreateThread(NULL, 0, capture_thread, &request, 0, NULL);
    if (g_thread)
        WaitForSingleObject(request.ready, INFINITE);
    CloseHandle(request.ready);
    if (!request.window) {
        if (g_thread) {
            WaitForSingleObject(g_thread, INFINITE);
            CloseHandle(g_thread);
            g_thread = NULL;
        }
        return false;
    }
    AcquireSRWLockExclusive(&g_lock);
    g_recorded.clear();
    ReleaseSRWLockExclusive(&g_lock);
    g_window = request.window;
    g_main = request.window;
    return true;
}

void capture_stop()
{
    if (!g_window)
        return;
    g_main = NULL;
    capture_release();
    post_to_capture(WM_CAPTURE_STOP, 0);
    WaitForSingleObject(g_thread, STOP_WAIT_MS);
    CloseHandle(g_thread);
    g_thread = NULL;
    g_window = NULL;
    AcquireSRWLockExclusive(&g_lock);
    g_recorded.clear();
    ReleaseSRWLockExclusive(&g_lock);
}

std::vector<CapturedMsg> capture_take()
{
    if (g_window) {
        // Whatever was posted since the window went is lost: say so plainly.
        if (!IsWindow(g_window))
            fprintf(stderr, "capture: the window has gone before capture_stop\n");
        wait_until_handled();
    }
    std::vector<CapturedMsg> taken;
    AcquireSRWLockExclusive(&g_lock);
    taken.swap(g_recorded);
    ReleaseSRWLockExclusive(&g_lock);
    return taken;
}

static bool recorded_contains(UINT msg)
{
    bool found = false;
    AcquireSRWLockShared(&g_lock);
    for (const CapturedMsg& m : g_recorded)
        if (m.msg == msg) {
            found = true;
            break;
        }
    ReleaseSRWLockShared(&g_lock);
    return found;
}

bool capture_wait_for(UINT msg, DWORD timeout_ms)
{
    if (!g_arrived)
        return false;
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    for (;;) {
        if (recorded_contains(msg))
            return true;
        ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        WaitForSingleObject(g_arrived, (DWORD)(deadline - now));
    }
}

void capture_hold()
{
    if (!g_window || g_release)
        return;
    g_release = CreateEventW(NULL, TRUE, FALSE, NULL);
    if (g_release)
        post_to_capture(WM_CAPTURE_HOLD, (LPARAM)g_release);
}

void capture_release()
{
    if (!g_release)
        return;
    SetEvent(g_release);
    // The window thread may still be about to wait on it; it is closed once
    // the queue has moved past the hold.
    HANDLE release = g_release;
    g_release = NULL;
    wait_until_handled();
    CloseHandle(release);
}
