// Decisions of the window that need no window, kept apart so they can be
// checked on their own.
#include "ui/rules.h"
#include <windows.h>
#include <stdlib.h>
#include <wchar.h>
#include "proc/tools.h"
#include "text/video_info.h"
#include "win/files.h"
#include "win/locator.h"
#include "win/toolversion.h"

// A taken name is rare (another job in the same millisecond); a thousand
// taken in a row means the clips folder is not what it seems.
enum { JOB_FOLDER_TRIES = 1000 };

int is_http_url(const wchar_t* url)
{
    return _wcsnicmp(url, L"http://", 7) == 0 || _wcsnicmp(url, L"https://", 8) == 0;
}

double clip_length(double start, double end)
{
    if (end < 0)
        return -1.0;
    return start >= 0 ? end - start : end;
}

double clip_length_in(double start, double end, double duration)
{
    if (end >= 0 || duration <= 0)
        return clip_length(start, end);
    return start > 0 ? duration - start : duration;
}

int times_fit_length(double start, double end, double duration, wchar_t (&message)[LENGTH_MESSAGE_CAP])
{
    message[0] = L'\0';
    if (duration <= 0)
        return 1;
    wchar_t length[VIDEO_LENGTH_CAP];
    format_length(duration, length);
    if (start >= duration)
        format_text(message, L"Start time is past the end of the video (%ls).", length);
    else if (end > duration)
        format_text(message, L"End time is past the end of the video (%ls).", length);
    return message[0] == L'\0';
}

int make_job_folder(const wchar_t* clipsdir, unsigned long tick, wchar_t* outdir)
{
    for (long attempt = 0; attempt < JOB_FOLDER_TRIES; ++attempt) {
        unsigned random = (unsigned)rand() & 0xFFFFu;
        // A cut name would be the same for every random part: no fresh one.
        if (!format_text(outdir, PATH_CAP, L"%ls\\%08lx%04x", clipsdir, tick, random))
            return -1;
        if (CreateDirectoryW(outdir, nullptr))
            return 1;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return 0;
    }
    return -1;
}

void format_done(const wchar_t* name, unsigned long long size, long width, MeasureText measure, void* context,
                 wchar_t* out, size_t cap)
{
    wchar_t megabytes[32];
    format_text(megabytes, L" (%.1f MB)", (double)size / 1000000.0);
    fit_name_in_line(L"done — ", name, megabytes, width, measure, context, out, cap);
}

void build_footer(wchar_t (&out)[FOOTER_CAP])
{
    int found[FOOTER_TOOL_COUNT];
    wchar_t path[PATH_CAP], version[TOOL_VERSION_CAP] = {0};
    for (int i = 0; i < FOOTER_TOOL_COUNT; ++i) {
        found[i] = find_tool(FOOTER_TOOLS[i], path);
        if (i == 0 && found[i])
            read_tool_version(path, version);  // none: the footer names no version
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    format_footer(out, found, version, CalendarDay{now.wYear, now.wMonth, now.wDay}, g_clipsdir);
}
