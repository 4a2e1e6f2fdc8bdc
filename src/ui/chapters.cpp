// The chapter list beside the times: shown only for a video whose look-up
// listed chapters; choosing one fills Start and End with its range, and
// the list names the chapter whose range the times hold.
#include <windows.h>
#include <math.h>
#include "text/time_step.h"
#include "text/timecode.h"
#include "ui/pictures.h"
#include "ui/window.h"

HWND g_chapters, g_chapters_label;

static VideoDetails s_listed;  // the chapters the list shows

void show_chapters(const VideoDetails* details)
{
    SendMessageW(g_chapters, CB_RESETCONTENT, 0, 0);
    s_listed.chapter_count = 0;
    int shown = details && details->chapter_count > 0;
    if (shown) {
        s_listed = *details;
        for (int i = 0; i < s_listed.chapter_count; ++i) {
            wchar_t label[CHAPTER_LABEL_CAP];
            format_chapter_label(s_listed.chapters[i], label);
            SendMessageW(g_chapters, CB_ADDSTRING, 0, (LPARAM)label);
        }
        select_chapter_of_times();
    } else if (GetFocus() == g_chapters) {
        SendMessageW(g_main, WM_NEXTDLGCTL, 0, FALSE);  // a hidden list keeps no focus
    }
    ShowWindow(g_chapters_label, shown ? SW_SHOWNA : SW_HIDE);
    ShowWindow(g_chapters, shown ? SW_SHOWNA : SW_HIDE);
}

void on_chapter_chosen()
{
    LRESULT index = SendMessageW(g_chapters, CB_GETCURSEL, 0, 0);
    if (index < 0 || index >= s_listed.chapter_count)
        return;
    const Chapter& chapter = s_listed.chapters[index];
    wchar_t start[TIME_FIELD_CAP], end[TIME_FIELD_CAP];
    format_time(chapter.start, TIME_MINUTES, start);
    format_time(chapter.end, TIME_MINUTES, end);
    SetWindowTextW(g_start, start);
    SetWindowTextW(g_end, end);
}

// The time in field, blank as blank_seconds; -1 when it is no time.
static double field_time(HWND field, double blank_seconds)
{
    wchar_t text[TIME_FIELD_CAP];
    double seconds = blank_seconds;
    if (GetWindowTextLengthW(field) >= TIME_FIELD_CAP)
        return -1;
    GetWindowTextW(field, text, TIME_FIELD_CAP);
    return parse_timecode(text, seconds) < 0 ? -1 : seconds;
}

void select_chapter_of_times()
{
    // Times are written to the millisecond.
    const double SAME = 0.001;
    double start = field_time(g_start, 0), end = field_time(g_end, known_video_length());
    int found = -1;
    for (int i = 0; i < s_listed.chapter_count && found < 0; ++i)
        if (fabs(start - s_listed.chapters[i].start) < SAME && fabs(end - s_listed.chapters[i].end) < SAME)
            found = i;
    if (SendMessageW(g_chapters, CB_GETCURSEL, 0, 0) != found)
        SendMessageW(g_chapters, CB_SETCURSEL, found, 0);
}
