// Program entry: the self-test switch, the folders everything works in,
// the main window, the first-run offer to fetch the tools, and the
// message loop.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>
#include <wchar.h>
#include "jobs/bootstrap.h"
#include "jobs/messages.h"
#include "proc/tools.h"
#include "selftest/selftest.h"
#include "ui/dpi.h"
#include "ui/pictures.h"
#include "ui/resources.h"
#include "ui/rules.h"
#include "ui/window.h"
#include "win/dyn_calls.h"
#include "win/files.h"
#include "win/firefox.h"
#include "win/globals.h"
#include "win/locator.h"
#include "win/temp_folder.h"

// An environment value holds at most 32767 characters, so this always fits.
enum { PATH_READ_CAP = 32768, PATH_NEW_CAP = 65536 };

// Posted to the window by itself once it is shown.
enum { WM_APP_SHOWN = WM_APP + 32 };

static HRESULT s_com = E_FAIL;  // COM on the window's thread, once on_shown has run

static const wchar_t SETUP_CAPTION[] = L"Tarnvik — first-time setup";
static const wchar_t SETUP_QUESTION[] =
    L"Tarnvik needs a few free video tools (yt-dlp, ffmpeg, deno).\n\n"
    L"Download them automatically now? (~160 MB, one time,\n"
    L"saved next to Tarnvik.exe — delete the folder to uninstall)";
static const wchar_t SETUP_SKIPPED[] =
    L"[setup] skipped — place yt-dlp.exe, ffmpeg.exe, ffprobe.exe and deno.exe next to Tarnvik.exe, then restart it.";

static void set_folders()
{
    DWORD length = GetModuleFileNameW(nullptr, g_appdir, PATH_CAP);
    g_appdir[length < PATH_CAP ? length : PATH_CAP - 1] = L'\0';
    if (wchar_t* slash = wcsrchr(g_appdir, L'\\'))
        *slash = L'\0';
    format_text(g_clipsdir, PATH_CAP, L"%ls\\clips", g_appdir);
}

// Tools saved next to the program are found first, by the locator and by
// every child (yt-dlp looks for ffmpeg and deno on PATH).
static void put_program_folder_on_path()
{
    wchar_t* old_path = (wchar_t*)malloc(PATH_READ_CAP * sizeof(wchar_t));
    wchar_t* new_path = (wchar_t*)malloc(PATH_NEW_CAP * sizeof(wchar_t));
    if (old_path && new_path) {
        DWORD length = GetEnvironmentVariableW(L"PATH", old_path, PATH_READ_CAP);
        if (length == 0 || length >= PATH_READ_CAP)
            old_path[0] = L'\0';
        format_text(new_path, PATH_NEW_CAP, L"%ls;%ls", g_appdir, old_path);
        SetEnvironmentVariableW(L"PATH", new_path);
    }
    free(old_path);
    free(new_path);
}

// "Cookies from" starts at "none": asking yt-dlp for cookies that are not
// there fails every clip.
static void choose_cookie_default()
{
    if (firefox_has_cookies())
        SendMessageW(g_cookies, CB_SETCURSEL, COOKIE_FIREFOX, 0);
}

static int all_tools_found()
{
    wchar_t scratch[PATH_CAP];
    for (const wchar_t* tool : TOOL_NAMES)
        if (!find_tool(tool, scratch))
            return 0;
    return 1;
}

static void offer_tool_download()
{
    if (MessageBoxW(g_main, SETUP_QUESTION, SETUP_CAPTION, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        post_log(SETUP_SKIPPED);
        return;
    }
    g_busy = 1;  // no other worker beside it
    start_worker(RUNNING_SETUP, bootstrap_thread, nullptr, L"downloading tools…");
}

// The window is on screen: what its first paint did not need. COM is for
// the shell, which opens the clips folders from this thread.
static void on_shown()
{
    const ComCalls* com = com_calls();
    if (com)
        s_com = com->initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    choose_cookie_default();
    refresh_footer();
    start_removing_ended_runs_folders();
    // A download that could not be saved is not offered.
    if (!all_tools_found()) {
        if (can_write_in(g_appdir))
            offer_tool_download();
        else
            SetWindowTextW(g_status, report_unwritable(g_appdir));
    }
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam)
{
    switch (msg) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ENDSESSION:
        // Log-off or shut-down: the process may end at any moment from here,
        // without the message loop running out.
        if (wparam) {
            end_lookups();
            end_pictures();
        }
        return 0;
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDC_CUT:
            on_cut_button();
            return 0;
        case IDCANCEL:  // Esc, as dialog handling sends it
            cancel_on_escape();
            return 0;
        case IDC_URL:
            if (HIWORD(wparam) == EN_CHANGE)
                on_request_change();
            return 0;
        case IDC_COOKIES:
            if (HIWORD(wparam) == CBN_SELCHANGE)
                on_request_change();
            return 0;
        case IDC_START:
        case IDC_END:
            if (HIWORD(wparam) == EN_CHANGE) {
                on_time_change();
                select_chapter_of_times();
            }
            return 0;
        case IDC_CHAPTERS:
            if (HIWORD(wparam) == CBN_SELCHANGE)
                on_chapter_chosen();
            return 0;
        case IDC_OPEN:
            on_open_clips();
            return 0;
        case IDC_UPDATE:
            on_update_tools();
            return 0;
        case IDC_QUALITY:
            if (HIWORD(wparam) == CBN_SELCHANGE)
                on_quality_change();
            return 0;
        }
        break;
    case WM_DPICHANGED:
        on_dpi_changed(LOWORD(wparam), (const RECT*)lparam);
        return 0;
    case WM_SETTINGCHANGE:
        on_setting_change();
        break;
    case DM_GETDEFID:
        return on_get_default_id();
    case WM_NEXTDLGCTL:
        on_next_control(wparam, lparam);
        return 0;
    case WM_ACTIVATE:
        on_activate(wparam);
        break;
    case WM_SETFOCUS:
        on_focus();
        return 0;
    case WM_APP_LOG:
        on_log(lparam);
        return 0;
    case WM_APP_STATUS:
        on_status(lparam);
        return 0;
    case WM_APP_CUT_DONE:
        on_cut_done(wparam, lparam);
        return 0;
    case WM_APP_SETUP_DONE:
        on_setup_done(wparam, lparam);
        return 0;
    case WM_APP_PROGRESS:
        on_progress(wparam);
        return 0;
    case WM_APP_LOOKUP_DONE:
        on_lookup_done(lparam);
        return 0;
    case WM_APP_SHOWN:
        on_shown();
        return 0;
    case WM_APP_PREVIEW_DONE:
        on_preview_done(lparam);
        return 0;
    case WM_TIMER:
        if (wparam == LOOKUP_TIMER)
            on_lookup_timer();
        else if (wparam == PREVIEW_TIMER)
            on_preview_timer();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wparam, lparam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show)
{
    if (wcsstr(GetCommandLineW(), L"--selftest"))
        run_selftest();
    set_folders();
    put_program_folder_on_path();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    g_main = create_main_window(instance, WndProc);
    if (!g_main)
        return 0;
    create_window_contents();
    ShowWindow(g_main, show);
    UpdateWindow(g_main);
    // Ahead of any input: the user's first key or click finds it done.
    PostMessageW(g_main, WM_APP_SHOWN, 0, 0);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (take_escape(&message))
            continue;
        if (!IsDialogMessageW(g_main, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    end_lookups();
    end_pictures();
    if (SUCCEEDED(s_com))
        com_calls()->uninitialize();
    return 0;
}
