// Installing the tools next to the program: the first-run worker, and the
// steps that the update worker shares with it.
#pragma once
#include <windows.h>
#include "jobs/globals.h"
#include "text/sums.h"

// Thread routine (param unused). Downloads each missing tool; ends by
// posting WM_APP_SETUP_DONE once (lParam SETUP_BY_FIRST_RUN).
DWORD WINAPI bootstrap_thread(LPVOID param);

// The tools in the order they are set up, each from one download.
enum ToolStepId { STEP_YTDLP, STEP_FFMPEG, STEP_DENO, STEP_COUNT };

// The file next to the tools that lists, as "HEX  NAME" lines, the SHA-256
// of the archive each of ffmpeg and deno was last installed from.
extern const wchar_t INSTALL_RECORD[];

// The temporary folder, or empty when the system gives none that fits.
void read_temp_folder(wchar_t (&temp)[PATH_CAP]);
// The step's tool as the log names it: "yt-dlp".
const wchar_t* step_tool(int step);
// Fetches the sum its publisher lists now for the step's download.
int fetch_step_sum(int step, const wchar_t* temp, char (&hex)[SHA256_HEX_CAP]);
// 1 when every file of the step is next to the program and came from the
// download with sum hex: yt-dlp.exe by its own sum, an archive's tools by
// the install record.
int step_is_current(int step, const char* hex);
// Downloads the step's tool, checks it against hex and puts each of its
// files next to the program, replacing an older one in one step; an
// archive's sum goes into the install record. 1 when all of it went.
int install_step(int step, const wchar_t* temp, const char* hex);

// Unpacks archive into folder (both named relative to work, where tar runs)
// with the system's tar; folder is created first. 1 when tar succeeded.
int unzip(const wchar_t* work, const wchar_t* archive, const wchar_t* folder);
// Finds name (any letter case) anywhere under folder and moves it into the
// program folder as name. 1 when found and installed.
int harvest(const wchar_t* folder, const wchar_t* name);
// Removes a folder tree with cmd.exe (after a cancel, without it); the
// result is not looked at.
void rmtree(const wchar_t* folder);
