// The names of the four tools Tarnvik works with, as the program folder and
// PATH hold them (".exe" is added there) and as the footer shows them.
#pragma once

inline constexpr const wchar_t TOOL_YTDLP[] = L"yt-dlp";
inline constexpr const wchar_t TOOL_FFMPEG[] = L"ffmpeg";
inline constexpr const wchar_t TOOL_FFPROBE[] = L"ffprobe";
inline constexpr const wchar_t TOOL_DENO[] = L"deno";
inline constexpr const wchar_t* const TOOL_NAMES[] = {TOOL_YTDLP, TOOL_FFMPEG, TOOL_FFPROBE, TOOL_DENO};
enum { TOOL_COUNT = 4 };
