// The yt-dlp format selector ("-f") for a quality choice and two options.
#pragma once

enum { FORMAT_SELECTOR_CAP = 256 };

// height: <0 audio only, 0 no limit, else the largest picture height.
// out holds FORMAT_SELECTOR_CAP wide characters and is always terminated.
void build_format_selector(int height, int mp4, int noaudio, wchar_t* out);
