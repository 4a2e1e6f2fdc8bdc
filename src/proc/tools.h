// The external programs Tarnvik runs, and the fixed words it passes them.
#pragma once
#include "text/tool_names.h"

// Tools are looked for next to the program and on PATH, with this added.
inline constexpr const wchar_t TOOL_EXE_SUFFIX[] = L".exe";

// System programs, run from the system folder by full path (proc/system.h).
inline constexpr const wchar_t CURL_EXE[] = L"curl.exe";
inline constexpr const wchar_t TAR_EXE[] = L"tar.exe";
inline constexpr const wchar_t CMD_EXE[] = L"cmd.exe";

// yt-dlp
inline constexpr const wchar_t YTDLP_NO_PLAYLIST[] = L"--no-playlist";
inline constexpr const wchar_t YTDLP_NEWLINE[] = L"--newline";
inline constexpr const wchar_t YTDLP_NO_MTIME[] = L"--no-mtime";
inline constexpr const wchar_t YTDLP_ENCODING[] = L"--encoding";
inline constexpr const wchar_t YTDLP_UTF8[] = L"utf-8";
inline constexpr const wchar_t YTDLP_OUTPUT[] = L"-o";
inline constexpr const wchar_t YTDLP_FFMPEG_LOCATION[] = L"--ffmpeg-location";
inline constexpr const wchar_t YTDLP_SECTIONS[] = L"--download-sections";
inline constexpr const wchar_t YTDLP_FORMAT[] = L"-f";
inline constexpr const wchar_t YTDLP_EXTRACT_AUDIO[] = L"-x";
inline constexpr const wchar_t YTDLP_MERGE_FORMAT[] = L"--merge-output-format";
inline constexpr const wchar_t YTDLP_REMUX_VIDEO[] = L"--remux-video";
inline constexpr const wchar_t YTDLP_MP4[] = L"mp4";
inline constexpr const wchar_t YTDLP_COOKIES_FROM_BROWSER[] = L"--cookies-from-browser";
// The look-up reads a video's information without fetching it, and keeps
// all of it in a file that a clip then loads instead of the address.
inline constexpr const wchar_t YTDLP_SKIP_DOWNLOAD[] = L"--skip-download";
inline constexpr const wchar_t YTDLP_NO_SIMULATE[] = L"--no-simulate";  // "--print" alone writes no file
inline constexpr const wchar_t YTDLP_WRITE_INFO_JSON[] = L"--write-info-json";
inline constexpr const wchar_t YTDLP_PRINT[] = L"--print";
inline constexpr const wchar_t YTDLP_LOAD_INFO_JSON[] = L"--load-info-json";
// "-o video" in the look-up's own folder makes yt-dlp write "video.info.json" there.
inline constexpr const wchar_t LOOKUP_OUTPUT_NAME[] = L"video";
inline constexpr const wchar_t LOOKUP_INFO_FILE[] = L"video.info.json";

// curl: follow redirects, draw a "#" progress bar, fail on HTTP errors.
inline constexpr const wchar_t CURL_FOLLOW[] = L"-L";
inline constexpr const wchar_t CURL_PROGRESS_BAR[] = L"-#";
inline constexpr const wchar_t CURL_FAIL[] = L"--fail";
inline constexpr const wchar_t CURL_OUTPUT[] = L"-o";
// Every option here is one that curl 7.55.1, the oldest curl.exe that
// Windows 10 shipped, understands.
// A connection not made in 30 s fails; a transfer slower than 1 KB/s for
// 60 s is taken as stalled and ends.
inline constexpr const wchar_t CURL_CONNECT_TIMEOUT[] = L"--connect-timeout";
inline constexpr const wchar_t CURL_CONNECT_SECONDS[] = L"30";
inline constexpr const wchar_t CURL_SPEED_LIMIT[] = L"--speed-limit";
inline constexpr const wchar_t CURL_STALL_BYTES_PER_SECOND[] = L"1024";
inline constexpr const wchar_t CURL_SPEED_TIME[] = L"--speed-time";
inline constexpr const wchar_t CURL_STALL_SECONDS[] = L"60";
// curl's own retry of transient failures (time-outs, stalls, name lookups,
// HTTP 408 and 5xx): two more tries 10 s apart, started only within the
// first 120 s, so a long transfer that fails late is not fetched again.
inline constexpr const wchar_t CURL_RETRY[] = L"--retry";
inline constexpr const wchar_t CURL_RETRIES[] = L"2";
inline constexpr const wchar_t CURL_RETRY_DELAY[] = L"--retry-delay";
inline constexpr const wchar_t CURL_RETRY_DELAY_SECONDS[] = L"10";
inline constexpr const wchar_t CURL_RETRY_MAX_TIME[] = L"--retry-max-time";
inline constexpr const wchar_t CURL_RETRY_WINDOW_SECONDS[] = L"120";
// The longest one try may take, in seconds (followed by a number).
inline constexpr const wchar_t CURL_MAX_TIME[] = L"--max-time";
// Skips the certificate revocation check that cannot be made behind some
// proxies; only ever for a download that failed for exactly that reason.
inline constexpr const wchar_t CURL_NO_REVOKE[] = L"--ssl-no-revoke";
// The proxy Windows' proxy settings give the address (followed by its
// host:port), which curl does not read by itself.
inline constexpr const wchar_t CURL_PROXY[] = L"--proxy";
// With a proxy: sign in to it, as the proxy asks (NTLM, Negotiate, ...),
// as the current Windows user: an empty user name and password.
inline constexpr const wchar_t CURL_PROXY_ANYAUTH[] = L"--proxy-anyauth";
inline constexpr const wchar_t CURL_PROXY_USER[] = L"--proxy-user";
inline constexpr const wchar_t CURL_CURRENT_USER[] = L":";
// Exit codes that decide a second try.
enum { CURL_EXIT_HTTP_ERROR = 22, CURL_EXIT_TLS_CONNECT = 35 };

// tar: extract the archive into a folder.
inline constexpr const wchar_t TAR_EXTRACT[] = L"-xf";
inline constexpr const wchar_t TAR_INTO[] = L"-C";

// cmd.exe: skip the user's AutoRun commands, run one command line and end.
inline constexpr const wchar_t CMD_NO_AUTORUN[] = L"/d";
inline constexpr const wchar_t CMD_RUN[] = L"/c";
