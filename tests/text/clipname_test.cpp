// The clip's name budget: every file yt-dlp writes for a clip, title and
// id cut as its template says, keeps its path within Windows' limit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/clipname.h"

namespace {

// The text's characters (code points), whatever the size of wchar_t.
std::vector<unsigned long> characters(const std::wstring& text)
{
    std::vector<unsigned long> out;
    for (size_t i = 0; i < text.size(); i++) {
        unsigned long c = (unsigned long)text[i];
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && i + 1 < text.size())
            c = 0x10000 + ((c - 0xD800) << 10) + ((unsigned long)text[++i] - 0xDC00);
        out.push_back(c);
    }
    return out;
}

unsigned long utf8_bytes(unsigned long c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// UTF-16 units, counted here by the test's own reading of the characters.
unsigned long units_of(const std::wstring& text)
{
    unsigned long units = 0;
    for (unsigned long c : characters(text))
        units += c > 0xFFFF ? 2 : 1;
    return units;
}

// What yt-dlp keeps of text under "%(…).Ns" (chars > 0) or "%(…).NB":
// whole characters only, counted in UTF-16 units.
unsigned long kept_units(const std::wstring& text, int chars, int bytes)
{
    unsigned long units = 0, used = 0, count = 0;
    for (unsigned long c : characters(text)) {
        if (chars > 0 ? ++count > (unsigned long)chars : (used += utf8_bytes(c)) > (unsigned long)bytes)
            break;
        units += c > 0xFFFF ? 2 : 1;
    }
    return units;
}

// The longest path yt-dlp writes in folder for a video with this title and id.
unsigned long longest_path(const std::wstring& folder, const std::wstring& title, const std::wstring& id)
{
    ClipNameBudget budget;
    clip_name_budget(folder.c_str(), &budget);
    return units_of(folder) + 1 + kept_units(title, budget.title_chars, 0) + 2 +
           kept_units(id, 0, budget.id_bytes) + 1 + 15;  // "\", " [", "]", ".f251.webm.part"
}

std::wstring repeat(const std::wstring& piece, size_t times)
{
    std::wstring out;
    while (times--)
        out += piece;
    return out;
}

std::wstring folder_of_units(size_t units)
{
    return L"C:\\" + std::wstring(units - 3, L'd');
}

}  // namespace

TEST(ClipName, EveryTitleKeepsTheLongestPathWithinTheLimit)
{
    const std::wstring titles[] = {
        repeat(L"A long English title ", 20),
        repeat(L"Ünïcödé Çàfé ", 30),
        repeat(L"日本語のタイトル", 40),
        repeat(L"\U0001F600\U0001F389", 100),
        repeat(L"\u2764\uFE0F", 150),
    };
    const std::wstring ids[] = {L"dQw4w9WgXcQ", repeat(L"long-generic-id-", 10)};
    // A short folder, a usual one, OneDrive's with a long user name, and one
    // just deep enough, with letters of every width in it.
    const std::wstring folders[] = {L"C:\\T\\clips\\0001",
                                    L"C:\\Users\\Anna\\Tools\\Tarnvik\\clips\\0123abcd4567",
                                    L"C:\\Users\\Åsa Östergård-Lindqvist\\OneDrive - Företaget AB\\Skrivbord\\"
                                    L"\U0001F3AC Videor\\Tarnvik\\clips\\0123abcd4567",
                                    folder_of_units(218)};
    for (const std::wstring& folder : folders) {
        ClipNameBudget budget;
        ASSERT_TRUE(clip_name_budget(folder.c_str(), &budget));
        for (const std::wstring& title : titles)
            for (const std::wstring& id : ids)
                EXPECT_LE(longest_path(folder, title, id), 259ul)
                    << "folder of " << utf16_units(folder.c_str()) << " units";
    }
    // Where there is room, a title keeps its 80 characters and an id all of its own.
    EXPECT_EQ(longest_path(folders[1], titles[2], ids[0]), 46ul + 1 + 80 + 2 + 11 + 1 + 15);
    // Just deep enough still leaves an 11-letter id whole and a useful title.
    ClipNameBudget tight;
    clip_name_budget(folders[3].c_str(), &tight);
    EXPECT_EQ(tight.id_bytes, 11);
    EXPECT_EQ(tight.title_chars, 5);
}

TEST(ClipName, AFolderTooDeepForAUsefulNameIsRefused)
{
    ClipNameBudget budget;
    EXPECT_FALSE(clip_name_budget(folder_of_units(219).c_str(), &budget));
    // Counted in UTF-16 units: an emoji takes two, so 217 units and one emoji are too deep.
    std::wstring emoji = folder_of_units(217) + L"\U0001F600";
    EXPECT_FALSE(clip_name_budget(emoji.c_str(), &budget));
    EXPECT_TRUE(clip_name_budget(emoji.substr(0, emoji.size() - (sizeof(wchar_t) == 2 ? 2 : 1)).c_str(), &budget));
}
