// How the window shows what the workers report: log lines, status words,
// progress, and the end of a clip job or of the tool download.
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>
#include <stdlib.h>
#include "jobs/globals.h"
#include "jobs/messages.h"
#include "proc/runner.h"
#include "ui/rules.h"
#include "ui/window.h"

enum { DONE_TEXT_CAP = 324 };

void on_log(LPARAM text)
{
    const wchar_t* line = (const wchar_t*)text;
    if (!line)
        return;
    // Always at the end, even if the user has selected something above.
    int end = GetWindowTextLengthW(g_log);
    SendMessageW(g_log, EM_SETSEL, end, end);
    SendMessageW(g_log, EM_REPLACESEL, FALSE, (LPARAM)line);
    SendMessageW(g_log, EM_REPLACESEL, FALSE, (LPARAM)L"\r\n");
    SendMessageW(g_log, EM_SCROLLCARET, 0, 0);
    free((void*)line);
}

void on_status(LPARAM text)
{
    const wchar_t* status = (const wchar_t*)text;
    if (!status)
        return;
    SetWindowTextW(g_status, status);
    free((void*)status);
}

static void show_failure()
{
    SendMessageW(g_progress, PBM_SETPOS, 0, 0);
    SetWindowTextW(g_status, L"failed — see log below");
}

static void report_result(const wchar_t* folder)
{
    wchar_t name[PATH_CAP];
    unsigned long long size = 0;
    if (!find_media_file(folder, name, &size)) {
        show_failure();
        return;
    }
    wchar_t done[DONE_TEXT_CAP];
    format_done(name, size, done, DONE_TEXT_CAP);
    SendMessageW(g_progress, PBM_SETPOS, PROGRESS_FULL, 0);
    SetWindowTextW(g_status, done);
    ShellExecuteW(nullptr, L"open", folder, nullptr, nullptr, SW_SHOWNORMAL);
}

void on_cut_done(WPARAM exit_code, LPARAM folder_text)
{
    const wchar_t* folder = (const wchar_t*)folder_text;
    if ((DWORD)exit_code == RUN_CANCELLED) {
        SendMessageW(g_progress, PBM_SETPOS, 0, 0);
        SetWindowTextW(g_status, L"cancelled");
    } else if ((DWORD)exit_code != 0 || !folder) {
        show_failure();
    } else {
        report_result(folder);
    }
    free((void*)folder);
    show_running(RUNNING_NOTHING);
    g_busy = 0;
}

void on_setup_done(WPARAM result)
{
    refresh_footer();
    if (result == SETUP_OK) {
        post_log(L"[setup] all tools ready — you can cut clips now.");
        SetWindowTextW(g_status, L"ready");
    } else if (result == SETUP_CANCELLED) {
        post_log(L"[setup] cancelled — restart the app to download the missing tools.");
        SetWindowTextW(g_status, L"setup cancelled");
    } else {
        post_log(L"[setup] some downloads failed — check your internet connection and restart the app to retry.");
        SetWindowTextW(g_status, L"setup incomplete — see log");
    }
    show_running(RUNNING_NOTHING);
}

void on_progress(WPARAM tenths)
{
    int position = (int)(DWORD)tenths;
    if (position >= 0)
        SendMessageW(g_progress, PBM_SETPOS, position, 0);
}
