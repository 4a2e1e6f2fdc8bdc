// The look-up through the window, with the fake yt-dlp answering it: the
// line under the address, a look-up stopped by a new address (and by Esc,
// but never by a clip's Cancel), times checked against the video's length,
// a start time taken from the address, and a clip that reuses the look-up.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include "jobs/clipjob.h"
#include "ui_shared.h"

namespace {

const wchar_t HELP_START[] = L"Times work with or without colons:";
const wchar_t LOOKING_UP[] = L"looking up the video…";

// The id of parent's child exe_name once it runs; 0 when none came.
DWORD started_child(DWORD parent, const wchar_t* exe_name)
{
    DWORD pid = 0;
    wait_until([&] { return (pid = child_process(parent, exe_name)) != 0; }, SHORT_TIMEOUT_MS);
    return pid;
}

bool ended(HANDLE process)
{
    bool gone = process && WaitForSingleObject(process, SHORT_TIMEOUT_MS) == WAIT_OBJECT_0;
    if (process)
        CloseHandle(process);
    return gone;
}

bool still_running(HANDLE process)
{
    return process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

class LookupWindowTest : public ::testing::Test {
protected:
    static UiApp app;

    static void SetUpTestSuite() { start_with_tools(app, L"look-up"); }
    static void TearDownTestSuite() { ui_close(app, SHORT_TIMEOUT_MS); }

    void SetUp() override
    {
        ASSERT_NE(app.main, nullptr) << "Tarnvik's window did not appear";
        ui_set_text(app, ID_START, L"");
        ui_set_text(app, ID_END, L"");
        DeleteFileW((app.dir + L"\\args.txt").c_str());
    }

    std::wstring line() const { return ui_text(app, ID_LOOKUP); }

    // Sets the address and waits for the look-up to show what it found.
    bool look_up(const wchar_t* url, const std::wstring& shown)
    {
        ui_set_text(app, ID_URL, url);
        return wait_until([&] { return line() == shown; }, JOB_TIMEOUT_MS);
    }

    // A look-up kept running by the fake yt-dlp and a child of it; returns that child.
    HANDLE start_long_lookup(const wchar_t* url)
    {
        script_lookup(app.dir, {L"spawn " + quoted(bin_program(L"child.exe")) + L" sleep:120000", L"sleep 120000"});
        ui_set_text(app, ID_URL, url);
        DWORD ytdlp = started_child(app.pid, L"yt-dlp.exe");
        DWORD child = ytdlp ? started_child(ytdlp, L"child.exe") : 0;
        EXPECT_EQ(line(), LOOKING_UP);
        return child ? OpenProcess(SYNCHRONIZE, FALSE, child) : nullptr;
    }
};

UiApp LookupWindowTest::app;

TEST_F(LookupWindowTest, AnAddressShowsTheVideosTitleAndLength)
{
    ASSERT_TRUE(script_lookup(app.dir, {L"field title Harness clip A", L"field duration 120.0", L"sleep 1000"}));
    ui_set_text(app, ID_URL, L"https://example.com/watch?v=harness");
    EXPECT_TRUE(wait_until([&] { return line() == LOOKING_UP; }, JOB_TIMEOUT_MS));
    EXPECT_TRUE(wait_until([&] { return line() == L"Harness clip A — 2:00"; }, JOB_TIMEOUT_MS)) << line().c_str();
    EXPECT_TRUE(ui_log_lines(app).empty()) << "a look-up that worked leaves the log alone";

    std::wstring long_title;
    for (int i = 0; i < 60; ++i)
        long_title += L"A very long title ";
    ASSERT_TRUE(script_lookup(app.dir, {L"field title " + long_title, L"field duration 3723"}));
    ui_set_text(app, ID_URL, L"https://example.com/watch?v=long");
    ASSERT_TRUE(wait_until([&] { return line().find(L"… — 1:02:03") != std::wstring::npos; }, JOB_TIMEOUT_MS))
        << line().c_str();
    EXPECT_EQ(line().compare(0, 18, long_title, 0, 18), 0);

    ui_set_text(app, ID_URL, L"");
    EXPECT_EQ(line().find(HELP_START), 0u) << "the hint on times returns";
}

TEST_F(LookupWindowTest, AFailedLookupSaysWhyInOneSentenceAndLogsTheRest)
{
    ui_set_text(app, ID_LOG, L"");
    ASSERT_TRUE(script_lookup(app.dir, {L"transcript " TEST_DATA_DIR L"\\transcripts\\lookup-not-a-video.txt",
                                        L"exit 1"}));
    EXPECT_TRUE(look_up(L"https://example.com/about", L"This address is not a video page.")) << line().c_str();
    std::vector<std::wstring> log = ui_log_lines(app);
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].find(L"ERROR: Unsupported URL: "), 0u);
    EXPECT_EQ(log[2].find(L"[tarnvik] yt-dlp does not know this address"), 0u) << log[2].c_str();
}

TEST_F(LookupWindowTest, ANewAddressOrEscStopsALookupButAClipsCancelDoesNot)
{
    HANDLE lookup_child = start_long_lookup(L"https://example.com/first");
    ASSERT_NE(lookup_child, nullptr);
    // A clip pressed meanwhile runs as ever, and its Cancel ends only the clip.
    ASSERT_TRUE(script_ytdlp(app.dir, {L"args args.txt", L"sleep 120000"}));
    ui_click(app, ID_CUT);
    ASSERT_TRUE(wait_until([&] { return last_ytdlp_args(app.dir).size() > 1; }, SHORT_TIMEOUT_MS));
    EXPECT_EQ(last_ytdlp_args(app.dir).at(1), L"https://example.com/first");
    ui_click(app, ID_CUT);
    JobView view = watch_job(app, JOB_TIMEOUT_MS);
    ASSERT_TRUE(view.ended);
    EXPECT_EQ(view.statuses.back(), L"cancelled");
    EXPECT_TRUE(still_running(lookup_child)) << "the clip's Cancel stopped the look-up";
    EXPECT_EQ(line(), LOOKING_UP);

    ASSERT_TRUE(script_lookup(app.dir, {L"field title Second video"}));
    ui_set_text(app, ID_URL, L"https://example.com/second");
    EXPECT_TRUE(ended(lookup_child)) << "a new address leaves the old look-up running";
    EXPECT_TRUE(wait_until([&] { return line() == L"Second video"; }, JOB_TIMEOUT_MS)) << line().c_str();

    lookup_child = start_long_lookup(L"https://example.com/third");
    ASSERT_NE(lookup_child, nullptr);
    EXPECT_TRUE(ui_keys(app, {VK_ESCAPE})) << ui_foreground();
    EXPECT_TRUE(ended(lookup_child)) << "Esc leaves the look-up running";
    EXPECT_TRUE(wait_until([&] { return line().find(HELP_START) == 0; }, SHORT_TIMEOUT_MS)) << line().c_str();
}

TEST_F(LookupWindowTest, TimesPastTheVideosEndAreRefusedAndAClipReusesTheLookup)
{
    ASSERT_TRUE(script_lookup(app.dir, {L"field title Harness clip A", L"field duration 120.0"}));
    ASSERT_TRUE(look_up(L"https://example.com/watch?v=two-minutes", L"Harness clip A — 2:00"));
    size_t folders = job_folders(app.dir).size();
    const wchar_t* const REFUSED[][3] = {
        {L"", L"2:01", L"End time is past the end of the video (2:00)."},
        {L"2:00", L"", L"Start time is past the end of the video (2:00)."},
    };
    for (const auto& times : REFUSED) {
        ui_set_text(app, ID_START, times[0]);
        ui_set_text(app, ID_END, times[1]);
        ui_click(app, ID_CUT);
        EXPECT_EQ(ui_text(app, ID_STATUS), times[2]);
    }
    EXPECT_EQ(job_folders(app.dir).size(), folders);
    EXPECT_FALSE(file_exists(app.dir + L"\\args.txt")) << "yt-dlp ran for a refused request";

    // Without an End the clip runs to the video's end: 30 s of its 60 are
    // half of the download's share of the bar (Exact cut is ticked).
    ASSERT_TRUE(write_file(app.dir + L"\\time.txt", "size=  256kB time=00:00:30.00 bitrate= 69.9kbits/s speed=1x\n"));
    ASSERT_TRUE(script_ytdlp(app.dir, {L"args args.txt", L"transcript time.txt", L"delay 500", L"media clip.mp4 1000"}));
    ui_set_text(app, ID_START, L"1:00");
    ui_set_text(app, ID_END, L"");
    ui_click(app, ID_CUT);
    JobView view = watch_job(app, JOB_TIMEOUT_MS);
    ASSERT_TRUE(view.ended);
    // 30 s of 60 in the download's 80 % of the bar.
    EXPECT_NE(std::find(view.positions.begin(), view.positions.end(), 400),
              view.positions.end());
    TextLines args = last_ytdlp_args(app.dir);
    ASSERT_GE(args.size(), 3u);
    EXPECT_EQ(args[1], L"--load-info-json") << "the video was looked up again";
    EXPECT_NE(args[2].find(L"\\video.info.json"), std::wstring::npos) << args[2].c_str();
    EXPECT_TRUE(file_exists(args[2]));
    EXPECT_EQ(arg_after(args, L"--download-sections"), L"*60.000-inf");

    // Another browser's cookies may show another video: not this look-up's.
    ui_select(app, ID_COOKIES, 0);
    ui_click(app, ID_CUT);
    ASSERT_TRUE(watch_job(app, JOB_TIMEOUT_MS).ended);
    EXPECT_EQ(last_ytdlp_args(app.dir).at(1), L"https://example.com/watch?v=two-minutes");
    ui_select(app, ID_COOKIES, 1);
}

TEST_F(LookupWindowTest, ATimeInTheAddressFillsABlankStartOnly)
{
    ASSERT_TRUE(script_lookup(app.dir, {L"field title Shared from a point"}));
    ASSERT_TRUE(look_up(L"https://example.com/watch?v=shared&t=75", L"Shared from a point"));
    EXPECT_EQ(ui_text(app, ID_START), L"1:15");

    ui_set_text(app, ID_START, L"0:10");
    ASSERT_TRUE(script_lookup(app.dir, {L"field title Shared again"}));
    ASSERT_TRUE(look_up(L"https://example.com/watch?v=shared&t=90", L"Shared again"));
    EXPECT_EQ(ui_text(app, ID_START), L"0:10") << "a Start the user typed is theirs";
}

// At log-off or shut-down the process may end without its message loop
// running out: the look-up's folder, which can hold the site's cookies,
// goes when the session ends. (Last: the look-up it found is gone after.)
TEST_F(LookupWindowTest, TheLookupsFolderGoesWhenTheSessionEnds)
{
    ASSERT_TRUE(script_lookup(app.dir, {L"field title Session end", L"field duration 60.0"}));
    ASSERT_TRUE(look_up(L"https://example.com/watch?v=session", L"Session end — 1:00"));
    std::wstring folder = lookup_folder(app.pid);
    ASSERT_FALSE(folder.empty());
    SendMessageW(app.main, WM_QUERYENDSESSION, 0, 0);
    SendMessageW(app.main, WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(folder_exists(folder)) << folder.c_str();
}

}  // namespace
