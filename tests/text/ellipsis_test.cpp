#include <gtest/gtest.h>

#include <cwchar>
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

std::wstring fitted(const wchar_t* name, long width, int* fits = nullptr, size_t cap = 64)
{
    wchar_t out[64];
    int result = fit_name_in_line(L"<", name, L">", width, units, nullptr, out, cap);
    if (fits)
        *fits = result;
    return out;
}

TEST(FitNameInLine, ALineThatFitsStaysWhole)
{
    int fits = 0;
    EXPECT_EQ(fitted(L"clip.mp4", 10, &fits), L"<clip.mp4>");
    EXPECT_EQ(fits, 1);
    EXPECT_EQ(fitted(L"", 2), L"<>");
}

TEST(FitNameInLine, ALongNameKeepsItsStartAndExtensionAsWideAsRoomAllows)
{
    EXPECT_EQ(fitted(L"abcdefgh.mp4", 12), L"<abcde….mp4>");
    EXPECT_EQ(fitted(L"WWWWWW.mp4", 13), L"<WW….mp4>") << "measured, not counted";
    EXPECT_EQ(fitted(L"abcdefghij", 8), L"<abcde…>") << "no extension";
    // A dot at the start, or far from the end, is no extension.
    EXPECT_EQ(fitted(L".hidden-file-name", 8), L"<.hidd…>");
    EXPECT_EQ(fitted(L"a.very long part of the title", 8), L"<a.ver…>");
}

TEST(FitNameInLine, NeverSplitsACharacterOfTwoUnits)
{
    // U+1F600 in UTF-16, as Windows holds it; a cut after its first unit
    // would leave half of it.
    const wchar_t* name = L"ab\xD83D\xDE00" L"cdef.mp4";
    EXPECT_EQ(fitted(name, 10), L"<ab….mp4>");
    EXPECT_EQ(fitted(name, 11), L"<ab\xD83D\xDE00" L"….mp4>");
}

TEST(FitNameInLine, TooLittleRoomGivesTheShortestFormAndSaysSo)
{
    int fits = 1;
    EXPECT_EQ(fitted(L"abcdefgh.mp4", 4, &fits), L"<….mp4>");
    EXPECT_EQ(fits, 0);
}

TEST(FitNameInLine, TheBufferIsRoomToo)
{
    int fits = 0;
    // "<abcd….mp4>" is 11 characters: the most a 12-character buffer holds.
    EXPECT_EQ(fitted(L"abcdefgh.mp4", 1000, &fits, 12), L"<abcd….mp4>");
    EXPECT_EQ(fits, 1);
}

}  // namespace
