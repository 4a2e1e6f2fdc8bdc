// What the window tests share: control ids and texts as the user sees
// them, the stand-in for the shell's folder window, and a watcher that
// records what a running job shows.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "support/doubles.h"
#include "support/programs.h"
#include "support/ui_driver.h"

enum {
    ID_URL = 101, ID_START = 102, ID_END = 103, ID_QUALITY = 104, ID_COOKIES = 105,
    ID_MP4 = 106, ID_EXACT = 107, ID_NOAUDIO = 108, ID_CUT = 109, ID_OPEN = 110,
    ID_STATUS = 111, ID_LOG = 112, ID_FOOT = 113, ID_PROGRESS = 114, ID_UPDATE = 115, ID_LOOKUP = 116,
    ID_CHAPTERS = 117, ID_START_PICTURE = 118, ID_END_PICTURE = 119, ID_START_TIME = 120, ID_END_TIME = 121
};

// Upper bounds for waits on things that come: long, so that only what never
// comes fails, even on a machine under heavy load.
enum { JOB_TIMEOUT_MS = 180000, SHORT_TIMEOUT_MS = 60000 };

inline const wchar_t FAILED_STATUS[] = L"failed — see log below";
inline const wchar_t STARTING_STATUS[] = L"starting…";
inline const wchar_t CUT_CLIP_BUTTON[] = L"&Cut clip";
inline const wchar_t CANCEL_BUTTON[] = L"Cancel";
// The footer's start while the fake yt-dlp, numbered 2023.03.04, is installed.
inline const wchar_t OLD_FAKE_YTDLP_FOOTER[] = L"Tools ready: yt-dlp 2023.03.04 (";

// Points APPDATA and LOCALAPPDATA, as every Tarnvik started from now on
// sees them, at fresh test folders, with or without a Firefox profile that
// holds a cookie store. Every window test starts with one.
bool use_user_folders(bool with_firefox);

// Starts Tarnvik in a fresh program folder NAME with every tool beside it
// (the fake yt-dlp among them). False, with app.main null, when it failed.
bool start_with_tools(UiApp& app, const wchar_t* name);

// The folders the shell was asked to open since the last call, oldest first.
TextLines take_opened_folders();
// Waits until the shell was asked to open at least one folder.
bool wait_for_opened_folder(TextLines& folders, DWORD timeout_ms);

// The job folders (every folder) in dir\clips.
std::vector<std::wstring> job_folders(const std::wstring& program_dir);

// What a clip job showed while it ran, until the button read "Cut clip" again.
struct JobView {
    std::vector<std::wstring> statuses;  // each change, in order
    std::vector<int> positions;          // each bar position, in order
    bool ended;
};
JobView watch_job(const UiApp& app, DWORD timeout_ms);
// The same for a job whose fake yt-dlp was told PACED: each of its
// transcript lines waits until the window's state after the line before has
// been read, so no state that lasts one line is missed. The log held
// log_lines_before lines before the job started, and the program folder no
// pace.txt.
JobView watch_paced_job(const UiApp& app, size_t log_lines_before, DWORD timeout_ms);
// The script line that makes the fake yt-dlp wait for watch_paced_job.
inline const wchar_t PACED[] = L"pace pace.txt";

// Whether status is "done — NAME (SIZE)" for name, whole or shortened with
// "…" (keeping its start and end) to fit the status line.
bool is_done_status(const std::wstring& status, const std::wstring& name, const std::wstring& size);

// Writes dir\yt-dlp.script from lines, and has the fake note the folder it
// runs in.
bool script_ytdlp(const std::wstring& dir, const TextLines& lines);
// The folder the fake yt-dlp last ran in (the job's), or empty.
std::wstring last_ytdlp_folder(const std::wstring& dir);
// The look-up folder of Tarnvik's process pid in the temporary folder, or
// empty when it has none.
std::wstring lookup_folder(DWORD pid);
// Writes dir\yt-dlp-lookup.script, which the fake yt-dlp follows for a look-up.
bool script_lookup(const std::wstring& dir, const TextLines& lines);
// Writes dir\yt-dlp-lookup.script for a video of that title and length
// whose information file (dir\video-info.json) lists three chapters, a
// 1080p and a 144p format (headers "User-Agent: TarnvikTest") and 25
// frames a second: the window shows its chapters and the fake ffmpeg's
// pictures of it.
bool script_video_with_pictures(const std::wstring& dir, const std::wstring& title, double seconds);
// Waits until the pictures show the frame at start and the last before end.
bool wait_for_pictures(const UiApp& app, const wchar_t* start, const wchar_t* end);
// The address of that video's 144p format, which the pictures are taken from.
inline const wchar_t PICTURES_FORMAT_URL[] = L"https://media.example/v?itag=160&len=1";

// The arguments the fake yt-dlp last received (argv[0] first).
TextLines last_ytdlp_args(const std::wstring& dir);
// The value after option in args, or empty.
std::wstring arg_after(const TextLines& args, const wchar_t* option);
bool has_arg(const TextLines& args, const wchar_t* arg);
