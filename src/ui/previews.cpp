// The pictures at Start and End as the window runs them: what each field
// asks for, a picture kept per address and time (so that going back is
// instant), one fetch at a time once a time has stood still, none while
// other work runs, and the time of the picture shown under it.
#include <windows.h>
#include <stdlib.h>
#include <wchar.h>
#include "jobs/clipjob.h"
#include "jobs/preview.h"
#include "text/time_step.h"
#include "text/timecode.h"
#include "ui/pictures.h"
#include "ui/window.h"
#include "win/files.h"
#include "win/globals.h"
#include "win/held_files.h"
#include "win/temp_folder.h"

HWND g_start_picture, g_end_picture, g_start_time, g_end_time;

enum {
    PICTURE_START = 0,
    PICTURE_END = 1,
    PICTURE_COUNT = 2,
    SETTLE_MS = 500,  // a time typed or stepped stands still this long before it is fetched
    KEPT_CAP = 32,    // pictures kept; the one used longest ago goes first
    FIELD_CAP = 64,
    PICTURE_TEXT_CAP = 64
};

static const wchar_t LOADING[] = L"loading…";
static const wchar_t UNAVAILABLE[] = L"unavailable";
static const wchar_t NO_PICTURE[] = L"no picture";  // the video has no format with pictures
static const wchar_t PAST_END[] = L"past the end";
static const wchar_t NO_FRAME[] = L"no frame";  // nothing lies before an End of 0
static const wchar_t OUT_OF_DATE[] = L" (out of date)";

// What one picture shows: a frame of the video, the box it fits, and
// where it is taken.
struct PictureKey {
    int which;      // FrameWhich
    long long ms;   // the time in whole milliseconds (FRAME_LAST: the video's length, for the caption)
    int width, height;
};

struct KeptPicture {
    int used;
    unsigned long last_use;
    wchar_t url[CLIP_URL_CAP];
    wchar_t cookies[CLIP_COOKIES_CAP];
    PictureKey key;
    unsigned char* bmp;
    FramePicture picture;
};

struct PictureState {
    int wanted;              // the field holds a time that has a picture
    PictureKey target;       // what the field asks for
    const wchar_t* word;     // said instead of a picture; null: none
    int kept;                // the index of the picture shown, -1 none
    int due;                 // the target waits to be fetched
};

static int s_active;                 // a video is known and the pictures follow it
static int s_row_shown = 1;          // the layout has room for the pictures
static wchar_t s_url[CLIP_URL_CAP];  // the video's address and cookies, as its look-up had them
static wchar_t s_cookies[CLIP_COOKIES_CAP];
static double s_video_length;
static int s_has_source;
static MediaFormat s_source;
static PictureState s_pictures[PICTURE_COUNT] = {{0, {}, nullptr, -1, 0}, {0, {}, nullptr, -1, 0}};
static KeptPicture s_kept[KEPT_CAP];
static unsigned long s_uses;
static unsigned long s_video;  // counts the videos followed, so a late answer is known
static Preview* s_running;
static int s_running_index;
static PictureKey s_running_key;
static wchar_t s_folder[PATH_CAP];

static HWND picture_control(int index)
{
    return index == PICTURE_START ? g_start_picture : g_end_picture;
}

static HWND time_control(int index)
{
    return index == PICTURE_START ? g_start_time : g_end_time;
}

static long long whole_ms(double seconds)
{
    return (long long)(seconds * 1000 + 1e-6);
}

static int same_key(const PictureKey& a, const PictureKey& b)
{
    return a.which == b.which && a.ms == b.ms && a.width == b.width && a.height == b.height;
}

static int find_kept(const PictureKey& key)
{
    for (int i = 0; i < KEPT_CAP; ++i)
        if (s_kept[i].used && same_key(s_kept[i].key, key) && wcscmp(s_kept[i].url, s_url) == 0 &&
            wcscmp(s_kept[i].cookies, s_cookies) == 0)
            return i;
    return -1;
}

static int is_shown(int kept)
{
    return s_pictures[PICTURE_START].kept == kept || s_pictures[PICTURE_END].kept == kept;
}

// A free place, or the one used longest ago that no picture shows.
static int place_to_keep()
{
    int oldest = -1;
    for (int i = 0; i < KEPT_CAP; ++i) {
        if (!s_kept[i].used)
            return i;
        if (!is_shown(i) && (oldest < 0 || s_kept[i].last_use < s_kept[oldest].last_use))
            oldest = i;
    }
    if (oldest >= 0) {
        free(s_kept[oldest].bmp);
        s_kept[oldest].used = 0;
    }
    return oldest;
}

static void keep(Preview* preview, const PictureKey& key)
{
    int at = place_to_keep();
    if (at < 0) {
        free(preview->bmp);
        preview->bmp = nullptr;
        return;
    }
    KeptPicture& kept = s_kept[at];
    kept.used = 1;
    kept.last_use = ++s_uses;
    format_text(kept.url, L"%ls", s_url);
    format_text(kept.cookies, L"%ls", s_cookies);
    kept.key = key;
    kept.bmp = preview->bmp;
    kept.picture = preview->picture;
    preview->bmp = nullptr;
}

// The caption under a picture and the control's own text, which says what
// it shows in words (for screen readers, and for whoever reads the window).
static void show_state(int index)
{
    const PictureState& state = s_pictures[index];
    wchar_t time[TIME_FIELD_CAP] = L"", text[PICTURE_TEXT_CAP] = L"";
    if (state.kept >= 0) {
        static const wchar_t* const SAID[] = {L"Frame at %ls%ls", L"Frame before %ls%ls", L"Last frame %ls%ls"};
        const PictureKey& key = s_kept[state.kept].key;
        if (key.which == FRAME_LAST && s_video_length < 0)
            format_text(time, L"end");
        else
            format_time(key.ms / 1000.0, TIME_MINUTES, time);
        int stale = !state.wanted || !same_key(key, state.target);
        format_text(text, SAID[key.which], time, stale ? OUT_OF_DATE : L"");
    } else if (state.word) {
        format_text(text, L"%ls", state.word);
    }
    SetWindowTextW(time_control(index), time);
    SetWindowTextW(picture_control(index), text);
    InvalidateRect(picture_control(index), nullptr, TRUE);
}

void picture_view(HWND control, PictureView* view)
{
    int index = control == g_start_picture ? PICTURE_START : PICTURE_END;
    const PictureState& state = s_pictures[index];
    view->pixels = nullptr;
    view->word = state.word;
    if (state.kept < 0)
        return;
    const KeptPicture& kept = s_kept[state.kept];
    view->pixels = kept.bmp + kept.picture.offset;
    view->width = kept.picture.width;
    view->height = kept.picture.height;
    view->stale = !state.wanted || !same_key(kept.key, state.target);
}

// The box a picture fills: the control inside its frame.
static void box_of(int index, PictureKey* key)
{
    RECT box;
    GetClientRect(picture_control(index), &box);
    key->width = box.right - 2;
    key->height = box.bottom - 2;
}

// What the field asks for: 1 with the key, 0 with a word instead, -1 when
// its text is no time (the picture stays as it is).
static int field_target(int index, PictureKey* key, const wchar_t** word)
{
    wchar_t text[FIELD_CAP];
    HWND field = index == PICTURE_START ? g_start : g_end;
    if (GetWindowTextLengthW(field) >= FIELD_CAP)
        return -1;
    GetWindowTextW(field, text, FIELD_CAP);
    double seconds = 0;
    int given = parse_timecode(text, seconds);
    if (given < 0)
        return -1;
    box_of(index, key);
    *word = nullptr;
    if (index == PICTURE_END && given == 0) {
        key->which = FRAME_LAST;
        seconds = s_video_length > 0 ? s_video_length : 0;
    } else {
        key->which = index == PICTURE_START ? FRAME_AT : FRAME_BEFORE;
    }
    key->ms = whole_ms(seconds);
    if (!s_has_source)
        *word = NO_PICTURE;
    else if (key->which == FRAME_BEFORE && seconds <= 0)
        *word = NO_FRAME;
    else if (s_video_length >= 0 && (key->which == FRAME_AT ? seconds >= s_video_length : seconds > s_video_length))
        *word = PAST_END;
    return *word ? 0 : 1;
}

static void show_kept(int index, int kept)
{
    s_pictures[index].kept = kept;
    s_pictures[index].word = nullptr;
    s_kept[kept].last_use = ++s_uses;
}

// Follows the field: a kept picture at once, a word, or a fetch (now, or
// once the time has stood still).
static void follow_field(int index, int fetch)
{
    PictureState& state = s_pictures[index];
    PictureKey key;
    const wchar_t* word = nullptr;
    int target = field_target(index, &key, &word);
    if (target < 0)
        return;
    state.wanted = target > 0;
    state.target = key;
    state.due = 0;
    if (!state.wanted) {
        state.kept = -1;
        state.word = word;
    } else if (int kept = find_kept(key); kept >= 0) {
        show_kept(index, kept);
    } else {
        state.due = fetch;
        if (state.kept < 0)
            state.word = fetch ? LOADING : nullptr;
    }
    show_state(index);
}

static int wanted_anywhere(const PictureKey& key)
{
    for (const PictureState& state : s_pictures)
        if (state.wanted && same_key(state.target, key))
            return 1;
    return 0;
}

static void fetch(int index)
{
    PictureState& state = s_pictures[index];
    Preview* preview = (Preview*)calloc(1, sizeof(Preview));
    if (!preview || (!s_folder[0] && !make_temp_folder(L"pictures", s_folder))) {
        free(preview);
        return;
    }
    preview->serial = s_video;
    preview->which = state.target.which;
    preview->seconds = state.target.ms / 1000.0;
    preview->width = state.target.width;
    preview->height = state.target.height;
    preview->source = s_source;
    format_text(preview->folder, L"%ls", s_folder);
    if (!start_preview(preview)) {
        free(preview);
        state.word = UNAVAILABLE;
        state.kept = -1;
        show_state(index);
        return;
    }
    state.due = 0;
    s_running = preview;
    s_running_index = index;
    s_running_key = state.target;
}

// One fetch at a time, Start's first, and none while other work runs.
static void fetch_due()
{
    if (!s_active || !s_row_shown || s_running || g_running != RUNNING_NOTHING)
        return;
    for (int index = 0; index < PICTURE_COUNT; ++index)
        if (s_pictures[index].due) {
            fetch(index);
            return;
        }
}

// Both pictures follow their fields now; a fetch for a time no field
// holds any more gives way.
static void follow_fields()
{
    if (!s_active)
        return;
    for (int index = 0; index < PICTURE_COUNT; ++index)
        follow_field(index, 1);
    if (s_running && !wanted_anywhere(s_running_key))
        cancel_preview();
    fetch_due();
}

void show_video_pictures(const wchar_t* url, const wchar_t* cookies, double video_length, const VideoDetails& details)
{
    s_active = 1;
    ++s_video;
    format_text(s_url, L"%ls", url);
    format_text(s_cookies, L"%ls", cookies);
    s_video_length = video_length;
    s_has_source = details.has_preview;
    if (s_has_source)
        s_source = details.preview;
    follow_fields();
}

void forget_video_pictures()
{
    KillTimer(g_main, PREVIEW_TIMER);
    s_active = 0;
    ++s_video;
    if (s_running)
        cancel_preview();
    for (int index = 0; index < PICTURE_COUNT; ++index) {
        s_pictures[index] = PictureState{0, {}, nullptr, -1, 0};
        show_state(index);
    }
}

void on_time_change()
{
    if (!s_active)
        return;
    // A kept picture shows at once; another waits until the time stands still.
    for (int index = 0; index < PICTURE_COUNT; ++index)
        follow_field(index, 0);
    SetTimer(g_main, PREVIEW_TIMER, SETTLE_MS, nullptr);
}

void on_preview_timer()
{
    KillTimer(g_main, PREVIEW_TIMER);
    follow_fields();
}

void on_preview_done(LPARAM record)
{
    Preview* preview = (Preview*)record;
    if (preview == s_running)
        s_running = nullptr;
    int index = s_running_index;
    PictureState& state = s_pictures[index];
    const PictureKey key = s_running_key;
    int same_video = s_active && preview->serial == s_video;
    int current = same_video && state.wanted && same_key(state.target, key);
    if (preview->outcome == PREVIEW_SHOWN && same_video) {
        keep(preview, key);
        int kept = find_kept(key);
        if (current && kept >= 0)
            show_kept(index, kept);
    } else if (preview->outcome == PREVIEW_CANCELLED && current) {
        state.due = 1;  // stopped for other work: fetched again after it
    } else if (preview->outcome == PREVIEW_FAILED && current) {
        state.kept = -1;
        state.word = UNAVAILABLE;
    }
    if (current)
        show_state(index);
    free(preview->bmp);
    free(preview);
    fetch_due();
}

void pause_pictures()
{
    if (s_running)
        cancel_preview();
}

void resume_pictures()
{
    fetch_due();
}

void show_pictures_row(int shown)
{
    s_row_shown = shown;
    const HWND ROW[] = {g_start_picture, g_start_time, g_end_picture, g_end_time};
    for (HWND control : ROW)
        ShowWindow(control, shown ? SW_SHOWNA : SW_HIDE);
    follow_fields();
}

void end_pictures()
{
    forget_video_pictures();
    // The stopped ffmpeg lets go of its file a moment after it ended.
    if (s_folder[0])
        rmtree(s_folder);
}
