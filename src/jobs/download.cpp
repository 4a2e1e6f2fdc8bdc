#include "jobs/download.h"
#include <stdlib.h>
#include "jobs/files.h"
#include "jobs/messages.h"
#include "jobs/run_logged.h"
#include "jobs/sha256.h"
#include "proc/curl_errors.h"
#include "proc/runner.h"
#include "proc/system.h"
#include "proc/tools.h"
#include "text/bounded.h"
#include "text/cmdline.h"

// Long enough for the release to be back: it is rebuilt within minutes.
unsigned long g_not_found_pause_ms = 30000;

enum { SUMS_READ_CAP = 65536, LABEL_CAP = 64, NUMBER_CAP = 16 };

static const wchar_t* const CURL_OPTIONS[] = {
    CURL_FOLLOW, CURL_PROGRESS_BAR, CURL_FAIL,
    CURL_CONNECT_TIMEOUT, CURL_CONNECT_SECONDS,
    CURL_SPEED_LIMIT, CURL_STALL_BYTES_PER_SECOND, CURL_SPEED_TIME, CURL_STALL_SECONDS,
    CURL_RETRY, CURL_RETRIES, CURL_RETRY_DELAY, CURL_RETRY_DELAY_SECONDS,
    CURL_RETRY_MAX_TIME, CURL_RETRY_WINDOW_SECONDS};

// What curl's output told about a failed try.
struct CurlSeen {
    int revocation_unchecked;
    int not_found;
};

static void watch_curl(const wchar_t* line, void* ctx)
{
    CurlSeen* seen = (CurlSeen*)ctx;
    seen->revocation_unchecked |= is_revocation_unchecked(line);
    seen->not_found |= is_not_found(line);
}

static unsigned long run_curl(const wchar_t* url, const wchar_t* folder, const wchar_t* name,
                              long max_seconds, int no_revoke, CurlSeen* seen)
{
    wchar_t curl[PATH_CAP], seconds[NUMBER_CAP];
    if (!system_program(CURL_EXE, curl))
        return RUN_FAILED;
    format_text(seconds, L"%ld", max_seconds);
    wchar_t line[TOOL_LINE_CAP] = {0};
    append_arg(line, TOOL_LINE_CAP, curl);
    for (const wchar_t* option : CURL_OPTIONS)
        append_arg(line, TOOL_LINE_CAP, option);
    append_arg(line, TOOL_LINE_CAP, CURL_MAX_TIME);
    append_arg(line, TOOL_LINE_CAP, seconds);
    if (no_revoke)
        append_arg(line, TOOL_LINE_CAP, CURL_NO_REVOKE);
    append_arg(line, TOOL_LINE_CAP, CURL_OUTPUT);
    append_arg(line, TOOL_LINE_CAP, name);
    append_arg(line, TOOL_LINE_CAP, url);
    return run_in_folder(line, folder, watch_curl, seen);
}

int dl(const wchar_t* url, const wchar_t* folder, const wchar_t* name, const wchar_t* label,
       long max_seconds)
{
    if (cancel_requested())
        return 0;
    post_logf(L"[setup] downloading %ls ...", label);
    int no_revoke = 0, paused = 0;
    unsigned long code;
    // Each second try happens at most once, so curl runs at most three times.
    for (;;) {
        CurlSeen seen = {0, 0};
        code = run_curl(url, folder, name, max_seconds, no_revoke, &seen);
        if (code == CURL_EXIT_TLS_CONNECT && seen.revocation_unchecked && !no_revoke) {
            post_logf(L"[setup] the certificate's revocation could not be checked (a proxy or firewall "
                      L"may block it) — trying %ls again without that check",
                      label);
            no_revoke = 1;
        } else if (code == CURL_EXIT_HTTP_ERROR && seen.not_found && !paused) {
            post_logf(L"[setup] %ls: not on the server right now (404) — trying again in %lu s ...", label,
                      g_not_found_pause_ms / 1000);
            if (!pause_unless_cancelled(g_not_found_pause_ms))
                return 0;
            paused = 1;
        } else {
            break;
        }
    }
    wchar_t path[PATH_CAP];
    if (code == 0 && join_path(path, folder, name) && is_file(path))
        return 1;
    if (code != RUN_CANCELLED)
        post_logf(L"[setup] download of %ls FAILED (curl exit %lu)", label, code);
    return 0;
}

static void report_long_path(const Published* file, const wchar_t* folder)
{
    post_logf(L"[setup] %ls not installed: the folder path is too long: %ls", file->tool, folder);
}

static int fetch_sums(const Published* file, const wchar_t* folder, const wchar_t* path,
                      unsigned char* text, size_t* length)
{
    wchar_t label[LABEL_CAP];
    format_text(label, L"checksums for %ls", file->tool);
    int fetched = dl(file->sums_url, folder, file->sums_saved_as, label, SUMS_MAX_SECONDS) &&
                  read_file_start(path, text, SUMS_READ_CAP, length);
    DeleteFileW(path);
    return fetched;
}

int fetch_listed_sum(const Published* file, const wchar_t* folder, char (&hex)[SHA256_HEX_CAP])
{
    wchar_t path[PATH_CAP];
    if (!join_path(path, folder, file->sums_saved_as)) {
        report_long_path(file, folder);
        return 0;
    }
    unsigned char* text = (unsigned char*)malloc(SUMS_READ_CAP);
    size_t length = 0;
    int fetched = text && fetch_sums(file, folder, path, text, &length);
    int listed = fetched && find_listed_sum(text, length, file->listed_as, hex);
    free(text);
    if (!fetched) {
        if (!cancel_requested())
            post_logf(L"[setup] %ls not installed: its publisher's checksums could not be fetched", file->tool);
    } else if (!listed) {
        post_logf(L"[setup] %ls not installed: its publisher's checksums do not list the download", file->tool);
    }
    return listed;
}

int matches_sum(const wchar_t* path, const char* hex, const wchar_t* tool)
{
    char actual[SHA256_HEX_CAP];
    if (!sha256_file(path, actual)) {
        post_logf(L"[setup] %ls not installed: the download could not be read for its check", tool);
        return 0;
    }
    if (!same_sum(actual, hex)) {
        post_logf(L"[setup] %ls not installed: the download does not match its publisher's checksum "
                  L"(damaged, or not the real file)",
                  tool);
        return 0;
    }
    return 1;
}

int fetch_matching(const Published* file, const wchar_t* folder, const char* hex)
{
    wchar_t path[PATH_CAP];
    if (!join_path(path, folder, file->saved_as)) {
        report_long_path(file, folder);
        return 0;
    }
    if (dl(file->url, folder, file->saved_as, file->label, TOOL_MAX_SECONDS) && matches_sum(path, hex, file->tool))
        return 1;
    DeleteFileW(path);  // a broken, foreign or partial download
    return 0;
}
