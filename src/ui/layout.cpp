// The window's controls: where each one sits, how it looks and how it
// starts out.
#include <windows.h>
#include <commctrl.h>
#include "ui/dpi.h"
#include "ui/pictures.h"
#include "ui/resources.h"
#include "ui/rules.h"
#include "ui/window.h"
#include "win/globals.h"

const wchar_t* const QUALITY_NAMES[QUALITY_COUNT] = {
    L"Best available", L"Up to 4K (2160p)", L"Up to 1080p", L"Up to 720p", L"Up to 480p", L"Audio only"};
const int QUALITY_HEIGHTS[QUALITY_COUNT] = {0, 2160, 1080, 720, 480, -1};
const wchar_t* const COOKIE_NAMES[COOKIE_COUNT] = {L"none",  L"firefox", L"chrome", L"edge",
                                                   L"brave", L"opera",   L"vivaldi"};

HFONT g_font, g_bold, g_mono;
HWND g_url, g_start, g_end, g_quality, g_cookies;
HWND g_mp4, g_exact, g_noaudio, g_cut;
HWND g_status, g_progress, g_log, g_foot, g_update, g_lookup;

enum { QUALITY_DEFAULT = 2, LOG_LIMIT = 4194304 };
// The log's rows in the table below, and the fewest it keeps on a screen too small.
enum { LOG_TOP = 416, LOG_HEIGHT = 190, LOG_BOTTOM = LOG_TOP + LOG_HEIGHT, LOG_LEAST_HEIGHT = 60 };
// The pictures' part of their row, below the chapter list: on a screen too
// small for the whole layout even with the log at its least, the pictures
// go and what lies below them moves up.
enum { PICTURES_TOP = 204, PICTURES_BOTTOM = 276, PICTURES_HEIGHT = PICTURES_BOTTOM - PICTURES_TOP };

enum FontKind { FONT_PLAIN, FONT_BOLD, FONT_MONO, FONT_UNSET };

struct ControlSpec {
    const wchar_t* cls;
    const wchar_t* text;
    int id;
    DWORD style;
    int x, y, width, height;
    FontKind font;
    HWND* handle;
};

const wchar_t HELP_TEXT[] =
    L"Times work with or without colons:  5:38 and 338 both mean 5 min 38 s (1:02:03 works too).  "
    L"Leave End blank to clip to the end of the video.";

// Alt and the letter after "&" reach a control; a label's key moves to the
// field after it.
static const wchar_t URL_LABEL[] = L"Video &URL";
static const wchar_t START_LABEL[] = L"&Start";
static const wchar_t END_LABEL[] = L"&End";
static const wchar_t QUALITY_LABEL[] = L"&Quality";
static const wchar_t COOKIES_LABEL[] = L"Coo&kies from";
static const wchar_t CHAPTERS_LABEL[] = L"C&hapter";
static const wchar_t MP4_TEXT[] = L"Prefer &MP4 / H.264 (most compatible)";
static const wchar_t EXACT_TEXT[] = L"E&xact cut (re-encodes at cut points; slower, no glitchy first frames)";
static const wchar_t NOAUDIO_TEXT[] = L"No &audio (video only)";
static const wchar_t OPEN_TEXT[] = L"&Open clips folder";
static const wchar_t UPDATE_TEXT[] = L"Update &tools";

// Tab visits the WS_TABSTOP controls in table order. A new WS_GROUP ends
// the group before it, so the arrow keys move only between the three
// options and never onto a label or the status line.
static const DWORD TAB_STOP = WS_TABSTOP | WS_GROUP;

// In creation order, which is also the order the window keeps its children
// in and the Tab order. Positions and sizes are pixels at 96 DPI and the
// default text size. Every edit field gets the sunken frame (below).
static const ControlSpec CONTROLS[] = {
    {L"STATIC", URL_LABEL, 0, 0, 14, 12, 200, 18, FONT_BOLD, nullptr},
    {L"EDIT", L"", IDC_URL, ES_AUTOHSCROLL | TAB_STOP, 14, 32, 636, 26, FONT_MONO, &g_url},
    // A video's title is shown as it is: an "&" in it is no access key.
    {L"STATIC", HELP_TEXT, IDC_LOOKUP, SS_NOPREFIX, 14, 66, 636, 32, FONT_PLAIN, &g_lookup},
    {L"STATIC", START_LABEL, 0, 0, 14, 104, 60, 18, FONT_BOLD, nullptr},
    {L"EDIT", L"", IDC_START, ES_CENTER | TAB_STOP, 14, 122, 110, 28, FONT_MONO, &g_start},
    {L"STATIC", L"→", 0, SS_CENTER, 130, 128, 30, 18, FONT_PLAIN, nullptr},
    {L"STATIC", END_LABEL, 0, 0, 166, 104, 60, 18, FONT_BOLD, nullptr},
    {L"EDIT", L"", IDC_END, ES_CENTER | TAB_STOP, 166, 122, 110, 28, FONT_MONO, &g_end},
    {L"STATIC", QUALITY_LABEL, 0, 0, 306, 104, 100, 18, FONT_BOLD, nullptr},
    {L"COMBOBOX", L"", IDC_QUALITY, WS_VSCROLL | CBS_DROPDOWNLIST | TAB_STOP, 306, 122, 160, 200, FONT_PLAIN,
     &g_quality},
    {L"STATIC", COOKIES_LABEL, 0, 0, 486, 104, 120, 18, FONT_BOLD, nullptr},
    {L"COMBOBOX", L"", IDC_COOKIES, WS_VSCROLL | CBS_DROPDOWNLIST | TAB_STOP, 486, 122, 164, 200, FONT_PLAIN,
     &g_cookies},
    // Shown only for a video with chapters (chapters.cpp).
    {L"STATIC", CHAPTERS_LABEL, 0, 0, 364, 158, 120, 18, FONT_BOLD, &g_chapters_label},
    {L"COMBOBOX", L"", IDC_CHAPTERS, WS_VSCROLL | CBS_DROPDOWNLIST | TAB_STOP, 364, 176, 286, 200, FONT_PLAIN,
     &g_chapters},
    // The frames at Start and End: 160 by 90 inside a one-pixel frame, the
    // time of each under it.
    {PICTURE_CLASS, L"", IDC_START_PICTURE, 0, 14, 158, 162, 92, FONT_PLAIN, &g_start_picture},
    {L"STATIC", L"", IDC_START_TIME, SS_CENTER | SS_NOPREFIX, 14, 252, 162, 18, FONT_PLAIN, &g_start_time},
    {PICTURE_CLASS, L"", IDC_END_PICTURE, 0, 186, 158, 162, 92, FONT_PLAIN, &g_end_picture},
    {L"STATIC", L"", IDC_END_TIME, SS_CENTER | SS_NOPREFIX, 186, 252, 162, 18, FONT_PLAIN, &g_end_time},
    {L"BUTTON", MP4_TEXT, IDC_MP4, BS_AUTOCHECKBOX | TAB_STOP, 14, 276, 320, 20, FONT_PLAIN, &g_mp4},
    {L"BUTTON", EXACT_TEXT, IDC_EXACT, BS_AUTOCHECKBOX | WS_TABSTOP, 14, 298, 520, 20, FONT_PLAIN, &g_exact},
    {L"BUTTON", NOAUDIO_TEXT, IDC_NOAUDIO, BS_AUTOCHECKBOX | WS_TABSTOP, 14, 320, 320, 20, FONT_PLAIN, &g_noaudio},
    {L"BUTTON", CUT_CLIP_TEXT, IDC_CUT, BS_DEFPUSHBUTTON | TAB_STOP, 14, 352, 120, 32, FONT_BOLD, &g_cut},
    {L"BUTTON", OPEN_TEXT, IDC_OPEN, BS_PUSHBUTTON | TAB_STOP, 144, 352, 150, 32, FONT_PLAIN, nullptr},
    // At the right end of the footer row, next to the tools' state it changes.
    {L"BUTTON", UPDATE_TEXT, IDC_UPDATE, BS_PUSHBUTTON | TAB_STOP, 530, 610, 120, 28, FONT_PLAIN, &g_update},
    // The status line and the footer show file names and folders as they
    // are: an "&" in them is no access key.
    {L"STATIC", L"", IDC_STATUS, SS_NOPREFIX | WS_GROUP, 306, 359, 344, 20, FONT_MONO, &g_status},
    {PROGRESS_CLASSW, nullptr, IDC_PROGRESS, PBS_SMOOTH, 14, 394, 636, 14, FONT_UNSET, &g_progress},
    {L"EDIT", L"", IDC_LOG, WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | TAB_STOP, 14, LOG_TOP,
     636, LOG_HEIGHT, FONT_MONO, &g_log},
    // One line: a long clips folder ends in "..." rather than under the button.
    {L"STATIC", L"", IDC_FOOT, SS_ENDELLIPSIS | SS_NOPREFIX, 14, 614, 506, 20, FONT_PLAIN, &g_foot},
};

enum { CONTROL_COUNT = sizeof CONTROLS / sizeof CONTROLS[0] };

// Every control, labels included, in table order: a new DPI moves them all.
static HWND s_controls[CONTROL_COUNT];

// Under visual styles an edit field with WS_BORDER gets a flat black
// frame; the client edge is the themed one.
static DWORD frame_of(const wchar_t* cls)
{
    return lstrcmpiW(cls, L"EDIT") == 0 ? WS_EX_CLIENTEDGE : 0;
}

static HWND create_child(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int width,
                         int height, int id)
{
    return CreateWindowExW(frame_of(cls), cls, text, style | WS_CHILD | WS_VISIBLE, x, y, width, height, g_main,
                           (HMENU)(INT_PTR)id, GetModuleHandleW(nullptr), nullptr);
}

HWND mk(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int width, int height, int id,
        HFONT font)
{
    HWND control = create_child(cls, text, style, x, y, width, height, id);
    SendMessageW(control, WM_SETFONT, (WPARAM)(font ? font : g_font), TRUE);
    return control;
}

static HFONT font_of(FontKind kind)
{
    switch (kind) {
    case FONT_BOLD:
        return g_bold;
    case FONT_MONO:
        return g_mono;
    default:
        return g_font;
    }
}

static HWND make_control(const ControlSpec& spec)
{
    // The progress bar draws no text and is the one control left without a font.
    if (spec.font == FONT_UNSET)
        return create_child(spec.cls, spec.text, spec.style, spec.x, spec.y, spec.width, spec.height, spec.id);
    return mk(spec.cls, spec.text, spec.style, spec.x, spec.y, spec.width, spec.height, spec.id,
              font_of(spec.font));
}

// How the layout gives way on a small screen: the log's pixels, and the
// pictures' row.
struct Shrink {
    int log;
    int pictures;  // 0, or the pixels of their row when they are left out
};

// Where a control sits at dpi. The edges are scaled rather than the width,
// so that controls which end in one line at 96 DPI still do. The log gives
// up shrink.log pixels of its height, and what lies below it moves up as
// much; without the pictures, all below their row moves up by its height.
static RECT placed_at(const ControlSpec& spec, int dpi, const Shrink& shrink)
{
    RECT at = {scale_to_dpi(spec.x, dpi), scale_to_dpi(spec.y, dpi), scale_to_dpi(spec.x + spec.width, dpi),
               scale_to_dpi(spec.y + spec.height, dpi)};
    if (spec.y >= PICTURES_BOTTOM)
        OffsetRect(&at, 0, -shrink.pictures);
    if (spec.handle == &g_log)
        at.bottom -= shrink.log;
    else if (spec.y >= LOG_BOTTOM)
        OffsetRect(&at, 0, -shrink.log);
    return at;
}

// How much the log must give up so that the window, at layout, ends above
// the bottom of the screen's work area: at a large text size the whole
// layout would not fit even a tall screen. The log scrolls, and keeps a
// few lines.
static Shrink layout_shrink(int layout, int dpi)
{
    Shrink shrink = {0, 0};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoW(MonitorFromWindow(g_main, MONITOR_DEFAULTTONEAREST), &monitor))
        return shrink;
    int over = outer_size(g_main, 0, scale_to_dpi(CLIENT_HEIGHT, layout), dpi).cy -
               (monitor.rcWork.bottom - monitor.rcWork.top);
    int most = scale_to_dpi(LOG_HEIGHT - LOG_LEAST_HEIGHT, layout);
    if (over > most) {
        shrink.pictures = scale_to_dpi(PICTURES_HEIGHT, layout);
        over -= shrink.pictures;
    }
    shrink.log = over <= 0 ? 0 : over < most ? over : most;
    return shrink;
}

static void fill_combo(HWND combo, const wchar_t* const* names, int count, int selected)
{
    for (int i = 0; i < count; ++i)
        SendMessageW(combo, CB_ADDSTRING, 0, (LPARAM)names[i]);
    SendMessageW(combo, CB_SETCURSEL, selected, 0);
}

// The combo boxes are unsorted so that an item's index is its table index.
static void set_initial_states()
{
    fill_combo(g_quality, QUALITY_NAMES, QUALITY_COUNT, QUALITY_DEFAULT);
    fill_combo(g_cookies, COOKIE_NAMES, COOKIE_COUNT, COOKIE_NONE);
    SendMessageW(g_mp4, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(g_exact, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(g_progress, PBM_SETRANGE32, 0, PROGRESS_FULL);
    SendMessageW(g_log, EM_LIMITTEXT, LOG_LIMIT, 0);
    show_chapters(nullptr);
    attach_time_keys();
}

HWND create_main_window(HINSTANCE instance, WNDPROC proc)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    // The window gets its icons for its own DPI once it exists.
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TARNVIK));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(INT_PTR)(COLOR_BTNFACE + 1);
    wc.lpszClassName = MAIN_CLASS;
    RegisterClassExW(&wc);
    // The size follows once the window knows the DPI of the screen it is on
    // and the fonts for it.
    return CreateWindowExW(0, MAIN_CLASS, L"Tarnvik", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                           CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, nullptr);
}

void create_controls()
{
    register_picture_class();
    for (int i = 0; i < CONTROL_COUNT; ++i) {
        s_controls[i] = make_control(CONTROLS[i]);
        if (CONTROLS[i].handle)
            *CONTROLS[i].handle = s_controls[i];
    }
    set_initial_states();
    // Made at their 96-DPI places; from here on one pass places them for
    // the window's DPI and text size, now and whenever either changes.
    rescale_controls(layout_dpi(), window_dpi(g_main));
}

void create_window_contents()
{
    int dpi = window_dpi(g_main);
    create_fonts(dpi);
    set_window_icons(g_main, dpi);
    create_controls();
}

void rescale_controls(int layout, int dpi)
{
    Shrink shrink = layout_shrink(layout, dpi);
    for (int i = 0; i < CONTROL_COUNT; ++i) {
        RECT at = placed_at(CONTROLS[i], layout, shrink);
        SetWindowPos(s_controls[i], nullptr, at.left, at.top, at.right - at.left, at.bottom - at.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        if (CONTROLS[i].font != FONT_UNSET)
            SendMessageW(s_controls[i], WM_SETFONT, (WPARAM)font_of(CONTROLS[i].font), TRUE);
    }
    fit_client_area(g_main, scale_to_dpi(CLIENT_WIDTH, layout),
                    scale_to_dpi(CLIENT_HEIGHT, layout) - shrink.log - shrink.pictures, dpi);
    show_pictures_row(shrink.pictures == 0);
}
