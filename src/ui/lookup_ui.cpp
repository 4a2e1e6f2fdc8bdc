// The look-up as the window runs it: started once the address has stood
// still for a moment (and again for another "Cookies from"), started only
// while no other work runs (one already running goes on beside a clip),
// stopped by a new address or Esc, and shown on the line under
// the address. A clip asks here what is known about its video.
#include <windows.h>
#include <stdlib.h>
#include <wchar.h>
#include "jobs/lookup.h"
#include "proc/tools.h"
#include "text/address_time.h"
#include "text/hints.h"
#include "ui/pictures.h"
#include "ui/rules.h"
#include "ui/window.h"
#include "win/files.h"
#include "win/globals.h"
#include "win/held_files.h"
#include "win/temp_folder.h"
#include "win/locator.h"

enum {
    SETTLE_MS = 700  // typing pauses shorter than this; a paste is done by then
};

// The media addresses in yt-dlp's information expire after some hours on
// the large sites; an hour leaves room.
static const ULONGLONG INFO_FRESH_MS = 60ull * 60 * 1000;

static const wchar_t LOOKING_UP[] = L"looking up the video…";
static const wchar_t SEVERAL_VIDEOS[] = L"This address holds several videos, not one.";

static unsigned long s_serial;   // the request now in the fields
static Lookup* s_running;        // the running look-up's record, until it reports or is stopped
static Lookup* s_found;          // the answer for the request now in the fields
static int s_due;                // the request waits for a look-up
static wchar_t s_folder[PATH_CAP];  // every look-up's folder lies in it

// Every look-up keeps its folder in one folder of this process, removed
// when the window ends or the session does (end_lookups); one that a crash
// left is removed at a later start.
static int make_lookup_folder(Lookup* lookup)
{
    if (!s_folder[0] && !make_temp_folder(L"lookup", s_folder))
        s_folder[0] = L'\0';
    if (!s_folder[0])
        return 0;
    CreateDirectoryW(s_folder, nullptr);  // again after end_lookups
    wchar_t name[16];
    format_text(name, L"%lu", lookup->serial);
    return join_path(lookup->folder, s_folder, name);
}

// A folder that a running clip may be reading from stays until the end.
static void discard(Lookup* lookup)
{
    if (g_running != RUNNING_CLIP)
        rmtree(lookup->folder);
    free(lookup);
}

static void show_hint()
{
    SetWindowTextW(g_lookup, HELP_TEXT);
}

static int line_fits(HDC dc, const wchar_t* text, LONG width)
{
    SIZE size;
    return GetTextExtentPoint32W(dc, text, (int)wcslen(text), &size) && size.cx <= width;
}

// The longest title that leaves the length on the line.
static void show_video(const VideoInfo& video)
{
    wchar_t text[VIDEO_LINE_CAP];
    RECT box;
    GetClientRect(g_lookup, &box);
    HDC dc = GetDC(g_lookup);
    HGDIOBJ old = SelectObject(dc, (HGDIOBJ)SendMessageW(g_lookup, WM_GETFONT, 0, 0));
    size_t shortest = 0, longest = title_length(video);
    format_video_line(video, longest, text);
    if (!line_fits(dc, text, box.right)) {
        while (shortest + 1 < longest) {
            size_t middle = (shortest + longest) / 2;
            format_video_line(video, middle, text);
            if (line_fits(dc, text, box.right))
                shortest = middle;
            else
                longest = middle;
        }
        format_video_line(video, shortest, text);
    }
    SelectObject(dc, old);
    ReleaseDC(g_lookup, dc);
    SetWindowTextW(g_lookup, text);
}

// A shared link often starts at a point in the video; a Start the user
// typed is theirs.
static void take_start_from_address(const wchar_t* url)
{
    double seconds;
    if (GetWindowTextLengthW(g_start) != 0 || !start_time_in_address(url, seconds))
        return;
    wchar_t text[VIDEO_LENGTH_CAP];
    format_length(seconds, text);
    SetWindowTextW(g_start, text);
}

static void read_request(Lookup* lookup)
{
    GetWindowTextW(g_url, lookup->url, CLIP_URL_CAP);
    LRESULT browser = SendMessageW(g_cookies, CB_GETCURSEL, 0, 0);
    format_text(lookup->cookies, L"%ls", COOKIE_NAMES[browser >= 0 && browser < COOKIE_COUNT ? browser : 0]);
}

// Stops the running look-up and forgets it. Its thread reports once its
// output pipe has closed, which a process still holding that pipe can put
// off for long; the next look-up does not wait for it, and the late report
// is dropped by its serial (or, after Esc, shows the hint again).
static void stop_running_lookup()
{
    if (!s_running)
        return;
    cancel_lookup();
    s_running = nullptr;
}

static void start_due_lookup()
{
    wchar_t ytdlp[PATH_CAP];
    // One running look-up at a time, and the log holds only the lines of
    // the work that runs.
    if (!s_due || s_running || g_running != RUNNING_NOTHING)
        return;
    s_due = 0;
    Lookup* lookup = (Lookup*)calloc(1, sizeof(Lookup));
    if (!lookup)
        return;
    lookup->serial = s_serial;
    read_request(lookup);
    if (!is_http_url(lookup->url) || !find_tool(TOOL_YTDLP, ytdlp) || !make_lookup_folder(lookup) ||
        !start_lookup(lookup)) {
        free(lookup);
        return;
    }
    s_running = lookup;
    SetWindowTextW(g_lookup, LOOKING_UP);
}

void on_request_change()
{
    KillTimer(g_main, LOOKUP_TIMER);
    ++s_serial;
    s_due = 0;
    if (s_found) {
        discard(s_found);
        s_found = nullptr;
    }
    stop_running_lookup();
    show_hint();
    show_chapters(nullptr);
    forget_video_pictures();
    wchar_t url[CLIP_URL_CAP];
    GetWindowTextW(g_url, url, CLIP_URL_CAP);
    if (is_http_url(url))
        SetTimer(g_main, LOOKUP_TIMER, SETTLE_MS, nullptr);
}

void on_lookup_timer()
{
    KillTimer(g_main, LOOKUP_TIMER);
    wchar_t url[CLIP_URL_CAP];
    GetWindowTextW(g_url, url, CLIP_URL_CAP);
    take_start_from_address(url);
    s_due = 1;
    start_due_lookup();
}

void resume_lookup()
{
    start_due_lookup();
}

void stop_lookup_for_work()
{
    if (s_running) {
        s_due = 1;
        cancel_lookup();
    }
}

void cancel_running_lookup()
{
    KillTimer(g_main, LOOKUP_TIMER);
    s_due = 0;
    stop_running_lookup();
}

// yt-dlp's own lines and the plain-words hint, as after a failed clip; not
// while other work writes its lines there.
static void log_failure(const Lookup* lookup)
{
    if (g_running != RUNNING_NOTHING)
        return;
    wchar_t line[LOOKUP_OUTPUT_CAP];
    const wchar_t* p = lookup->output;
    while (const wchar_t* end = wcschr(p, L'\n')) {
        format_text(line, L"%.*ls", (int)(end - p), p);
        append_to_log(line);
        p = end + 1;
    }
    log_failure_hint(lookup->cause);
}

void on_lookup_done(LPARAM record)
{
    Lookup* lookup = (Lookup*)record;
    if (lookup == s_running)
        s_running = nullptr;
    if (lookup->serial != s_serial || lookup->outcome == LOOKUP_CANCELLED) {
        if (lookup->serial == s_serial)
            show_hint();  // stopped by Esc: the address stays as it was
        discard(lookup);
    } else if (lookup->outcome == LOOKUP_FOUND) {
        s_found = lookup;
        show_video(lookup->video);
        show_chapters(&lookup->details);
        // A live stream's frames move on while they are looked at.
        if (!lookup->video.live)
            show_video_pictures(lookup->url, lookup->cookies, lookup->video.video_length, lookup->details);
    } else if (lookup->outcome == LOOKUP_SEVERAL) {
        // Nothing to check times against: a clip of such an address is
        // cut as it always was.
        SetWindowTextW(g_lookup, SEVERAL_VIDEOS);
        discard(lookup);
    } else {
        SetWindowTextW(g_lookup, lookup_failure_sentence(lookup->cause));
        log_failure(lookup);
        discard(lookup);
    }
    start_due_lookup();
}

static const Lookup* found_for(const wchar_t* url, const wchar_t* cookies)
{
    if (!s_found || wcscmp(s_found->url, url) != 0 || wcscmp(s_found->cookies, cookies) != 0)
        return nullptr;
    return s_found;
}

const VideoInfo* known_video(const wchar_t* url, const wchar_t* cookies)
{
    const Lookup* found = found_for(url, cookies);
    return found && !found->video.live ? &found->video : nullptr;
}

const VideoDetails* known_details()
{
    return s_found && !s_found->video.live ? &s_found->details : nullptr;
}

double known_video_length()
{
    return s_found && !s_found->video.live ? s_found->video.video_length : -1;
}

int kept_info_file(const wchar_t* url, const wchar_t* cookies, wchar_t (&file)[PATH_CAP])
{
    const Lookup* found = found_for(url, cookies);
    file[0] = L'\0';
    // A live stream's information is out of date as soon as it is written.
    if (!found || found->video.live || !found->info_file[0] || GetTickCount64() - found->finished >= INFO_FRESH_MS)
        return 0;
    // yt-dlp expands "%NAME%" and "$NAME" in this path: one that holds such
    // a sign might name another file, so the address is used instead.
    if (wcspbrk(found->info_file, L"%$"))
        return 0;
    return format_text(file, L"%ls", found->info_file);
}

void end_lookups()
{
    cancel_running_lookup();
    // The stopped yt-dlp lets go of its files a moment after it ended.
    if (s_folder[0])
        rmtree(s_folder);
}
