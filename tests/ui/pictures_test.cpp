// Seeing the clip before cutting it, through the window: the pictures at
// Start and End after a look-up, following a new time and kept for going
// back; the keys that move a time; the chapter list; and no picture fetched
// while a clip runs. The fake ffmpeg paints each frame in a colour of its
// own time (fake_frame_color).
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <string>
#include "doubles/double_script.h"
#include "ui_shared.h"

namespace {

const wchar_t VIDEO[] = L"https://example.com/watch?v=pictures";

class PicturesTest : public ::testing::Test {
protected:
    static UiApp app;

    static void SetUpTestSuite()
    {
        if (start_with_tools(app, L"pictures"))
            write_lines(app.dir + L"\\ffmpeg.script", {L"args ffmpeg-args.txt"});
    }
    static void TearDownTestSuite() { ui_close(app, SHORT_TIMEOUT_MS); }

    void SetUp() override { ASSERT_NE(app.main, nullptr) << "Tarnvik's window did not appear"; }

    std::wstring text(int id) const { return ui_text(app, id); }

    bool shows(int id, const std::wstring& wanted) const
    {
        return wait_until([&] { return text(id) == wanted; }, JOB_TIMEOUT_MS);
    }

    // The colour in the middle of a picture as the screen shows it.
    COLORREF middle_of(int id) const
    {
        RECT box;
        GetWindowRect(ui_control(app, id), &box);
        HDC screen = GetDC(nullptr);
        COLORREF color = GetPixel(screen, (box.left + box.right) / 2, (box.top + box.bottom) / 2);
        ReleaseDC(nullptr, screen);
        return color;
    }

    bool paints(int id, double seconds) const
    {
        return ui_activate(app) && wait_until([&] { return middle_of(id) == fake_frame_color(seconds); },
                                              SHORT_TIMEOUT_MS);
    }

    // How many pictures ffmpeg was asked for so far.
    size_t pictures_fetched() const
    {
        std::string runs;
        read_file(app.dir + L"\\ffmpeg-args.txt", &runs);
        size_t count = 0;
        for (size_t at = runs.find("frame.bmp"); at != std::string::npos; at = runs.find("frame.bmp", at + 1))
            ++count;
        return count;
    }

    // The video looked up, Start and End as given, both pictures shown.
    void look_up(const wchar_t* start, const wchar_t* end)
    {
        ui_set_text(app, ID_START, start);
        ui_set_text(app, ID_END, end);
        if (text(ID_URL) != VIDEO) {
            ASSERT_TRUE(script_video_with_pictures(app.dir, L"Pictures", 600));
            ui_set_text(app, ID_URL, VIDEO);
        }
        ASSERT_TRUE(shows(ID_LOOKUP, L"Pictures — 10:00")) << text(ID_LOOKUP).c_str();
    }
};

UiApp PicturesTest::app;

TEST_F(PicturesTest, PicturesAppearAfterALookupFollowANewTimeAndStayForGoingBack)
{
    look_up(L"", L"");
    EXPECT_TRUE(shows(ID_START_PICTURE, L"Frame at 0:00")) << text(ID_START_PICTURE).c_str();
    EXPECT_TRUE(shows(ID_END_PICTURE, L"Last frame 10:00")) << text(ID_END_PICTURE).c_str();
    EXPECT_EQ(text(ID_START_TIME), L"0:00");
    EXPECT_EQ(text(ID_END_TIME), L"10:00");
    EXPECT_TRUE(paints(ID_START_PICTURE, 0));
    EXPECT_TRUE(paints(ID_END_PICTURE, -1));
    // From the 144p format, with its headers, never from the clip's 1080p.
    std::string runs;
    ASSERT_TRUE(read_file(app.dir + L"\\ffmpeg-args.txt", &runs));
    EXPECT_NE(runs.find(utf8_of(PICTURES_FORMAT_URL)), std::string::npos);
    EXPECT_NE(runs.find("-headers\nUser-Agent: TarnvikTest\r\n"), std::string::npos);
    EXPECT_EQ(runs.find("itag=137"), std::string::npos);

    // A new time: the old picture stays, out of date, until the new one is there.
    size_t before = pictures_fetched();
    ui_set_text(app, ID_START, L"1:00");
    EXPECT_EQ(text(ID_START_PICTURE), L"Frame at 0:00 (out of date)");
    EXPECT_TRUE(shows(ID_START_PICTURE, L"Frame at 1:00")) << text(ID_START_PICTURE).c_str();
    EXPECT_EQ(text(ID_START_TIME), L"1:00");
    EXPECT_TRUE(paints(ID_START_PICTURE, 60));
    ui_set_text(app, ID_END, L"2:30.5");
    EXPECT_TRUE(shows(ID_END_PICTURE, L"Frame before 2:30.5")) << text(ID_END_PICTURE).c_str();
    EXPECT_TRUE(paints(ID_END_PICTURE, 150.5));
    EXPECT_EQ(pictures_fetched(), before + 2);

    // Back to a time already seen: shown at once, nothing fetched.
    ui_set_text(app, ID_START, L"0:00");
    EXPECT_EQ(text(ID_START_PICTURE), L"Frame at 0:00");
    EXPECT_TRUE(paints(ID_START_PICTURE, 0));
    EXPECT_EQ(pictures_fetched(), before + 2);

    // Past the video's end there is no picture to fetch: a word says so.
    ui_set_text(app, ID_START, L"10:01");
    EXPECT_TRUE(shows(ID_START_PICTURE, L"past the end")) << text(ID_START_PICTURE).c_str();
}

TEST_F(PicturesTest, TheKeysMoveTheTimeInTheFormItIsWritten)
{
    look_up(L"1:00", L"9:55");
    ASSERT_TRUE(ui_keys_focus(app, {VK_MENU, 'S'}, ID_START)) << ui_foreground();
    struct Step {
        std::initializer_list<WORD> keys;
        const wchar_t* after;
    };
    const Step START_STEPS[] = {
        {{VK_UP}, L"1:01"},  {{VK_SHIFT, VK_UP}, L"1:01.04"}, {{VK_SHIFT, VK_DOWN}, L"1:01"},
        {{VK_NEXT}, L"0:51"}, {{VK_PRIOR}, L"1:01"},          {{VK_DOWN}, L"1:00"},
    };
    for (const Step& step : START_STEPS) {
        ASSERT_TRUE(ui_keys(app, step.keys)) << ui_foreground();
        EXPECT_TRUE(shows(ID_START, step.after)) << text(ID_START).c_str();
    }
    EXPECT_TRUE(shows(ID_START_PICTURE, L"Frame at 1:00")) << "the picture follows";
    ui_set_text(app, ID_START, L"5");
    ASSERT_TRUE(ui_keys(app, {VK_NEXT}));
    EXPECT_TRUE(shows(ID_START, L"0")) << "plain seconds stay plain, and never below 0";

    ASSERT_TRUE(ui_keys_focus(app, {VK_MENU, 'E'}, ID_END)) << ui_foreground();
    ASSERT_TRUE(ui_keys(app, {VK_PRIOR}));
    EXPECT_TRUE(shows(ID_END, L"10:00")) << "never past the video's end";
    ui_set_text(app, ID_END, L"");
    ASSERT_TRUE(ui_keys(app, {VK_DOWN}));
    EXPECT_TRUE(shows(ID_END, L"9:59")) << "a blank End steps back from the end";
}

TEST_F(PicturesTest, AChapterFillsBothTimesAndTheListGoesWithAVideoWithoutChapters)
{
    look_up(L"", L"");
    ASSERT_TRUE(IsWindowVisible(ui_control(app, ID_CHAPTERS)));
    EXPECT_EQ(ui_items(app, ID_CHAPTERS),
              (std::vector<std::wstring>{L"0:00 Opening", L"3:00 Main part", L"7:30 Questions"}));
    ui_select(app, ID_CHAPTERS, 1);
    EXPECT_EQ(text(ID_START), L"3:00");
    EXPECT_EQ(text(ID_END), L"7:30");
    EXPECT_TRUE(shows(ID_START_PICTURE, L"Frame at 3:00")) << text(ID_START_PICTURE).c_str();
    EXPECT_TRUE(shows(ID_END_PICTURE, L"Frame before 7:30")) << text(ID_END_PICTURE).c_str();
    ui_set_text(app, ID_START, L"3:01");
    EXPECT_EQ(ui_selection(app, ID_CHAPTERS), -1) << "times of no chapter";
    ui_set_text(app, ID_START, L"180");
    ui_set_text(app, ID_END, L"");
    EXPECT_EQ(ui_selection(app, ID_CHAPTERS), -1);
    ui_set_text(app, ID_START, L"450");
    EXPECT_EQ(ui_selection(app, ID_CHAPTERS), 2) << "a blank End is the video's end";
    EXPECT_TRUE(ui_keys_focus(app, {VK_MENU, 'H'}, ID_CHAPTERS)) << "Alt+H reaches the list";

    ASSERT_TRUE(script_lookup(app.dir, {L"field title Plain", L"field duration 60"}));
    ui_set_text(app, ID_URL, L"https://example.com/watch?v=plain");
    EXPECT_FALSE(IsWindowVisible(ui_control(app, ID_CHAPTERS))) << "a new address hides the list";
    ASSERT_TRUE(shows(ID_LOOKUP, L"Plain — 1:00"));
    EXPECT_FALSE(IsWindowVisible(ui_control(app, ID_CHAPTERS)));
    EXPECT_TRUE(shows(ID_START_PICTURE, L"no picture")) << "no format with pictures";
}

TEST_F(PicturesTest, NoPictureIsFetchedWhileAClipRuns)
{
    look_up(L"0:10", L"0:20");
    ASSERT_TRUE(shows(ID_END_PICTURE, L"Frame before 0:20")) << text(ID_END_PICTURE).c_str();
    ASSERT_TRUE(script_ytdlp(app.dir, {L"sleep 3000", L"exit 1"}));
    ui_click(app, ID_CUT);
    ASSERT_TRUE(shows(ID_CUT, CANCEL_BUTTON));
    size_t before = pictures_fetched();
    ui_set_text(app, ID_START, L"0:15");
    size_t most = before;
    ASSERT_TRUE(wait_until(
        [&] {
            most = std::max(most, pictures_fetched());
            return text(ID_CUT) == CUT_CLIP_BUTTON;
        },
        JOB_TIMEOUT_MS));
    EXPECT_EQ(most, before) << "a picture was fetched while the clip ran";
    EXPECT_TRUE(shows(ID_START_PICTURE, L"Frame at 0:15")) << "fetched once the clip has ended";
    EXPECT_EQ(pictures_fetched(), before + 1);
}

}  // namespace
