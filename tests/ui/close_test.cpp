// Closing the window while a clip job or a look-up runs must not leave its
// hidden yt-dlp running with no window to stop it, nor the look-up's files.
#include <gtest/gtest.h>
#include <windows.h>
#include "ui_shared.h"

namespace {

TEST(ClosingTest, ClosingTheWindowDuringAJobEndsItsChild)
{
    UiApp app;
    ASSERT_TRUE(start_with_tools(app, L"closing"));
    ASSERT_TRUE(script_ytdlp(app.dir, {L"say [info] a long download", L"sleep 120000"}));
    ui_set_text(app, ID_URL, L"https://example.com/long");
    ui_click(app, ID_CUT);
    DWORD child_pid = 0;
    bool started = wait_until([&] { return (child_pid = child_process(app.pid, L"yt-dlp.exe")) != 0; },
                              SHORT_TIMEOUT_MS);
    HANDLE child = started ? OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, child_pid) : nullptr;
    EXPECT_TRUE(ui_close(app, SHORT_TIMEOUT_MS)) << "the window closes while the job runs";
    ASSERT_NE(child, nullptr) << "yt-dlp was not seen running";
    bool child_ended = WaitForSingleObject(child, SHORT_TIMEOUT_MS) == WAIT_OBJECT_0;
    if (!child_ended)
        TerminateProcess(child, 1);
    CloseHandle(child);
    EXPECT_TRUE(child_ended) << "yt-dlp outlived the window";
}

TEST(ClosingTest, ClosingTheWindowDuringALookupEndsItAndRemovesItsFolder)
{
    UiApp app;
    ASSERT_TRUE(start_with_tools(app, L"closing a look-up"));
    ASSERT_TRUE(script_lookup(app.dir, {L"sleep 120000"}));
    ui_set_text(app, ID_URL, L"https://example.com/slow");
    DWORD child_pid = 0;
    bool started = wait_until([&] { return (child_pid = child_process(app.pid, L"yt-dlp.exe")) != 0; },
                              SHORT_TIMEOUT_MS);
    HANDLE child = started ? OpenProcess(SYNCHRONIZE, FALSE, child_pid) : nullptr;
    ASSERT_NE(child, nullptr) << "the look-up's yt-dlp was not seen running";
    std::wstring folder = lookup_folder(app.pid);
    EXPECT_TRUE(folder_exists(folder)) << "the look-up works somewhere else";
    EXPECT_TRUE(ui_close(app, SHORT_TIMEOUT_MS));
    EXPECT_EQ(WaitForSingleObject(child, SHORT_TIMEOUT_MS), (DWORD)WAIT_OBJECT_0) << "yt-dlp outlived the window";
    CloseHandle(child);
    EXPECT_FALSE(folder_exists(folder)) << "the look-up's folder outlived the window";
}

}  // namespace
