// Installing the tools: fetches a tool with the system's curl, checks it
// against its publisher's SHA-256, unpacks archives with the system's tar
// and puts the executables next to the program. The first-run worker
// installs each tool that is missing.
#include "jobs/bootstrap.h"
#include <string.h>
#include <wchar.h>
#include "jobs/download.h"
#include "jobs/messages.h"
#include "jobs/run_logged.h"
#include "proc/runner.h"
#include "proc/system.h"
#include "proc/tools.h"
#include "text/bounded.h"
#include "text/cmdline.h"
#include "win/files.h"
#include "win/globals.h"
#include "win/held_files.h"
#include "win/locator.h"
#include "win/sha256.h"
#include "win/temp_folder.h"

enum {
    RECORD_CAP = 4096  // the install record: two lines, read tolerantly
};

// TARNVIK_DOWNLOAD_HOST is the release host of the tools' projects, set by
// the build (its cache variable lets a test build point it elsewhere).
#define YTDLP_RELEASE TARNVIK_DOWNLOAD_HOST L"/yt-dlp/yt-dlp/releases/latest/download/"
#define FFMPEG_BUILDS TARNVIK_DOWNLOAD_HOST L"/BtbN/FFmpeg-Builds/releases/download/"
#define DENO_RELEASE TARNVIK_DOWNLOAD_HOST L"/denoland/deno/releases/latest/download/"

// The ffmpeg that is installed: a dated release of the ffmpeg builds, the
// last monthly one with the 8.0 release line. yt-dlp's --download-sections
// fails or hangs with ffmpeg 8.1 and with some builds of ffmpeg's
// development head ("master", which yt-dlp's own builds now publish only),
// and dated releases stay for two years, where "latest" changes every day.
// Move it on only to a build that was tried with section downloads.
#define FFMPEG_PIN L"autobuild-2026-02-28-12-59"
// Its asset names carry a build number: the sums file tells the one to take.
static const char FFMPEG_PINNED_ASSET[] = "ffmpeg-n8.0*-win64-gpl-8.0.zip";
// Only when the pinned release is gone: from "latest", the newest build of
// the pinned release line, or without one the newest release line.
static const char FFMPEG_LATEST_PINNED_LINE[] = "ffmpeg-n8.0-latest-win64-gpl-8.0.zip";
static const char FFMPEG_LATEST_ASSET[] = "ffmpeg-n#-latest-win64-gpl-#.zip";

// Until it is verified, yt-dlp lives under a name that find_tool never
// takes, so a broken download cannot pass for an installed tool; the same
// name stages every file that replaces a tool (install_file).
static const wchar_t STAGED_FORMAT[] = L"%ls.part";
static const wchar_t INSTALL_RECORD_STAGED[] = L"installed-tools.sha256.part";

static const Published FFMPEG_LATEST = {
    L"ffmpeg", FFMPEG_BUILDS L"latest/", FFMPEG_LATEST_ASSET, 1, L"ffmpeg (~100 MB — takes a minute)",
    FFMPEG_BUILDS L"latest/checksums.sha256", L"tarnvik_ffmpeg.zip", L"tarnvik_ffmpeg.sums", FFMPEG_LATEST_PINNED_LINE};

struct ToolStep {
    Published download;             // an archive into the temporary folder, yt-dlp into the program folder
    const Published* fallback;      // where to look when the release is gone; may be null
    const char* record_family;      // how the names of the step's downloads begin (the install record)
    // Where the files lie in the archive: "" at its top, "*\\bin" in the
    // bin folder of its one top folder; null: the download is no archive.
    const wchar_t* archive_folder;
    const wchar_t* unpack_log;
    const wchar_t* files[2];        // what it puts next to the program; null ends the list
};

// In the order the tools are set up, indexed by ToolStepId.
static const ToolStep STEPS[STEP_COUNT] = {
    {{L"yt-dlp", YTDLP_RELEASE, "yt-dlp.exe", 0, L"yt-dlp.exe (~20 MB)", YTDLP_RELEASE L"SHA2-256SUMS",
      L"yt-dlp.exe.part", L"yt-dlp.sums.part", nullptr},
     nullptr,
     "yt-dlp.exe",
     nullptr,
     nullptr,
     {L"yt-dlp.exe", nullptr}},
    {{L"ffmpeg", FFMPEG_BUILDS FFMPEG_PIN L"/", FFMPEG_PINNED_ASSET, 0, L"ffmpeg (~100 MB — takes a minute)",
      FFMPEG_BUILDS FFMPEG_PIN L"/checksums.sha256", L"tarnvik_ffmpeg.zip", L"tarnvik_ffmpeg.sums", nullptr},
     &FFMPEG_LATEST,
     "ffmpeg-",
     L"*\\bin",
     L"[setup] unpacking ffmpeg ...",
     {L"ffmpeg.exe", L"ffprobe.exe"}},
    {{L"deno", DENO_RELEASE, "deno-x86_64-pc-windows-msvc.zip", 0, L"deno (~40 MB)",
      DENO_RELEASE L"deno-x86_64-pc-windows-msvc.zip.sha256sum", L"tarnvik_deno.zip", L"tarnvik_deno.sums", nullptr},
     nullptr,
     "deno-",
     L"",
     L"[setup] unpacking deno ...",
     {L"deno.exe", nullptr}},
};

const wchar_t INSTALL_RECORD[] = L"installed-tools.sha256";

int unzip(const wchar_t* work, const wchar_t* archive, const wchar_t* folder)
{
    wchar_t tar[PATH_CAP], target[PATH_CAP];
    if (!system_program(TAR_EXE, tar) || !join_path(target, work, folder))
        return 0;
    CreateDirectoryW(target, NULL);  // made beforehand, as a rule
    wchar_t line[TOOL_LINE_CAP] = {0};
    append_arg(line, TOOL_LINE_CAP, tar);
    append_arg(line, TOOL_LINE_CAP, TAR_EXTRACT);
    append_arg(line, TOOL_LINE_CAP, archive);
    append_arg(line, TOOL_LINE_CAP, TAR_INTO);
    append_arg(line, TOOL_LINE_CAP, folder);
    return run_in_folder(line, work, NULL, NULL) == 0;
}

// Puts source next to the program as name, replacing any older copy in one
// step: first copied beside it under a temporary name, then renamed over
// it. A copy, not a move, so the tool gets the program folder's permissions
// rather than those of the temporary folder (where other accounts may not
// read), also when that lies on another volume. A failure at any point
// leaves the old file as it was.
static int install_file(const wchar_t* source, const wchar_t* name)
{
    wchar_t target[PATH_CAP], staged_name[PATH_CAP], staged[PATH_CAP];
    if (!join_path(target, g_appdir, name) || !format_text(staged_name, STAGED_FORMAT, name) ||
        !join_path(staged, g_appdir, staged_name))
        return 0;
    int existed = is_file(target);
    if (_wcsicmp(source, staged) != 0 && !copy_file_through(source, staged))
        return 0;
    if (!replace_file(staged, target)) {
        post_logf(L"[setup] %ls could not be replaced (Windows error %lu) — the old one is unchanged", name,
                  GetLastError());
        return 0;
    }
    post_logf(existed ? L"[setup] replaced %ls with the checked download" : L"[setup] installed %ls", name);
    return 1;
}

int harvest(const wchar_t* folder, const wchar_t* name)
{
    wchar_t path[PATH_CAP];
    return join_path(path, folder, name) && is_file(path) && install_file(path, name);
}

// A wanted file that is missing from the archive or cannot be put into
// place leaves the tool missing, so it fails the step.
static int report_install(int installed, const wchar_t* name)
{
    if (!installed)
        post_logf(L"[setup] install of %ls FAILED", name);
    return installed;
}

// The record of which archive each tool came from lets an update tell a
// changed release without downloading it. One that cannot be written only
// costs the next update a download.
static void record_install(const ToolStep* step, const ListedFile* listed)
{
    wchar_t path[PATH_CAP], staged[PATH_CAP];
    unsigned char old[RECORD_CAP];
    char text[RECORD_CAP];
    size_t length = 0;
    if (join_path(path, g_appdir, INSTALL_RECORD) && join_path(staged, g_appdir, INSTALL_RECORD_STAGED)) {
        if (!read_file_start(path, old, sizeof old, &length))
            length = 0;  // none yet
        if (record_listed_sum(old, length, step->record_family, listed->name, listed->hex, text, sizeof text) &&
            write_new_file(staged, text, strlen(text)) && replace_file(staged, path))
            return;
    }
    post_logf(L"[setup] could not note which %ls was installed; the next update fetches it again",
              step->download.tool);
}

static int install_ytdlp(const ToolStep* step, SetupContext* context, const ListedFile* listed)
{
    if (!fetch_matching(context, listed, g_appdir))
        return 0;
    wchar_t partial[PATH_CAP];
    join_path(partial, g_appdir, step->download.saved_as);  // fits: it was just made there
    int ok = report_install(install_file(partial, step->files[0]), step->files[0]);
    delete_file(partial);  // whatever a failed install left behind
    return ok;
}

static int report_no_temp(const ToolStep* step)
{
    post_logf(L"[setup] no usable temporary folder for %ls", step->download.label);
    return 0;
}

// The folder of the unpacked archive that holds the step's files: a "*"
// stands for the archive's one top folder. 1 when it is there.
static int files_folder(const ToolStep* step, const wchar_t* unpacked, wchar_t (&folder)[PATH_CAP])
{
    const wchar_t* within = step->archive_folder;
    if (within[0] != L'*')
        return join_path(folder, unpacked, within);
    WIN32_FIND_DATAW entry;
    HANDLE find = open_listing(unpacked, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int tops = 0, found = 0;
    do {
        if (is_dot_entry(entry.cFileName))
            continue;
        tops++;
        wchar_t top[PATH_CAP];
        found = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && join_path(top, unpacked, entry.cFileName) &&
                join_path(folder, top, within + 2);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return tops == 1 && found;
}

// Unpacked into a fresh folder of this run's own, so that nothing but the
// verified archive can be installed: no folder an earlier, interrupted
// unpack left behind, and only the paths the archive holds its files at.
static int unpack_and_install(const ToolStep* step, const ListedFile* listed, const wchar_t* temp,
                              const wchar_t* unpacked)
{
    post_log(step->unpack_log);
    if (!unzip(temp, step->download.saved_as, folder_name(unpacked))) {
        if (!cancel_requested())
            post_log(L"[setup] unpack FAILED");
        return 0;
    }
    wchar_t folder[PATH_CAP];
    int found = files_folder(step, unpacked, folder);
    int ok = 1;
    for (const wchar_t* file : step->files)
        if (file && !report_install(found && harvest(folder, file), file))
            ok = 0;
    if (ok)
        record_install(step, listed);
    return ok;
}

static int install_archive(const ToolStep* step, SetupContext* context, const ListedFile* listed)
{
    const wchar_t* temp = context->temp;
    wchar_t archive[PATH_CAP], unpacked[PATH_CAP];
    if (!temp[0] || !join_path(archive, temp, step->download.saved_as))
        return report_no_temp(step);
    if (!fetch_matching(context, listed, temp))
        return 0;
    int ok = 0;
    if (make_temp_folder(L"unpack", unpacked)) {
        ok = unpack_and_install(step, listed, temp, unpacked);
        if (!rmtree(unpacked))
            post_logf(L"[setup] the unpacked files could not be removed: %ls", unpacked);
    } else {
        report_no_temp(step);
    }
    delete_file(archive);
    return ok;
}

// Archives are fetched into the temporary folder, yt-dlp next to the program.
static const wchar_t* download_folder(const ToolStep* step, SetupContext* context)
{
    return step->archive_folder ? context->temp : g_appdir;
}

const wchar_t* step_tool(int step)
{
    return STEPS[step].download.tool;
}

int fetch_step_sum(int step, SetupContext* context, ListedFile* listed)
{
    const ToolStep* s = &STEPS[step];
    const wchar_t* folder = download_folder(s, context);
    if (!folder[0])
        return report_no_temp(s);
    int found = fetch_listed_sum(context, &s->download, folder, listed);
    if (found != DL_NOT_THERE)
        return found;
    if (!s->fallback) {
        report_sums_unfetched(&s->download);
        return 0;
    }
    post_logf(L"[setup] the %ls release Tarnvik installs is gone from the release host — taking the newest build "
              L"of its release line (or else of the newest line) from its \"latest\" release instead",
              s->download.tool);
    found = fetch_listed_sum(context, s->fallback, folder, listed);
    if (found == DL_NOT_THERE)
        report_sums_unfetched(s->fallback);
    return found == 1;
}

int install_step(int step, SetupContext* context, const ListedFile* listed)
{
    const ToolStep* s = &STEPS[step];
    return s->archive_folder ? install_archive(s, context, listed) : install_ytdlp(s, context, listed);
}

// The sum the install record holds for the archive name.
static int recorded_sum(const char* name, char (&hex)[SHA256_HEX_CAP])
{
    wchar_t path[PATH_CAP];
    unsigned char text[RECORD_CAP];
    size_t length = 0;
    return join_path(path, g_appdir, INSTALL_RECORD) && read_file_start(path, text, sizeof text, &length) &&
           find_listed_sum(text, length, name, hex);
}

int step_is_current(int step, const ListedFile* listed)
{
    const ToolStep* s = &STEPS[step];
    wchar_t path[PATH_CAP];
    for (const wchar_t* file : s->files)
        if (file && (!join_path(path, g_appdir, file) || !is_file(path)))
            return 0;
    char installed[SHA256_HEX_CAP];
    // yt-dlp is one file and tells by its own sum; an archive's tools by the record.
    int known = s->archive_folder ? recorded_sum(listed->name, installed)
                               : join_path(path, g_appdir, s->files[0]) && sha256_file(path, installed);
    return known && same_sum(installed, listed->hex);
}

static int fetch_and_install(int step, SetupContext* context)
{
    ListedFile listed;
    return fetch_step_sum(step, context, &listed) == 1 && install_step(step, context, &listed);
}

DWORD WINAPI bootstrap_thread(LPVOID param)
{
    (void)param;
    SetupContext context;
    begin_setup(&context);
    int ok = 1;
    wchar_t found[PATH_CAP];
    // Each check runs when its step begins, after the earlier steps' installs.
    if (!find_tool(TOOL_YTDLP, found) && !fetch_and_install(STEP_YTDLP, &context))
        ok = 0;
    if ((!find_tool(TOOL_FFMPEG, found) || !find_tool(TOOL_FFPROBE, found)) &&
        !fetch_and_install(STEP_FFMPEG, &context))
        ok = 0;
    if (!find_tool(TOOL_DENO, found) && !fetch_and_install(STEP_DENO, &context))
        ok = 0;
    // A cancel that came after the last step was done changes nothing.
    end_setup(&context);
    WPARAM result = ok ? SETUP_OK : cancel_requested() ? SETUP_CANCELLED : SETUP_FAILED;
    post_message(WM_APP_SETUP_DONE, result, SETUP_BY_FIRST_RUN);
    return 0;
}
