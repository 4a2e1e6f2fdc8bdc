// The footer line: which tools are ready, which yt-dlp release is installed
// and whether it is old enough to update, and where the clips go.
#pragma once

enum { FOOTER_CAP = 512, TOOL_LIST_CAP = 160, FOOTER_TOOL_COUNT = 3 };

// The tools the footer names, in its order: yt-dlp, ffmpeg, deno.
extern const wchar_t* const FOOTER_TOOLS[FOOTER_TOOL_COUNT];

struct CalendarDay {
    int year, month, day;  // month 1-12
};

// found: one flag per FOOTER_TOOLS entry. ytdlp_version: the installed
// yt-dlp's version, empty when it has none that can be read. today: the day
// its age is counted to.
void format_footer(wchar_t (&out)[FOOTER_CAP], const int (&found)[FOOTER_TOOL_COUNT],
                   const wchar_t* ytdlp_version, CalendarDay today, const wchar_t* clipsdir);
