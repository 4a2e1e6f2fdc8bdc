#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "text/time_step.h"

namespace {

const double SECOND = 1, NO_END = -1;

// What the field holds after one step; "(none)" when it is left alone.
std::wstring stepped(const wchar_t* text, TimeStep step, double duration = NO_END, double blank = 0)
{
    wchar_t out[TIME_FIELD_CAP] = L"";
    return step_time(text, blank, step, duration, out) ? out : L"(none)";
}

TimeStep seconds(double by)
{
    return TimeStep{by, 0, 0};
}

TimeStep frames(int by, double fps)
{
    return TimeStep{0, by, fps};
}

}  // namespace

TEST(TimeStep, KeepsTheFormTheUserWroteIn)
{
    EXPECT_EQ(stepped(L"5:38", seconds(SECOND)), L"5:39");
    EXPECT_EQ(stepped(L"338", seconds(SECOND)), L"339");
    EXPECT_EQ(stepped(L" 59 ", seconds(SECOND)), L"60") << "plain seconds stay plain past a minute";
    EXPECT_EQ(stepped(L"0:59", seconds(SECOND)), L"1:00");
    EXPECT_EQ(stepped(L"59:55", seconds(10)), L"1:00:05") << "hours come when needed";
    EXPECT_EQ(stepped(L"0:10:00", seconds(-10)), L"0:09:50") << "written hours stay";
    EXPECT_EQ(stepped(L"1:05.5", seconds(SECOND)), L"1:06.5") << "a fraction only when there is one";
    EXPECT_EQ(stepped(L"12.25", seconds(-10)), L"2.25");
    EXPECT_EQ(stepped(L"", seconds(SECOND)), L"0:01") << "a blank Start counts from 0";
    EXPECT_EQ(stepped(L"", seconds(-10), 120, 120), L"1:50") << "a blank End from the video's end";
    EXPECT_EQ(stepped(L"", seconds(SECOND), NO_END, -1), L"(none)") << "no end known: a blank End stays";
    EXPECT_EQ(stepped(L"5:3x", seconds(SECOND)), L"(none)");
}

TEST(TimeStep, StaysBetweenZeroAndTheEnd)
{
    EXPECT_EQ(stepped(L"0:00", seconds(-SECOND), 120), L"0:00");
    EXPECT_EQ(stepped(L"5", seconds(-10), 120), L"0");
    EXPECT_EQ(stepped(L"1:59", seconds(10), 120), L"2:00");
    EXPECT_EQ(stepped(L"2:00", seconds(SECOND), 120.5), L"2:00.5");
    EXPECT_EQ(stepped(L"2:00", frames(1, 30), 120), L"2:00");
    EXPECT_EQ(stepped(L"0", frames(-1, 30), 120), L"0");
    EXPECT_EQ(stepped(L"9000", seconds(10)), L"9010") << "without a known end only 0 bounds it";
}

TEST(TimeStep, AFrameStepIsOneFrameOfTheVideo)
{
    EXPECT_EQ(stepped(L"5:38", frames(1, 30)), L"5:38.033");
    EXPECT_EQ(stepped(L"5:38", frames(-1, 30)), L"5:37.966");
    EXPECT_EQ(stepped(L"10", frames(1, 25)), L"10.04");
    EXPECT_EQ(stepped(L"10", frames(1, 0)), L"10.1") << "0.1 s when the rate is unknown";
    // Thirty steps at 29.97 frames a second from 0: each written time must
    // read back as the frame it was written for, or steps would be lost.
    const double NTSC = 30000.0 / 1001;
    wchar_t text[TIME_FIELD_CAP] = L"0:00";
    for (int frame = 1; frame <= 30; ++frame) {
        wchar_t next[TIME_FIELD_CAP];
        ASSERT_TRUE(step_time(text, 0, frames(1, NTSC), NO_END, next));
        double exact = frame / NTSC;
        EXPECT_EQ(stepped(next, seconds(0)), next);
        EXPECT_EQ(std::wstring(next), stepped(L"0:00", seconds(exact))) << frame;
        std::wcscpy(text, next);
    }
    EXPECT_EQ(std::wstring(text), L"0:01.001");
    // A time between frames moves to the next frame, not two.
    // 5:38.01 shows the frame at 5:38.033: one step on is the frame after that.
    EXPECT_EQ(stepped(L"5:38.01", frames(1, 30)), L"5:38.066");
    EXPECT_EQ(stepped(L"5:38.01", frames(-1, 30)), L"5:38");
}

TEST(TimeStep, WritesTimesInEachForm)
{
    wchar_t out[TIME_FIELD_CAP];
    format_time(3723.25, TIME_MINUTES, out);
    EXPECT_STREQ(out, L"1:02:03.25");
    format_time(61, TIME_SECONDS, out);
    EXPECT_STREQ(out, L"61");
    format_time(5, TIME_HOURS, out);
    EXPECT_STREQ(out, L"0:00:05");
    format_time(-1, TIME_MINUTES, out);
    EXPECT_STREQ(out, L"0:00");
    EXPECT_EQ(time_form_of(L"1:02:03"), TIME_HOURS);
    EXPECT_EQ(time_form_of(L"338.5"), TIME_SECONDS);
    EXPECT_EQ(time_form_of(L"abc"), TIME_MINUTES);
}
