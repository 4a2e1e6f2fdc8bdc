// The window's rules that need no window: which URLs pass, how long the
// clip is, fresh job folders, the finished file, the footer line.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <vector>
#include "support/doubles.h"
#include "support/programs.h"
#include "support/scratch.h"
#include "ui/rules.h"
#include "ui/status_texts.h"

namespace {

class RulesTest : public ScratchFolderTest {
protected:
    void make_file(const wchar_t* name, size_t bytes)
    {
        ASSERT_TRUE(write_file(dir + L"\\" + name, std::string(bytes, 'm')));
    }
    // The file find_media_file picks in dir, or "(none)"; its size in size.
    std::wstring picked(unsigned long long& size)
    {
        wchar_t name[PATH_CAP];
        size = 12345;
        return find_media_file(dir.c_str(), name, &size) ? std::wstring(name) : std::wstring(L"(none)");
    }
    void use_as_program_folder()
    {
        wcsncpy(g_appdir, dir.c_str(), PATH_CAP - 1);
        _snwprintf(g_clipsdir, PATH_CAP - 1, L"%ls\\clips", g_appdir);
    }
};

TEST(UrlRule, OnlyHttpAndHttpsInAnyCaseAtTheVeryStart)
{
    for (const wchar_t* url : {L"http://a", L"https://a", L"HTTPS://A", L"HtTp://x", L"https://"})
        EXPECT_TRUE(is_http_url(url)) << url;
    for (const wchar_t* url : {L"", L" https://a", L"ftp://a", L"https:/a", L"https//a", L"httpx://a", L"http:",
                               L"file:///C:/x.mp4", L"\thttp://a"})
        EXPECT_FALSE(is_http_url(url)) << url;
}

TEST(ClipLength, EndMinusStartOrEndAloneOrNone)
{
    EXPECT_DOUBLE_EQ(clip_len_of(5, 12.5), 7.5);
    EXPECT_DOUBLE_EQ(clip_len_of(-1, 12), 12);
    EXPECT_DOUBLE_EQ(clip_len_of(0, 12), 12);
    EXPECT_DOUBLE_EQ(clip_len_of(30, -1), -1);
    EXPECT_DOUBLE_EQ(clip_len_of(-1, -1), -1);
}

TEST(ClipLength, WithoutAnEndTheRestOfAVideoOfKnownLength)
{
    EXPECT_DOUBLE_EQ(clip_len_in(-1, -1, 120), 120);
    EXPECT_DOUBLE_EQ(clip_len_in(30, -1, 120), 90);
    EXPECT_DOUBLE_EQ(clip_len_in(30, 50, 120), 20) << "an End given decides";
    EXPECT_DOUBLE_EQ(clip_len_in(30, -1, -1), -1) << "no length known";
}

std::wstring refusal(double start, double end, double video_length)
{
    wchar_t message[LENGTH_MESSAGE_CAP];
    int fits = times_fit_length(start, end, video_length, message);
    EXPECT_EQ(fits, message[0] == L'\0');
    return message;
}

TEST(VideoLength, TimesAtOrPastTheEndAreRefused)
{
    EXPECT_EQ(refusal(-1, 120, 120), L"") << "to the very end";
    EXPECT_EQ(refusal(119.5, -1, 120), L"");
    EXPECT_EQ(refusal(120, -1, 120), L"Start time is past the end of the video (2:00).");
    EXPECT_EQ(refusal(-1, 120.5, 120), L"End time is past the end of the video (2:00).");
    EXPECT_EQ(refusal(5000, 6000, 3723), L"Start time is past the end of the video (1:02:03).") << "Start first";
    EXPECT_EQ(refusal(5000, 6000, -1), L"") << "nothing to check against";
}

TEST_F(RulesTest, JobFolderIsNamedAfterTickAndRandomNumber)
{
    wchar_t job[PATH_CAP];
    ASSERT_EQ(make_job_folder(dir.c_str(), 123456, job), 1);
    std::wstring name = std::wstring(job).substr(dir.size() + 1);
    EXPECT_EQ(std::wstring(job).substr(0, dir.size() + 1), dir + L"\\");
    ASSERT_EQ(name.size(), 12u);
    EXPECT_EQ(name.substr(0, 8), L"0001e240");
    EXPECT_EQ(name.find_first_not_of(L"0123456789abcdef"), std::wstring::npos);
    EXPECT_TRUE(folder_exists(job));
}

// Two copies started in the same millisecond draw the same random numbers:
// the second must still end up with a folder of its own.
TEST_F(RulesTest, TakenJobFolderNameIsNeverReused)
{
    wchar_t first[PATH_CAP], second[PATH_CAP], third[PATH_CAP];
    srand(77);
    ASSERT_EQ(make_job_folder(dir.c_str(), 0xABCDEF, first), 1);
    ASSERT_TRUE(write_file(std::wstring(first) + L"\\clip.mp4", "first job"));
    srand(77);
    ASSERT_EQ(make_job_folder(dir.c_str(), 0xABCDEF, second), 1);
    srand(77);
    ASSERT_EQ(make_job_folder(dir.c_str(), 0xABCDEF, third), 1);
    EXPECT_NE(std::wstring(first), second);
    EXPECT_NE(std::wstring(first), third);
    EXPECT_NE(std::wstring(second), third);
    EXPECT_TRUE(folder_exists(second));
    EXPECT_TRUE(folder_exists(third));
    EXPECT_TRUE(file_exists(std::wstring(first) + L"\\clip.mp4"));
    EXPECT_FALSE(file_exists(std::wstring(second) + L"\\clip.mp4"));
}

TEST_F(RulesTest, JobFolderThatCannotBeMadeEndsTheSearch)
{
    wchar_t job[PATH_CAP];
    EXPECT_EQ(make_job_folder((dir + L"\\no such folder").c_str(), 1, job), 0);
    std::wstring deep = dir + L"\\" + std::wstring(250 - dir.size(), L'd');
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    EXPECT_EQ(make_job_folder(deep.c_str(), 1, job), -1) << "a name cut short is no fresh name";
}

TEST_F(RulesTest, LargestMediaFileWinsWhateverItsType)
{
    make_file(L"a.mp4", 5000000);
    make_file(L"b.m4a", 2000000);
    make_file(L"c.mp4.part", 9000000);
    make_file(L"notes.txt", 6000000);
    ASSERT_TRUE(CreateDirectoryW((dir + L"\\x.mp4").c_str(), nullptr));
    unsigned long long size;
    EXPECT_EQ(picked(size), L"a.mp4");
    EXPECT_EQ(size, 5000000u);
}

TEST_F(RulesTest, EveryListedExtensionCountsInAnyCase)
{
    const wchar_t* const NAMES[] = {L"1.MP4", L"2.mkv", L"3.WebM", L"4.m4a", L"5.mp3",
                                    L"6.opus", L"7.mov", L"8.FLAC", L"9.ogg", L"10.wav"};
    for (size_t i = 0; i < 10; ++i) {
        SCOPED_TRACE(testing::Message() << NAMES[i]);
        make_file(NAMES[i], 100 + i);  // each one larger than the one before
        unsigned long long size;
        EXPECT_EQ(picked(size), NAMES[i]);
        EXPECT_EQ(size, 100 + i);
    }
}

TEST_F(RulesTest, EqualSizesGoToTheOneListedLast)
{
    make_file(L"one.mp4", 300);
    make_file(L"two.webm", 300);
    make_file(L"three.mkv", 300);
    std::wstring last;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &entry);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            last = entry.cFileName;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    unsigned long long size;
    EXPECT_EQ(picked(size), last);
}

TEST_F(RulesTest, EmptyMediaFileStillCounts)
{
    make_file(L"x.webm", 0);
    unsigned long long size;
    EXPECT_EQ(picked(size), L"x.webm");
    EXPECT_EQ(size, 0u);
}

TEST_F(RulesTest, NoMediaFileOrNoFolderFindsNothing)
{
    make_file(L"x.mp4.part", 10);
    make_file(L"mp4", 10);
    make_file(L"readme", 10);
    unsigned long long size;
    EXPECT_EQ(picked(size), L"(none)");
    wchar_t name[PATH_CAP];
    EXPECT_EQ(find_media_file((dir + L"\\gone").c_str(), name, &size), 0);
}

// One unit a character: the status line's fixed-pitch font.
long characters(const wchar_t*, size_t length, void*)
{
    return (long)length;
}

// A job that names its clip is reported by that name, even beside a larger
// media file (the fetched section an exact cut could not remove); the
// largest file is only for a job that names none.
TEST_F(RulesTest, TheClipAJobNamesWinsOverALargerFileBesideIt)
{
    make_file(L"section.mp4", 5000);
    make_file(L"Clip [id].mp4", 2000);
    wchar_t name[PATH_CAP];
    unsigned long long size = 0;
    ASSERT_EQ(find_clip_file(dir.c_str(), L"Clip [id].mp4", name, &size), 1);
    EXPECT_STREQ(name, L"Clip [id].mp4");
    EXPECT_EQ(size, 2000u);
    ASSERT_EQ(find_clip_file(dir.c_str(), L"", name, &size), 1);
    EXPECT_STREQ(name, L"section.mp4");
    EXPECT_EQ(find_clip_file(dir.c_str(), L"gone.mp4", name, &size), 0) << "a named clip that is not there";
}

TEST(DoneText, SizeInDecimalMegabytesWithOneDecimalAndAlwaysInSight)
{
    wchar_t text[324];
    format_done(L"clip.mp4", 1234567, 40, characters, nullptr, text, 324);
    EXPECT_STREQ(text, L"done — clip.mp4 (1.2 MB)");
    format_done(L"x.webm", 0, 40, characters, nullptr, text, 324);
    EXPECT_STREQ(text, L"done — x.webm (0.0 MB)");
    format_done(L"big.mkv", 5000000000ull, 40, characters, nullptr, text, 324);
    EXPECT_STREQ(text, L"done — big.mkv (5000.0 MB)");
    format_done(L"A rather long video title [abc123].mp4", 2621440, 40, characters, nullptr, text, 324);
    EXPECT_STREQ(text, L"done — A rather long video….mp4 (2.6 MB)");
    std::wstring long_name(320, L'n');
    format_done(long_name.c_str(), 1, 1000, characters, nullptr, text, 324);
    EXPECT_EQ(wcslen(text), 323u) << "the buffer's end cuts the name, not the size";
    EXPECT_EQ(std::wstring(text).substr(312), L"n… (0.0 MB)");
}

TEST_F(RulesTest, FooterNamesReadyAndMissingTools)
{
    use_as_program_folder();
    wchar_t footer[FOOTER_CAP];
    build_footer(footer);
    EXPECT_STREQ(footer, L"Tools ready: (none)    MISSING: yt-dlp, ffmpeg, deno");
    make_file(L"ffmpeg.exe", 1);
    ASSERT_TRUE(CreateDirectoryW((dir + L"\\deno.exe").c_str(), nullptr));  // a folder is no tool
    build_footer(footer);
    EXPECT_STREQ(footer, L"Tools ready: ffmpeg    MISSING: yt-dlp, deno");
    make_file(L"yt-dlp.exe", 1);
    RemoveDirectoryW((dir + L"\\deno.exe").c_str());
    make_file(L"deno.exe", 1);
    build_footer(footer);  // ffprobe is not listed, so its absence does not show
    EXPECT_EQ(std::wstring(footer), L"Tools ready: yt-dlp, ffmpeg, deno     Clips: " + dir + L"\\clips");
}

}  // namespace
