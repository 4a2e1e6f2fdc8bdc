// One picture of a video, as the window shows it beside Start and End: the
// ffmpeg command line that decodes the frame shown at a time (the first at
// or after it: the clip's first frame) or the last frame before a time (the
// clip's last), scaled to fit a box, into a small BMP file; and reading
// that file back.
#pragma once
#include <cstddef>

enum FrameWhich {
    FRAME_AT,      // the first frame at or after seconds
    FRAME_BEFORE,  // the last frame before seconds
    FRAME_LAST     // the video's last frame (seconds is not used)
};

struct FrameRequest {
    const wchar_t* input;    // the media's address, or a file ffmpeg can read
    const wchar_t* headers;  // HTTP headers, "Name: value\r\n" each; null or empty for none
    int which;               // FrameWhich
    double seconds;          // on the video's timeline
    int width, height;       // the box: the picture fits it in the video's own aspect ratio
    const wchar_t* output;   // the BMP file to write (replaced)
};

// The ffmpeg command line for request into line (capacity cap). 0 when it
// does not fit, or the request asks for nothing (a box without room, a
// time before the start, no frame before 0).
int build_frame_command(const FrameRequest* request, const wchar_t* ffmpeg, wchar_t* line, size_t cap);

// Where the pixels of a BMP that ffmpeg wrote lie: 24-bit BGR rows,
// bottom row first, each padded to four bytes.
struct FramePicture {
    int width, height;
    size_t stride;  // bytes from one row to the next
    size_t offset;  // where the bottom row begins in the file
};

enum { FRAME_MAX_SIDE = 4096 };

// 1 when bytes (length of them) are an uncompressed 24-bit BMP no larger
// than FRAME_MAX_SIDE a side whose pixels all lie within the bytes.
int read_frame_bmp(const unsigned char* bytes, size_t length, FramePicture* picture);
