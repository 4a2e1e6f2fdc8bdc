// Reading the look-up's line and writing what the window shows of it.
#include "text/video_info.h"

#include <cmath>
#include <cwchar>

#include "text/bounded.h"
#include "text/json.h"

const wchar_t VIDEO_INFO_TEMPLATE[] = L"TARNVIK-VIDEO %(duration)s %(is_live)s %(title)+j";

namespace {

const wchar_t MARKER[] = L"TARNVIK-VIDEO ";
const wchar_t NOT_AVAILABLE[] = L"NA";  // yt-dlp's text for a field it does not know

// "120", "120.5" or "NA" up to the next space; p moves past that space.
int read_video_length(const wchar_t*& p, double& seconds)
{
    if (std::wcsncmp(p, NOT_AVAILABLE, 2) == 0 && p[2] == L' ') {
        seconds = -1;
        p += 3;
        return 1;
    }
    wchar_t* stop = nullptr;
    seconds = std::wcstod(p, &stop);
    if (stop == p || *stop != L' ' || !(seconds >= 0) || seconds > 1e9)
        return 0;
    p = stop + 1;
    return 1;
}

int read_live(const wchar_t*& p, int& live)
{
    static const wchar_t* const WORDS[] = {L"False ", L"NA ", L"True "};
    for (int i = 0; i < 3; ++i) {
        size_t length = std::wcslen(WORDS[i]);
        if (std::wcsncmp(p, WORDS[i], length) == 0) {
            live = i == 2;
            p += length;
            return 1;
        }
    }
    return 0;
}

int is_high_surrogate(wchar_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

}  // namespace

int read_video_info_line(const wchar_t* line, VideoInfo& info)
{
    size_t marker = std::wcslen(MARKER);
    if (std::wcsncmp(line, MARKER, marker) != 0)
        return 0;
    const wchar_t* p = line + marker;
    if (!read_video_length(p, info.video_length) || !read_live(p, info.live) || *p != L'"')
        return 0;
    // A title too long is cut; the line must end with it.
    const wchar_t* after = nullptr;
    return json_string(p, info.title, VIDEO_TITLE_CAP, &after) != 0 && *after == L'\0';
}

void format_length(double seconds, wchar_t (&out)[VIDEO_LENGTH_CAP])
{
    long total = seconds > 0 ? (long)std::floor(seconds) : 0;
    long hours = total / 3600, minutes = total / 60 % 60, rest = total % 60;
    if (hours > 0)
        format_text(out, L"%ld:%02ld:%02ld", hours, minutes, rest);
    else
        format_text(out, L"%ld:%02ld", minutes, rest);
}

size_t title_length(const VideoInfo& info)
{
    return std::wcslen(info.title);
}

void format_video_line(const VideoInfo& info, size_t title_chars, wchar_t (&out)[VIDEO_LINE_CAP])
{
    size_t shown = title_length(info);
    const wchar_t* ellipsis = L"";
    if (title_chars < shown) {
        shown = title_chars;
        if (shown > 0 && is_high_surrogate(info.title[shown - 1]))
            --shown;
        ellipsis = L"…";
    }
    wchar_t length[VIDEO_LENGTH_CAP] = L"live";
    if (!info.live && info.video_length >= 0)
        format_length(info.video_length, length);
    if (!info.live && info.video_length < 0)
        format_text(out, L"%.*ls%ls", (int)shown, info.title, ellipsis);
    else
        format_text(out, L"%.*ls%ls — %ls", (int)shown, info.title, ellipsis, length);
}
