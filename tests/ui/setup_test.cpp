// The first-run question when tools are missing, and the tool download it
// starts, run against the fake curl and tar in the system folder.
#include <gtest/gtest.h>
#include <algorithm>
#include "support/programs.h"
#include "ui_shared.h"

namespace {

const wchar_t QUESTION[] =
    L"Tarnvik needs a few free video tools (yt-dlp, ffmpeg, deno).\n\n"
    L"Download them automatically now? (~160 MB, one time,\n"
    L"saved next to Tarnvik.exe — delete the folder to uninstall)";
const wchar_t SKIPPED[] =
    L"[setup] skipped — place yt-dlp.exe, ffmpeg.exe, ffprobe.exe and deno.exe next to Tarnvik.exe, then restart it.";
const wchar_t ALL_READY[] = L"[setup] all tools ready — you can cut clips now.";
const wchar_t FFPROBE_FAILED[] =
    L"[setup] not set up: ffprobe — the lines above say why; press \"Update tools\" to try again.";
const wchar_t NONE_FOOTER[] = L"Tools ready: (none)    MISSING: yt-dlp, ffmpeg, deno";
const wchar_t UNWRITABLE[] = L"Tarnvik needs its own writable folder.";
const wchar_t UNWRITABLE_ADVICE[] =
    L" — move Tarnvik.exe to a folder of its own that you can write to, such as C:\\Tools\\Tarnvik.";
const DWORD SETUP_TIMEOUT_MS = 60000;

bool log_has(const UiApp& app, const wchar_t* line)
{
    std::vector<std::wstring> log = ui_log_lines(app);
    return std::find(log.begin(), log.end(), line) != log.end();
}

class FirstRunTest : public ::testing::Test {
protected:
    UiApp app = {};
    HWND question = nullptr;

    void TearDown() override { ui_close(app, SHORT_TIMEOUT_MS); }

    // Starts Tarnvik in a program folder without the tool skip (null: without
    // any tool) and waits for its question.
    void start(const wchar_t* name, const wchar_t* skip)
    {
        std::wstring dir = ui_program_dir(name);
        ASSERT_FALSE(dir.empty());
        if (skip) {
            ASSERT_TRUE(ui_install_tools(dir, skip));
        }
        ASSERT_TRUE(ui_launch(app, dir));
        ASSERT_TRUE(wait_until([&] { return (question = ui_question(app)) != nullptr; }, SHORT_TIMEOUT_MS));
    }

    std::wstring clips_footer() { return L"Tools ready: yt-dlp, ffmpeg, deno     Clips: " + app.dir + L"\\clips"; }

    // Answers Yes and waits through the download; the button cancels it meanwhile.
    void download_tools()
    {
        ui_answer(question, IDYES);
        EXPECT_TRUE(wait_until([&] { return ui_text(app, ID_CUT) == CANCEL_BUTTON; }, SHORT_TIMEOUT_MS));
        EXPECT_EQ(ui_text(app, ID_STATUS), L"downloading tools…");
        EXPECT_FALSE(ui_enabled(app, ID_UPDATE));
        ASSERT_TRUE(wait_until([&] { return ui_text(app, ID_CUT) == CUT_CLIP_BUTTON; }, SETUP_TIMEOUT_MS));
    }
};

TEST_F(FirstRunTest, NoLogsTheSkipAndLeavesCutClipOn)
{
    start(L"first run no", nullptr);
    std::vector<std::wstring> texts = ui_dialog_texts(question);
    EXPECT_NE(std::find(texts.begin(), texts.end(), QUESTION), texts.end());
    EXPECT_EQ(ui_text(app, ID_FOOT), NONE_FOOTER);
    ui_answer(question, IDNO);
    ASSERT_TRUE(wait_until([&] { return !ui_log_lines(app).empty(); }, SHORT_TIMEOUT_MS));
    EXPECT_EQ(ui_text(app, ID_LOG), std::wstring(SKIPPED) + L"\r\n");
    EXPECT_EQ(ui_text(app, ID_STATUS), L"");
    EXPECT_TRUE(ui_enabled(app, ID_CUT));
    EXPECT_EQ(ui_text(app, ID_FOOT), NONE_FOOTER);
}

TEST_F(FirstRunTest, YesFetchesEveryToolAndRefreshesTheFooter)
{
    ASSERT_TRUE(install_system_fakes());
    start(L"first run yes", nullptr);
    EXPECT_EQ(ui_text(app, ID_FOOT), NONE_FOOTER);
    ASSERT_TRUE(write_lines(app.dir + L"\\ffmpeg.list", {L"ffmpeg-master-latest-win64-gpl/bin/ffmpeg.exe",
                                                         L"ffmpeg-master-latest-win64-gpl/bin/ffprobe.exe"}));
    ASSERT_TRUE(write_lines(app.dir + L"\\deno.list", {L"deno.exe"}));
    ASSERT_TRUE(write_file(app.dir + L"\\yt-dlp.payload", "fake yt-dlp\n"));
    ASSERT_TRUE(write_lines(SYSTEM_CURL_SCRIPT, publish_tools(app.dir)));
    download_tools();
    EXPECT_EQ(ui_text(app, ID_STATUS), L"ready");
    EXPECT_EQ(ui_text(app, ID_FOOT), clips_footer());
    EXPECT_TRUE(wait_until([&] { return log_has(app, ALL_READY); }, SHORT_TIMEOUT_MS));
    for (const wchar_t* tool : {L"yt-dlp.exe", L"ffmpeg.exe", L"ffprobe.exe", L"deno.exe"})
        EXPECT_TRUE(file_exists(app.dir + L"\\" + tool)) << tool;
}

TEST_F(FirstRunTest, OnlyFfprobeMissingAsksAndAFailedDownloadSaysSo)
{
    ASSERT_TRUE(install_system_fakes());
    ASSERT_TRUE(write_lines(SYSTEM_CURL_SCRIPT, {std::wstring(L"fail ") + PINNED_FFMPEG_ASSET + L" 22"}));
    start(L"first run ffprobe", L"ffprobe");
    // The footer does not list ffprobe, so it shows every tool ready.
    EXPECT_EQ(ui_text(app, ID_FOOT).find(OLD_FAKE_YTDLP_FOOTER), 0u);
    download_tools();
    EXPECT_EQ(ui_text(app, ID_STATUS), L"setup incomplete — see log");
    EXPECT_TRUE(wait_until([&] { return log_has(app, FFPROBE_FAILED); }, SHORT_TIMEOUT_MS));
    EXPECT_EQ(ui_text(app, ID_FOOT).find(OLD_FAKE_YTDLP_FOOTER), 0u);
}

TEST_F(FirstRunTest, UnwritableProgramFolderGetsNoOfferAndClipsFailTheSameClearWay)
{
    const std::wstring dir = L"R:\\Tarnvik";  // holds Tarnvik.exe alone
    ASSERT_FALSE(write_file(dir + L"\\probe", "x"))
        << "R:\\Tarnvik must be a folder nobody can write; ctest makes it (test ui_readonly_folder)";
    ASSERT_TRUE(ui_launch(app, dir));
    ASSERT_TRUE(wait_until([&] { return log_has(app, (L"[tarnvik] cannot write to " + dir + UNWRITABLE_ADVICE).c_str()); },
                           SHORT_TIMEOUT_MS));
    EXPECT_EQ(ui_question(app), nullptr);
    EXPECT_EQ(ui_text(app, ID_STATUS), UNWRITABLE);
    EXPECT_EQ(ui_text(app, ID_FOOT), NONE_FOOTER);

    ui_set_text(app, ID_URL, L"https://example.com/watch?v=1");
    ui_click(app, ID_CUT);
    ASSERT_TRUE(wait_until(
        [&] { return log_has(app, (L"[tarnvik] cannot write to " + dir + L"\\clips" + UNWRITABLE_ADVICE).c_str()); },
        SHORT_TIMEOUT_MS));
    EXPECT_EQ(ui_text(app, ID_STATUS), UNWRITABLE);
    EXPECT_TRUE(ui_enabled(app, ID_CUT));
}

// yt-dlp is fetched, the ffmpeg archive hangs half-way and is cancelled:
// deno is not even tried, and the ffprobe that was there stays as it was.
TEST_F(FirstRunTest, CancelStopsTheDownloadAndLeavesNothingHalfDone)
{
    ASSERT_TRUE(install_system_fakes());
    std::wstring dir = ui_program_dir(L"first run cancel");
    ASSERT_TRUE(write_file(dir + L"\\ffprobe.exe", "stand-in\n"));
    ASSERT_TRUE(write_file(dir + L"\\yt-dlp.payload", "fake yt-dlp\n"));
    ASSERT_TRUE(write_file(dir + L"\\ffmpeg.list", "listed, so that its sum is published\n"));
    TextLines script = {L"args " + dir + L"\\curl-args.txt", std::wstring(L"stall ") + PINNED_FFMPEG_ASSET + L" 5000"};
    for (const std::wstring& line : publish_tools(dir))
        script.push_back(line);
    ASSERT_TRUE(write_lines(SYSTEM_CURL_SCRIPT, script));
    ASSERT_TRUE(ui_launch(app, dir));
    ASSERT_TRUE(wait_until([&] { return (question = ui_question(app)) != nullptr; }, SHORT_TIMEOUT_MS));
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    std::wstring archive = std::wstring(temp) + L"tarnvik_ffmpeg.zip";
    ui_answer(question, IDYES);
    ASSERT_TRUE(wait_until([&] { return file_exists(archive); }, SETUP_TIMEOUT_MS));

    ui_click(app, ID_CUT);
    ASSERT_TRUE(wait_until([&] { return ui_text(app, ID_CUT) == CUT_CLIP_BUTTON; }, SHORT_TIMEOUT_MS));
    EXPECT_EQ(ui_text(app, ID_STATUS), L"setup cancelled");
    EXPECT_EQ(child_process(app.pid, L"curl.exe"), 0u);
    // yt-dlp's sums and file, ffmpeg's sums and archive: nothing of deno.
    EXPECT_EQ(read_runs(dir + L"\\curl-args.txt").size(), 4u) << "deno's download started after the cancel";
    EXPECT_FALSE(file_exists(archive));
    EXPECT_FALSE(folder_exists(std::wstring(temp) + L"tarnvik_ffmpeg_x"));
    std::string ffprobe;
    EXPECT_TRUE(read_file(dir + L"\\ffprobe.exe", &ffprobe) && ffprobe == "stand-in\n");
    EXPECT_EQ(ui_text(app, ID_FOOT), L"Tools ready: yt-dlp    MISSING: ffmpeg, deno");
}

}  // namespace
