// Display scaling with fallbacks for Windows 10 before 1607, and the
// window's answer to being moved to a screen of another DPI.
#include "jobs/globals.h"
#include "ui/dpi.h"
#include "ui/window.h"

// The fixed-pitch font of the fields and the log is 13 pixels high at 96
// DPI and grows with the DPI as the message font does.
enum { MONO_HEIGHT = 13, BOLD_WEIGHT = 600 };

typedef UINT(WINAPI* GetDpiForWindowFn)(HWND);
typedef BOOL(WINAPI* AdjustWindowRectExForDpiFn)(RECT*, DWORD, BOOL, DWORD, UINT);
typedef BOOL(WINAPI* SystemParametersInfoForDpiFn)(UINT, UINT, void*, UINT, UINT);

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

void fit_client_area(HWND window, int width, int height, int dpi)
{
    AdjustWindowRectExForDpiFn adjust_for_dpi = user32_function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi");
    RECT frame = {0, 0, scale_to_dpi(width, dpi), scale_to_dpi(height, dpi)};
    DWORD style = (DWORD)GetWindowLongW(window, GWL_STYLE);
    DWORD ex_style = (DWORD)GetWindowLongW(window, GWL_EXSTYLE);
    if (!adjust_for_dpi || !adjust_for_dpi(&frame, style, FALSE, ex_style, (UINT)dpi))
        AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The user's message font, sized for dpi. Without the per-DPI query every
// window has the system's DPI, which the plain query answers for.
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

void create_fonts(int dpi)
{
    LOGFONTW font = message_font(dpi);
    g_font = CreateFontIndirectW(&font);
    font.lfWeight = BOLD_WEIGHT;
    g_bold = CreateFontIndirectW(&font);
    g_mono = CreateFontW(-scale_to_dpi(MONO_HEIGHT, dpi), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, FIXED_PITCH | FF_MODERN,
                         L"Consolas");
}

void on_dpi_changed(int dpi, const RECT* suggested)
{
    const HFONT old_fonts[] = {g_font, g_bold, g_mono};
    // Windows suggests the window's place and size on the new screen.
    SetWindowPos(g_main, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    create_fonts(dpi);
    rescale_controls(dpi);
    for (HFONT font : old_fonts)
        DeleteObject(font);
}
