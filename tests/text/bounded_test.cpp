#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "text/bounded.h"

TEST(FormatText, SaysWhetherTheWholeTextFitted)
{
    std::vector<wchar_t> buf(12, L'#');
    // "C:\tools\x" is 10 characters: it fits in 11 and in 12, not in 10.
    EXPECT_EQ(format_text(buf.data(), 11, L"%ls\\%ls", L"C:\\tools", L"x"), 1);
    EXPECT_STREQ(buf.data(), L"C:\\tools\\x");
    EXPECT_EQ(buf[11], L'#');

    std::fill(buf.begin(), buf.end(), L'#');
    EXPECT_EQ(format_text(buf.data(), 10, L"%ls\\%ls", L"C:\\tools", L"x"), 0);
    EXPECT_EQ(buf[9], L'\0');
    EXPECT_LT(std::wcslen(buf.data()), 10u);
    EXPECT_EQ(buf[10], L'#');

    EXPECT_EQ(format_text(buf.data(), 12, L"%lu%%", 4294967295ul), 1);
    EXPECT_STREQ(buf.data(), L"4294967295%");
    EXPECT_EQ(format_text(buf.data(), 12, L"done — %.1f MB", 1.234567), 0);
    EXPECT_EQ(format_text(buf.data(), 12, L"%.1f MB", 1.234567), 1);
    EXPECT_STREQ(buf.data(), L"1.2 MB");
}

TEST(FormatText, ANonAsciiTextAndAnEmptyBuffer)
{
    wchar_t buf[32];
    EXPECT_EQ(format_text(buf, 32, L"%ls", L"Café – Ünïcode"), 1);
    EXPECT_EQ(std::wstring(buf), L"Café – Ünïcode");
    wchar_t none = L'#';
    EXPECT_EQ(format_text(&none, 0, L"x"), 0);
    EXPECT_EQ(none, L'#');
}
