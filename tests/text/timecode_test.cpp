#include <gtest/gtest.h>

#include "text/timecode.h"

namespace {

const double UNTOUCHED = -12345.0;

struct Parsed {
    int result;
    double seconds;
};

Parsed parse(const wchar_t* text)
{
    Parsed p{0, UNTOUCHED};
    p.result = parse_timecode(text, p.seconds);
    return p;
}

void expect_time(const wchar_t* text, double seconds)
{
    Parsed p = parse(text);
    EXPECT_EQ(p.result, 1) << "text: \"" << testing::PrintToString(std::wstring(text)) << "\"";
    EXPECT_EQ(p.seconds, seconds) << "text: " << testing::PrintToString(std::wstring(text));
}

void expect_result_untouched(const wchar_t* text, int result)
{
    Parsed p = parse(text);
    EXPECT_EQ(p.result, result) << "text: " << testing::PrintToString(std::wstring(text));
    EXPECT_EQ(p.seconds, UNTOUCHED) << "text: " << testing::PrintToString(std::wstring(text));
}

}  // namespace

TEST(Timecode, ReadsSecondsMinutesAndHours)
{
    expect_time(L"5:38", 338);
    expect_time(L"338", 338);
    expect_time(L"1:02:03.5", 3723.5);
    expect_time(L"0:0:0", 0);
    expect_time(L"0", 0);
    expect_time(L"12.25", 12.25);
}

TEST(Timecode, FieldsHaveNoUpperLimitAndMayCarryFractions)
{
    expect_time(L"1:70", 130);
    expect_time(L"1.5:00", 90);
    expect_time(L"0:75:0", 4500);
    expect_time(L"1000:0:0", 3600000);
    expect_time(L"5.:.5", 300.5);
    expect_time(L"1:.", 60);
    expect_time(L".", 0);
}

TEST(Timecode, BlankTextIsNotATime)
{
    expect_result_untouched(L"", 0);
    expect_result_untouched(L" ", 0);
    expect_result_untouched(L"     ", 0);
}

TEST(Timecode, SpacesAroundTheTimeAreAllowedButNotBetweenFields)
{
    expect_time(L"  5:38  ", 338);
    expect_time(L"338 ", 338);
    expect_result_untouched(L"5 :38", -1);
    expect_result_untouched(L"5: 38", -1);
    expect_result_untouched(L"5 38", -1);
    expect_result_untouched(L"1:02 :03", -1);
}

TEST(Timecode, MalformedTextLeavesSecondsAlone)
{
    const wchar_t* const bad[] = {
        L"1:70x", L"ab", L"\t5", L"5\t", L"+5", L"-5", L"5,5", L"1e3", L"1.2.3",
        L"1:2:3:4", L":5", L"5:", L"::", L"1::2", L"0x10", L"5s", L"5:38\n",
        L"\x0665",    // ARABIC-INDIC DIGIT FIVE
        L"\xFF15",    // FULLWIDTH DIGIT FIVE
        L"5\xA0",     // no-break space is not a space here
    };
    for (const wchar_t* text : bad)
        expect_result_untouched(text, -1);
}

TEST(Timecode, FieldLengthLimitIs31Characters)
{
    std::wstring digits31(31, L'1');
    Parsed p = parse(digits31.c_str());
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.seconds, 1111111111111111111111111111111.0);

    std::wstring zeros31 = L"1:" + std::wstring(30, L'0') + L"7";
    expect_time(zeros31.c_str(), 67);

    std::wstring digits32(32, L'0');
    expect_result_untouched(digits32.c_str(), -1);
    std::wstring long_last = L"1:" + digits32;
    expect_result_untouched(long_last.c_str(), -1);
    // An over-long field fails even when a later field would be malformed
    // anyway, and before a letter deeper in the field is looked at.
    std::wstring long_then_letter = digits32 + L"x";
    expect_result_untouched(long_then_letter.c_str(), -1);
}
