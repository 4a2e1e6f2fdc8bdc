// The chapter list beside the times: shown only for a video whose look-up
// listed chapters; choosing one fills Start and End with its range.
#include <windows.h>
#include "text/time_step.h"
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
