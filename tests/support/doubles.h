// Steering the stand-in programs of tests/doubles from a test: their script
// files (UTF-8, one command a line), the argument lists they record, and
// putting them where Tarnvik looks for yt-dlp, curl and tar.
#pragma once
#include <string>
#include <vector>

typedef std::vector<std::wstring> TextLines;

// Where the fake curl and tar sit, and the scripts they read next to them.
extern const wchar_t SYSTEM_CURL_SCRIPT[];
extern const wchar_t SYSTEM_TAR_SCRIPT[];

std::string utf8_of(const std::wstring& text);
std::wstring wide_of_utf8(const std::string& bytes);

// Writes each line followed by "\n", in UTF-8. True when written.
bool write_lines(const std::wstring& path, const TextLines& lines);
// The file's lines ("\n" or "\r\n" between them); empty when it cannot be read.
TextLines read_lines(const std::wstring& path);
// An argument file that the fake curl or tar appends to, split into runs
// (an empty line ends each run's arguments).
std::vector<TextLines> read_runs(const std::wstring& path);

// The ffmpeg builds the fake curl serves: the one of the pinned release and
// the newest release line's in "latest" (both from ffmpeg.list).
extern const wchar_t PINNED_FFMPEG_ASSET[];
extern const wchar_t LATEST_FFMPEG_ASSET[];

// What the fake curl serves as the three tools' releases, from folder:
// yt-dlp.payload (yt-dlp.exe's bytes), ffmpeg.list and deno.list (the
// archives' entries for the fake tar), all written by the caller, and the
// sums file each publisher puts beside its file, written here from their
// SHA-256 in the publisher's own form. Returns the fake curl's serve lines.
TextLines publish_tools(const std::wstring& folder);

// name in the system folder, as Windows reports it.
std::wstring system_folder_file(const wchar_t* name);

// Copies fake_ytdlp.exe from beside the test as folder\yt-dlp.exe.
bool install_fake_ytdlp(const std::wstring& folder);
// Copies fake_ffmpeg.exe and fake_ffprobe.exe from beside the test as
// folder\ffmpeg.exe and folder\ffprobe.exe, their run counts started over.
bool install_fake_ffmpeg(const std::wstring& folder);
// Copies fake_curl.exe and fake_tar.exe over curl.exe and tar.exe in the
// system folder (of the test's Wine prefix) and removes their old scripts.
bool install_system_fakes();

// True when path names an existing file (not a folder).
bool file_exists(const std::wstring& path);
// True when path names an existing folder.
bool folder_exists(const std::wstring& path);
