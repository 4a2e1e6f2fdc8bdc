#include <gtest/gtest.h>

#include <string>

#include "text/ellipsis.h"

namespace {

// A character is one unit wide, "W" three: a proportional font in small.
long units(const wchar_t* text, size_t length, void*)
{
    long width = 0;
    for (size_t i = 0; i < length; ++i)
        width += text[i] == L'W' ? 3 : 1;
    return width;
}

std::wstring fitted(const wchar_t* name, long width, int* fits = nullptr)
{
    wchar_t out[64];
    int result = fit_name_in_line(L"<", name, L">", width, units, nullptr, out, 64);
    if (fits)
        *fits = result;
    return out;
}

TEST(FitNameInLine, ALongNameKeepsItsStartAndExtensionAsWideAsRoomAllows)
{
    int fits = 0;
    EXPECT_EQ(fitted(L"clip.mp4", 10, &fits), L"<clip.mp4>");
    EXPECT_EQ(fits, 1);
    EXPECT_EQ(fitted(L"abcdefgh.mp4", 12, &fits), L"<abcde….mp4>");
    EXPECT_EQ(fits, 1);
    EXPECT_EQ(fitted(L"WWWWWW.mp4", 13), L"<WW….mp4>") << "measured, not counted";
    EXPECT_EQ(fitted(L"abcdefghij", 8), L"<abcde…>") << "no extension";
    EXPECT_EQ(fitted(L"a.very long part of the title", 8), L"<a.ver…>") << "a dot far from the end is no extension";
    // U+1F600 in UTF-16, as Windows holds it; a cut after its first unit
    // would leave half of it.
    const wchar_t* smiley = L"ab\xD83D\xDE00" L"cdef.mp4";
    EXPECT_EQ(fitted(smiley, 10), L"<ab….mp4>");
    EXPECT_EQ(fitted(smiley, 11), L"<ab\xD83D\xDE00" L"….mp4>");
}

TEST(FitNameInLine, TooLittleRoomGivesTheShortestFormAndSaysSo)
{
    int fits = 1;
    EXPECT_EQ(fitted(L"abcdefgh.mp4", 4, &fits), L"<….mp4>");
    EXPECT_EQ(fits, 0);
}

}  // namespace
