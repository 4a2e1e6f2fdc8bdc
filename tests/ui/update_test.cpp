// "Update tools" in the window: off with "Cut clip" while a clip job or the
// update runs, and the status and footer the update ends with.
#include <gtest/gtest.h>
#include "support/programs.h"
#include "ui_shared.h"

namespace {

TEST(UpdateTools, IsOffWithCutClipWhileAClipJobOrTheUpdateRuns)
{
    UiApp app = {};
    ASSERT_TRUE(start_with_tools(app, L"update tools"));
    EXPECT_TRUE(ui_enabled(app, ID_UPDATE));
    // The clip runs until it is cancelled.
    ASSERT_TRUE(script_ytdlp(app.dir, {L"sleep 120000"}));
    ui_set_text(app, ID_URL, L"https://example.com/watch?v=1");
    ui_click(app, ID_CUT);
    EXPECT_EQ(ui_text(app, ID_CUT), CANCEL_BUTTON);
    EXPECT_FALSE(ui_enabled(app, ID_UPDATE));
    ui_command(app, ID_UPDATE);  // even a command that gets through starts nothing
    EXPECT_EQ(ui_text(app, ID_STATUS), STARTING_STATUS);
    ui_click(app, ID_CUT);
    ASSERT_TRUE(wait_until([&] { return ui_text(app, ID_CUT) == CUT_CLIP_BUTTON; }, JOB_TIMEOUT_MS));
    EXPECT_TRUE(ui_enabled(app, ID_UPDATE));

    // yt-dlp is published as installed; without an install record ffmpeg and deno are fetched.
    ASSERT_TRUE(install_system_fakes());
    ASSERT_TRUE(CopyFileW((app.dir + L"\\yt-dlp.exe").c_str(), (app.dir + L"\\yt-dlp.payload").c_str(), FALSE));
    ASSERT_TRUE(write_lines(app.dir + L"\\ffmpeg.list", {L"ffmpeg-n8.0-win64-gpl/bin/ffmpeg.exe", L"ffmpeg-n8.0-win64-gpl/bin/ffprobe.exe"}));
    ASSERT_TRUE(write_lines(app.dir + L"\\deno.list", {L"deno.exe"}));
    ASSERT_TRUE(write_lines(SYSTEM_CURL_SCRIPT, publish_tools(app.dir)));
    ui_click(app, ID_UPDATE);
    EXPECT_FALSE(ui_enabled(app, ID_UPDATE));
    EXPECT_EQ(ui_text(app, ID_CUT), CANCEL_BUTTON);
    EXPECT_EQ(ui_text(app, ID_STATUS), L"updating tools…");
    ASSERT_TRUE(wait_until([&] { return ui_enabled(app, ID_UPDATE); }, JOB_TIMEOUT_MS));
    EXPECT_EQ(ui_text(app, ID_CUT), CUT_CLIP_BUTTON);
    EXPECT_EQ(ui_text(app, ID_STATUS), L"tools updated");
    EXPECT_EQ(ui_text(app, ID_FOOT).find(OLD_FAKE_YTDLP_FOOTER), 0u);
    EXPECT_TRUE(file_exists(app.dir + L"\\installed-tools.sha256"));
    ui_close(app, SHORT_TIMEOUT_MS);
}

// A newer yt-dlp is published, and its download hangs half-way.
bool publish_a_stalling_update(const UiApp& app)
{
    if (!install_system_fakes() || !write_file(app.dir + L"\\yt-dlp.payload", "a newer yt-dlp\n"))
        return false;
    TextLines script = {L"stall /yt-dlp.exe 5000"};
    for (const std::wstring& line : publish_tools(app.dir))
        script.push_back(line);
    return write_lines(SYSTEM_CURL_SCRIPT, script);
}

bool update_is_half_way(const UiApp& app)
{
    return wait_until([&] { return file_exists(app.dir + L"\\yt-dlp.exe.part"); }, JOB_TIMEOUT_MS);
}

// The update is cancelled half-way: the old yt-dlp stays.
TEST(UpdateTools, CancelLeavesTheOldToolAndNoPartialFile)
{
    UiApp app = {};
    ASSERT_TRUE(start_with_tools(app, L"update cancel"));
    std::string before;
    ASSERT_TRUE(read_file(app.dir + L"\\yt-dlp.exe", &before));
    ASSERT_TRUE(publish_a_stalling_update(app));
    ui_click(app, ID_UPDATE);
    ASSERT_TRUE(update_is_half_way(app));
    ui_click(app, ID_CUT);
    ASSERT_TRUE(wait_until([&] { return ui_text(app, ID_CUT) == CUT_CLIP_BUTTON; }, SHORT_TIMEOUT_MS));
    EXPECT_EQ(ui_text(app, ID_STATUS), L"setup cancelled");
    EXPECT_TRUE(ui_enabled(app, ID_UPDATE));
    std::string after;
    EXPECT_TRUE(read_file(app.dir + L"\\yt-dlp.exe", &after) && after == before);
    EXPECT_FALSE(file_exists(app.dir + L"\\yt-dlp.exe.part"));
    ui_close(app, SHORT_TIMEOUT_MS);
}

// Pressed from the keyboard, the button disables itself under the focus:
// the focus goes to Cancel, where Esc and Enter still work, and comes back
// when the update has ended.
TEST(UpdateTools, PressedFromTheKeyboardItHandsTheFocusToCancel)
{
    UiApp app = {};
    ASSERT_TRUE(start_with_tools(app, L"update keys"));
    ASSERT_TRUE(publish_a_stalling_update(app));
    ASSERT_TRUE(ui_keys_focus(app, {VK_MENU, 'U'}, ID_URL)) << ui_foreground();
    ASSERT_TRUE(ui_keys_focus(app, {VK_SHIFT, VK_TAB}, ID_LOG));
    ASSERT_TRUE(ui_keys_focus(app, {VK_SHIFT, VK_TAB}, ID_UPDATE));
    ASSERT_TRUE(ui_keys(app, {VK_SPACE}));
    ASSERT_TRUE(update_is_half_way(app));
    EXPECT_EQ(ui_focus(app), ID_CUT);
    EXPECT_EQ(ui_text(app, ID_CUT), CANCEL_BUTTON);
    ASSERT_TRUE(ui_keys(app, {VK_ESCAPE}));
    ASSERT_TRUE(wait_until([&] { return ui_text(app, ID_CUT) == CUT_CLIP_BUTTON; }, SHORT_TIMEOUT_MS));
    EXPECT_EQ(ui_text(app, ID_STATUS), L"setup cancelled");
    EXPECT_EQ(ui_focus(app), ID_UPDATE);
    ui_close(app, SHORT_TIMEOUT_MS);
}

}  // namespace
