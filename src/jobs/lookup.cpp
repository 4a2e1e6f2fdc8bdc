// The look-up worker. Its children run in a group of their own, so that
// stopping it never touches a clip and a clip's Cancel never touches it.
#include "jobs/lookup.h"
#include <stdlib.h>
#include <wchar.h>
#include "jobs/messages.h"
#include "proc/runner.h"
#include "proc/tools.h"
#include "text/cmdline.h"
#include "text/hints.h"
#include "win/files.h"
#include "win/locator.h"

enum { LOOKUP_LINE_CAP = 8192 };
// A large site's information file is a few MB at most.
static const size_t INFO_FILE_MOST = 64u << 20;

static ChildGroup g_lookup_group = CHILD_GROUP_INIT;

void build_lookup_command(const Lookup* lookup, const wchar_t* ytdlp, wchar_t* line, size_t cap)
{
    static const wchar_t* const OPTIONS[] = {YTDLP_NO_PLAYLIST, YTDLP_SKIP_DOWNLOAD, YTDLP_NO_SIMULATE,
                                             YTDLP_WRITE_INFO_JSON, YTDLP_OUTPUT, LOOKUP_OUTPUT_NAME,
                                             YTDLP_PRINT, VIDEO_INFO_TEMPLATE, YTDLP_ENCODING, YTDLP_UTF8};
    line[0] = L'\0';
    append_arg(line, cap, ytdlp);
    append_arg(line, cap, lookup->url);
    for (const wchar_t* option : OPTIONS)
        append_arg(line, cap, option);
    append_cookie_args(line, cap, lookup->cookies);
}

// Keeps the lines for the log (as many as fit) and the first cause they
// name; the one line of the template is the answer itself.
static void take_line(void* ctx, const wchar_t* text)
{
    Lookup* lookup = (Lookup*)ctx;
    VideoInfo video;
    if (read_video_info_line(text, video)) {
        // Each further video would cost yt-dlp a look-up of its own, and
        // the answer is known with the second.
        if (++lookup->videos > 1)
            cancel_group(&g_lookup_group);
        lookup->video = video;
        lookup->outcome = LOOKUP_FOUND;
        return;
    }
    if (lookup->cause == CAUSE_NONE)
        lookup->cause = cause_of_line(text);
    size_t used = wcslen(lookup->output), length = wcslen(text);
    if (used + length + 2 > LOOKUP_OUTPUT_CAP)
        return;
    wmemcpy(lookup->output + used, text, length);
    lookup->output[used + length] = L'\n';
    lookup->output[used + length + 1] = L'\0';
}

// Chapters, frame rate and the pictures' format, from the UTF-8 info file.
static void read_details(Lookup* lookup)
{
    unsigned char* bytes = nullptr;
    size_t length = 0;
    if (!read_whole_file(lookup->info_file, INFO_FILE_MOST, &bytes, &length))
        return;
    int units = MultiByteToWideChar(CP_UTF8, 0, (const char*)bytes, (int)length, nullptr, 0);
    wchar_t* text = units > 0 ? (wchar_t*)malloc(((size_t)units + 1) * sizeof(wchar_t)) : nullptr;
    if (text) {
        MultiByteToWideChar(CP_UTF8, 0, (const char*)bytes, (int)length, text, units);
        text[units] = L'\0';
        read_video_details(text, lookup->details);
    }
    free(text);
    free(bytes);
}

static void run_lookup(Lookup* lookup)
{
    wchar_t ytdlp[PATH_CAP];
    wchar_t* line = (wchar_t*)malloc(LOOKUP_LINE_CAP * sizeof(wchar_t));
    if (!line || !find_tool(TOOL_YTDLP, ytdlp) || !CreateDirectoryW(lookup->folder, nullptr)) {
        free(line);
        return;
    }
    build_lookup_command(lookup, ytdlp, line, LOOKUP_LINE_CAP);
    // yt-dlp.exe unpacks itself into its temporary folder and leaves that
    // behind when it is stopped: there, it goes with the look-up's folder.
    ChildRun run = child_run(line, take_line, lookup);
    run.folder = lookup->folder;
    run.temp_folder = lookup->folder;
    run.group = &g_lookup_group;
    unsigned long start_error = 0;
    unsigned long code = run_child(&run, &start_error);
    free(line);
    if (lookup->videos > 1) {
        lookup->outcome = LOOKUP_SEVERAL;
    } else if (code == RUN_CANCELLED || group_cancelled(&g_lookup_group)) {
        lookup->outcome = LOOKUP_CANCELLED;
    } else if (code == RUN_FAILED) {
        // The runner has handed on its own lines about it.
        lookup->cause = cause_of_start_error(start_error);
    } else if (code != 0) {
        lookup->outcome = LOOKUP_FAILED;  // a line read before the failure is no answer
    } else if (lookup->outcome == LOOKUP_FOUND) {
        wchar_t info[PATH_CAP];
        if (join_path(info, lookup->folder, LOOKUP_INFO_FILE) && is_file(info)) {
            format_text(lookup->info_file, L"%ls", info);
            read_details(lookup);
        }
    }
}

static DWORD WINAPI lookup_thread(LPVOID param)
{
    Lookup* lookup = (Lookup*)param;
    run_lookup(lookup);
    lookup->finished = GetTickCount64();
    if (!post_message(WM_APP_LOOKUP_DONE, 0, (LPARAM)lookup))
        free(lookup);  // no window left to take it
    return 0;
}

int start_lookup(Lookup* lookup)
{
    lookup->outcome = LOOKUP_FAILED;
    lookup->videos = 0;
    lookup->cause = CAUSE_NONE;
    lookup->info_file[0] = L'\0';
    lookup->details.fps = 0;
    lookup->details.chapter_count = 0;
    lookup->details.has_preview = 0;
    lookup->output[0] = L'\0';
    // A stopped look-up's thread may still be running: a cancel it misses
    // here only lets its yt-dlp finish, and the window drops its answer.
    reset_group(&g_lookup_group);
    HANDLE thread = CreateThread(nullptr, 0, lookup_thread, lookup, 0, nullptr);
    if (!thread)
        return 0;
    CloseHandle(thread);
    return 1;
}

void cancel_lookup()
{
    cancel_group(&g_lookup_group);
}

void end_lookup()
{
    end_group(&g_lookup_group);
}
