// Seeing the clip before it is cut: the pictures of the frames at Start and
// End with their times, the chapter list that fills both times, and the
// keys that move a time in its field.
#pragma once
#include <windows.h>
#include "text/video_details.h"

extern HWND g_chapters, g_chapters_label;
extern HWND g_start_picture, g_end_picture, g_start_time, g_end_time;

inline constexpr const wchar_t PICTURE_CLASS[] = L"TarnvikPicture";
// PREVIEW_TIMER's WM_TIMER: a time has stood still long enough.
enum { PREVIEW_TIMER = 2 };

// The picture control's window class (picture_view.cpp); registered once.
void register_picture_class();

// The pictures (previews.cpp). The look-up found the video at url with
// cookies: its pictures follow the fields from now on.
void show_video_pictures(const wchar_t* url, const wchar_t* cookies, double video_length, const VideoDetails& details);
// The address or cookies changed: no video, no pictures.
void forget_video_pictures();
// EN_CHANGE of Start or End: a kept picture shows at once, another is
// fetched once the time stands still.
void on_time_change();
void on_preview_timer();
void on_preview_done(LPARAM preview);
// Work has started: a running fetch stops and waits for its end.
void pause_pictures();
// Work has ended: the pictures due are fetched.
void resume_pictures();
// The layout has placed the pictures anew (display scaling, text size):
// shown, and fetched to fit their boxes; or left out, on a screen too small.
void show_pictures_row(int shown);
// The window has gone: a running fetch is stopped and the pictures' folder removed.
void end_pictures();

// What a picture control draws (picture_view.cpp asks previews.cpp).
struct PictureView {
    const unsigned char* pixels;  // bottom-up BGR rows; null: none
    int width, height;
    int stale;                    // the pixels show a time the field no longer holds
    const wchar_t* word;          // said instead of a picture; null: none
};
void picture_view(HWND control, PictureView* view);

// The chapter list (chapters.cpp): filled and shown for a video that has
// chapters, hidden otherwise.
void show_chapters(const VideoDetails* details);
void on_chapter_chosen();
// EN_CHANGE of Start or End: the list names the chapter the times now hold, or none.
void select_chapter_of_times();
// What the look-up found for the video in the fields (lookup_ui.cpp): its
// chapters and frame rate, or null; its length, or -1 when not known.
const VideoDetails* known_details();
double known_video_length();

// Up, Down, Page Up, Page Down (and with Shift) in Start and End (time_keys.cpp).
void attach_time_keys();
