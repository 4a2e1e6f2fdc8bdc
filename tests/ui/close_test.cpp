// Closing the window while a clip job runs must not leave its hidden
// yt-dlp running with no window to stop it.
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

}  // namespace
