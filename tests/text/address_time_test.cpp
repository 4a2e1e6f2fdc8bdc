#include <gtest/gtest.h>

#include "text/address_time.h"

namespace {

const double UNTOUCHED = -7.0;

double start_of(const wchar_t* url)
{
    double seconds = UNTOUCHED;
    if (!start_time_in_address(url, seconds)) {
        EXPECT_EQ(seconds, UNTOUCHED) << "a refused time leaves the value alone";
    }
    return seconds;
}

}  // namespace

TEST(AddressTime, ReadsEveryFormTheSitesWrite)
{
    EXPECT_EQ(start_of(L"https://example.com/watch?v=abc&t=75"), 75);
    EXPECT_EQ(start_of(L"https://example.com/watch?t=75s&v=abc"), 75);
    EXPECT_EQ(start_of(L"https://example.com/v?t=1m15s"), 75);
    EXPECT_EQ(start_of(L"https://example.com/v?t=1h2m3s"), 3723);
    EXPECT_EQ(start_of(L"https://example.com/v?t=2h"), 7200);
    EXPECT_EQ(start_of(L"https://example.com/v?t=1:15"), 75);
    EXPECT_EQ(start_of(L"https://example.com/v?t=1:02:03"), 3723);
    EXPECT_EQ(start_of(L"https://example.com/embed/abc?start=90&end=100"), 90);
    EXPECT_EQ(start_of(L"https://example.com/video/123#t=1m5s"), 65);
    EXPECT_EQ(start_of(L"https://example.com/v?t=0"), 0);
}

TEST(AddressTime, FindsOnlyTheTimeParameters)
{
    EXPECT_EQ(start_of(L"https://example.com/watch?v=abc"), UNTOUCHED);
    EXPECT_EQ(start_of(L"https://example.com/watch?at=75&tt=3"), UNTOUCHED);
    EXPECT_EQ(start_of(L"https://example.com/t=75"), UNTOUCHED) << "a path is no query";
    EXPECT_EQ(start_of(L"https://example.com/v#comments?t=75"), UNTOUCHED);
    EXPECT_EQ(start_of(L"https://example.com/v?v=1#t=30"), 30) << "the fragment after a query without one";
    EXPECT_EQ(start_of(L"https://example.com/v?t=20#t=30"), 20) << "the query's comes first";
}

TEST(AddressTime, RefusesWhatIsNoTime)
{
    for (const wchar_t* url : {L"https://e.com/v?t=", L"https://e.com/v?t=abc", L"https://e.com/v?t=1x",
                               L"https://e.com/v?t=15s1m", L"https://e.com/v?t=1m1m", L"https://e.com/v?t=m15s",
                               L"https://e.com/v?t=1:75", L"https://e.com/v?t=1:2:3:4", L"https://e.com/v?t=1:",
                               L"https://e.com/v?t=-5", L"https://e.com/v?t=7.5", L"https://e.com/v#t=10,20",
                               L"https://e.com/v?t=99999999999999999999999", L"https://e.com/v?t=360001",
                               L"https://e.com/v?t=100h1s", L"https://e.com/v?t=99999:00:00"})
        EXPECT_EQ(start_of(url), UNTOUCHED) << testing::PrintToString(std::wstring(url));
    EXPECT_EQ(start_of(L"https://e.com/v?t=100h"), 360000) << "the largest time taken";
}
