// Reading chapters, frame rate and the pictures' format out of yt-dlp's
// information file.
#include "text/video_details.h"

#include <cwchar>

#include "text/bounded.h"
#include "text/json.h"
#include "text/video_info.h"

namespace {

// Protocols ffmpeg reads from one address: a plain file, or an HLS
// playlist (a DASH format's fragments are yt-dlp's to fetch).
const wchar_t* const READABLE_PROTOCOLS[] = {L"http", L"https", L"m3u8", L"m3u8_native"};

int readable_protocol(const wchar_t* format)
{
    const wchar_t* protocol = json_member(format, L"protocol");
    if (!protocol)
        return 1;  // a single-format video often names none
    for (const wchar_t* name : READABLE_PROTOCOLS)
        if (json_is(protocol, name))
            return 1;
    return 0;
}

int is_playlist(const wchar_t* format)
{
    return !json_is(json_member(format, L"protocol"), L"http") &&
           !json_is(json_member(format, L"protocol"), L"https") && json_member(format, L"protocol");
}

int whole_number(const wchar_t* value)
{
    double number = 0;
    return json_number(value, number) && number > 0 && number < 100000 ? (int)number : 0;
}

// "Name: value\r\n" for each member of the headers object; 0 when they do not fit.
int read_headers(const wchar_t* object, wchar_t (&out)[MEDIA_HEADERS_CAP])
{
    out[0] = L'\0';
    if (!object || *json_skip_space(object) != L'{')
        return 1;
    const wchar_t* p = json_skip_space(json_skip_space(object) + 1);
    while (*p == L'"') {
        wchar_t name[256], value[MEDIA_HEADERS_CAP];
        const wchar_t* after = nullptr;
        if (json_string(p, name, 256, &after) != 1)
            return 0;
        p = json_skip_space(after);
        if (*p != L':' || json_string(p + 1, value, MEDIA_HEADERS_CAP, nullptr) != 1)
            return 0;
        size_t used = std::wcslen(out);
        if (!format_text(out + used, MEDIA_HEADERS_CAP - used, L"%ls: %ls\r\n", name, value))
            return 0;
        p = json_skip_space(json_value_end(p + 1));
        if (*p != L',')
            break;
        p = json_skip_space(p + 1);
    }
    return 1;
}

// The format's address and headers (its own, else the video's); 0 when it
// has none that fits.
int read_format(const wchar_t* format, const wchar_t* video, MediaFormat& out)
{
    const wchar_t* headers = json_member(format, L"http_headers");
    if (json_string(json_member(format, L"url"), out.url, MEDIA_URL_CAP, nullptr) != 1 ||
        !read_headers(headers ? headers : json_member(video, L"http_headers"), out.headers))
        return 0;
    out.width = whole_number(json_member(format, L"width"));
    out.height = whole_number(json_member(format, L"height"));
    return 1;
}

// Better for a picture: the fewest lines of at least PREVIEW_MIN_HEIGHT;
// without such, the most lines; a plain file before a playlist.
int better_for_picture(int height, int playlist, int best_height, int best_playlist)
{
    int tall = height >= PREVIEW_MIN_HEIGHT, best_tall = best_height >= PREVIEW_MIN_HEIGHT;
    if (tall != best_tall)
        return tall;
    if (height != best_height)
        return tall ? height < best_height : height > best_height;
    return !playlist && best_playlist;
}

int has_pictures(const wchar_t* format)
{
    const wchar_t* vcodec = json_member(format, L"vcodec");
    return !json_is(vcodec, L"none") && !json_true(json_member(format, L"has_drm")) && readable_protocol(format);
}

// The lowest video format of at least PREVIEW_MIN_HEIGHT lines, or the
// video's own address when it lists no formats; null when there is none.
const wchar_t* choose_preview(const wchar_t* video, MediaFormat& out)
{
    const wchar_t* formats = json_member(video, L"formats");
    const wchar_t* best = nullptr;
    int best_height = -1, best_playlist = 0;
    for (const wchar_t* format = json_first(formats); format; format = json_next(format)) {
        if (!has_pictures(format) || !json_member(format, L"url"))
            continue;
        int height = whole_number(json_member(format, L"height"));
        if (!best || better_for_picture(height, is_playlist(format), best_height, best_playlist)) {
            best = format;
            best_height = height;
            best_playlist = is_playlist(format);
        }
    }
    if (!best && !formats && has_pictures(video))
        best = video;
    return best && read_format(best, video, out) ? best : nullptr;
}

void read_chapters(const wchar_t* video, VideoDetails& details)
{
    for (const wchar_t* entry = json_first(json_member(video, L"chapters")); entry && details.chapter_count < CHAPTER_CAP;
         entry = json_next(entry)) {
        Chapter& chapter = details.chapters[details.chapter_count];
        if (!json_number(json_member(entry, L"start_time"), chapter.start) ||
            !json_number(json_member(entry, L"end_time"), chapter.end) || !(chapter.start >= 0) ||
            !(chapter.end > chapter.start))
            continue;
        if (!json_string(json_member(entry, L"title"), chapter.title, CHAPTER_TITLE_CAP, nullptr))
            chapter.title[0] = L'\0';
        ++details.chapter_count;
    }
}

}  // namespace

int read_video_details(const wchar_t* json, VideoDetails& details)
{
    details.fps = 0;
    details.chapter_count = 0;
    details.has_preview = 0;
    if (*json_skip_space(json) != L'{')
        return 0;
    read_chapters(json, details);
    const wchar_t* preview = choose_preview(json, details.preview);
    details.has_preview = preview != nullptr;
    // The video's rate is that of the formats yt-dlp would fetch; the
    // picture's format tells it when the video does not.
    double fps = 0;
    if ((json_number(json_member(json, L"fps"), fps) || json_number(json_member(preview, L"fps"), fps)) &&
        fps > 0 && fps < 1000)
        details.fps = fps;
    return 1;
}

void format_chapter_label(const Chapter& chapter, wchar_t (&out)[CHAPTER_LABEL_CAP])
{
    wchar_t start[VIDEO_LENGTH_CAP];
    format_length(chapter.start, start);
    format_text(out, L"%ls %ls", start, chapter.title);
}
