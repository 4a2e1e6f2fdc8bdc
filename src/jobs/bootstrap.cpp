// First-run set-up: fetches each missing tool with the system's curl,
// unpacks archives with its tar and moves the executables next to the program.
#include "jobs/bootstrap.h"
#include <wchar.h>
#include "jobs/files.h"
#include "jobs/globals.h"
#include "jobs/locator.h"
#include "jobs/messages.h"
#include "proc/runner.h"
#include "proc/tools.h"
#include "text/bounded.h"
#include "text/cmdline.h"

enum {
    TOOL_LINE_CAP = 4096,  // curl and tar command lines
    RMTREE_LINE_CAP = 520,
    REMOVAL_CAP = 292      // "rmdir /s /q" and a quoted folder
};

// TARNVIK_DOWNLOAD_HOST is the release host of the tools' projects, set by
// the build (its cache variable lets a test build point it elsewhere).
static const wchar_t YTDLP_URL[] =
    TARNVIK_DOWNLOAD_HOST L"/yt-dlp/yt-dlp/releases/latest/download/yt-dlp.exe";
static const wchar_t YTDLP_LABEL[] = L"yt-dlp.exe (~20 MB)";
static const wchar_t YTDLP_FILE[] = L"yt-dlp.exe";
// Until curl has finished, yt-dlp lives under a name that find_tool never
// takes, so a broken download cannot pass for an installed tool.
static const wchar_t YTDLP_PARTIAL_FORMAT[] = L"%ls\\yt-dlp.exe.part";

struct ToolArchive {
    const wchar_t* url;
    const wchar_t* label;
    const wchar_t* archive_format;  // in the temporary folder, which ends in '\'
    const wchar_t* folder_format;
    const wchar_t* unpack_log;
    const wchar_t* files[2];        // taken from the archive; null ends the list
};

static const ToolArchive FFMPEG_ARCHIVE = {
    TARNVIK_DOWNLOAD_HOST
    L"/yt-dlp/FFmpeg-Builds/releases/download/latest/ffmpeg-master-latest-win64-gpl.zip",
    L"ffmpeg (~100 MB — takes a minute)",
    L"%lstarnvik_ffmpeg.zip",
    L"%lstarnvik_ffmpeg_x",
    L"[setup] unpacking ffmpeg ...",
    {L"ffmpeg.exe", L"ffprobe.exe"}};

static const ToolArchive DENO_ARCHIVE = {
    TARNVIK_DOWNLOAD_HOST L"/denoland/deno/releases/latest/download/deno-x86_64-pc-windows-msvc.zip",
    L"deno (~40 MB)",
    L"%lstarnvik_deno.zip",
    L"%lstarnvik_deno_x",
    L"[setup] unpacking deno ...",
    {L"deno.exe", nullptr}};

static const wchar_t* const CURL_OPTIONS[] = {CURL_FOLLOW, CURL_PROGRESS_BAR, CURL_FAIL, CURL_OUTPUT};

int dl(const wchar_t* url, const wchar_t* target, const wchar_t* label)
{
    if (cancel_requested())
        return 0;
    post_logf(L"[setup] downloading %ls ...", label);
    wchar_t line[TOOL_LINE_CAP] = {0};
    append_arg(line, TOOL_LINE_CAP, CURL_EXE);
    for (const wchar_t* option : CURL_OPTIONS)
        append_arg(line, TOOL_LINE_CAP, option);
    append_arg(line, TOOL_LINE_CAP, target);
    append_arg(line, TOOL_LINE_CAP, url);
    unsigned long code = run_logged(line, 0);
    if (code == 0 && is_file(target))
        return 1;
    if (code != RUN_CANCELLED)
        post_logf(L"[setup] download of %ls FAILED (curl exit %lu)", label, code);
    return 0;
}

int unzip(const wchar_t* archive, const wchar_t* folder)
{
    CreateDirectoryW(folder, NULL);  // may exist from an earlier run
    wchar_t line[TOOL_LINE_CAP] = {0};
    append_arg(line, TOOL_LINE_CAP, TAR_EXE);
    append_arg(line, TOOL_LINE_CAP, TAR_EXTRACT);
    append_arg(line, TOOL_LINE_CAP, archive);
    append_arg(line, TOOL_LINE_CAP, TAR_INTO);
    append_arg(line, TOOL_LINE_CAP, folder);
    return run_logged(line, 0) == 0;
}

static int install_file(const wchar_t* source, const wchar_t* name)
{
    wchar_t target[PATH_CAP];
    if (!format_text(target, PATH_CAP, L"%ls\\%ls", g_appdir, name))
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
        if (is_dot_entry(entry.cFileName) ||
            !format_text(path, PATH_CAP, L"%ls\\%ls", folder, entry.cFileName))
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
    wchar_t removal[REMOVAL_CAP] = {0};
    // A cut folder name would remove some other folder.
    if (!format_text(removal, REMOVAL_CAP, CMD_RMDIR_FORMAT, folder))
        return;
    wchar_t line[RMTREE_LINE_CAP] = {0};
    append_arg(line, RMTREE_LINE_CAP, CMD_EXE);
    append_arg(line, RMTREE_LINE_CAP, CMD_RUN);
    // Appended as it stands: the quotes are part of cmd's own syntax here.
    size_t used = wcslen(line);
    if (!format_text(line + used, RMTREE_LINE_CAP - used, L" %ls", removal))
        return;
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
    wchar_t partial[PATH_CAP];
    if (!format_text(partial, PATH_CAP, YTDLP_PARTIAL_FORMAT, g_appdir)) {
        post_logf(L"[setup] program folder path too long for %ls", YTDLP_LABEL);
        return 0;
    }
    int ok = dl(YTDLP_URL, partial, YTDLP_LABEL) &&
             report_install(install_file(partial, YTDLP_FILE), YTDLP_FILE);
    DeleteFileW(partial);  // whatever a failed download or move left behind
    return ok;
}

// temp: the temporary folder with its trailing backslash, or empty.
static int install_archive(const ToolArchive* tool, const wchar_t* temp)
{
    wchar_t archive[PATH_CAP], folder[PATH_CAP];
    if (!temp[0] || !format_text(archive, PATH_CAP, tool->archive_format, temp) ||
        !format_text(folder, PATH_CAP, tool->folder_format, temp)) {
        post_logf(L"[setup] no usable temporary folder for %ls", tool->label);
        return 0;
    }
    if (!dl(tool->url, archive, tool->label)) {
        DeleteFileW(archive);  // a broken or cancelled download's part
        return 0;
    }
    post_log(tool->unpack_log);
    int ok = unzip(archive, folder);
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
