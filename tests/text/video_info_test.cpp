#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "text/video_info.h"

namespace {

// What the look-up's template makes yt-dlp print, a real line of it first.
bool read(const wchar_t* line, VideoInfo& info)
{
    info = VideoInfo{L"untouched", -5, 7};
    return read_video_info_line(line, info) == 1;
}

std::wstring length_text(double seconds)
{
    wchar_t out[VIDEO_LENGTH_CAP];
    format_length(seconds, out);
    return out;
}

std::wstring line_of(const wchar_t* title, double video_length, int live, size_t title_chars = 1000)
{
    VideoInfo info{L"", video_length, live};
    wcscpy(info.title, title);
    wchar_t out[VIDEO_LINE_CAP];
    format_video_line(info, title_chars, out);
    return out;
}

}  // namespace

TEST(VideoInfo, ReadsTheLookupLine)
{
    VideoInfo info;
    ASSERT_TRUE(read(L"TARNVIK-VIDEO 120.0 NA \"Harness clip A\"", info));
    EXPECT_STREQ(info.title, L"Harness clip A");
    EXPECT_EQ(info.video_length, 120.0);
    EXPECT_EQ(info.live, 0);
    ASSERT_TRUE(read(L"TARNVIK-VIDEO NA True \"Caf\\u00e9 \\\"live\\\" \\\\ a\\nb \\ud83c\\udfb5\"", info));
    EXPECT_STREQ(info.title, L"Café \"live\" \\ a b \xD83C\xDFB5");
    EXPECT_EQ(info.video_length, -1);
    EXPECT_EQ(info.live, 1);
    ASSERT_TRUE(read(L"TARNVIK-VIDEO 3723 False \"Ünïcode – title\"", info));
    EXPECT_EQ(info.video_length, 3723);
    EXPECT_STREQ(info.title, L"Ünïcode – title");
}

TEST(VideoInfo, LeavesOtherLinesAlone)
{
    VideoInfo info;
    for (const wchar_t* line :
         {L"WARNING: [generic] Falling back on generic information extractor", L"TARNVIK-VIDEO",
          L"TARNVIK-VIDEO 120.0 NA Harness clip A", L"TARNVIK-VIDEO 120.0 NA \"unterminated",
          L"TARNVIK-VIDEO 120.0 NA \"a\" trailing", L"TARNVIK-VIDEO -3 NA \"a\"", L"TARNVIK-VIDEO 120 maybe \"a\"",
          L"TARNVIK-VIDEO 120 NA \"\\u12\""}) {
        EXPECT_FALSE(read(line, info)) << testing::PrintToString(std::wstring(line));
    }
}

TEST(VideoInfo, ALongTitleIsCutToFit)
{
    std::wstring line = L"TARNVIK-VIDEO 5 NA \"" + std::wstring(2000, L'x') + L"\"";
    VideoInfo info;
    ASSERT_TRUE(read(line.c_str(), info));
    EXPECT_EQ(title_length(info), (size_t)VIDEO_TITLE_CAP - 1);
}

TEST(VideoInfo, LengthTextCountsOnlyWholeSeconds)
{
    EXPECT_EQ(length_text(0), L"0:00");
    EXPECT_EQ(length_text(5.9), L"0:05");
    EXPECT_EQ(length_text(120), L"2:00");
    EXPECT_EQ(length_text(119.96), L"1:59");
    EXPECT_EQ(length_text(3599), L"59:59");
    EXPECT_EQ(length_text(3723), L"1:02:03");
    EXPECT_EQ(length_text(360000), L"100:00:00");
    EXPECT_EQ(length_text(1e9), L"277777:46:40");
}

TEST(VideoInfo, TheLineShowsTheLengthWhateverTheTitle)
{
    EXPECT_EQ(line_of(L"Harness clip A", 120, 0), L"Harness clip A — 2:00");
    EXPECT_EQ(line_of(L"News", -1, 1), L"News — live");
    EXPECT_EQ(line_of(L"No length", -1, 0), L"No length");
    EXPECT_EQ(line_of(L"Harness clip A", 3723, 0, 7), L"Harness… — 1:02:03");
    EXPECT_EQ(line_of(L"Harness clip A", 120, 0, 14), L"Harness clip A — 2:00") << "a title that fits is whole";
    EXPECT_EQ(line_of(L"ab\xD83C\xDFB5", 120, 0, 3), L"ab… — 2:00") << "no half of a character";
    EXPECT_EQ(line_of(L"abc", 120, 0, 0), L"… — 2:00");
}
