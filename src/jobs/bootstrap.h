// Installing the tools next to the program: the first-run worker, and the
// steps that the update worker shares with it.
#pragma once
#include <windows.h>
#include "jobs/download.h"
#include "win/globals.h"

// bootstrap_thread: thread routine (param unused). Downloads each missing tool; ends by
// posting WM_APP_SETUP_DONE once (lParam SETUP_BY_FIRST_RUN).
DWORD WINAPI bootstrap_thread(LPVOID param);

// The tools in the order they are set up, each from one download.
enum ToolStepId { STEP_YTDLP, STEP_FFMPEG, STEP_DENO, STEP_COUNT };

// The file next to the tools that lists, as "HEX  NAME" lines, the SHA-256
// and name of the archive each of ffmpeg and deno was last installed from.
extern const wchar_t INSTALL_RECORD[];

// The step's tool as the log names it: "yt-dlp".
const wchar_t* step_tool(int step);
// Finds the step's download and its sum in its publisher's sums file as
// it is now; for ffmpeg, in a second release when the first is gone (said
// in the log). 1 with listed filled, else 0 with the reason logged.
int fetch_step_sum(int step, SetupContext* context, ListedFile* listed);
// 1 when every file of the step is next to the program and came from the
// listed download: yt-dlp.exe by its own sum, an archive's tools by the
// install record.
int step_is_current(int step, const ListedFile* listed);
// Downloads the listed file, checks it against its sum and puts each of
// the step's files next to the program, replacing an older one in one
// step; an archive's name and sum go into the install record. 1 when all
// of it went.
int install_step(int step, SetupContext* context, const ListedFile* listed);

// unzip: unpacks archive into folder (both named relative to work, where tar runs)
// with the system's tar; folder is created first. 1 when tar succeeded.
int unzip(const wchar_t* work, const wchar_t* archive, const wchar_t* folder);
// harvest: takes name (any letter case) from folder, where the verified
// archive holds it, and copies it into the program folder as name. 1 when
// it was there and is installed.
int harvest(const wchar_t* folder, const wchar_t* name);
