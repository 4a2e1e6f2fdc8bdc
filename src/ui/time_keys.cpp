// The keys that move a time in Start and End: Up and Down by a second,
// with Shift by one frame, Page Up and Page Down by ten seconds; never
// below 0 or past the video's end, and in the form the user wrote.
#include <windows.h>
#include <commctrl.h>
#include "text/time_step.h"
#include "ui/pictures.h"
#include "ui/window.h"

enum { TIME_KEYS_ID = 1, FIELD_TEXT_CAP = 64 };

static const double PAGE_SECONDS = 10;

// 1 with the step for key; 0 for any other key.
static int step_of(WPARAM key, TimeStep* step)
{
    int shift = GetKeyState(VK_SHIFT) < 0;
    const VideoDetails* details = known_details();
    step->seconds = 0;
    step->frames = 0;
    step->fps = details ? details->fps : 0;
    switch (key) {
    case VK_UP:
    case VK_DOWN:
        if (shift)
            step->frames = key == VK_UP ? 1 : -1;
        else
            step->seconds = key == VK_UP ? 1 : -1;
        return 1;
    case VK_PRIOR:
        step->seconds = PAGE_SECONDS;
        return 1;
    case VK_NEXT:
        step->seconds = -PAGE_SECONDS;
        return 1;
    default:
        return 0;
    }
}

static void move_time(HWND field, const TimeStep& step)
{
    wchar_t text[FIELD_TEXT_CAP], moved[TIME_FIELD_CAP];
    if (GetWindowTextLengthW(field) >= FIELD_TEXT_CAP)
        return;
    GetWindowTextW(field, text, FIELD_TEXT_CAP);
    double duration = known_video_length();
    // A blank Start is the video's start; a blank End its end, when known.
    double blank = field == g_start ? 0 : duration;
    if (!step_time(text, blank, step, duration, moved)) {
        MessageBeep(MB_OK);
        return;
    }
    SetWindowTextW(field, moved);
    int length = GetWindowTextLengthW(field);
    SendMessageW(field, EM_SETSEL, length, length);
}

static LRESULT CALLBACK time_field_proc(HWND field, UINT msg, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR)
{
    TimeStep step;
    if (msg == WM_KEYDOWN && step_of(wparam, &step)) {
        move_time(field, step);
        return 0;
    }
    return DefSubclassProc(field, msg, wparam, lparam);
}

void attach_time_keys()
{
    SetWindowSubclass(g_start, time_field_proc, TIME_KEYS_ID, 0);
    SetWindowSubclass(g_end, time_field_proc, TIME_KEYS_ID, 0);
}
