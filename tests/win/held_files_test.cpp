// rename_file, delete_file and rmtree while a scanner or OneDrive holds a
// file for a moment: each waits for it, and gives up once its patience is
// spent, leaving things as they were.
#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include "support/doubles.h"
#include "support/scratch.h"
#include "support/ui_driver.h"
#include "win/held_files.h"

namespace {

// Held as a scanner holds a new file: read, others may read and write, but
// nobody may rename or delete it.
HANDLE hold(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
}

struct Attempt {
    std::function<int()> run;
    int result = -1;
};

DWORD WINAPI attempt_thread(LPVOID param)
{
    Attempt* attempt = (Attempt*)param;
    attempt->result = attempt->run();
    return 0;
}

class HeldFiles : public ScratchFolderTest {
protected:
    unsigned long saved_patience = g_hold_patience_ms;
    void TearDown() override
    {
        g_hold_patience_ms = saved_patience;
        ScratchFolderTest::TearDown();
    }

    // Runs op while path is held, lets go once op has been refused, and
    // returns op's result.
    int while_held_for_a_moment(const std::wstring& path, std::function<int()> op)
    {
        g_hold_patience_ms = 60000;  // far longer than the test needs
        HANDLE held = hold(path);
        EXPECT_NE(held, INVALID_HANDLE_VALUE);
        LONG retries = g_hold_retries;
        Attempt attempt;
        attempt.run = op;
        HANDLE thread = CreateThread(NULL, 0, attempt_thread, &attempt, 0, NULL);
        EXPECT_TRUE(thread != NULL);
        EXPECT_TRUE(wait_until([&] { return g_hold_retries > retries; }, 30000)) << "it was refused at first";
        CloseHandle(held);
        EXPECT_EQ(WaitForSingleObject(thread, 30000), (DWORD)WAIT_OBJECT_0);
        CloseHandle(thread);
        return attempt.result;
    }

    std::wstring at(const wchar_t* name) const { return dir + L"\\" + name; }
};

TEST_F(HeldFiles, EachWaitsForAFileHeldForAMoment)
{
    ASSERT_TRUE(write_file(at(L"target"), "old"));
    ASSERT_TRUE(write_file(at(L"staged"), "new"));
    EXPECT_EQ(while_held_for_a_moment(at(L"target"), [&] { return rename_file(at(L"staged").c_str(), at(L"target").c_str()); }), 1);
    std::string bytes;
    EXPECT_TRUE(read_file(at(L"target"), &bytes) && bytes == "new") << bytes;
    EXPECT_FALSE(file_exists(at(L"staged")));

    EXPECT_EQ(while_held_for_a_moment(at(L"target"), [&] { return delete_file(at(L"target").c_str()); }), 1);
    EXPECT_FALSE(file_exists(at(L"target")));

    ASSERT_TRUE(CreateDirectoryW(at(L"tree").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryW(at(L"tree\\_MEI42").c_str(), NULL));
    ASSERT_TRUE(write_file(at(L"tree\\_MEI42\\python.dll"), "x"));
    ASSERT_TRUE(write_file(at(L"tree\\locked"), "x"));
    ASSERT_TRUE(SetFileAttributesW(at(L"tree\\locked").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(while_held_for_a_moment(at(L"tree\\_MEI42\\python.dll"), [&] { return rmtree(at(L"tree").c_str()); }), 1);
    EXPECT_FALSE(folder_exists(at(L"tree")));
}

TEST_F(HeldFiles, AHoldThatOutlastsThePatienceLeavesEverythingAsItWas)
{
    g_hold_patience_ms = 300;
    ASSERT_TRUE(write_file(at(L"target"), "old"));
    ASSERT_TRUE(write_file(at(L"staged"), "new"));
    HANDLE held = hold(at(L"target"));
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(rename_file(at(L"staged").c_str(), at(L"target").c_str()), 0);
    EXPECT_EQ(delete_file(at(L"target").c_str()), 0);
    CloseHandle(held);
    std::string bytes;
    EXPECT_TRUE(read_file(at(L"target"), &bytes) && bytes == "old") << bytes;
    EXPECT_TRUE(file_exists(at(L"staged")));
}

TEST_F(HeldFiles, WhatIsNotThereCountsAsRemoved)
{
    EXPECT_EQ(delete_file(at(L"never").c_str()), 1);
    EXPECT_EQ(rmtree(at(L"never").c_str()), 1);
    EXPECT_EQ(rmtree(at(L"never\\deeper").c_str()), 1);
    EXPECT_EQ(rename_file(at(L"never").c_str(), at(L"other").c_str()), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);
}

}  // namespace
