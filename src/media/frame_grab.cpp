// The frame command line and the BMP it writes.
#include "media/frame_grab.h"

#include <cwchar>

#include "text/bounded.h"
#include "text/cmdline.h"

namespace {

// The last frame before a time lies within this much of it, at any frame
// rate a video site serves (down to 1 frame a second).
const double BEFORE_SPAN = 1.0;

enum { NUMBER_CAP = 32, FILTER_CAP = 96 };

int is_http(const wchar_t* input)
{
    return std::wcsncmp(input, L"http://", 7) == 0 || std::wcsncmp(input, L"https://", 8) == 0;
}

// Where ffmpeg starts reading, and how much it reads ("" for all of it).
int read_window(const FrameRequest* request, wchar_t (&start)[NUMBER_CAP], wchar_t (&length)[NUMBER_CAP])
{
    length[0] = L'\0';
    if (request->which == FRAME_LAST)
        return format_text(start, L"-%.3f", BEFORE_SPAN);
    if (!(request->seconds >= 0) || (request->which == FRAME_BEFORE && request->seconds <= 0))
        return 0;
    if (request->which == FRAME_AT)
        return format_text(start, L"%.6f", request->seconds);
    double from = request->seconds > BEFORE_SPAN ? request->seconds - BEFORE_SPAN : 0;
    return format_text(start, L"%.6f", from) && format_text(length, L"%.6f", request->seconds - from);
}

}  // namespace

int build_frame_command(const FrameRequest* request, const wchar_t* ffmpeg, wchar_t* line, size_t cap)
{
    wchar_t start[NUMBER_CAP], length[NUMBER_CAP], scale[FILTER_CAP];
    line[0] = L'\0';
    if (request->width < 2 || request->height < 2 || !read_window(request, start, length) ||
        !format_text(scale, L"scale=%d:%d:force_original_aspect_ratio=decrease", request->width, request->height))
        return 0;
    const wchar_t* const HEAD[] = {ffmpeg, L"-hide_banner", L"-nostdin", L"-nostats", L"-v", L"error"};
    if (!append_all(line, cap, HEAD, sizeof HEAD / sizeof HEAD[0]))
        return 0;
    // Headers are an option of the HTTP reader; any other input refuses them.
    if (request->headers && request->headers[0] && is_http(request->input)) {
        const wchar_t* const HEADERS[] = {L"-headers", request->headers};
        if (!append_all(line, cap, HEADERS, 2))
            return 0;
    }
    // Before "-i", so ffmpeg reads from the key frame before the time on
    // and drops the frames before it: exact, and no more fetched than that.
    const wchar_t* const SEEK[] = {request->which == FRAME_LAST ? L"-sseof" : L"-ss", start};
    const wchar_t* const LENGTH[] = {L"-t", length};
    if (!append_all(line, cap, SEEK, 2) || (length[0] && !append_all(line, cap, LENGTH, 2)))
        return 0;
    // The last frame before the time: every frame of the window written
    // over the one before, so the file ends holding the last.
    const wchar_t* const COUNT[] = {L"-frames:v", L"1"};
    const wchar_t* const REST[] = {L"-i",       request->input, L"-map", L"0:v:0", L"-vf",     scale,
                                   L"-pix_fmt", L"bgr24",       L"-f",   L"image2", L"-update", L"1",
                                   L"-y",       request->output};
    return append_all(line, cap, REST, 4) && (request->which != FRAME_AT || append_all(line, cap, COUNT, 2)) &&
           append_all(line, cap, REST + 4, sizeof REST / sizeof REST[0] - 4);
}

namespace {

unsigned long little_endian(const unsigned char* p, int bytes)
{
    unsigned long value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

}  // namespace

int read_frame_bmp(const unsigned char* bytes, size_t length, FramePicture* picture)
{
    enum { FILE_HEADER = 14, INFO_HEADER = 40 };
    if (length < FILE_HEADER + INFO_HEADER || bytes[0] != 'B' || bytes[1] != 'M')
        return 0;
    const unsigned char* info = bytes + FILE_HEADER;
    long width = (long)little_endian(info + 4, 4), height = (long)little_endian(info + 8, 4);
    unsigned long offset = little_endian(bytes + 10, 4);
    // A bottom-up picture of 24 bits a pixel, no compression.
    if (little_endian(info, 4) < INFO_HEADER || little_endian(info + 12, 2) != 1 ||
        little_endian(info + 14, 2) != 24 || little_endian(info + 16, 4) != 0 || width < 1 ||
        width > FRAME_MAX_SIDE || height < 1 || height > FRAME_MAX_SIDE)
        return 0;
    size_t stride = ((size_t)width * 3 + 3) / 4 * 4;
    if (offset < FILE_HEADER + INFO_HEADER || offset > length || (length - offset) / stride < (size_t)height)
        return 0;
    picture->width = (int)width;
    picture->height = (int)height;
    picture->stride = stride;
    picture->offset = offset;
    return 1;
}
