// What a look-up learns about a video: the line yt-dlp prints for it (its
// template and how to read it back), and the texts the window shows.
#pragma once
#include <cstddef>

enum { VIDEO_TITLE_CAP = 512, VIDEO_LENGTH_CAP = 32, VIDEO_LINE_CAP = 640 };

struct VideoInfo {
    wchar_t title[VIDEO_TITLE_CAP];
    double video_length;  // seconds; -1 when the site tells none
    int live;
};

// The "--print" template of a look-up. The title goes last and as JSON, so
// that no character in it (a space, a line break) can confuse the reading.
extern const wchar_t VIDEO_INFO_TEMPLATE[];

// 1 when line is the one VIDEO_INFO_TEMPLATE printed, read into info; 0
// for every other line.
int read_video_info_line(const wchar_t* line, VideoInfo& info);

// "0:05", "2:00", "1:02:03": whole seconds, a started second not counted,
// so that the length shown is never past the end.
void format_length(double seconds, wchar_t (&out)[VIDEO_LENGTH_CAP]);

// The title's length in characters: what the window may shorten it to.
size_t title_length(const VideoInfo& info);

// "Title — 2:00", "Title — live", or the title alone when the length is
// not known. With title_chars below the title's length, the title is cut
// there (never inside a character that needs two) and ends in "…".
void format_video_line(const VideoInfo& info, size_t title_chars, wchar_t (&out)[VIDEO_LINE_CAP]);
