#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "text/format.h"

namespace {

std::wstring selector(int height, int mp4, int noaudio)
{
    wchar_t out[FORMAT_SELECTOR_CAP];
    std::wmemset(out, L'#', FORMAT_SELECTOR_CAP);
    build_format_selector(height, mp4, noaudio, out);
    return out;
}

}  // namespace

TEST(FormatSelector, EveryTemplateWithAndWithoutHeightLimit)
{
    EXPECT_EQ(selector(1080, 1, 1), L"bv*[vcodec^=avc1][height<=1080]/bv*[height<=1080]");
    EXPECT_EQ(selector(0, 0, 0), L"bv*+ba/b");
    EXPECT_EQ(selector(720, 1, 0),
              L"bv*[vcodec^=avc1][height<=720]+ba[acodec^=mp4a]/bv*[height<=720]+ba/b[height<=720]");
    EXPECT_EQ(selector(480, 0, 0), L"bv*[height<=480]+ba/b[height<=480]");
    EXPECT_EQ(selector(2160, 0, 1), L"bv*[height<=2160]");
    EXPECT_EQ(selector(0, 0, 1), L"bv*");
    EXPECT_EQ(selector(0, 1, 1), L"bv*[vcodec^=avc1]/bv*");
    EXPECT_EQ(selector(0, 1, 0), L"bv*[vcodec^=avc1]+ba[acodec^=mp4a]/bv*+ba/b");
}

TEST(FormatSelector, AudioOnlyIgnoresBothFlags)
{
    for (int mp4 = 0; mp4 <= 1; ++mp4)
        for (int noaudio = 0; noaudio <= 1; ++noaudio) {
            EXPECT_EQ(selector(-1, mp4, noaudio), L"ba/b");
            EXPECT_EQ(selector(-2160, mp4, noaudio), L"ba/b");
        }
}

TEST(FormatSelector, ExtremeHeightsFitWithoutSpaces)
{
    // The command-line builder must never have to quote a selector.
    const int heights[] = {1, 2147483647, -2147483647 - 1};
    for (int h : heights)
        for (int flags = 0; flags < 4; ++flags) {
            std::wstring s = selector(h, flags & 1, flags >> 1);
            EXPECT_FALSE(s.empty());
            EXPECT_EQ(s.find(L' '), std::wstring::npos) << h;
            EXPECT_LT(s.size(), static_cast<size_t>(FORMAT_SELECTOR_CAP));
        }
    EXPECT_EQ(selector(2147483647, 1, 0),
              L"bv*[vcodec^=avc1][height<=2147483647]+ba[acodec^=mp4a]/"
              L"bv*[height<=2147483647]+ba/b[height<=2147483647]");
}
