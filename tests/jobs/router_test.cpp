// handle_line: every kind of line a child writes, against every kind of
// clip length, and exactly the messages the window then receives.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "jobs/messages.h"
#include "jobs/router.h"
#include "support/capture.h"
#include "text/hints.h"

namespace {

const double CLIP_LENGTHS[] = {10, 4, 0, -1};
enum { LENGTH_COUNT = 4 };

struct Row {
    const wchar_t* line;
    bool progress;
    int tenths[LENGTH_COUNT];  // the position posted at each clip length above
    const wchar_t* status;     // stage word, or null
};

const Row ROWS[] = {
    {L"[download]  45.3% of 10.00MiB at 2MiB/s", true, {453, 453, 453, 453}, NULL},
    {L"[download] 100% of 10.00MiB in 00:03", true, {1000, 1000, 1000, 1000}, NULL},
    {L"[download] Destination: 50% off.mp4", true, {500, 500, 500, 500}, NULL},
    {L"size=  2048KiB time=00:00:05.20 bitrate=3225kb/s speed=2x", true, {520, 1000, -1, -1}, NULL},
    {L"frame=  100 fps=25 q=28.0 size=  512KiB time=00:00:10.00 bitrate= 419.4kbits/s speed=2x",
     true, {1000, 1000, -1, -1}, NULL},
    {L"size=       0KiB time=00:00:00.00 bitrate=N/A speed=N/A", true, {0, 0, -1, -1}, NULL},
    {L"######################    31.4%", true, {314, 314, 314, 314}, NULL},
    {L"[youtube] Extracting URL: https://www.youtube.com/watch?v=abc", false, {}, L"analyzing video…"},
    {L"[download] Destination: x.mp4", false, {}, L"downloading…"},
    {L"[Merger] Merging formats into \"x.mp4\"", false, {}, L"processing…"},
    {L"[VideoRemuxer] Remuxing video from webm to mp4", false, {}, L"processing…"},
    {L"[ExtractAudio] Destination: x.m4a", false, {}, L"processing…"},
    {L"[FixupM3u8] Fixing MPEG-TS in MP4 container of \"x.mp4\"", false, {}, L"processing…"},
    {L"Extracting URL then [Merger] on one line", false, {}, L"analyzing video…"},
    {L"[download] 150% of nothing", false, {}, NULL},
    {L"Duration: 00:10:00.00, start: 0.000000, bitrate: 1000 kb/s", false, {}, NULL},
    {L"[setup] downloading yt-dlp", false, {}, NULL},
    {L"x yt-dlp.exe", false, {}, NULL},
    {L"ERROR: [generic] Unsupported URL: https://example.com/", false, {}, NULL},
};

class Router : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(capture_start()); }
    void TearDown() override { capture_stop(); }
};

TEST_F(Router, EveryKindOfLineAtEveryClipLength)
{
    for (int l = 0; l < LENGTH_COUNT; l++) {
        LineRouter router;
        init_router(&router, CLIP_LENGTHS[l]);
        for (const Row& row : ROWS) {
            SCOPED_TRACE(testing::Message() << "clip length " << router.clip_len << ", line \""
                                            << std::wstring(row.line).c_str() << "\"");
            handle_line(&router, row.line);
            std::vector<CapturedMsg> got = capture_take();
            std::vector<CapturedMsg> want;
            if (row.progress) {
                want.push_back({WM_APP_PROGRESS, (WPARAM)(INT_PTR)row.tenths[l], false, L""});
            } else {
                if (row.status)
                    want.push_back({WM_APP_STATUS, STATUS_STAGE, true, row.status});
                want.push_back({WM_APP_LOG, 0, true, row.line});
            }
            ASSERT_EQ(got.size(), want.size());
            for (size_t i = 0; i < got.size(); i++) {
                EXPECT_EQ(got[i].msg, want[i].msg);
                EXPECT_EQ((int)got[i].wparam, (int)want[i].wparam);
                EXPECT_EQ(got[i].text, want[i].text);
            }
        }
    }
}

TEST_F(Router, ATimeExactlyAtTheClipsLengthIsTheWholeBar)
{
    LineRouter router;
    init_router(&router, 5.2);
    handle_line(&router, L"size=  2048KiB time=00:00:05.20 bitrate=3225kb/s speed=2x");
    router.clip_len = 5.21;
    handle_line(&router, L"size=  2048KiB time=00:00:05.20 bitrate=3225kb/s speed=2x");
    std::vector<CapturedMsg> got = capture_take();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ((int)got[0].wparam, 1000);
    EXPECT_EQ((int)got[1].wparam, 998);
}

// A warning that names a cause comes before the error it leads to; the
// first one stays with the job's router.
TEST_F(Router, TheFirstCauseInTheOutputIsKept)
{
    LineRouter router;
    init_router(&router, -1);
    handle_line(&router, L"[download]  45.3% of a file named HTTP Error 403");
    EXPECT_EQ(router.cause, CAUSE_NONE) << "progress names no cause";
    handle_line(&router, L"WARNING: failed to decrypt with DPAPI");
    handle_line(&router, L"ERROR: [youtube] abc: Sign in to confirm you’re not a bot.");
    note_cause(&router, CAUSE_START_VIRUS);
    EXPECT_EQ(router.cause, CAUSE_COOKIES_ENCRYPTED);
    capture_take();
    init_router(&router, -1);
    EXPECT_EQ(router.cause, CAUSE_NONE);
}

// A job of several children gives each a share of the bar, which never
// goes back: a second download starting over does not move it.
TEST_F(Router, ASteadyShareOfTheBar)
{
    LineRouter router;
    init_router(&router, 10);
    router.steady = 1;
    router.bar_from = 200;
    router.bar_span = 500;
    const wchar_t* const lines[] = {L"[download]  50.0% of 1MiB", L"[download]  10.0% of 1MiB",
                                    L"size= 1KiB time=00:00:10.00 bitrate=1kb/s speed=1x"};
    for (const wchar_t* line : lines)
        handle_line(&router, line);
    std::vector<CapturedMsg> got = capture_take();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ((int)got[0].wparam, 450);
    EXPECT_EQ((int)got[1].wparam, 700);
}

}  // namespace
