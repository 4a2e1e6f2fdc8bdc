#include <gtest/gtest.h>

#include <string>

#include "text/footer.h"

namespace {

const CalendarDay TODAY = {2026, 10, 19};

std::wstring footer(const int (&found)[FOOTER_TOOL_COUNT], const wchar_t* version)
{
    wchar_t out[FOOTER_CAP];
    format_footer(out, found, version, TODAY, L"C:\\Tools\\Tarnvik\\clips");
    return out;
}

TEST(Footer, NamesYtdlpsVersionAndPointsAtTheUpdateOnceItIsOld)
{
    const int all[FOOTER_TOOL_COUNT] = {1, 1, 1};
    EXPECT_EQ(footer(all, L"2026.08.20"), L"Tools ready: yt-dlp 2026.08.20, ffmpeg, deno     Clips: C:\\Tools\\Tarnvik\\clips");
    EXPECT_EQ(footer(all, L"2026.08.19"),
              L"Tools ready: yt-dlp 2026.08.19 (61 days old — press Update tools), ffmpeg, deno");
    EXPECT_EQ(footer(all, L""), L"Tools ready: yt-dlp, ffmpeg, deno     Clips: C:\\Tools\\Tarnvik\\clips");
    const int no_ffmpeg[FOOTER_TOOL_COUNT] = {1, 0, 1};
    EXPECT_EQ(footer(no_ffmpeg, L"2026.08.19.1"),
              L"Tools ready: yt-dlp 2026.08.19.1 (61 days old — press Update tools), deno    MISSING: ffmpeg");
    const int no_ytdlp[FOOTER_TOOL_COUNT] = {0, 1, 1};
    EXPECT_EQ(footer(no_ytdlp, L"2020.01.01"), L"Tools ready: ffmpeg, deno    MISSING: yt-dlp");
}

}  // namespace
