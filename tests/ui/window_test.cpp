// The window as a user first meets it, at 100 % and at 150 % display
// scaling, and from the keyboard, and the checks "Cut clip" makes before
// any work starts: one Tarnvik with every tool beside it.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <cwchar>
#include "ui/window.h"
#include "ui_shared.h"
#include "win/globals.h"

namespace {

enum FontKind { PLAIN, BOLD, MONO, NO_FONT };

struct ControlRow {
    const wchar_t* cls;
    const wchar_t* text;
    int id;
    DWORD style;
    int x, y, width, height;
    FontKind font;
};

const wchar_t HELP[] =
    L"Times work with or without colons:  5:38 and 338 both mean 5 min 38 s (1:02:03 works too).  "
    L"Leave End blank to clip to the end of the video.";

// The client area's height at 100 %; its width is 664.
const int CLIENT_H = 644;

// The window's children as a user should get them, in creation order.
const ControlRow LAYOUT[] = {
    {L"Static", L"Video URL", 0, 0, 14, 12, 200, 18, BOLD},
    {L"Edit", L"", ID_URL, 0x00800080, 14, 32, 636, 26, MONO},
    {L"Static", HELP, ID_LOOKUP, SS_NOPREFIX, 14, 66, 636, 32, PLAIN},
    {L"Static", L"Start", 0, 0, 14, 104, 60, 18, BOLD},
    {L"Edit", L"", ID_START, 0x00800001, 14, 122, 110, 28, MONO},
    {L"Static", L"→", 0, 0x1, 130, 128, 30, 18, PLAIN},
    {L"Static", L"End", 0, 0, 166, 104, 60, 18, BOLD},
    {L"Edit", L"", ID_END, 0x00800001, 166, 122, 110, 28, MONO},
    {L"Static", L"Quality", 0, 0, 306, 104, 100, 18, BOLD},
    // A drop-down list's text is its selected entry.
    {L"ComboBox", L"Up to 1080p", ID_QUALITY, 0x00200003, 306, 122, 160, 200, PLAIN},
    {L"Static", L"Cookies from", 0, 0, 486, 104, 120, 18, BOLD},
    {L"ComboBox", L"firefox", ID_COOKIES, 0x00200003, 486, 122, 164, 200, PLAIN},
    // Shown only for a video with chapters.
    {L"Static", L"Chapter", 0, 0, 364, 158, 120, 18, BOLD},
    {L"ComboBox", L"", ID_CHAPTERS, 0x00200003, 364, 176, 286, 200, PLAIN},
    {L"TarnvikPicture", L"", ID_START_PICTURE, 0, 14, 158, 162, 92, PLAIN},
    {L"Static", L"", ID_START_TIME, SS_CENTER | SS_NOPREFIX, 14, 252, 162, 18, PLAIN},
    {L"TarnvikPicture", L"", ID_END_PICTURE, 0, 186, 158, 162, 92, PLAIN},
    {L"Static", L"", ID_END_TIME, SS_CENTER | SS_NOPREFIX, 186, 252, 162, 18, PLAIN},
    {L"Button", L"Prefer MP4 / H.264 (most compatible)", ID_MP4, 0x3, 14, 276, 320, 20, PLAIN},
    {L"Button", L"Exact cut (re-encodes at cut points; slower, no glitchy first frames)", ID_EXACT, 0x3, 14, 298,
     520, 20, PLAIN},
    {L"Button", L"No audio (video only)", ID_NOAUDIO, 0x3, 14, 320, 320, 20, PLAIN},
    {L"Button", L"Cut clip", ID_CUT, 0x1, 14, 352, 120, 32, BOLD},
    {L"Button", L"Open clips folder", ID_OPEN, 0x0, 144, 352, 150, 32, PLAIN},
    {L"Button", L"Update tools", ID_UPDATE, 0x0, 530, 610, 120, 28, PLAIN},
    {L"Static", L"", ID_STATUS, 0, 306, 359, 344, 20, MONO},
    {L"msctls_progress32", L"", ID_PROGRESS, 0x1, 14, 394, 636, 14, NO_FONT},
    {L"Edit", L"", ID_LOG, 0x00A00844, 14, 416, 636, 190, MONO},
    {L"Static", L"", ID_FOOT, SS_ENDELLIPSIS | SS_NOPREFIX, 14, 614, 506, 20, PLAIN},
};

const wchar_t* const QUALITIES[] = {L"Best available", L"Up to 4K (2160p)", L"Up to 1080p",
                                    L"Up to 720p",     L"Up to 480p",       L"Audio only"};
const wchar_t* const BROWSERS[] = {L"none", L"firefox", L"chrome", L"edge", L"brave", L"opera", L"vivaldi"};

const wchar_t URL_MESSAGE[] = L"Enter a valid http(s) video URL.";
const wchar_t START_MESSAGE[] = L"Start time not understood.";
const wchar_t END_MESSAGE[] = L"End time not understood.";
const wchar_t ORDER_MESSAGE[] = L"End time must be after start time.";

// Style bits a control takes over at creation: an edit draws its border
// itself and drops WS_BORDER, a combo box hands WS_VSCROLL to its list.
DWORD style_kept(const ControlRow& row)
{
    if (_wcsicmp(row.cls, L"Edit") == 0)
        return row.style & ~WS_BORDER;
    if (_wcsicmp(row.cls, L"ComboBox") == 0)
        return row.style & ~WS_VSCROLL;
    return row.style;
}

RECT client_rect_of(HWND control, HWND main)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, main, (POINT*)&rect, 2);
    return rect;
}

std::vector<HWND> children_in_order(HWND main)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// A control's text as the window shows it: the "&" before an access key is not drawn.
std::wstring shown_text(HWND control)
{
    std::wstring text = ui_text(control);
    size_t mark = text.find(L'&');
    return mark == std::wstring::npos ? text : text.erase(mark, 1);
}

std::wstring class_of(HWND window)
{
    wchar_t cls[64] = {0};
    GetClassNameW(window, cls, 63);
    return cls;
}

// Wine gives a process the DPI that LogPixels holds when it starts, so the
// setting is put back as soon as Tarnvik is up: every other process keeps
// 96 DPI. (Wine's font set-up notes the last DPI it saw and redoes itself
// for the next process at 96.)
bool start_at_dpi(UiApp& app, const wchar_t* name, DWORD dpi)
{
    const wchar_t KEY[] = L"Control Panel\\Desktop";
    DWORD old, size = sizeof old;
    bool had = !RegGetValueW(HKEY_CURRENT_USER, KEY, L"LogPixels", RRF_RT_REG_DWORD, nullptr, &old, &size);
    RegSetKeyValueW(HKEY_CURRENT_USER, KEY, L"LogPixels", REG_DWORD, &dpi, sizeof dpi);
    bool started = start_with_tools(app, name);
    if (had)
        RegSetKeyValueW(HKEY_CURRENT_USER, KEY, L"LogPixels", REG_DWORD, &old, sizeof old);
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, KEY, L"LogPixels");
    return started;
}

// Types keys into app and returns the id of the control the focus moved to.
int focus_after(const UiApp& app, std::initializer_list<WORD> keys)
{
    EXPECT_TRUE(ui_activate(app)) << ui_foreground();
    int before = ui_focus(app);
    EXPECT_TRUE(ui_keys(app, keys)) << ui_foreground();
    wait_until(
        [&] {
            int now = ui_focus(app);
            return now != before && now != 0;
        },
        SHORT_TIMEOUT_MS);
    return ui_focus(app);
}

// The clip of the 100 % screenshot, cut in app, for one of the README's
// other screenshots, docs\png; app is closed afterwards.
void screenshot_after_a_clip(UiApp& app, const wchar_t* png)
{
    EXPECT_TRUE(script_ytdlp(app.dir, {L"transcript " TEST_DATA_DIR L"\\transcripts\\merge-separate.txt",
                                       L"media Café – Ünïcode [Café – Ünïcode].mp4 2621440"}));
    // ffprobe describes a recorded H.264 section, so the exact cut is made in steps.
    const std::wstring probes = TEST_DATA_DIR L"\\probe\\";
    EXPECT_TRUE(write_lines(app.dir + L"\\ffprobe.script", {L"transcript " + probes + L"h264-section.txt",
                                                             L"transcript " + probes + L"h264-section-streams.txt",
                                                             L"transcript " + probes + L"h264-result.txt"}));
    EXPECT_TRUE(script_video_with_pictures(app.dir, L"Café – Ünïcode", 40));
    ui_set_text(app, ID_URL, L"https://example.com/watch?v=demo");
    ui_set_text(app, ID_START, L"0");
    ui_set_text(app, ID_END, L"0:12");
    ui_click(app, ID_CUT);
    EXPECT_TRUE(watch_job(app, JOB_TIMEOUT_MS).ended);
    // The look-up waited for the clip; the screenshot shows what it found.
    EXPECT_TRUE(wait_until([&] { return ui_text(app, ID_LOOKUP) == L"Café – Ünïcode — 0:40"; }, JOB_TIMEOUT_MS));
    EXPECT_TRUE(wait_for_pictures(app, L"0:00", L"0:12"));
    EXPECT_TRUE(ui_screenshot(app.main, TEST_DATA_DIR L"\\..\\..\\docs\\" + std::wstring(png)));
    ui_close(app, SHORT_TIMEOUT_MS);
}

class WindowTest : public ::testing::Test {
protected:
    static UiApp app;

    static void SetUpTestSuite() { start_with_tools(app, L"window"); }
    static void TearDownTestSuite() { ui_close(app, SHORT_TIMEOUT_MS); }

    void SetUp() override { ASSERT_NE(app.main, nullptr) << "Tarnvik's window did not appear"; }

    void type_request(const wchar_t* url, const wchar_t* start, const wchar_t* end)
    {
        ui_set_text(app, ID_URL, url);
        ui_set_text(app, ID_START, start);
        ui_set_text(app, ID_END, end);
    }
};

UiApp WindowTest::app;

TEST_F(WindowTest, ControlsSitWhereTheLayoutPutsThem)
{
    std::vector<HWND> children = children_in_order(app.main);
    ASSERT_EQ(children.size(), sizeof LAYOUT / sizeof LAYOUT[0]);
    for (size_t i = 0; i < children.size(); ++i) {
        const ControlRow& row = LAYOUT[i];
        HWND child = children[i];
        SCOPED_TRACE(testing::Message() << "control " << i + 1);
        EXPECT_EQ(_wcsicmp(class_of(child).c_str(), row.cls), 0) << class_of(child).c_str();
        EXPECT_EQ(GetDlgCtrlID(child), row.id);
        if (row.id != ID_FOOT) {
            EXPECT_EQ(shown_text(child), row.text);
        }
        DWORD style = (DWORD)GetWindowLongW(child, GWL_STYLE);
        // The chapter list and its label wait for a video with chapters.
        bool hidden = row.id == ID_CHAPTERS || (i + 1 < children.size() && LAYOUT[i + 1].id == ID_CHAPTERS);
        DWORD wanted = style_kept(row) | WS_CHILD | (hidden ? 0 : WS_VISIBLE);
        EXPECT_EQ(style & (wanted | WS_VISIBLE), wanted);
        EXPECT_TRUE(IsWindowEnabled(child));
        RECT rect = client_rect_of(child, app.main);
        EXPECT_EQ(rect.left, row.x);
        EXPECT_EQ(rect.top, row.y);
        EXPECT_EQ(rect.right - rect.left, row.width);
        if (row.id != ID_QUALITY && row.id != ID_COOKIES && row.id != ID_CHAPTERS) {  // a closed combo box shows only its field
            EXPECT_EQ(rect.bottom - rect.top, row.height);
        }
    }
}

// A control's font cannot be asked for from another process, so the
// controls are made here, in a window of this process, with three fonts
// that tell the kinds apart.
TEST(WindowFonts, EachControlGetsTheFontOfItsKind)
{
    INITCOMMONCONTROLSEX common = {sizeof common, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&common);
    g_font = CreateFontW(-12, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    g_bold = CreateFontW(-12, 0, 0, 0, 600, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    g_mono = CreateFontW(-13, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, FIXED_PITCH, L"Courier New");
    const HFONT EXPECTED[] = {g_font, g_bold, g_mono, nullptr};
    g_main = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 700, 640, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(g_main, nullptr);
    create_controls();
    std::vector<HWND> children = children_in_order(g_main);
    ASSERT_EQ(children.size(), sizeof LAYOUT / sizeof LAYOUT[0]);
    for (size_t i = 0; i < children.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "control " << i + 1);
        EXPECT_EQ((HFONT)SendMessageW(children[i], WM_GETFONT, 0, 0), EXPECTED[LAYOUT[i].font]);
    }
    DestroyWindow(g_main);
    g_main = nullptr;
    for (HFONT font : {g_font, g_bold, g_mono})
        DeleteObject(font);
}

TEST(ScaledWindow, At150PercentTheClientAreaAndEveryControlAreHalfAsLargeAgain)
{
    UiApp scaled;
    ASSERT_TRUE(start_at_dpi(scaled, L"150 percent", 144));
    RECT client;
    GetClientRect(scaled.main, &client);
    EXPECT_NEAR(client.right, 664 * 1.5, 1.0);
    EXPECT_NEAR(client.bottom, CLIENT_H * 1.5, 1.0);
    std::vector<HWND> children = children_in_order(scaled.main);
    ASSERT_EQ(children.size(), sizeof LAYOUT / sizeof LAYOUT[0]);
    for (size_t i = 0; i < children.size(); ++i) {
        const ControlRow& row = LAYOUT[i];
        RECT rect = client_rect_of(children[i], scaled.main);
        SCOPED_TRACE(testing::Message() << "control " << i + 1);
        EXPECT_NEAR(rect.left, row.x * 1.5, 1.0);
        EXPECT_NEAR(rect.top, row.y * 1.5, 1.0);
        EXPECT_NEAR(rect.right, (row.x + row.width) * 1.5, 1.0);
        if (row.id != ID_QUALITY && row.id != ID_COOKIES && row.id != ID_CHAPTERS) {  // a closed combo box is as high as its font
            EXPECT_NEAR(rect.bottom, (row.y + row.height) * 1.5, 1.0);
        }
    }
    screenshot_after_a_clip(scaled, L"tarnvik-window-150.png");
}

NONCLIENTMETRICSW message_metrics()
{
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    return metrics;
}

// The message font as Windows' "Make text bigger" at percent makes it from
// its 9-point default, for this process and for every Tarnvik started
// until the next call (Wine keeps a setting made without
// SPIF_UPDATEINIFILE for the session).
void set_text_size(const NONCLIENTMETRICSW& normal, int percent)
{
    NONCLIENTMETRICSW metrics = normal;
    metrics.lfMessageFont.lfHeight = -MulDiv(12, percent, 100);
    wcscpy(metrics.lfMessageFont.lfFaceName, L"Tahoma");
    SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
}

void restore_text_size(NONCLIENTMETRICSW normal)
{
    SystemParametersInfoW(SPI_SETNONCLIENTMETRICS, sizeof normal, &normal, 0);
}

// Room for the box of a check box, or the edges of a push button, beside the text.
const int BUTTON_EDGES = 16;

// A control's text as the control lays it out, in the font it has: a
// static wraps it to its width, a button keeps it on one line beside its
// box or between its edges, a field or list shows one line of its font.
void expect_text_fits(HWND control)
{
    std::wstring cls = class_of(control), text = ui_text(control);
    if (cls == PROGRESS_CLASSW)
        return;  // draws no text
    DWORD style = (DWORD)GetWindowLongW(control, GWL_STYLE);
    RECT room, need = {0, 0, 0, 0};
    GetClientRect(control, &room);
    need.right = room.right;
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, (HFONT)SendMessageW(control, WM_GETFONT, 0, 0));
    TEXTMETRICW metrics;
    GetTextMetricsW(dc, &metrics);
    if (_wcsicmp(cls.c_str(), L"Static") == 0) {
        // An empty line must still hold a line; the footer shortens itself with "...".
        if (text.empty() || (style & SS_ENDELLIPSIS))
            text = L"Xg";
        DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK | (style & SS_NOPREFIX ? DT_NOPREFIX : 0));
    } else if (_wcsicmp(cls.c_str(), L"Button") == 0) {
        DrawTextW(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
        need.right += BUTTON_EDGES;
    } else {
        need.bottom = metrics.tmHeight;
        bool list = _wcsicmp(cls.c_str(), L"ComboBox") == 0;
        for (const std::wstring& item : list ? ui_items(control) : std::vector<std::wstring>()) {
            SIZE size;
            GetTextExtentPoint32W(dc, item.c_str(), (int)item.size(), &size);
            need.right = std::max(need.right, size.cx + (LONG)GetSystemMetrics(SM_CXVSCROLL));
        }
    }
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    EXPECT_LE(need.right, room.right) << "too wide: " << text.c_str();
    EXPECT_LE(need.bottom, room.bottom) << "too tall: " << text.c_str();
}

// What the user's text size does to the window, with the window's own code
// in a window of this process, where each control's font can be read.
TEST(TextSize, EveryTextFitsItsControlFrom100To225PercentAndTheWindowGrowsWithIt)
{
    const NONCLIENTMETRICSW normal = message_metrics();
    set_text_size(normal, 100);
    g_main = CreateWindowExW(0, L"STATIC", L"", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(g_main, nullptr);
    create_window_contents();
    LONG width_before = 0;
    for (int percent : {100, 150, 225}) {
        SCOPED_TRACE(testing::Message() << percent << " %");
        set_text_size(normal, percent);
        on_setting_change();  // as WM_SETTINGCHANGE tells the window
        RECT client;
        GetClientRect(g_main, &client);
        EXPECT_GT(client.right, width_before);
        width_before = client.right;
        for (HWND child : children_in_order(g_main)) {
            SCOPED_TRACE(testing::Message() << "control " << GetDlgCtrlID(child) << " " << ui_text(child).c_str());
            expect_text_fits(child);
            RECT rect = client_rect_of(child, g_main);
            EXPECT_LE(rect.right, client.right);
            EXPECT_LE(rect.bottom, client.bottom);
        }
    }
    restore_text_size(normal);
    on_setting_change();
    RECT client;
    GetClientRect(g_main, &client);
    EXPECT_EQ(client.right, 664) << "the default text size puts everything back";
    EXPECT_EQ(client.bottom, CLIENT_H);
    DestroyWindow(g_main);
    g_main = nullptr;
    for (HFONT font : {g_font, g_bold, g_mono})
        DeleteObject(font);
}

// The real program started at 150 % text size, for the README.
TEST(TextSize, At150PercentTarnvikStartsLarger)
{
    const NONCLIENTMETRICSW normal = message_metrics();
    UiApp large;
    set_text_size(normal, 150);
    bool started = start_with_tools(large, L"150 percent text");
    restore_text_size(normal);
    ASSERT_TRUE(started);
    RECT client;
    GetClientRect(large.main, &client);
    EXPECT_GT(client.right, 664);
    EXPECT_NEAR(client.bottom, client.right * (double)CLIENT_H / 664.0, 2.0) << "the whole layout grows alike";
    screenshot_after_a_clip(large, L"tarnvik-window-text-150.png");
}

TEST_F(WindowTest, TabVisitsTheFieldsOptionsButtonsAndLogInOrder)
{
    ASSERT_TRUE(ui_activate(app)) << ui_foreground();
    ASSERT_TRUE(wait_until([&] { return ui_focus(app) == ID_URL; }, SHORT_TIMEOUT_MS)) << "the URL field comes first";
    const std::vector<int> ORDER = {ID_START,   ID_END, ID_QUALITY, ID_COOKIES, ID_MP4, ID_EXACT,
                                    ID_NOAUDIO, ID_CUT, ID_OPEN,    ID_UPDATE,  ID_LOG, ID_URL};
    std::vector<int> visited;
    for (size_t i = 0; i < ORDER.size(); ++i)
        visited.push_back(focus_after(app, {VK_TAB}));
    EXPECT_EQ(visited, ORDER);
    EXPECT_EQ(focus_after(app, {VK_SHIFT, VK_TAB}), ID_LOG);
    EXPECT_EQ(focus_after(app, {VK_MENU, 'E'}), ID_END) << "a label's access key reaches its field";
}

TEST_F(WindowTest, MainWindowIsAFixedSizeTarnvikWindow)
{
    EXPECT_EQ(ui_text(app.main), L"Tarnvik");
    RECT client;
    GetClientRect(app.main, &client);
    EXPECT_EQ(client.right, 664);
    EXPECT_EQ(client.bottom, CLIENT_H);
    DWORD style = (DWORD)GetWindowLongW(app.main, GWL_STYLE);
    EXPECT_EQ(style & 0x00CA0000u, 0x00CA0000u);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0u);
    // The right column ends 14 pixels from the right border, as the left one starts.
    for (int id : {ID_URL, ID_COOKIES, ID_STATUS, ID_PROGRESS, ID_LOG, ID_UPDATE})
        EXPECT_EQ(client_rect_of(ui_control(app, id), app.main).right, 650) << id;
    EXPECT_EQ(client_rect_of(ui_control(app, ID_FOOT), app.main).bottom, CLIENT_H - 10);
    // The themed frame of a field; WS_BORDER draws a flat black one under visual styles.
    for (int id : {ID_URL, ID_START, ID_END, ID_LOG})
        EXPECT_TRUE(GetWindowLongW(ui_control(app, id), GWL_EXSTYLE) & WS_EX_CLIENTEDGE) << id;
    // The footer line stops short of the button beside it.
    EXPECT_LT(client_rect_of(ui_control(app, ID_FOOT), app.main).right,
              client_rect_of(ui_control(app, ID_UPDATE), app.main).left);
}

TEST_F(WindowTest, StartsWithEveryDefault)
{
    EXPECT_EQ(ui_items(app, ID_QUALITY), std::vector<std::wstring>(QUALITIES, QUALITIES + 6));
    EXPECT_EQ(ui_selection(app, ID_QUALITY), 2);
    EXPECT_EQ(ui_items(app, ID_COOKIES), std::vector<std::wstring>(BROWSERS, BROWSERS + 7));
    EXPECT_EQ(ui_selection(app, ID_COOKIES), 1);
    EXPECT_TRUE(ui_checked(app, ID_MP4));
    EXPECT_TRUE(ui_checked(app, ID_EXACT));
    EXPECT_FALSE(ui_checked(app, ID_NOAUDIO));
    HWND progress = ui_control(app, ID_PROGRESS);
    EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageW(progress, PBM_GETRANGE, FALSE, 0), 1000);
    EXPECT_EQ(SendMessageW(ui_control(app, ID_LOG), EM_GETLIMITTEXT, 0, 0), 4194304);
    EXPECT_EQ(ui_question(app), nullptr) << "no question while every tool is there";
}

TEST_F(WindowTest, FooterNamesTheToolsAndPointsAnOldYtdlpAtTheUpdate)
{
    std::wstring footer = ui_text(app, ID_FOOT);
    EXPECT_EQ(footer.find(OLD_FAKE_YTDLP_FOOTER), 0u) << footer.c_str();
    EXPECT_NE(footer.find(L" days old — press Update tools), ffmpeg, deno"), std::wstring::npos) << footer.c_str();
}

struct BadRequest {
    const wchar_t* url;
    const wchar_t* start;
    const wchar_t* end;
    const wchar_t* message;
};

TEST_F(WindowTest, EachBadRequestGetsItsMessageAndChangesNothingElse)
{
    const std::wstring long_url = L"https://example.com/watch?v=" + std::wstring(2030, L'x');
    // 63 characters: cut to the first 62 it would read as a plain 5.
    const std::wstring long_time = L"5" + std::wstring(61, L' ') + L"9";
    const BadRequest CASES[] = {
        {L"", L"", L"", URL_MESSAGE},
        {L"ftp://example.com/v", L"", L"", URL_MESSAGE},
        {L" https://example.com/v", L"", L"", URL_MESSAGE},
        {L"example.com/v", L"", L"", URL_MESSAGE},
        {L"http:/example.com", L"", L"", URL_MESSAGE},
        {L"ftp://example.com/v", L"zz", L"", URL_MESSAGE},  // only the first problem is told
        {long_url.c_str(), L"", L"", URL_MESSAGE},          // would be cut to another URL
        {L"https://example.com/v", L"5:3x", L"", START_MESSAGE},
        {L"https://example.com/v", L"1:2:3:4", L"9", START_MESSAGE},
        {L"https://example.com/v", long_time.c_str(), L"", START_MESSAGE},
        {L"https://example.com/v", L"", L"abc", END_MESSAGE},
        {L"https://example.com/v", L"10", L"-5", END_MESSAGE},
        {L"https://example.com/v", L"5:38", L"338", ORDER_MESSAGE},
        {L"https://example.com/v", L"20", L"0:10", ORDER_MESSAGE},
        {L"https://example.com/v", L"0", L"0", ORDER_MESSAGE},
    };
    ui_set_progress(app, 420);
    ui_set_text(app, ID_LOG, L"an earlier line\r\n");
    size_t folders_before = job_folders(app.dir).size();
    for (const BadRequest& bad : CASES) {
        SCOPED_TRACE(testing::Message() << "url '" << std::wstring(bad.url).substr(0, 40).c_str() << "' start '"
                                        << bad.start << "' end '" << bad.end << "'");
        type_request(bad.url, bad.start, bad.end);
        ui_click(app, ID_CUT);
        EXPECT_EQ(ui_text(app, ID_STATUS), bad.message);
        EXPECT_TRUE(ui_enabled(app, ID_CUT));
        EXPECT_EQ(ui_progress(app), 420);
        EXPECT_EQ(ui_text(app, ID_LOG), L"an earlier line\r\n");
        EXPECT_EQ(ui_text(app, ID_URL), bad.url);
        EXPECT_EQ(ui_text(app, ID_START), bad.start);
        EXPECT_EQ(ui_text(app, ID_END), bad.end);
        EXPECT_EQ(job_folders(app.dir).size(), folders_before);
    }
    ui_set_text(app, ID_LOG, L"");
}

TEST_F(WindowTest, AudioOnlyClearsAndLocksNoAudioUntilAnotherQualityIsChosen)
{
    ui_click(app, ID_NOAUDIO);
    ASSERT_TRUE(ui_checked(app, ID_NOAUDIO));
    ui_select(app, ID_QUALITY, 5);
    EXPECT_FALSE(ui_checked(app, ID_NOAUDIO));
    EXPECT_FALSE(ui_enabled(app, ID_NOAUDIO));
    ui_select(app, ID_QUALITY, 3);
    EXPECT_FALSE(ui_checked(app, ID_NOAUDIO)) << "leaving Audio only does not tick it again";
    EXPECT_TRUE(ui_enabled(app, ID_NOAUDIO));
    ui_click(app, ID_NOAUDIO);
    ui_select(app, ID_QUALITY, 0);
    EXPECT_TRUE(ui_checked(app, ID_NOAUDIO)) << "other qualities leave the box alone";
    EXPECT_TRUE(ui_enabled(app, ID_NOAUDIO));
    ui_click(app, ID_NOAUDIO);
    ui_select(app, ID_QUALITY, 2);
}

TEST_F(WindowTest, OpenClipsFolderCreatesAndOpensIt)
{
    take_opened_folders();
    ui_click(app, ID_OPEN);
    TextLines opened;
    ASSERT_TRUE(wait_for_opened_folder(opened, SHORT_TIMEOUT_MS));
    EXPECT_EQ(opened, TextLines{app.dir + L"\\clips"});
    EXPECT_TRUE(folder_exists(app.dir + L"\\clips"));
}

}  // namespace
