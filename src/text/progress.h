// Recognisers for the progress lines of yt-dlp, ffmpeg and curl.
// Each returns 1 when the line is that kind of progress (out holds the
// value) and 0 otherwise.
#pragma once

// "[download]  45.3% of 10.00MiB at 2MiB/s" -> 45.3
int parse_dl_percent(const wchar_t* line, double& out);
// "size=  2048KiB time=00:00:05.20 bitrate=3225kb/s speed=2x" -> 5.2 seconds
int parse_ffmpeg_time(const wchar_t* line, double& out);
// "######################    31.4%" (curl -#) -> 31.4
int parse_curl_progress(const wchar_t* line, double& out);
