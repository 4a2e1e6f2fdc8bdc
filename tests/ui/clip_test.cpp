// Whole clip jobs through the window, with the fake yt-dlp replaying
// output recorded from the real tools: what the user sees while a job runs,
// the file it reports, and how a failed job ends.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <cwchar>
#include "jobs/clipjob.h"
#include "support/programs.h"
#include "text/hints.h"
#include "ui_shared.h"

namespace {

const wchar_t VIDEO_TITLE[] = L"Café – Ünïcode";
const wchar_t TITLE[] = L"Café – Ünïcode [Café – Ünïcode]";

std::wstring transcript(const wchar_t* name)
{
    return std::wstring(TEST_DATA_DIR) + L"\\transcripts\\" + name;
}

std::wstring screenshot_path()
{
    return std::wstring(TEST_DATA_DIR) + L"\\..\\..\\docs\\tarnvik-window.png";
}

bool is_job_folder_name(const std::wstring& name)
{
    return name.size() == 12 && name.find_first_not_of(L"0123456789abcdef") == std::wstring::npos;
}

std::wstring folder_of(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\'));
}

bool contains_line(const std::vector<std::wstring>& lines, const std::wstring& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The advice line's opening words: enough to tell which advice it is.
bool is_hint(const std::wstring& line, const wchar_t* opening)
{
    return line.rfind(std::wstring(L"[tarnvik] ") + opening, 0) == 0;
}

// Width and height from a PNG's header; 0 when it is not a PNG.
void png_size(const std::wstring& path, unsigned long& width, unsigned long& height)
{
    std::string bytes;
    width = height = 0;
    if (!read_file(path, &bytes) || bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0)
        return;
    for (int i = 0; i < 4; ++i) {
        width = width << 8 | (unsigned char)bytes[16 + i];
        height = height << 8 | (unsigned char)bytes[20 + i];
    }
}

class ClipTest : public ::testing::Test {
protected:
    static UiApp app;

    static void SetUpTestSuite() { start_with_tools(app, L"clip jobs"); }
    static void TearDownTestSuite() { ui_close(app, SHORT_TIMEOUT_MS); }

    void SetUp() override
    {
        ASSERT_NE(app.main, nullptr) << "Tarnvik's window did not appear";
        take_opened_folders();
        DeleteFileW((app.dir + L"\\args.txt").c_str());
        DeleteFileW((app.dir + L"\\pace.txt").c_str());
        DeleteFileW((app.dir + L"\\ffprobe.script").c_str());  // ffprobe then says nothing: no steps
    }

    void type_request(const wchar_t* url, const wchar_t* start, const wchar_t* end)
    {
        ui_set_text(app, ID_URL, url);
        ui_set_text(app, ID_START, start);
        ui_set_text(app, ID_END, end);
    }

    // As cut, for a fake yt-dlp whose script holds PACED.
    JobView cut_paced(const wchar_t* url, const wchar_t* start, const wchar_t* end)
    {
        type_request(url, start, end);
        size_t log_lines = ui_log_lines(app).size();
        ui_click(app, ID_CUT);
        return watch_paced_job(app, log_lines, JOB_TIMEOUT_MS);
    }

    // Types the request, presses "Cut clip" (or Enter in the URL field) and
    // watches the job to its end.
    JobView cut(const wchar_t* url, const wchar_t* start, const wchar_t* end, bool by_enter = false)
    {
        type_request(url, start, end);
        if (!by_enter) {
            ui_click(app, ID_CUT);
            return watch_job(app, JOB_TIMEOUT_MS);
        }
        // To the URL field by its access key.
        EXPECT_TRUE(ui_keys_focus(app, {VK_MENU, 'U'}, ID_URL)) << ui_foreground();
        EXPECT_TRUE(ui_keys(app, {VK_RETURN})) << ui_foreground();
        EXPECT_TRUE(wait_until([&] { return !last_ytdlp_args(app.dir).empty(); }, SHORT_TIMEOUT_MS));
        return watch_job(app, JOB_TIMEOUT_MS);
    }
};

UiApp ClipTest::app;

TEST_F(ClipTest, WholeJobShowsItsStagesAndReportsTheLargestMediaFile)
{
    // ffprobe describes a recorded H.264 section and then the cut made of it.
    const std::wstring probes = std::wstring(TEST_DATA_DIR) + L"\\probe\\";
    ASSERT_TRUE(write_lines(app.dir + L"\\ffprobe.script", {L"transcript " + probes + L"h264-section.txt",
                                                             L"transcript " + probes + L"h264-section-streams.txt",
                                                             L"transcript " + probes + L"h264-result.txt"}));
    ASSERT_TRUE(install_fake_ffmpeg(app.dir));
    const TextLines SCRIPT = {L"args args.txt", L"temp temp.txt", L"transcript " + transcript(L"merge-separate.txt"),
                              std::wstring(L"media ") + TITLE + L".mp4 2621440",
                              std::wstring(L"media ") + TITLE + L".f1.m4a 900000",
                              std::wstring(L"media ") + TITLE + L".f0.mp4.part 9000000"};
    TextLines paced = SCRIPT;
    paced.push_back(PACED);
    ASSERT_TRUE(script_ytdlp(app.dir, paced));
    ASSERT_TRUE(script_video_with_pictures(app.dir, VIDEO_TITLE, 40));
    size_t folders_before = job_folders(app.dir).size();
    JobView view = cut_paced(L"https://example.com/watch?v=demo", L"0", L"0:12");
    ASSERT_TRUE(view.ended);

    ASSERT_EQ(view.statuses.size(), 5u);
    EXPECT_EQ(std::vector<std::wstring>(view.statuses.begin(), view.statuses.end() - 1),
              (std::vector<std::wstring>{STARTING_STATUS, L"analyzing video…", L"downloading…", L"processing…"}));
    // Too long for the status line: shortened, so that the size stays in sight.
    EXPECT_TRUE(is_done_status(view.statuses.back(), std::wstring(TITLE) + L".mp4", L"2.6 MB"))
        << view.statuses.back().c_str();
    EXPECT_EQ(view.positions.front(), 0);
    EXPECT_EQ(view.positions.back(), 1000);
    // 11.98 s of ffmpeg's 12 s clip: the clip length reached the progress,
    // in the download's share of the bar (80 % with Exact cut): 99.8 % of 800.
    EXPECT_NE(std::find(view.positions.begin(), view.positions.end(), 798),
              view.positions.end());
    EXPECT_TRUE(std::is_sorted(view.positions.begin(), view.positions.end())) << "the bar never goes back";
    EXPECT_TRUE(ui_enabled(app, ID_CUT));

    std::vector<std::wstring> folders = job_folders(app.dir);
    ASSERT_EQ(folders.size(), folders_before + 1);
    TextLines args = last_ytdlp_args(app.dir);
    std::wstring job = last_ytdlp_folder(app.dir);
    EXPECT_EQ(arg_after(args, L"-o").find(L'\\'), std::wstring::npos) << "yt-dlp runs in the job's folder";
    EXPECT_TRUE(is_job_folder_name(job.substr(job.find_last_of(L'\\') + 1))) << job.c_str();
    EXPECT_EQ(folder_of(job), app.dir + L"\\clips");
    EXPECT_EQ(arg_after(args, L"--download-sections"), L"*0.000-12.000");
    EXPECT_NE(arg_after(args, L"-f").find(L"[height<=1080]"), std::wstring::npos);
    EXPECT_EQ(arg_after(args, L"--merge-output-format"), L"mp4");
    EXPECT_FALSE(has_arg(args, L"--force-keyframes-at-cuts")) << "an exact cut fetches as a copy cut";
    EXPECT_EQ(arg_after(args, L"--cookies-from-browser"), L"firefox");
    std::vector<std::wstring> temp = read_lines(app.dir + L"\\temp.txt");
    ASSERT_FALSE(temp.empty());
    EXPECT_FALSE(folder_exists(temp[0])) << "yt-dlp's temporary folder stays behind";

    TextLines opened;
    ASSERT_TRUE(wait_for_opened_folder(opened, SHORT_TIMEOUT_MS));
    EXPECT_EQ(opened, TextLines{job});

    std::vector<std::wstring> log = ui_log_lines(app);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0].compare(0, 3, L"$ \""), 0) << log[0].c_str();
    EXPECT_NE(log[0].find(L"yt-dlp.exe"), std::wstring::npos);
    EXPECT_TRUE(contains_line(log, L"[Merger] Merging formats into \"/tmp/tarnvik-record/job/" + std::wstring(TITLE) +
                                       L".mp4\""));
    for (const std::wstring& line : log)
        EXPECT_EQ(line.find(L"time=00:"), std::wstring::npos) << "progress lines stay out of the log";
    EXPECT_NE(log.back().find(L"[tarnvik]"), 0u) << "a clip that worked needs no advice";
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::wstring& line) {
        return line.rfind(L"[tarnvik] exact cut: re-encoding ", 0) == 0;
    })) << "the exact cut was made in steps";

    // The same clip again, unpaced, for the README: a log without pace marks.
    ASSERT_TRUE(script_ytdlp(app.dir, SCRIPT));
    DeleteFileW((app.dir + L"\\ffprobe.count").c_str());  // the same probes again
    ASSERT_TRUE(cut(L"https://example.com/watch?v=demo", L"0", L"0:12").ended);
    ASSERT_TRUE(wait_for_opened_folder(opened, SHORT_TIMEOUT_MS));
    // The look-up waited for the clip; the screenshot shows what it found.
    EXPECT_TRUE(wait_until([&] { return ui_text(app, ID_LOOKUP) == VIDEO_TITLE + std::wstring(L" — 0:40"); },
                           JOB_TIMEOUT_MS))
        << ui_text(app, ID_LOOKUP).c_str();
    EXPECT_TRUE(wait_for_pictures(app, L"0:00", L"0:12"));
    ASSERT_TRUE(ui_screenshot(app.main, screenshot_path()));
    unsigned long width, height;
    png_size(screenshot_path(), width, height);
    EXPECT_EQ(width, 664u);
    EXPECT_EQ(height, 644u);
}

TEST_F(ClipTest, AudioOnlyJobAsksForAudioWithTheChosenOptions)
{
    ASSERT_TRUE(script_ytdlp(app.dir, {L"args args.txt", L"transcript " + transcript(L"audio-only.txt"),
                                       std::wstring(L"media ") + TITLE + L".m4a 1234567"}));
    ui_click(app, ID_NOAUDIO);
    ui_select(app, ID_QUALITY, 5);
    ui_select(app, ID_COOKIES, 0);
    ui_click(app, ID_MP4);
    ui_click(app, ID_EXACT);
    JobView view = cut(L"HTTPS://EXAMPLE.COM/watch?v=demo", L"", L"");
    ui_select(app, ID_QUALITY, 2);
    ui_select(app, ID_COOKIES, 1);
    ui_click(app, ID_MP4);
    ui_click(app, ID_EXACT);
    ASSERT_TRUE(view.ended);

    EXPECT_TRUE(is_done_status(view.statuses.back(), std::wstring(TITLE) + L".m4a", L"1.2 MB"))
        << view.statuses.back().c_str();
    TextLines args = last_ytdlp_args(app.dir);
    ASSERT_GE(args.size(), 2u);
    EXPECT_EQ(args[1], L"HTTPS://EXAMPLE.COM/watch?v=demo");
    EXPECT_EQ(arg_after(args, L"--download-sections"), L"*0-inf");
    EXPECT_EQ(arg_after(args, L"-f"), L"ba/b");
    EXPECT_TRUE(has_arg(args, L"-x"));
    EXPECT_FALSE(has_arg(args, L"--force-keyframes-at-cuts"));
    EXPECT_FALSE(has_arg(args, L"--cookies-from-browser"));
    TextLines opened;
    EXPECT_TRUE(wait_for_opened_folder(opened, SHORT_TIMEOUT_MS));
}

TEST_F(ClipTest, EnterInTheUrlFieldCutsAClipAsTheButtonDoes)
{
    ASSERT_TRUE(script_ytdlp(app.dir, {L"args args.txt", L"media clip.mp4 1048576"}));
    JobView view = cut(L"https://example.com/keys", L"1", L"2", true);
    ASSERT_TRUE(view.ended);
    EXPECT_EQ(view.statuses.back(), L"done — clip.mp4 (1.0 MB)");
    // The typed request: from the address, or from what its look-up kept
    // when that was done before the key came.
    EXPECT_EQ(arg_after(last_ytdlp_args(app.dir), L"--download-sections"), L"*1.000-2.000");
    TextLines opened;
    EXPECT_TRUE(wait_for_opened_folder(opened, SHORT_TIMEOUT_MS));
}

TEST_F(ClipTest, NonzeroExitFailsEvenWithAFileWritten)
{
    const wchar_t ERROR_LINE[] = L"ERROR: [generic] Unable to download webpage: HTTP Error 404: Not Found";
    ASSERT_TRUE(script_ytdlp(app.dir, {L"transcript progress.txt", PACED, std::wstring(L"say ") + ERROR_LINE,
                                       L"media a.mp4 5000", L"exit 1"}));
    ASSERT_TRUE(write_file(app.dir + L"\\progress.txt", "[download]  50.0% of 1.00MiB at 1.00MiB/s ETA 00:01\n"));
    JobView view = cut_paced(L"https://example.com/missing", L"", L"9");
    ASSERT_TRUE(view.ended);
    EXPECT_EQ(view.statuses.back(), FAILED_STATUS);
    EXPECT_NE(std::find(view.positions.begin(), view.positions.end(), 400),
              view.positions.end());
    EXPECT_EQ(view.positions.back(), 0);
    std::vector<std::wstring> log = ui_log_lines(app);
    EXPECT_TRUE(contains_line(log, ERROR_LINE));
    // A 404 may also mean an old yt-dlp asks the site the wrong way, and this one dates from 2023.
    EXPECT_EQ(log.back().find(L"[tarnvik] The site answered that a page or file is not there (HTTP 404)"), 0u)
        << log.back().c_str();
    EXPECT_NE(log.back().find(L" days old: press \"Update tools\"."), std::wstring::npos) << log.back().c_str();
    EXPECT_TRUE(take_opened_folders().empty()) << "a failed job's folder is not opened";
}

// What yt-dlp prints for "--cookies-from-browser firefox" without a profile.
TEST_F(ClipTest, AFailedJobEndsItsLogWithTheLikelyCauseInPlainWords)
{
    const std::wstring LAST = L"FileNotFoundError: could not find firefox cookies database in C:\\Users\\a";
    ASSERT_TRUE(script_ytdlp(app.dir, {L"say [Cookies] Extracting cookies from firefox", L"say " + LAST, L"exit 1"}));
    JobView view = cut(L"https://example.com/watch?v=demo", L"", L"");
    ASSERT_TRUE(view.ended);
    EXPECT_EQ(view.statuses.back(), FAILED_STATUS);
    std::vector<std::wstring> log = ui_log_lines(app);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], LAST);
    EXPECT_TRUE(is_hint(log.back(), L"The browser chosen under \"Cookies from\" keeps no cookies")) << log.back();
}

TEST_F(ClipTest, FolderWithoutAMediaFileFails)
{
    ASSERT_TRUE(script_ytdlp(app.dir, {L"transcript progress.txt", L"media clip.mp4.part 5000",
                                       L"media notes.txt 10", L"exit 0"}));
    ASSERT_TRUE(write_file(app.dir + L"\\progress.txt", "[download]  50.0% of 1.00MiB at 1.00MiB/s ETA 00:01\n"));
    JobView view = cut(L"https://example.com/v", L"1", L"2");
    ASSERT_TRUE(view.ended);
    EXPECT_EQ(view.statuses.back(), FAILED_STATUS);
    EXPECT_EQ(view.positions.back(), 0);
    EXPECT_TRUE(ui_enabled(app, ID_CUT));
    EXPECT_TRUE(take_opened_folders().empty());
}

// The job folder the fake yt-dlp was last told to write into; empty before it ran.
std::wstring job_of_last_run(const UiApp& app)
{
    return last_ytdlp_folder(app.dir);
}

// A job kept running by the fake yt-dlp and a grandchild of it, until the
// job folder holds a part file; returns the job folder.
std::wstring start_long_job(const UiApp& app, const wchar_t* url)
{
    script_ytdlp(app.dir, {L"args args.txt", L"temp temp.txt",
                           L"spawn " + quoted(bin_program(L"child.exe")) + L" sleep:120000",
                           L"transcript progress.txt", L"media clip.mp4.part 5000", L"sleep 120000"});
    write_file(app.dir + L"\\progress.txt", "[download]  50.0% of 1.00MiB at 1.00MiB/s ETA 00:01\n");
    ui_set_text(app, ID_URL, url);
    ui_click(app, ID_CUT);
    std::wstring job;
    wait_until([&] { return !(job = job_of_last_run(app)).empty(); }, SHORT_TIMEOUT_MS);
    wait_until([&] { return file_exists(job + L"\\clip.mp4.part") && ui_progress(app) == 400; },
               SHORT_TIMEOUT_MS);
    return job;
}

TEST_F(ClipTest, CancelEndsEveryProcessOfTheJobAndRemovesOnlyItsFolder)
{
    CreateDirectoryW((app.dir + L"\\clips").c_str(), nullptr);
    CreateDirectoryW((app.dir + L"\\clips\\earlier job").c_str(), nullptr);
    std::vector<std::wstring> folders_before = job_folders(app.dir);
    ASSERT_FALSE(start_long_job(app, L"https://example.com/first").empty());
    EXPECT_EQ(ui_text(app, ID_CUT), CANCEL_BUTTON);
    std::vector<std::wstring> log = ui_log_lines(app);
    unsigned long ytdlp_pid = 0, grandchild_pid = 0;
    for (const std::wstring& line : log)
        swscanf(line.c_str(), L"spawned %lu %lu", &ytdlp_pid, &grandchild_pid);
    HANDLE processes[] = {OpenProcess(SYNCHRONIZE, FALSE, ytdlp_pid),
                          OpenProcess(SYNCHRONIZE, FALSE, grandchild_pid)};

    ui_set_text(app, ID_URL, L"https://example.com/second");
    ui_click(app, ID_CUT);
    JobView view = watch_job(app, SHORT_TIMEOUT_MS);
    ASSERT_TRUE(view.ended);
    EXPECT_EQ(view.statuses.back(), L"cancelled");
    EXPECT_EQ(view.positions.back(), 0);
    for (HANDLE process : processes) {
        ASSERT_NE(process, nullptr);
        EXPECT_EQ(WaitForSingleObject(process, 0), (DWORD)WAIT_OBJECT_0) << "a process of the job outlived it";
        CloseHandle(process);
    }
    EXPECT_EQ(job_folders(app.dir), folders_before);
    std::vector<std::wstring> temp = read_lines(app.dir + L"\\temp.txt");
    ASSERT_FALSE(temp.empty());
    EXPECT_FALSE(folder_exists(temp[0])) << "the killed yt-dlp's temporary folder stays behind";
    EXPECT_EQ(last_ytdlp_args(app.dir).at(1), L"https://example.com/first") << "the press started no job";
    std::vector<std::wstring> log_after = ui_log_lines(app);
    ASSERT_GT(log_after.size(), log.size());
    EXPECT_EQ(std::vector<std::wstring>(log_after.begin(), log_after.begin() + log.size()), log);
    EXPECT_EQ(log_after.back().rfind(L"[tarnvik] ", 0), 0u) << log_after.back().c_str();

    ASSERT_TRUE(script_ytdlp(app.dir, {L"media next.mp4 1000"}));
    EXPECT_EQ(cut(L"https://example.com/next", L"", L"").statuses.back(), L"done — next.mp4 (0.0 MB)");
}

// The log has no access key: the URL field's, then back one.
bool focus_the_log(const UiApp& app)
{
    return ui_keys_focus(app, {VK_MENU, 'U'}, ID_URL) && ui_keys_focus(app, {VK_SHIFT, VK_TAB}, ID_LOG);
}

// Typed into the log, the one multi-line control, Esc must not reach the
// edit: it would answer by closing the window, and the clip with it.
TEST_F(ClipTest, EscInTheLogCancelsARunningJobAndNeverClosesTheWindow)
{
    ASSERT_TRUE(focus_the_log(app)) << ui_foreground();
    std::wstring status = ui_text(app, ID_STATUS);
    size_t log_lines = ui_log_lines(app).size();
    // Keys are handled in order: once Tab has moved the focus on, Esc has been handled.
    ASSERT_TRUE(ui_keys(app, {VK_ESCAPE}));
    EXPECT_TRUE(ui_keys_focus(app, {VK_TAB}, ID_URL));
    EXPECT_TRUE(IsWindowVisible(app.main)) << "Esc closed the window";
    EXPECT_EQ(ui_text(app, ID_STATUS), status);
    EXPECT_EQ(ui_log_lines(app).size(), log_lines);
    EXPECT_EQ(ui_text(app, ID_CUT), CUT_CLIP_BUTTON);

    std::wstring job = start_long_job(app, L"https://example.com/long");
    ASSERT_FALSE(job.empty());
    ASSERT_TRUE(focus_the_log(app)) << ui_foreground();
    ASSERT_TRUE(ui_keys(app, {VK_ESCAPE}));
    JobView view = watch_job(app, SHORT_TIMEOUT_MS);
    ASSERT_TRUE(view.ended);
    EXPECT_EQ(view.statuses.back(), L"cancelled");
    EXPECT_FALSE(folder_exists(job));
    EXPECT_TRUE(IsWindowVisible(app.main));
}

// yt-dlp has ended, but the window is still busy with its lines (a few
// seconds' worth under Wine) when Cancel is pressed: the finished clip is
// reported all the same. A copy cut, so that yt-dlp is the job's last child.
TEST_F(ClipTest, CancelArrivingAfterTheJobEndedChangesNothing)
{
    std::string lines;
    for (int i = 0; i < 150; ++i)
        lines += "flood line " + std::to_string(i) + "\n";
    ASSERT_TRUE(write_file(app.dir + L"\\flood.txt", lines));
    ASSERT_TRUE(script_ytdlp(app.dir, {L"args args.txt", L"transcript flood.txt", L"media finished.mp4 1000"}));
    ui_click(app, ID_EXACT);
    ASSERT_FALSE(ui_checked(app, ID_EXACT));
    ui_set_text(app, ID_URL, L"https://example.com/quick");
    ui_click(app, ID_CUT);
    std::wstring media;
    auto written = [&] { return file_exists(media = job_of_last_run(app) + L"\\finished.mp4"); };
    ASSERT_TRUE(wait_until(written, JOB_TIMEOUT_MS));
    ASSERT_TRUE(wait_until([&] { return child_process(app.pid, L"yt-dlp.exe") == 0; }, SHORT_TIMEOUT_MS));
    ASSERT_EQ(ui_text(app, ID_CUT), CANCEL_BUTTON) << "the window had caught up before the press";
    ui_click(app, ID_CUT);
    JobView view = watch_job(app, JOB_TIMEOUT_MS);
    ui_click(app, ID_EXACT);
    ASSERT_TRUE(view.ended);
    EXPECT_EQ(view.statuses.front(), L"cancelling…");
    EXPECT_EQ(view.statuses.back(), L"done — finished.mp4 (0.0 MB)");
    EXPECT_TRUE(file_exists(media));
}

// A PC without a Firefox profile, and a yt-dlp.exe that Windows will not run.
TEST(BrokenYtdlpTest, NoFirefoxMeansNoCookiesAndAFailedStartIsExplained)
{
    UiApp app;
    std::wstring dir = ui_program_dir(L"broken yt-dlp");
    bool launched = use_user_folders(false) && !dir.empty() && ui_install_tools(dir, L"yt-dlp") &&
                    write_file(dir + L"\\yt-dlp.exe", "<html>a page saved as yt-dlp.exe</html>") && ui_launch(app, dir);
    use_user_folders(true);
    ASSERT_TRUE(launched);
    EXPECT_EQ(ui_text(app, ID_COOKIES), L"none");
    ui_set_text(app, ID_URL, L"https://example.com/v");
    ui_click(app, ID_CUT);
    EXPECT_TRUE(watch_job(app, JOB_TIMEOUT_MS).ended);
    std::vector<std::wstring> log = ui_log_lines(app);
    ui_close(app, SHORT_TIMEOUT_MS);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1], L"[tarnvik] failed to start process (error 193)");
    EXPECT_EQ(log[2].find(L"[tarnvik] "), 0u) << "Windows' own text";
    EXPECT_TRUE(is_hint(log[3], L"yt-dlp.exe is not a valid program")) << log[3];
}

// yt-dlp.exe gone after the start (an antivirus took it): "Cut clip" says
// so in the log, shows it in the footer and makes no job folder.
TEST(BrokenYtdlpTest, YtdlpGoneAtCutClipIsExplainedAndLeavesNoJobFolder)
{
    UiApp app;
    ASSERT_TRUE(start_with_tools(app, L"yt-dlp gone"));
    ASSERT_TRUE(DeleteFileW((app.dir + L"\\yt-dlp.exe").c_str()));
    ui_set_text(app, ID_URL, L"https://example.com/v");
    ui_click(app, ID_CUT);
    EXPECT_TRUE(wait_until(
        [&] {
            for (const std::wstring& line : ui_log_lines(app))
                if (is_hint(line, L"yt-dlp.exe has disappeared"))
                    return true;
            return false;
        },
        SHORT_TIMEOUT_MS));
    EXPECT_EQ(ui_text(app, ID_STATUS), L"yt-dlp missing — press \"Update tools\"");
    EXPECT_NE(ui_text(app, ID_FOOT).find(L"MISSING: yt-dlp"), std::wstring::npos) << ui_text(app, ID_FOOT).c_str();
    EXPECT_TRUE(job_folders(app.dir).empty());
    EXPECT_TRUE(ui_enabled(app, ID_CUT));
    ui_close(app, SHORT_TIMEOUT_MS);
}

// So deep a program folder that a clip's name would be cut to nothing:
// refused at "Cut clip", with the folder named.
TEST(BrokenYtdlpTest, AProgramFolderTooDeepForTheClipsIsRefused)
{
    UiApp app;
    std::wstring name(200 - bin_dir().size() - 9, L'd');  // "\ui work\" and name: 200 units
    ASSERT_TRUE(start_with_tools(app, name.c_str()));
    ASSERT_TRUE(script_ytdlp(app.dir, {L"args args.txt"}));
    ui_set_text(app, ID_URL, L"https://example.com/v");
    ui_click(app, ID_CUT);
    EXPECT_TRUE(wait_until([&] { return !ui_log_lines(app).empty(); }, SHORT_TIMEOUT_MS));
    std::vector<std::wstring> log = ui_log_lines(app);
    EXPECT_EQ(ui_text(app, ID_STATUS), L"Tarnvik's folder is too deep for the clips — see log below.");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].find(L"[tarnvik] " + app.dir + L" is too deep a folder for the clips"), 0u) << log[0].c_str();
    EXPECT_TRUE(job_folders(app.dir).empty());
    EXPECT_FALSE(file_exists(app.dir + L"\\args.txt")) << "yt-dlp never ran";
    ui_close(app, SHORT_TIMEOUT_MS);
}

}  // namespace
