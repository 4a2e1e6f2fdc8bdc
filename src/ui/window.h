// The main window: control ids, the handles and fonts the handlers share,
// and the handlers that WndProc dispatches to.
#pragma once
#include <windows.h>
#include "text/video_info.h"
#include "win/globals.h"

enum {
    IDC_URL = 101,
    IDC_START = 102,
    IDC_END = 103,
    IDC_QUALITY = 104,
    IDC_COOKIES = 105,
    IDC_MP4 = 106,
    IDC_EXACT = 107,
    IDC_NOAUDIO = 108,
    IDC_CUT = 109,
    IDC_OPEN = 110,
    IDC_STATUS = 111,
    IDC_LOG = 112,
    IDC_FOOT = 113,
    IDC_PROGRESS = 114,
    IDC_UPDATE = 115,
    IDC_LOOKUP = 116,
    IDC_CHAPTERS = 117,
    IDC_START_PICTURE = 118,
    IDC_END_PICTURE = 119,
    IDC_START_TIME = 120,  // the time under the Start picture
    IDC_END_TIME = 121
};

enum { CLIENT_WIDTH = 664, CLIENT_HEIGHT = 644 };
enum { QUALITY_COUNT = 6, QUALITY_AUDIO_ONLY = 5, COOKIE_COUNT = 7, COOKIE_NONE = 0, COOKIE_FIREFOX = 1 };
enum { PROGRESS_FULL = 1000 };

extern const wchar_t* const QUALITY_NAMES[QUALITY_COUNT];
extern const int QUALITY_HEIGHTS[QUALITY_COUNT];
extern const wchar_t* const COOKIE_NAMES[COOKIE_COUNT];

inline constexpr const wchar_t MAIN_CLASS[] = L"TarnvikMain";
// The one button that starts a clip and stops whatever runs; Alt+C
// presses it while it reads "Cut clip".
inline constexpr const wchar_t CUT_CLIP_TEXT[] = L"&Cut clip";
inline constexpr const wchar_t CANCEL_TEXT[] = L"Cancel";

extern HFONT g_font;  // the system's message font
extern HFONT g_bold;  // the same at weight 600
extern HFONT g_mono;  // fixed pitch, for what the user types and the log

extern HWND g_url, g_start, g_end, g_quality, g_cookies;
extern HWND g_mp4, g_exact, g_noaudio, g_cut;
extern HWND g_status, g_progress, g_log, g_foot, g_update;
// The line under the address: the hint on time formats, or what the
// look-up found out about the video.
extern HWND g_lookup;
extern const wchar_t HELP_TEXT[];

// 1 while a clip request is checked or a clip, download or update runs
// (never for the look-up).
extern volatile LONG g_busy;

// The work that runs now, if any: at most one clip, download or update at a
// time. The look-up is not among them: it starts only while none of them
// runs, and one already running goes on beside them in its own child group.
enum Running { RUNNING_NOTHING, RUNNING_CLIP, RUNNING_SETUP, RUNNING_UPDATE };
extern Running g_running;

// Records what runs now and gives every button the text and state that
// go with it: the one place that decides them.
void show_running(Running what);
// With g_busy taken: shows status and starts routine(param) as the worker of
// that kind. 0 when its thread could not be started; nothing runs then and
// g_busy is released.
int start_worker(Running what, LPTHREAD_START_ROUTINE routine, void* param, const wchar_t* status);

// Registers the main window's class with proc and creates the window,
// still empty and not shown.
HWND create_main_window(HINSTANCE instance, WNDPROC proc);
// mk: creates one child control of g_main and gives it font (g_font when null).
HWND mk(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y,
        int width, int height, int id, HFONT font);
// Creates every control of the window in its fixed order and initial state,
// placed for the window's DPI.
void create_controls();
// The fonts, the client area, the icons and every control of g_main, for
// its DPI and the user's text size.
void create_window_contents();
// Moves every control to its place at layout (see layout_dpi), gives it
// its font again, and sizes the client area around them; dpi is the
// window's own, for its frame.
void rescale_controls(int layout, int dpi);
// Writes which tools are present into the footer line (footer_line.cpp).
void refresh_footer();

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

// Logs that folder cannot be written, naming it, and returns the status
// line's sentence for that.
const wchar_t* report_unwritable(const wchar_t* folder);

// WM_DPICHANGED: new fonts, the controls moved, the window placed at suggested.
void on_dpi_changed(int dpi, const RECT* suggested);
// WM_SETTINGCHANGE: a new text size gives new fonts, and the controls and
// the client area grow or shrink with them.
void on_setting_change();

// Keyboard: DM_GETDEFID (the button Enter presses), WM_NEXTDLGCTL, and the
// control that gets the focus back when the window is active again.
LRESULT on_get_default_id();
void on_next_control(WPARAM wparam, LPARAM lparam);
void on_activate(WPARAM wparam);
void on_focus();
// The message loop's Esc: an Esc key pressed anywhere in the window, the
// log included, cancels what runs and goes no further (the multi-line log
// would answer it by closing the window). 1 when msg was such a key.
int take_escape(const MSG* msg);
// Disables control; if it has the focus, the focus moves to focus_to first.
void disable_control(HWND control, HWND focus_to);
// Enables control; a focus that disable_control moved off it comes back,
// unless the user has moved it on since.
void enable_control(HWND control);

// User commands (WM_COMMAND).
// The "Cut clip" button: cuts a clip, or cancels what runs.
void on_cut_button();
// Cancel, from the button: stops the clip, download or update that runs,
// and does nothing when none runs.
void cancel_running_work();
// Esc wherever the focus is: stops that work and the look-up as well.
void cancel_on_escape();
void on_cut_clip();
void on_open_clips();
void on_quality_change();
void on_update_tools();

// The look-up (lookup_ui.cpp). LOOKUP_TIMER's WM_TIMER: the address has
// stood still long enough.
enum { LOOKUP_TIMER = 1 };
// The address or "Cookies from" changed: what was found is forgotten, a
// running look-up stopped, and a new one due once the address stands still.
void on_request_change();
void on_lookup_timer();
void on_lookup_done(LPARAM lookup);
// Work has ended: a look-up that waited for it starts now.
void resume_lookup();
// Work that must not run beside a look-up ("Update tools") begins: a
// running look-up is stopped and starts again once the work has ended.
void stop_lookup_for_work();
// Esc: stops a running look-up, and one about to start. Touches no clip.
void cancel_running_lookup();
// The window has gone, or the session ends: the look-up is stopped and its
// folder (yt-dlp's information, which can hold the site's cookies) removed.
void end_lookups();
// What a finished look-up of this address with these cookies found; null
// when none has (or the video is live, so its length keeps changing).
const VideoInfo* known_video(const wchar_t* url, const wchar_t* cookies);
// The information file that look-up kept, while it is fresh enough for a
// clip to use instead of the address (an hour; never a live stream's).
// 0 (file empty) when there is none.
int kept_info_file(const wchar_t* url, const wchar_t* cookies, wchar_t (&file)[PATH_CAP]);

// Adds one line at the end of the log.
void append_to_log(const wchar_t* line);
// The "[tarnvik]" line with what most likely went wrong, for cause.
void log_failure_hint(int cause);

// Worker messages; each frees the text it carries.
void on_log(LPARAM text);
void on_status(LPARAM text);
void on_cut_done(WPARAM exit_code, LPARAM done);  // done: a CutDone
void on_setup_done(WPARAM outcome, LPARAM worker);
void on_progress(WPARAM tenths);
