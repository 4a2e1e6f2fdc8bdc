// The chosen formats of a video's information, and the information that
// fetches their pieces. The rewritten formats repeat members of the
// original objects: JSON readers (Python's among them) keep the last.
#include "media/fetch_info.h"

#include <cstdio>
#include <cstring>

#include "media/json_scan.h"
#include "text/bounded.h"

const char* const FETCH_IDS[FETCH_MAX_FORMATS] = {"p0", "p1"};

namespace {

enum { PIECE_EXTRA = 160 };  // a piece's JSON beyond its address

int reject(wchar_t (&reason)[FRAG_REASON_CAP], const wchar_t* why)
{
    format_text(reason, L"%ls", why);
    return 0;
}

// The address up to its query.
size_t path_length(const char* url)
{
    const char* query = std::strchr(url, '?');
    return query ? (size_t)(query - url) : std::strlen(url);
}

// DASH fragments that are each a "range=" piece of the format's own file.
int fragments_are_ranges(const char* format, const char* end, const char* url)
{
    const char* fragments = json_member(format, end, "fragments");
    if (!fragments)
        return 0;
    int pieces = 0;
    char fragment_url[FETCH_URL_CAP];
    int all = json_each(fragments, end, [&](const char* fragment) -> int {
        const char* value = json_member(fragment, end, "url");
        if (!value || !json_string(value, end, fragment_url, sizeof fragment_url))
            return 0;
        ++pieces;
        const size_t n = path_length(url);
        return path_length(fragment_url) == n && std::strncmp(fragment_url, url, n) == 0 &&
               std::strstr(fragment_url, "range=") != nullptr;
    });
    return all && pieces > 0;
}

int read_format(const char* json, const char* object, const char* end, FetchFormat* format,
                wchar_t (&reason)[FRAG_REASON_CAP])
{
    char protocol[FETCH_WORD_CAP] = "";
    const char* value = json_member(object, end, "protocol");
    if (value)
        json_string(value, end, protocol, sizeof protocol);
    value = json_member(object, end, "url");
    if (!value || !json_string(value, end, format->url, sizeof format->url))
        return reject(reason, L"a format has no address");
    if (std::strncmp(protocol, "m3u8", 4) == 0)
        return reject(reason, L"an HLS stream (ffmpeg fetches only its segments in range)");
    const int dash = std::strcmp(protocol, "http_dash_segments") == 0;
    if (dash && !fragments_are_ranges(object, end, format->url))
        return reject(reason, L"a DASH stream in segments (ffmpeg fetches only its segments in range)");
    if (!dash && std::strcmp(protocol, "https") != 0 && std::strcmp(protocol, "http") != 0)
        return reject(reason, L"a format that is not one file over HTTP");
    format->id[0] = format->ext[0] = '\0';
    if ((value = json_member(object, end, "format_id")))
        json_string(value, end, format->id, sizeof format->id);
    if ((value = json_member(object, end, "ext")))
        json_string(value, end, format->ext, sizeof format->ext);
    double size = -1;
    value = json_member(object, end, "filesize");
    format->filesize = value && json_number(value, end, &size) && size > 0 ? (long long)size : -1;
    format->begin = (size_t)(object - json);
    format->end = (size_t)(json_skip(object, end) - json);
    return 1;
}

// The top-level object's closing brace.
int find_top_end(const char* json, const char* end, size_t* at)
{
    const char* after = json_skip(json, end);
    if (!after || after[-1] != '}')
        return 0;
    *at = (size_t)(after - 1 - json);
    return 1;
}

// Appends text to out at *n; 0 when it does not fit.
int put(char* out, size_t cap, size_t* n, const char* text, size_t length)
{
    if (*n + length >= cap)
        return 0;
    std::memcpy(out + *n, text, length);
    *n += length;
    out[*n] = '\0';
    return 1;
}

int put_text(char* out, size_t cap, size_t* n, const char* text)
{
    return put(out, cap, n, text, std::strlen(text));
}

// A JSON string: quotes, backslashes and control characters escaped.
int put_string(char* out, size_t cap, size_t* n, const char* text)
{
    if (!put_text(out, cap, n, "\""))
        return 0;
    for (const char* p = text; *p; ++p) {
        char escaped[8];
        if (*p == '"' || *p == '\\')
            std::snprintf(escaped, sizeof escaped, "\\%c", *p);
        else if ((unsigned char)*p < 0x20)
            std::snprintf(escaped, sizeof escaped, "\\u%04x", (unsigned char)*p);
        else
            std::snprintf(escaped, sizeof escaped, "%c", *p);
        if (!put_text(out, cap, n, escaped))
            return 0;
    }
    return put_text(out, cap, n, "\"");
}

// The address of bytes from to to of the file at url.
int put_piece_url(char* out, size_t cap, size_t* n, const char* url, long long from, long long to)
{
    char piece[FETCH_URL_CAP + 64];
    std::snprintf(piece, sizeof piece, "%s%crange=%lld-%lld", url, std::strchr(url, '?') ? '&' : '?', from, to);
    return put_string(out, cap, n, piece);
}

int put_format(const char* json, const FetchFormat* format, const char* id, const FetchPart* part, char* out,
               size_t cap, size_t* n)
{
    // The object without its closing brace, then the members that replace its own.
    size_t close = format->end - 1;
    char members[256];
    int fitted = put(out, cap, n, json + format->begin, close - format->begin);
    std::snprintf(members, sizeof members,
                  ",\"format_id\":\"%s\",\"downloader_options\":null,\"container\":null,\"filesize_approx\":null,"
                  "\"fragment_base_url\":null,\"manifest_url\":null,\"is_dash_periods\":null,",
                  id);
    fitted = fitted && put_text(out, cap, n, members);
    if (part->head_bytes > 0) {
        // One request of a single file, so that --max-filesize stops one
        // that sends the whole file.
        std::snprintf(members, sizeof members, "\"protocol\":\"https\",\"fragments\":null,\"filesize\":%lld,\"url\":",
                      part->head_bytes);
        return fitted && put_text(out, cap, n, members) &&
               put_piece_url(out, cap, n, format->url, 0, part->head_bytes - 1) && put_text(out, cap, n, "}");
    }
    std::snprintf(members, sizeof members, "\"protocol\":\"http_dash_segments\",\"filesize\":%lld,\"fragments\":[",
                  part->plan->bytes);
    fitted = fitted && put_text(out, cap, n, members);
    for (int i = 0; i < part->plan->piece_count && fitted; ++i) {
        long long from = 0, to = 0;
        frag_piece(part->index, part->plan, i, &from, &to);
        fitted = put_text(out, cap, n, i ? ",{\"url\":" : "{\"url\":") &&
                 put_piece_url(out, cap, n, format->url, from, to) && put_text(out, cap, n, "}");
    }
    return fitted && put_text(out, cap, n, "]}");
}

}  // namespace

int read_fetch_info(const char* json, size_t len, FetchInfo* info, wchar_t (&reason)[FRAG_REASON_CAP])
{
    const char* end = json + len;
    info->count = 0;
    info->ext[0] = '\0';
    info->duration = -1;
    reason[0] = L'\0';
    if (!find_top_end(json, end, &info->top_end))
        return reject(reason, L"yt-dlp's information could not be read");
    const char* value = json_member(json, end, "is_live");
    double flag = 0;
    if (value && json_number(value, end, &flag) && flag != 0)
        return reject(reason, L"a live stream");
    if ((value = json_member(json, end, "ext")))
        json_string(value, end, info->ext, sizeof info->ext);
    if ((value = json_member(json, end, "duration")))
        json_number(value, end, &info->duration);

    // yt-dlp names the chosen formats "video+audio"; its file lists them
    // among the formats.
    char chosen[FETCH_WORD_CAP * FETCH_MAX_FORMATS] = "";
    value = json_member(json, end, "format_id");
    if (!value || !json_string(value, end, chosen, sizeof chosen))
        return reject(reason, L"yt-dlp named no format");
    const char* formats = json_member(json, end, "formats");
    for (char* id = chosen; id; ) {
        char* plus = std::strchr(id, '+');
        if (plus)
            *plus = '\0';
        if (info->count == FETCH_MAX_FORMATS)
            return reject(reason, L"more than two formats were chosen");
        int found = 0, read = 0;
        if (formats)
            json_each(formats, end, [&](const char* format) -> int {
                char each[FETCH_WORD_CAP];
                const char* v = json_member(format, end, "format_id");
                if (!v || !json_string(v, end, each, sizeof each) || std::strcmp(each, id) != 0)
                    return 1;
                found = 1;
                read = read_format(json, format, end, &info->formats[info->count], reason);
                return 0;
            });
        if (!found)
            return reject(reason, L"yt-dlp's information lacks the chosen format");
        if (!read)
            return 0;
        info->count++;
        id = plus ? plus + 1 : nullptr;
    }
    return info->count > 0;
}

size_t fetch_info_size(size_t len, const FetchInfo* info, const FetchPart* parts)
{
    size_t size = len + 1024;
    for (int i = 0; i < info->count; ++i) {
        const FetchFormat& f = info->formats[i];
        const size_t pieces = parts[i].head_bytes > 0 ? 1 : (size_t)parts[i].plan->piece_count;
        size += (f.end - f.begin) + pieces * (2 * std::strlen(f.url) + PIECE_EXTRA);
    }
    return size;
}

size_t write_fetch_info(const char* json, const FetchInfo* info, const FetchPart* parts, char* out, size_t cap)
{
    size_t n = 0;
    // No address to fall back on: a failed fetch must not become yt-dlp's
    // whole download of the video.
    int fitted = put(out, cap, &n, json, info->top_end) &&
                 put_text(out, cap, &n,
                          ",\"requested_formats\":null,\"requested_downloads\":null,\"webpage_url\":null,"
                          "\"formats\":[");
    for (int i = 0; i < info->count && fitted; ++i)
        fitted = (i == 0 || put_text(out, cap, &n, ",")) &&
                 put_format(json, &info->formats[i], FETCH_IDS[i], &parts[i], out, cap, &n);
    fitted = fitted && put_text(out, cap, &n, "]}");
    return fitted ? n : 0;
}
