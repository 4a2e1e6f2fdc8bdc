// First-run set-up: fetches each missing tool with the system's curl,
// checks it against its publisher's SHA-256, unpacks archives with the
// system's tar and moves the executables next to the program.
#include "jobs/bootstrap.h"
#include <wchar.h>
#include "jobs/download.h"
#include "jobs/files.h"
#include "jobs/globals.h"
#include "jobs/locator.h"
#include "jobs/messages.h"
#include "proc/runner.h"
#include "proc/system.h"
#include "proc/tools.h"
#include "text/bounded.h"
#include "text/cmdline.h"

enum { REMOVAL_CAP = 292 };  // "rmdir /s /q" and a quoted folder

// TARNVIK_DOWNLOAD_HOST is the release host of the tools' projects, set by
// the build (its cache variable lets a test build point it elsewhere).
#define YTDLP_RELEASE TARNVIK_DOWNLOAD_HOST L"/yt-dlp/yt-dlp/releases/latest/download/"
#define FFMPEG_RELEASE TARNVIK_DOWNLOAD_HOST L"/yt-dlp/FFmpeg-Builds/releases/download/latest/"
#define DENO_RELEASE TARNVIK_DOWNLOAD_HOST L"/denoland/deno/releases/latest/download/"

static const wchar_t YTDLP_FILE[] = L"yt-dlp.exe";
// Until it is verified, yt-dlp lives under a name that find_tool never
// takes, so a broken download cannot pass for an installed tool.
static const Published YTDLP_DOWNLOAD = {
    L"yt-dlp", YTDLP_RELEASE L"yt-dlp.exe", L"yt-dlp.exe (~20 MB)", YTDLP_RELEASE L"SHA2-256SUMS",
    "yt-dlp.exe", L"yt-dlp.exe.part", L"yt-dlp.sums.part"};

struct ToolArchive {
    Published download;             // into the temporary folder
    const wchar_t* folder_name;     // unpacked there
    const wchar_t* unpack_log;
    const wchar_t* files[2];        // taken from the archive; null ends the list
};

static const ToolArchive FFMPEG_ARCHIVE = {
    {L"ffmpeg", FFMPEG_RELEASE L"ffmpeg-master-latest-win64-gpl.zip", L"ffmpeg (~100 MB — takes a minute)",
     FFMPEG_RELEASE L"checksums.sha256", "ffmpeg-master-latest-win64-gpl.zip", L"tarnvik_ffmpeg.zip",
     L"tarnvik_ffmpeg.sums"},
    L"tarnvik_ffmpeg_x",
    L"[setup] unpacking ffmpeg ...",
    {L"ffmpeg.exe", L"ffprobe.exe"}};

static const ToolArchive DENO_ARCHIVE = {
    {L"deno", DENO_RELEASE L"deno-x86_64-pc-windows-msvc.zip", L"deno (~40 MB)",
     DENO_RELEASE L"deno-x86_64-pc-windows-msvc.zip.sha256sum", "deno-x86_64-pc-windows-msvc.zip",
     L"tarnvik_deno.zip", L"tarnvik_deno.sums"},
    L"tarnvik_deno_x",
    L"[setup] unpacking deno ...",
    {L"deno.exe", nullptr}};

int unzip(const wchar_t* work, const wchar_t* archive, const wchar_t* folder)
{
    wchar_t tar[PATH_CAP], target[PATH_CAP];
    if (!system_program(TAR_EXE, tar) || !join_path(target, work, folder))
        return 0;
    CreateDirectoryW(target, NULL);  // may exist from an earlier run
    wchar_t line[TOOL_LINE_CAP] = {0};
    append_arg(line, TOOL_LINE_CAP, tar);
    append_arg(line, TOOL_LINE_CAP, TAR_EXTRACT);
    append_arg(line, TOOL_LINE_CAP, archive);
    append_arg(line, TOOL_LINE_CAP, TAR_INTO);
    append_arg(line, TOOL_LINE_CAP, folder);
    return run_in_folder(line, work, NULL, NULL) == 0;
}

static int install_file(const wchar_t* source, const wchar_t* name)
{
    wchar_t target[PATH_CAP];
    if (!join_path(target, g_appdir, name))
        return 0;
    // The temporary folder may lie on another volume than the program (a
    // program on D:\ or a USB stick), where only a copy can move the file.
    if (!MoveFileExW(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
        return 0;
    post_logf(L"[setup] installed %ls", name);
    return 1;
}

int harvest(const wchar_t* folder, const wchar_t* name)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = open_listing(folder, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int result = 0;
    do {
        wchar_t path[PATH_CAP];
        if (is_dot_entry(entry.cFileName) || !join_path(path, folder, entry.cFileName))
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (harvest(path, name)) {
                result = 1;
                break;
            }
        } else if (_wcsicmp(entry.cFileName, name) == 0) {
            // The first match decides, also when it cannot be moved.
            result = install_file(path, name);
            break;
        }
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return result;
}

void rmtree(const wchar_t* folder)
{
    wchar_t removal[REMOVAL_CAP];
    wchar_t line[CMD_LINE_CAP];
    // A cut folder name would remove some other folder.
    if (format_text(removal, CMD_RMDIR_FORMAT, folder) && cmd_line(line, removal))
        run_logged(line, 0);
}

// A wanted file that is missing from the archive or cannot be moved into
// place leaves the tool missing, so it fails the step.
static int report_install(int installed, const wchar_t* name)
{
    if (!installed)
        post_logf(L"[setup] install of %ls FAILED", name);
    return installed;
}

static int install_ytdlp()
{
    if (!fetch_verified(&YTDLP_DOWNLOAD, g_appdir))
        return 0;
    wchar_t partial[PATH_CAP];
    join_path(partial, g_appdir, YTDLP_DOWNLOAD.saved_as);  // fits: it was just made there
    int ok = report_install(install_file(partial, YTDLP_FILE), YTDLP_FILE);
    DeleteFileW(partial);  // whatever a failed move left behind
    return ok;
}

// temp: the temporary folder, or empty.
static int install_archive(const ToolArchive* tool, const wchar_t* temp)
{
    wchar_t archive[PATH_CAP], folder[PATH_CAP];
    if (!temp[0] || !join_path(archive, temp, tool->download.saved_as) ||
        !join_path(folder, temp, tool->folder_name)) {
        post_logf(L"[setup] no usable temporary folder for %ls", tool->download.label);
        return 0;
    }
    if (!fetch_verified(&tool->download, temp))
        return 0;
    post_log(tool->unpack_log);
    int ok = unzip(temp, tool->download.saved_as, tool->folder_name);
    if (ok) {
        for (const wchar_t* file : tool->files)
            if (file && !report_install(harvest(folder, file), file))
                ok = 0;
    } else if (!cancel_requested()) {
        post_log(L"[setup] unpack FAILED");
    }
    rmtree(folder);
    if (cancel_requested())
        remove_folder(folder);  // cmd.exe does not start after a cancel
    DeleteFileW(archive);
    return ok;
}

// Leaves temp empty when the system gives no folder that fits a path buffer.
static void read_temp_folder(wchar_t* temp)
{
    DWORD length = GetTempPathW(PATH_CAP, temp);
    if (length == 0 || length >= PATH_CAP)
        temp[0] = L'\0';
}

DWORD WINAPI bootstrap_thread(LPVOID param)
{
    (void)param;
    wchar_t temp[PATH_CAP];
    read_temp_folder(temp);
    int ok = 1;
    wchar_t found[PATH_CAP];
    // Each check runs when its step begins, after the earlier steps' installs.
    if (!find_tool(TOOL_YTDLP, found) && !install_ytdlp())
        ok = 0;
    if ((!find_tool(TOOL_FFMPEG, found) || !find_tool(TOOL_FFPROBE, found)) &&
        !install_archive(&FFMPEG_ARCHIVE, temp))
        ok = 0;
    if (!find_tool(TOOL_DENO, found) && !install_archive(&DENO_ARCHIVE, temp))
        ok = 0;
    // A cancel that came after the last step was done changes nothing.
    WPARAM result = ok ? SETUP_OK : cancel_requested() ? SETUP_CANCELLED : SETUP_FAILED;
    post_message(WM_APP_SETUP_DONE, result, 0);
    return 0;
}
