// How the window shows what the workers report: log lines, status words,
// progress, and the end of a clip job, the tool download or the update.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>
#include <wchar.h>
#include "jobs/messages.h"
#include "proc/runner.h"
#include "proc/tools.h"
#include "text/bounded.h"
#include "text/footer.h"
#include "text/hints.h"
#include "ui/rules.h"
#include "ui/status_texts.h"
#include "ui/window.h"
#include "win/files.h"
#include "win/globals.h"
#include "win/locator.h"
#include "win/open_folder.h"
#include "win/toolversion.h"

enum { DONE_TEXT_CAP = 324 };

// A full log makes room by dropping its oldest lines, a quarter of what it
// holds at a time (or more, for a very long new line): the newest lines,
// the closing "[tarnvik]" hint among them, are what the user reads.
static int make_room_in_log(int end, size_t adding)
{
    int limit = (int)SendMessageW(g_log, EM_GETLIMITTEXT, 0, 0);
    if (end <= 0 || limit <= 0 || (size_t)end + adding <= (size_t)limit)
        return end;
    size_t drop = (size_t)end + adding - (size_t)limit + (size_t)limit / 4;
    wchar_t* text = (wchar_t*)malloc(((size_t)end + 1) * sizeof(wchar_t));
    if (!text)
        return end;
    int length = GetWindowTextW(g_log, text, end + 1);
    // Whole lines only: up to the end of the line the drop ends in (the
    // control's own line numbers count wrapped parts of lines).
    int cut = drop < (size_t)length ? (int)drop : length;
    while (cut < length && text[cut - 1] != L'\n')
        cut++;
    free(text);
    SendMessageW(g_log, EM_SETSEL, 0, cut);
    SendMessageW(g_log, EM_REPLACESEL, FALSE, (LPARAM)L"");
    return GetWindowTextLengthW(g_log);
}

void append_to_log(const wchar_t* line)
{
    // Always at the end, even if the user has selected something above.
    int end = make_room_in_log(GetWindowTextLengthW(g_log), wcslen(line) + 2);
    SendMessageW(g_log, EM_SETSEL, end, end);
    SendMessageW(g_log, EM_REPLACESEL, FALSE, (LPARAM)line);
    SendMessageW(g_log, EM_REPLACESEL, FALSE, (LPARAM)L"\r\n");
    SendMessageW(g_log, EM_SCROLLCARET, 0, 0);
}

void on_log(LPARAM text)
{
    const wchar_t* line = (const wchar_t*)text;
    if (!line)
        return;
    append_to_log(line);
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

// After the tools' own lines, one of ours says in plain words what most
// likely went wrong and what to do; the job's log messages have all been
// handled by now, so it is the last line.
void log_failure_hint(int cause)
{
    long age = -1;
    wchar_t ytdlp[PATH_CAP];
    if (!find_tool(TOOL_YTDLP, ytdlp) || !tool_age_days(ytdlp, &age))
        age = -1;
    wchar_t hint[HINT_LINE_CAP];
    if (build_hint_line(cause, age, hint))
        append_to_log(hint);
}

static long width_in_status(const wchar_t* text, size_t length, void* dc)
{
    SIZE size = {0, 0};
    GetTextExtentPoint32W((HDC)dc, text, (int)length, &size);
    return size.cx;
}

// The status line wraps a text wider than itself, which would push the
// size out of sight.
static void show_done(const wchar_t* name, unsigned long long size)
{
    wchar_t done[DONE_TEXT_CAP];
    RECT room;
    GetClientRect(g_status, &room);
    HDC dc = GetDC(g_status);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageW(g_status, WM_GETFONT, 0, 0));
    format_done(name, size, room.right, width_in_status, dc, done, DONE_TEXT_CAP);
    SelectObject(dc, old);
    ReleaseDC(g_status, dc);
    SetWindowTextW(g_status, done);
}

// The clip the job named, or for a job that names none the largest media
// file in its folder. 0 when there is no such file.
static int report_result(const CutDone* done)
{
    const wchar_t* folder = done->folder;
    wchar_t name[PATH_CAP];
    unsigned long long size = 0;
    if (!find_clip_file(folder, done->file, name, &size))
        return 0;
    SendMessageW(g_progress, PBM_SETPOS, PROGRESS_FULL, 0);
    show_done(name, size);
    open_folder(folder);
    return 1;
}

void on_cut_done(WPARAM exit_code, LPARAM done_block)
{
    const CutDone* done = (const CutDone*)done_block;
    if ((DWORD)exit_code == RUN_CANCELLED) {
        SendMessageW(g_progress, PBM_SETPOS, 0, 0);
        SetWindowTextW(g_status, L"cancelled");
    } else if ((DWORD)exit_code != 0 || !done || !report_result(done)) {
        show_failure();
        log_failure_hint(done ? done->cause : CAUSE_NONE);
        refresh_footer();  // yt-dlp may have gone into a quarantine meanwhile
    }
    free((void*)done);
    show_running(RUNNING_NOTHING);
    g_busy = 0;
}

static const wchar_t* update_status(WPARAM outcome)
{
    if (outcome == UPDATE_APPLIED)
        return L"tools updated";
    if (outcome == UPDATE_CURRENT)
        return L"tools up to date";
    post_log(L"[setup] some tools could not be updated — each of them is left as it was; try again later.");
    return L"update incomplete — see log";
}

// The closing line of a download that did not get every tool: which are
// still missing, and the button that tries again.
static void log_setup_failure()
{
    wchar_t missing[TOOL_LIST_CAP] = L"";
    wchar_t path[PATH_CAP];
    for (const wchar_t* tool : TOOL_NAMES) {
        if (find_tool(tool, path))
            continue;
        size_t used = wcslen(missing);
        format_text(missing + used, TOOL_LIST_CAP - used, used ? L", %ls" : L"%ls", tool);
    }
    if (missing[0])
        post_logf(L"[setup] not set up: %ls — the lines above say why; press \"Update tools\" to try again.",
                  missing);
    else
        post_log(L"[setup] some downloads failed — the lines above say why; press \"Update tools\" to try again.");
}

void on_setup_done(WPARAM outcome, LPARAM worker)
{
    refresh_footer();
    if (outcome == SETUP_CANCELLED) {
        post_log(worker == SETUP_BY_UPDATE
                     ? L"[setup] cancelled — every tool is left as it was."
                     : L"[setup] cancelled — press \"Update tools\" to download the missing tools.");
        SetWindowTextW(g_status, L"setup cancelled");
    } else if (worker == SETUP_BY_UPDATE) {
        SetWindowTextW(g_status, update_status(outcome));
    } else if (outcome == SETUP_OK) {
        post_log(L"[setup] all tools ready — you can cut clips now.");
        SetWindowTextW(g_status, L"ready");
    } else {
        log_setup_failure();
        SetWindowTextW(g_status, L"setup incomplete — see log");
    }
    show_running(RUNNING_NOTHING);
    g_busy = 0;
}

void on_progress(WPARAM tenths)
{
    int position = (int)(DWORD)tenths;
    if (position >= 0)
        SendMessageW(g_progress, PBM_SETPOS, position, 0);
}
