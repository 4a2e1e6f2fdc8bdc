#include <gtest/gtest.h>

#include "text/progress.h"

namespace {

const double UNTOUCHED = -777.0;

struct Read {
    int result;
    double value;
};

Read run(int (*parser)(const wchar_t*, double&), const wchar_t* line)
{
    Read r{0, UNTOUCHED};
    r.result = parser(line, r.value);
    return r;
}

void expect_accepted(int (*parser)(const wchar_t*, double&), const wchar_t* line, double value)
{
    Read r = run(parser, line);
    EXPECT_EQ(r.result, 1) << testing::PrintToString(std::wstring(line));
    EXPECT_EQ(r.value, value) << testing::PrintToString(std::wstring(line));
}

// Every line must be refused without touching the value.
template <size_t N>
void expect_rejected(int (*parser)(const wchar_t*, double&), const wchar_t* const (&lines)[N])
{
    for (const wchar_t* line : lines) {
        Read r = run(parser, line);
        EXPECT_EQ(r.result, 0) << testing::PrintToString(std::wstring(line));
        EXPECT_EQ(r.value, UNTOUCHED) << testing::PrintToString(std::wstring(line));
    }
}

}  // namespace

TEST(DownloadPercent, ReadsTheNumberBeforeThePercentSign)
{
    expect_accepted(parse_dl_percent, L"[download]  45.3% of 10.00MiB at 2MiB/s", 45.3);
    expect_accepted(parse_dl_percent, L"[download] 100% done", 100.0);
    expect_accepted(parse_dl_percent, L"[download]   0.0% of ~ 1.2MiB", 0.0);
    // A lone full stop reads as 0.
    expect_accepted(parse_dl_percent, L"[download] .% odd", 0.0);
}

TEST(DownloadPercent, RejectsOtherLines)
{
    const wchar_t* const lines[] = {
        L"[download] Destination: x.mp4",
        L"%[download] 5",
        L"[download] 45 % of 10MiB",
        L"[download] x% of 10MiB",
        L"[info] 45.3% of 10.00MiB",
        L"[Download] 45.3%",
        L"",
    };
    expect_rejected(parse_dl_percent, lines);
}

TEST(DownloadPercent, OutOfRangeIsRejectedButStillStored)
{
    Read r = run(parse_dl_percent, L"[download] 100.1% of 5MiB");
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.value, 100.1);
    // Only the first '%' counts.
    expect_accepted(parse_dl_percent, L"[download] Destination: 50% off %.mp4", 50.0);
}

TEST(CurlProgress, ReadsTheBar)
{
    expect_accepted(parse_curl_progress, L"######################    31.4%", 31.4);
    expect_accepted(parse_curl_progress, L"#  100.0%", 100.0);
    // No digit right before the '%': the number read there is 0.
    expect_accepted(parse_curl_progress, L"### 5 %", 0.0);
}

TEST(CurlProgress, RejectsAnythingThatIsNotABar)
{
    const wchar_t* const lines[] = {
        L"[download] 100% done",
        L"31.4%",
        L"##########",
        L"#### 31.4",
        L"##=## 31.4%",
        L"#### -31.4%",
        L"####\t31.4%",
        L"curl: (22) The requested URL returned error: 404",
        L"",
    };
    expect_rejected(parse_curl_progress, lines);
    Read r = run(parse_curl_progress, L"#### 131.4%");
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.value, 131.4);
}

TEST(FfmpegTime, ReadsTheTimeOfAStatusLine)
{
    Read r = run(parse_ffmpeg_time, L"size=  2048KiB time=00:00:05.20 bitrate=3225kb/s speed=2x");
    EXPECT_EQ(r.result, 1);
    EXPECT_GT(r.value, 5.19);
    EXPECT_LT(r.value, 5.21);

    expect_accepted(parse_ffmpeg_time, L"frame=  10 time=01:02:03.50 speed=1.1x", 3723.5);

    expect_accepted(parse_ffmpeg_time, L"time=00:75:00.00 bitrate=N/A", 4500.0);
}

TEST(FfmpegTime, RejectsLinesWithoutAUsableTime)
{
    const wchar_t* const lines[] = {
        L"Duration: 00:10:00.00, start: 0",
        L"Duration: 00:10:00.00, start: 0.000000, bitrate: 1000 kb/s",
        L"size=  2048KiB time=N/A bitrate=N/A speed=N/A",
        L"size=  2048KiB time=00:05.20 bitrate=3225kb/s",
        L"time=00:00:05.20",
        L"bitrate=3225kb/s",
        L"",
    };
    expect_rejected(parse_ffmpeg_time, lines);
}
