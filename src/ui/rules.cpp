// The window's rules: addresses, times against the video, the job folder,
// the footer.
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

double clip_len_of(double start, double end)
{
    if (end < 0)
        return -1.0;
    return start >= 0 ? end - start : end;
}

double clip_len_in(double start, double end, double video_length)
{
    if (end >= 0 || video_length <= 0)
        return clip_len_of(start, end);
    return start > 0 ? video_length - start : video_length;
}

int times_fit_length(double start, double end, double video_length, wchar_t (&message)[LENGTH_MESSAGE_CAP])
{
    message[0] = L'\0';
    if (video_length <= 0)
        return 1;
    wchar_t length[VIDEO_LENGTH_CAP];
    format_length(video_length, length);
    if (start >= video_length)
        format_text(message, L"Start time is past the end of the video (%ls).", length);
    else if (end > video_length)
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
