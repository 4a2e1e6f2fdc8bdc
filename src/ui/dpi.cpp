// Display scaling with fallbacks for Windows 10 before 1607, the text size
// the user chose, and the window's answer to a new DPI or text size.
#include <wchar.h>
#include "ui/dpi.h"
#include "ui/resources.h"
#include "ui/window.h"
#include "win/globals.h"

// The fixed-pitch font of the fields and the log is 13 pixels high at 96
// DPI and grows with the DPI and the text size as the message font does.
enum { MONO_HEIGHT = 13, BOLD_WEIGHT = 600 };
// The text height a 96-DPI row of the layout holds: Segoe UI 9 pt,
// Windows' message font at the default text size. "Make text bigger"
// (up to 225 %) enlarges the message font beyond it.
enum { ROW_TEXT_HEIGHT = 16 };

typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);
typedef BOOL(WINAPI* AdjustWindowRectExForDpiFn)(RECT*, DWORD, BOOL, DWORD, UINT);
typedef BOOL(WINAPI* SystemParametersInfoForDpiFn)(UINT, UINT, void*, UINT, UINT);
typedef int(WINAPI* GetSystemMetricsForDpiFn)(int, UINT);

static int s_layout_dpi = BASE_DPI;
static LOGFONTW s_message_font;  // the message font the current fonts were made from

// A USER32 function by name, or null on a Windows that lacks it. Asked for
// at each use: these run a few times per window.
template <typename Function>
static Function user32_function(const char* name)
{
    FARPROC found = GetProcAddress(GetModuleHandleW(L"user32.dll"), name);
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

static int system_dpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : BASE_DPI;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : BASE_DPI;
}

int window_dpi(HWND window)
{
    GetDpiForWindowFn dpi_for_window = user32_function<GetDpiForWindowFn>("GetDpiForWindow");
    int dpi = dpi_for_window && window ? (int)dpi_for_window(window) : 0;
    return dpi > 0 ? dpi : system_dpi();
}

int scale_to_dpi(int length, int dpi)
{
    return MulDiv(length, dpi, BASE_DPI);
}

int layout_dpi()
{
    return s_layout_dpi;
}

SIZE outer_size(HWND window, int width, int height, int dpi)
{
    AdjustWindowRectExForDpiFn adjust_for_dpi = user32_function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT frame = {0, 0, width, height};
    DWORD style = (DWORD)GetWindowLongW(window, GWL_STYLE);
    DWORD ex_style = (DWORD)GetWindowLongW(window, GWL_EXSTYLE);
    if (!adjust_for_dpi || !adjust_for_dpi(&frame, style, FALSE, ex_style, (UINT)dpi))
        AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

void fit_client_area(HWND window, int width, int height, int dpi)
{
    SIZE outer = outer_size(window, width, height, dpi);
    SetWindowPos(window, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The user's message font, sized for dpi and the text size. Without the
// per-DPI query every window has the system's DPI, which the plain query
// answers for.
static LOGFONTW message_font(int dpi)
{
    SystemParametersInfoForDpiFn metrics_for_dpi =
        user32_function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (metrics_for_dpi && metrics_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, (UINT)dpi))
        return metrics.lfMessageFont;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
    metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, system_dpi());
    return metrics.lfMessageFont;
}

static int text_height(HFONT font)
{
    HDC screen = GetDC(nullptr);
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return metrics.tmHeight;
}

// Text that fits the rows at dpi leaves the layout as it is; taller text
// scales the whole layout, widths too, as a higher DPI would.
static int dpi_for_text(int dpi, int height)
{
    if (height * BASE_DPI <= ROW_TEXT_HEIGHT * dpi)
        return dpi;
    return (height * BASE_DPI + ROW_TEXT_HEIGHT - 1) / ROW_TEXT_HEIGHT;
}

void create_fonts(int dpi)
{
    LOGFONTW font = message_font(dpi);
    s_message_font = font;
    g_font = CreateFontIndirectW(&font);
    font.lfWeight = BOLD_WEIGHT;
    g_bold = CreateFontIndirectW(&font);
    int plain = text_height(g_font), bold = text_height(g_bold);
    s_layout_dpi = dpi_for_text(dpi, plain > bold ? plain : bold);
    g_mono = CreateFontW(-scale_to_dpi(MONO_HEIGHT, s_layout_dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                         FIXED_PITCH | FF_MODERN, L"Consolas");
}

static int metric_for_dpi(int index, int dpi)
{
    GetSystemMetricsForDpiFn metrics_for_dpi = user32_function<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (metrics_for_dpi)
        return metrics_for_dpi(index, (UINT)dpi);
    return MulDiv(GetSystemMetrics(index), dpi, system_dpi());
}

static void set_icon(HWND window, WPARAM which, int size)
{
    HICON icon = (HICON)LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TARNVIK), IMAGE_ICON, size,
                                   size, 0);
    if (!icon)
        return;
    if (HICON old = (HICON)SendMessageW(window, WM_SETICON, which, (LPARAM)icon))
        DestroyIcon(old);
}

void set_window_icons(HWND window, int dpi)
{
    // The caption and the taskbar draw the icon at the window's own DPI; one
    // made for the system's DPI comes out blurred on another screen.
    set_icon(window, ICON_SMALL, metric_for_dpi(SM_CXSMICON, dpi));
    set_icon(window, ICON_BIG, metric_for_dpi(SM_CXICON, dpi));
}

// New fonts for dpi, and every control and the client area placed for
// them; the fonts used before go.
static void rescale_window(int dpi)
{
    const HFONT old_fonts[] = {g_font, g_bold, g_mono};
    create_fonts(dpi);
    rescale_controls(s_layout_dpi, dpi);
    for (HFONT font : old_fonts)
        DeleteObject(font);
}

void on_dpi_changed(int dpi, const RECT* suggested)
{
    // Windows suggests the window's place on the new screen.
    SetWindowPos(g_main, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    rescale_window(dpi);
    set_window_icons(g_main, dpi);
}

void on_setting_change()
{
    // Settings change often; only a new message font (the text size) moves anything.
    int dpi = window_dpi(g_main);
    LOGFONTW font = message_font(dpi);
    if (font.lfHeight != s_message_font.lfHeight || font.lfWeight != s_message_font.lfWeight ||
        wcscmp(font.lfFaceName, s_message_font.lfFaceName) != 0)
        rescale_window(dpi);
}
