#include "text/footer.h"

#include <cwchar>

#include "text/bounded.h"
#include "text/hints.h"
#include "text/tool_names.h"
#include "text/version_age.h"

const wchar_t* const FOOTER_TOOLS[FOOTER_TOOL_COUNT] = {TOOL_YTDLP, TOOL_FFMPEG, TOOL_DENO};

namespace {

enum { ENTRY_CAP = 96 };

void add_to_list(wchar_t (&list)[TOOL_LIST_CAP], const wchar_t* entry)
{
    size_t used = std::wcslen(list);
    format_text(list + used, TOOL_LIST_CAP - used, L"%ls%ls", used ? L", " : L"", entry);
}

// "yt-dlp 2026.08.19", with a pointer at the update button once it is old.
// 1 when it is old.
int ytdlp_entry(wchar_t (&out)[ENTRY_CAP], const wchar_t* version, CalendarDay today)
{
    long days = 0;
    int old = version[0] && version_age_days(version, today.year, today.month, today.day, &days) &&
              days > YTDLP_OLD_DAYS;
    if (old)
        format_text(out, L"%ls %ls (%ld days old — press Update tools)", TOOL_YTDLP, version, days);
    else if (version[0])
        format_text(out, L"%ls %ls", TOOL_YTDLP, version);
    else
        format_text(out, L"%ls", TOOL_YTDLP);
    return old;
}

}  // namespace

void format_footer(wchar_t (&out)[FOOTER_CAP], const int (&found)[FOOTER_TOOL_COUNT],
                   const wchar_t* ytdlp_version, CalendarDay today, const wchar_t* clipsdir)
{
    wchar_t ready[TOOL_LIST_CAP] = {0};
    wchar_t missing[TOOL_LIST_CAP] = {0};
    wchar_t ytdlp[ENTRY_CAP];
    int old = found[0] && ytdlp_entry(ytdlp, ytdlp_version, today);
    for (int i = 0; i < FOOTER_TOOL_COUNT; ++i) {
        if (found[i])
            add_to_list(ready, i == 0 ? ytdlp : FOOTER_TOOLS[i]);
        else
            add_to_list(missing, FOOTER_TOOLS[i]);
    }
    if (missing[0])
        format_text(out, L"Tools ready: %ls    MISSING: %ls", ready[0] ? ready : L"(none)", missing);
    else if (old)  // the advice goes first; "Open clips folder" shows the clips
        format_text(out, L"Tools ready: %ls", ready);
    else
        format_text(out, L"Tools ready: %ls     Clips: %ls", ready, clipsdir);
}
