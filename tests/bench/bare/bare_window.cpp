// The floor Tarnvik's start-up is measured against: Tarnvik's own window,
// with its manifest, fonts, icons and controls, shown and painted, and
// nothing else done before or after. bench_startup starts both in turn.
#include <windows.h>
#include <commctrl.h>
#include "win/globals.h"
#include "ui/window.h"

static LRESULT CALLBACK bare_proc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, msg, wparam, lparam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    g_main = create_main_window(instance, bare_proc);
    if (!g_main)
        return 0;
    create_window_contents();
    ShowWindow(g_main, show);
    UpdateWindow(g_main);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(g_main, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}
