// Posting to the window: text copies, formatting limits, order, a window
// that falls behind, and no window at all.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "jobs/messages.h"
#include "support/capture.h"
#include "text/hints.h"
#include "win/globals.h"

namespace {

class Messages : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(capture_start()); }
    void TearDown() override { capture_stop(); }
};

TEST_F(Messages, TextsTravelAsCopiesOfTheirOwn)
{
    wchar_t line[] = L"[setup] downloading yt-dlp";
    EXPECT_TRUE(post_log(line));
    line[0] = L'X';  // the caller's buffer is free again at once
    EXPECT_TRUE(post_log(L""));
    EXPECT_TRUE(post_status(STATUS_TOOL_MISSING, L"yt-dlp.exe not found — …"));
    std::vector<CapturedMsg> got = capture_take();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].msg, (UINT)WM_APP_LOG);
    EXPECT_EQ(got[0].wparam, 0u);
    EXPECT_EQ(got[0].text, L"[setup] downloading yt-dlp");
    EXPECT_TRUE(got[1].has_text) << "an empty line still carries its terminator";
    EXPECT_EQ(got[1].text, L"");
    EXPECT_EQ(got[2].msg, (UINT)WM_APP_STATUS);
    EXPECT_EQ(got[2].wparam, (WPARAM)STATUS_TOOL_MISSING);
    EXPECT_EQ(got[2].text, L"yt-dlp.exe not found — …");
}

TEST_F(Messages, FormattedLinesAreCutToTheirLimit)
{
    std::wstring path(2000, L'p');
    EXPECT_TRUE(post_logf(L"[tarnvik] failed to start process (error %lu)", 4294967295ul));
    EXPECT_TRUE(post_logf(L"$ %ls", path.c_str()));
    std::wstring fits(1021, L'f');
    EXPECT_TRUE(post_logf(L"$ %ls", fits.c_str()));
    std::vector<CapturedMsg> got = capture_take();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].text, L"[tarnvik] failed to start process (error 4294967295)");
    EXPECT_EQ(got[1].text, (L"$ " + path).substr(0, 1023));
    EXPECT_EQ(got[2].text, L"$ " + fits);
}

TEST_F(Messages, OnePostersMessagesKeepTheirOrder)
{
    post_status(STATUS_STAGE, L"downloading…");
    post_message(WM_APP_PROGRESS, (WPARAM)(INT_PTR)-1, 0);
    post_log(L"[download] Destination: x.mp4");
    post_message(WM_APP_PROGRESS, 1000, 0);
    post_cut_done(0, CAUSE_SIGN_IN, L"C:\\clips\\J", L"clip.mp4");
    std::vector<CapturedMsg> got = capture_take();
    ASSERT_EQ(got.size(), 5u);
    const UINT order[] = {WM_APP_STATUS, WM_APP_PROGRESS, WM_APP_LOG, WM_APP_PROGRESS,
                          WM_APP_CUT_DONE};
    for (size_t i = 0; i < got.size(); i++)
        EXPECT_EQ(got[i].msg, order[i]) << "message " << i;
    EXPECT_EQ((int)got[1].wparam, -1) << "a negative position keeps its sign";
    EXPECT_EQ(got[4].text, L"C:\\clips\\J");
    EXPECT_EQ(got[4].cause, CAUSE_SIGN_IN) << "the end message carries the cause";
    EXPECT_EQ(got[4].file, L"clip.mp4") << "and the clip's name";
}

const int FLOOD = 100000;

DWORD WINAPI flood_thread(LPVOID)
{
    wchar_t line[32];
    for (int i = 0; i < FLOOD; i++) {
        swprintf(line, 32, L"%d", i);
        post_log(line);
    }
    post_text(WM_APP_CUT_DONE, 0, L"end");
    return 0;
}

// Windows refuses posts beyond its queue quota (10,000); the posters must
// wait for a window that has fallen behind instead of losing lines or the
// end message. Wine 8 has no such quota, so there this shows only that a
// long backlog loses nothing.
TEST_F(Messages, AFloodBehindABusyWindowLosesNothing)
{
    capture_hold();
    HANDLE worker = CreateThread(NULL, 0, flood_thread, NULL, 0, NULL);
    ASSERT_TRUE(worker);
    Sleep(200);
    capture_release();
    ASSERT_EQ(WaitForSingleObject(worker, 120000), (DWORD)WAIT_OBJECT_0);
    CloseHandle(worker);
    std::vector<CapturedMsg> got = capture_take();
    ASSERT_EQ(got.size(), (size_t)FLOOD + 1);
    for (int i = 0; i < FLOOD; i++)
        ASSERT_EQ(got[i].text, std::to_wstring(i));
    EXPECT_EQ(got[FLOOD].msg, (UINT)WM_APP_CUT_DONE);
}

}  // namespace

// Without a window nothing may pile up anywhere: not in the poster's own
// queue, where a post to no window would otherwise land.
TEST(MessagesWithoutWindow, NothingIsPostedAndNothingWaits)
{
    ASSERT_EQ(g_main, (HWND)NULL);
    EXPECT_FALSE(post_log(L"lost"));
    EXPECT_FALSE(post_logf(L"$ %ls", L"cmd.exe"));
    EXPECT_FALSE(post_status(STATUS_STAGE, L"downloading…"));
    EXPECT_FALSE(post_message(WM_APP_PROGRESS, 10, 0));
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, (HWND)-1, 0, 0, PM_REMOVE));
}

TEST(MessagesWithoutWindow, AWindowThatIsGoneFailsAtOnce)
{
    HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    ASSERT_TRUE(gone);
    DestroyWindow(gone);
    g_main = gone;
    BOOL posted = post_log(L"nobody reads this");
    BOOL progressed = post_message(WM_APP_PROGRESS, 0, 0);
    g_main = NULL;
    EXPECT_FALSE(posted);
    EXPECT_FALSE(progressed);
}
