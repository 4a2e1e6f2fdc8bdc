// A hidden window on a thread of its own that stands in for the main
// window: it becomes g_main and records every message workers post to it,
// freeing the text copies exactly as the real window does.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct CapturedMsg {
    UINT msg;
    WPARAM wparam;
    bool has_text;      // lParam was a non-null text copy
    std::wstring text;  // its contents
    LPARAM lparam = 0;  // as posted, for a message that carries no text
    int cause = 0;      // WM_APP_CUT_DONE: the failure cause it names
    std::wstring file = L"";  // ... and the clip's file name (empty: none)
};

// Creates the window and its thread and sets g_main. Returns false on failure.
bool capture_start();
// Destroys the window, ends its thread and sets g_main back to null.
void capture_stop();
// Waits until every message posted so far has been handled, then returns
// the recorded messages in arrival order and forgets them.
std::vector<CapturedMsg> capture_take();
// Waits up to timeout_ms for a message msg to arrive; true when it did.
bool capture_wait_for(UINT msg, DWORD timeout_ms);
// Makes the window stop taking messages until capture_release, so that
// posters meet a queue that fills up, as behind a busy window. Release
// before taking: capture_take waits for the window.
void capture_hold();
void capture_release();
