// What the look-up's information file (yt-dlp's "--write-info-json")
// tells beyond the printed line: the video's chapters, its frame rate, and
// the small format whose frames the window shows at Start and End.
#pragma once
#include <cstddef>

enum {
    CHAPTER_CAP = 200,         // chapters beyond these are not listed
    CHAPTER_TITLE_CAP = 128,   // a longer title is cut
    CHAPTER_LABEL_CAP = 160,
    MEDIA_URL_CAP = 8192,      // a format whose address is longer is not used
    MEDIA_HEADERS_CAP = 4096,  // nor one whose headers are longer
    PREVIEW_MIN_HEIGHT = 144   // the fewest lines a picture is taken from, where the video has them
};

struct Chapter {
    double start, end;  // seconds
    wchar_t title[CHAPTER_TITLE_CAP];
};

// One format of the video that ffmpeg can read from its address.
struct MediaFormat {
    wchar_t url[MEDIA_URL_CAP];
    // Its HTTP headers as ffmpeg's "-headers" takes them: "Name: value\r\n" each.
    wchar_t headers[MEDIA_HEADERS_CAP];
    int width, height;  // 0 when not known
};

struct VideoDetails {
    double fps;  // frames a second; 0 when not known
    int chapter_count;
    Chapter chapters[CHAPTER_CAP];
    int has_preview;  // 0: no format with pictures that ffmpeg can read
    MediaFormat preview;
};

// Reads json, the whole information file as text, into details. Whatever
// is missing or malformed is left out (no chapters, fps 0, no preview);
// 0 only when json is no object at all.
int read_video_details(const wchar_t* json, VideoDetails& details);

// "0:00 Opening", "1:02:03 Finale": the chapter's start as the look-up line
// writes lengths, and its title.
void format_chapter_label(const Chapter& chapter, wchar_t (&out)[CHAPTER_LABEL_CAP]);
