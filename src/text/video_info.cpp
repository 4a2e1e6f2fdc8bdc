// Reading the look-up's line and writing what the window shows of it.
#include "text/video_info.h"

#include <cmath>
#include <cwchar>

#include "text/bounded.h"
#include "text/hex.h"

const wchar_t VIDEO_INFO_TEMPLATE[] = L"TARNVIK-VIDEO %(duration)s %(is_live)s %(title)+j";

namespace {

const wchar_t MARKER[] = L"TARNVIK-VIDEO ";
const wchar_t NOT_AVAILABLE[] = L"NA";  // yt-dlp's text for a field it does not know

// The four hex digits of a "\uXXXX" escape at p; -1 when they are not.
long read_hex4(const wchar_t* p)
{
    long value = 0;
    for (int i = 0; i < 4; ++i) {
        int digit = hex_digit(p[i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

wchar_t simple_escape(wchar_t c)
{
    switch (c) {
    case L'"':
    case L'\\':
    case L'/':
        return c;
    case L'b':
    case L'f':
    case L'n':
    case L'r':
    case L't':
        return L' ';
    default:
        return 0;
    }
}

// A JSON string at p, up to its closing quote, into out. A "\uXXXX" becomes
// the UTF-16 unit it names, so a pair of them is the character it encodes
// on Windows too. 0 when it is no JSON string; a title too long is cut.
int read_json_string(const wchar_t* p, wchar_t (&out)[VIDEO_TITLE_CAP])
{
    if (*p++ != L'"')
        return 0;
    size_t n = 0;
    while (*p != L'"') {
        wchar_t c = *p++;
        if (c == L'\0')
            return 0;
        if (c == L'\\' && *p == L'u') {
            long unit = read_hex4(p + 1);
            if (unit < 0)
                return 0;
            c = (wchar_t)unit;
            p += 5;
        } else if (c == L'\\') {
            if (!(c = simple_escape(*p++)))
                return 0;
        }
        if (c < 0x20)
            c = L' ';  // a title is one line
        if (n < VIDEO_TITLE_CAP - 1)
            out[n++] = c;
    }
    out[n] = L'\0';
    return p[1] == L'\0';
}

// "120", "120.5" or "NA" up to the next space; p moves past that space.
int read_duration(const wchar_t*& p, double& duration)
{
    if (std::wcsncmp(p, NOT_AVAILABLE, 2) == 0 && p[2] == L' ') {
        duration = -1;
        p += 3;
        return 1;
    }
    wchar_t* stop = nullptr;
    duration = std::wcstod(p, &stop);
    if (stop == p || *stop != L' ' || !(duration >= 0) || duration > 1e9)
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
    return read_duration(p, info.duration) && read_live(p, info.live) && read_json_string(p, info.title);
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
    if (!info.live && info.duration >= 0)
        format_length(info.duration, length);
    if (!info.live && info.duration < 0)
        format_text(out, L"%.*ls%ls", (int)shown, info.title, ellipsis);
    else
        format_text(out, L"%.*ls%ls — %ls", (int)shown, info.title, ellipsis, length);
}
