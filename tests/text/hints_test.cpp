// The causes a failed clip's output names, from the tools' real lines, and
// the one line of plain words the user gets for them.
#include <gtest/gtest.h>

#include <string>

#include "text/hints.h"
#include "text/version_age.h"

namespace {

struct Sample {
    const wchar_t* line;
    int cause;
};

// As yt-dlp (Debian's 2023.03.04 and later releases) and ffmpeg print them;
// the last ones come close to a cause without being one.
const Sample SAMPLES[] = {
    {L"FileNotFoundError: could not find firefox cookies database in C:\\Users\\a\\AppData", CAUSE_COOKIES_MISSING},
    {L"ERROR: Could not copy Chrome cookie database. See  https://github.com/yt-dlp/yt-dlp/issues/7271",
     CAUSE_COOKIES_LOCKED},
    {L"WARNING: failed to decrypt with DPAPI", CAUSE_COOKIES_ENCRYPTED},
    {L"ERROR: Failed to decrypt with DPAPI. See  https://github.com/yt-dlp/yt-dlp/issues/10927",
     CAUSE_COOKIES_ENCRYPTED},
    {L"ERROR: [youtube] aB: Private video. Sign in if you've been granted access to this video. Use "
     L"--cookies-from-browser or --cookies for the authentication.",
     CAUSE_PRIVATE},
    {L"ERROR: [youtube] Mr_0pQ8vlEQ: Sign in to confirm you’re not a bot. Use --cookies-from-browser", CAUSE_SIGN_IN},
    {L"ERROR: [youtube] aB: Join this channel to get access to members-only content and other", CAUSE_SIGN_IN},
    {L"ERROR: [vimeo] 1: This video is only available for registered users. Use --cookies-from-browser or "
     L"--cookies for the authentication.",
     CAUSE_SIGN_IN},
    {L"ERROR: [youtube] qaImFO_DgAM: Video unavailable. This content isn’t available.", CAUSE_UNAVAILABLE},
    {L"WARNING: [youtube] No supported JavaScript runtime could be found. Only deno is enabled", CAUSE_NO_JS_RUNTIME},
    {L"ERROR: You have requested downloading the video partially, but ffmpeg is not installed", CAUSE_NO_FFMPEG},
    {L"ERROR: Postprocessing: ffprobe and ffmpeg not found. Please install or provide the path", CAUSE_NO_FFMPEG},
    {L"ERROR: [generic] x: Requested format is not available. Use --list-formats for a list", CAUSE_NO_FORMAT},
    {L"ERROR: Unsupported URL: http://127.0.0.1:39439/page.html", CAUSE_UNSUPPORTED_URL},
    {L"ERROR: [generic] None: Unable to download webpage: HTTP Error 403: Forbidden", CAUSE_FORBIDDEN},
    {L"[https @ 000001c3d6e4f2c0] HTTP error 403 Forbidden", CAUSE_FORBIDDEN},
    {L"https://rr1.example.com/videoplayback: Server returned 403 Forbidden (access denied)", CAUSE_FORBIDDEN},
    {L"ERROR: [youtube] abc: Unable to download API page: HTTP Error 429: Too Many Requests", CAUSE_TOO_MANY_REQUESTS},
    {L"[https @ 000001c3d6e4f2c0] HTTP error 429 Too Many Requests", CAUSE_TOO_MANY_REQUESTS},
    {L"ERROR: [generic] Unable to download webpage: HTTP Error 404: Not Found", CAUSE_NOT_FOUND},
    {L"[https @ 000001c3d6e4f2c0] HTTP error 404 Not Found", CAUSE_NOT_FOUND},
    {L"ERROR: [youtube] qaImFO_DgAM: This content isn't available, try again later. The current session has been "
     L"rate-limited by YouTube for up to an hour.",
     CAUSE_RATE_LIMITED},
    {L"ERROR: [youtube] qaImFO_DgAM: Video unavailable. This content isn’t available, try again later.",
     CAUSE_RATE_LIMITED},
    {L"ERROR: [youtube] qaImFO_DgAM: Sorry. YouTube is requiring a captcha challenge before playback", CAUSE_CAPTCHA},
    {L"ERROR: [Udemy] 1: Udemy asks you to solve a CAPTCHA. Login with browser, solve CAPTCHA, then export",
     CAUSE_CAPTCHA},
    {L"ERROR: [generic] Unable to download webpage: HTTP Error 410: Gone", CAUSE_NONE},
    {L"WARNING: Requested formats are incompatible for merge and will be merged into mkv", CAUSE_NONE},
    {L"ValueError: could not find firefox container \"Work\" in containers.json", CAUSE_NONE},
    {L"[download] Destination: my private video [x1].mp4", CAUSE_NONE},
};

std::wstring hint(int cause, long age)
{
    wchar_t out[HINT_LINE_CAP];
    int made = build_hint_line(cause, age, out);
    EXPECT_EQ(made, out[0] != L'\0');
    return out;
}

TEST(FailureHints, EachCauseFromARealLineAndNoneFromANearMiss)
{
    for (const Sample& sample : SAMPLES)
        EXPECT_EQ(cause_of_line(sample.line), sample.cause) << sample.line;
    EXPECT_EQ(cause_of_start_error(2), CAUSE_START_MISSING);
    EXPECT_EQ(cause_of_start_error(5), CAUSE_START_DENIED);
    EXPECT_EQ(cause_of_start_error(193), CAUSE_START_NOT_A_PROGRAM);
    EXPECT_EQ(cause_of_start_error(225), CAUSE_START_VIRUS);
    EXPECT_EQ(cause_of_start_error(4551), CAUSE_START_POLICY);
    EXPECT_EQ(cause_of_start_error(3), CAUSE_NONE);
}

// What a run's output names in turn: the missing JavaScript runtime comes
// as an early warning in every run without deno, a 404 from any side
// request; the cause that failed the job comes later.
TEST(FailureHints, AWeakCauseGivesWayToALaterOne)
{
    EXPECT_TRUE(cause_replaces(CAUSE_NONE, CAUSE_NO_JS_RUNTIME));
    EXPECT_TRUE(cause_replaces(CAUSE_NO_JS_RUNTIME, CAUSE_FORBIDDEN));
    EXPECT_TRUE(cause_replaces(CAUSE_NO_JS_RUNTIME, CAUSE_SIGN_IN));
    EXPECT_TRUE(cause_replaces(CAUSE_NOT_FOUND, CAUSE_NO_FORMAT));
    EXPECT_FALSE(cause_replaces(CAUSE_NO_JS_RUNTIME, CAUSE_NOT_FOUND)) << "two weak ones: the first stays";
    EXPECT_FALSE(cause_replaces(CAUSE_FORBIDDEN, CAUSE_SIGN_IN)) << "otherwise the first stays";
    EXPECT_FALSE(cause_replaces(CAUSE_SIGN_IN, CAUSE_NO_JS_RUNTIME));
    EXPECT_FALSE(cause_replaces(CAUSE_NO_JS_RUNTIME, CAUSE_NONE));
    EXPECT_FALSE(cause_replaces(CAUSE_NONE, CAUSE_COUNT));
}

TEST(FailureHints, AnOldYtdlpIsNamedWhereAnUpdateMayHelp)
{
    // An update may mend a missing format, not a missing cookie store.
    EXPECT_NE(hint(CAUSE_NO_FORMAT, 61).find(L"yt-dlp is 61 days old"), std::wstring::npos);
    EXPECT_EQ(hint(CAUSE_NO_FORMAT, 60).find(L"days old"), std::wstring::npos);
    EXPECT_EQ(hint(CAUSE_COOKIES_MISSING, 400).find(L"days old"), std::wstring::npos);
    // Without a known cause only an old yt-dlp is worth a line.
    EXPECT_NE(hint(CAUSE_NONE, 61).find(L"yt-dlp is 61 days old"), std::wstring::npos);
    EXPECT_EQ(hint(CAUSE_NONE, 60) + hint(CAUSE_NONE, -1), L"");
    // Every line is whole, even with the longest age: a cut one ends mid-word.
    for (int cause = CAUSE_NONE; cause < CAUSE_COUNT; ++cause)
        EXPECT_EQ(hint(cause, 2147483647L).back(), L'.') << cause;
}

long age(const wchar_t* version, int year, int month, int day)
{
    long days = -99999;
    return version_age_days(version, year, month, day, &days) ? days : -99999;
}

TEST(VersionAge, CountsDaysAcrossMonthEndsAndLeapYears)
{
    EXPECT_EQ(age(L"2025.01.31", 2025, 2, 1), 1);
    EXPECT_EQ(age(L"2024.02.28", 2024, 3, 1), 2);  // 2024 has a 29th of February
    EXPECT_EQ(age(L"2100.02.28", 2100, 3, 1), 1);  // a century is no leap year
    EXPECT_EQ(age(L"2000.02.28", 2000, 3, 1), 2);  // unless it divides by 400
    EXPECT_EQ(age(L"2024.12.31", 2025, 1, 1), 1);
    EXPECT_EQ(age(L"2023.03.04", 2024, 3, 4), 366);
    EXPECT_EQ(age(L"2025.10.22.1", 2025, 10, 22), 0);  // a second release that day
    EXPECT_EQ(age(L"2026.01.05", 2025, 12, 31), -5);   // dated after the clock
}

TEST(VersionAge, AnythingButARealDateIsUnknown)
{
    for (const wchar_t* version : {L"", L"2025.10", L"2025.1.22", L"2025-10-22", L"2025.10.22x", L"v2025.10.22",
                                   L"2025.13.01", L"2025.00.10", L"2025.02.29", L"2024.04.31", L"2025.10.00"})
        EXPECT_EQ(age(version, 2025, 10, 22), -99999) << version;
    EXPECT_EQ(age(L"2024.02.29", 2024, 3, 1), 1);
    EXPECT_EQ(age(L"2025.10.22", 2025, 2, 30), -99999) << "today must be a date too";
}

}  // namespace
