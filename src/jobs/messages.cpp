// Posting to the main window: the retry on a full queue and the text copies.
#include "jobs/messages.h"
#include <stdarg.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "text/bounded.h"
#include "win/globals.h"

enum { LOGF_CAP = 1024, QUEUE_FULL_WAIT_MS = 1 };

BOOL post_message(UINT msg, WPARAM wparam, LPARAM lparam)
{
    for (;;) {
        HWND main = g_main;
        if (!main)
            return FALSE;
        if (PostMessageW(main, msg, wparam, lparam))
            return TRUE;
        // A full queue only means the window is behind: wait for it rather
        // than lose a line or, worse, the job's end message.
        if (GetLastError() != ERROR_NOT_ENOUGH_QUOTA || !IsWindow(main))
            return FALSE;
        Sleep(QUEUE_FULL_WAIT_MS);
    }
}

static wchar_t* copy_text(const wchar_t* text)
{
    size_t size = (wcslen(text) + 1) * sizeof(wchar_t);
    wchar_t* copy = (wchar_t*)malloc(size);
    if (copy)
        memcpy(copy, text, size);
    return copy;
}

BOOL post_text(UINT msg, WPARAM wparam, const wchar_t* text)
{
    if (!g_main)
        return FALSE;  // nobody would ever free the copy
    // A failed allocation still posts, with a null text: the window must
    // see an end message even when its folder path could not be copied.
    wchar_t* copy = copy_text(text);
    if (post_message(msg, wparam, (LPARAM)copy))
        return TRUE;
    free(copy);
    return FALSE;
}

BOOL post_log(const wchar_t* text)
{
    return post_text(WM_APP_LOG, 0, text);
}

BOOL post_logf(const wchar_t* format, ...)
{
    if (!g_main)
        return FALSE;
    wchar_t line[LOGF_CAP];
    va_list args;
    va_start(args, format);
    vformat_text(line, LOGF_CAP, format, args);  // a longer line is cut
    va_end(args);
    return post_log(line);
}

BOOL post_status(int kind, const wchar_t* text)
{
    return post_text(WM_APP_STATUS, (WPARAM)(INT_PTR)kind, text);
}

BOOL echo_command(const wchar_t* cmdline)
{
    return post_logf(L"$ %ls", cmdline);
}

BOOL post_cut_done(unsigned long code, int cause, const wchar_t* folder, const wchar_t* file)
{
    if (!g_main)
        return FALSE;  // nobody would ever free the block
    CutDone* done = (CutDone*)malloc(sizeof(CutDone));
    if (done) {
        done->code = code;
        done->cause = cause;
        format_text(done->folder, L"%ls", folder);
        format_text(done->file, L"%ls", file);
    }
    if (post_message(WM_APP_CUT_DONE, (WPARAM)code, (LPARAM)done))
        return TRUE;
    free(done);
    return FALSE;
}
