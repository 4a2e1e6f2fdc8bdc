#include "jobs/download.h"
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include "jobs/messages.h"
#include "jobs/run_logged.h"
#include "proc/runner.h"
#include "proc/system.h"
#include "proc/tools.h"
#include "text/bounded.h"
#include "text/cmdline.h"
#include "text/curl_errors.h"
#include "win/files.h"
#include "win/held_files.h"
#include "win/proxy.h"
#include "win/sha256.h"

// Three of them span about five minutes, longer than a rebuilt release
// takes to be back.
unsigned long g_not_found_pause_ms = 100000;

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

static unsigned long run_curl(SetupContext* context, const wchar_t* url, const wchar_t* folder,
                              const wchar_t* name, long max_seconds, int no_revoke, CurlSeen* seen)
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
    wchar_t proxy[PROXY_CAP];
    if (proxy_for(&context->proxy, url, proxy)) {
        append_arg(line, TOOL_LINE_CAP, CURL_PROXY);
        append_arg(line, TOOL_LINE_CAP, proxy);
        append_arg(line, TOOL_LINE_CAP, CURL_PROXY_ANYAUTH);
        append_arg(line, TOOL_LINE_CAP, CURL_PROXY_USER);
        append_arg(line, TOOL_LINE_CAP, CURL_CURRENT_USER);
    }
    // Said when it changes: the first proxy, and any other after it.
    if (wcscmp(proxy, context->proxy_logged) != 0) {
        if (proxy[0])
            post_logf(L"[setup] using the proxy %ls, as Windows' proxy settings say", proxy);
        else
            post_log(L"[setup] going without a proxy from here, as Windows' proxy settings say");
        format_text(context->proxy_logged, L"%ls", proxy);
    }
    append_arg(line, TOOL_LINE_CAP, CURL_OUTPUT);
    append_arg(line, TOOL_LINE_CAP, name);
    append_arg(line, TOOL_LINE_CAP, url);
    return run_in_folder(line, folder, watch_curl, seen);
}

// The last part of a URL: the file the release host did not have.
static const wchar_t* url_file(const wchar_t* url)
{
    const wchar_t* slash = wcsrchr(url, L'/');
    return slash ? slash + 1 : url;
}

// Runs curl until a try ends for good: the revocation retry happens at most
// once, a 404's after each pause. curl's exit code, with what it said last
// in seen; RUN_CANCELLED when a pause was cut short.
static unsigned long run_curl_with_retries(SetupContext* context, const wchar_t* url, const wchar_t* folder,
                                           const wchar_t* name, const wchar_t* label, long max_seconds,
                                           CurlSeen* seen)
{
    int no_revoke = 0, pauses = 0;
    for (;;) {
        *seen = CurlSeen{0, 0};
        unsigned long code = run_curl(context, url, folder, name, max_seconds, no_revoke, seen);
        if (code == CURL_EXIT_TLS_CONNECT && seen->revocation_unchecked && !no_revoke) {
            post_logf(L"[setup] the certificate's revocation could not be checked (a proxy or firewall "
                      L"may block it) — trying %ls again without that check",
                      label);
            no_revoke = 1;
        } else if (code == CURL_EXIT_HTTP_ERROR && seen->not_found && pauses < NOT_FOUND_PAUSES) {
            post_logf(L"[setup] %ls: not on the server right now (404) — trying again in %lu s ...", label,
                      g_not_found_pause_ms / 1000);
            if (!pause_unless_cancelled(g_not_found_pause_ms))
                return RUN_CANCELLED;
            pauses++;
        } else {
            return code;
        }
    }
}

int dl(SetupContext* context, const wchar_t* url, const wchar_t* folder, const wchar_t* name,
       const wchar_t* label, long max_seconds)
{
    if (cancel_requested())
        return 0;
    post_logf(L"[setup] downloading %ls ...", label);
    CurlSeen seen;
    unsigned long code = run_curl_with_retries(context, url, folder, name, label, max_seconds, &seen);
    wchar_t path[PATH_CAP];
    if (code == 0 && join_path(path, folder, name) && is_file(path))
        return 1;
    if (code == CURL_EXIT_HTTP_ERROR && seen.not_found) {
        // Not the user's connection: the host answered, without the file.
        post_logf(L"[setup] the release host did not have %ls", url_file(url));
        return DL_NOT_THERE;
    }
    if (code != RUN_CANCELLED)
        post_logf(L"[setup] download of %ls FAILED (curl exit %lu)", label, code);
    return 0;
}

static void report_long_path(const Published* file, const wchar_t* folder)
{
    post_logf(L"[setup] %ls not installed: the folder path is too long: %ls", file->tool, folder);
}

void report_sums_unfetched(const Published* file)
{
    post_logf(L"[setup] %ls not installed: its publisher's checksums could not be fetched", file->tool);
}

// 1 fetched, 0 failed, DL_NOT_THERE not on the release host.
static int fetch_sums(SetupContext* context, const Published* file, const wchar_t* folder,
                      const wchar_t* path, unsigned char* text, size_t* length)
{
    wchar_t label[LABEL_CAP];
    format_text(label, L"checksums for %ls", file->tool);
    int fetched = dl(context, file->sums_url, folder, file->sums_saved_as, label, SUMS_MAX_SECONDS);
    if (fetched == 1 && !read_file_start(path, text, SUMS_READ_CAP, length))
        fetched = 0;
    delete_file(path);
    return fetched;
}

// A name that can only stand for a file of the release itself in its URL.
static int is_plain_file_name(const char* name)
{
    for (const char* c = name; *c; c++)
        if (!((*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || strchr("._-", *c)))
            return 0;
    return name[0] != '.' && name[0] != '\0';
}

static int find_listed(const Published* file, const unsigned char* text, size_t length, ListedFile* listed)
{
    listed->release = file;
    int found = (file->preferred && find_matching_sum(text, length, file->preferred, 0, listed->name,
                                                      sizeof listed->name, listed->hex)) ||
                find_matching_sum(text, length, file->listed_as, file->newest, listed->name, sizeof listed->name,
                                  listed->hex);
    return found && is_plain_file_name(listed->name);
}

int fetch_listed_sum(SetupContext* context, const Published* file, const wchar_t* folder,
                     ListedFile* listed)
{
    wchar_t path[PATH_CAP];
    if (!join_path(path, folder, file->sums_saved_as)) {
        report_long_path(file, folder);
        return 0;
    }
    unsigned char* text = (unsigned char*)malloc(SUMS_READ_CAP);
    size_t length = 0;
    int fetched = text ? fetch_sums(context, file, folder, path, text, &length) : 0;
    int found = fetched == 1 && find_listed(file, text, length, listed);
    free(text);
    if (fetched == DL_NOT_THERE)
        return DL_NOT_THERE;  // the caller may know another release
    if (!fetched) {
        if (!cancel_requested())
            report_sums_unfetched(file);
    } else if (!found) {
        post_logf(L"[setup] %ls not installed: its publisher's checksums do not list the download", file->tool);
    }
    return found;
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

int fetch_matching(SetupContext* context, const ListedFile* listed, const wchar_t* folder)
{
    const Published* file = listed->release;
    wchar_t path[PATH_CAP], url[URL_CAP];
    if (!join_path(path, folder, file->saved_as)) {
        report_long_path(file, folder);
        return 0;
    }
    wchar_t name[ASSET_NAME_CAP];
    size_t i = 0;
    for (; listed->name[i]; i++)
        name[i] = (wchar_t)listed->name[i];  // plain ASCII (find_listed)
    name[i] = L'\0';
    if (!format_text(url, L"%ls%ls", file->release, name))
        return 0;
    if (dl(context, url, folder, file->saved_as, file->label, TOOL_MAX_SECONDS) == 1 &&
        matches_sum(path, listed->hex, file->tool))
        return 1;
    delete_file(path);  // a broken, foreign or partial download
    return 0;
}

void begin_setup(SetupContext* context)
{
    DWORD length = GetTempPathW(PATH_CAP, context->temp);
    if (length == 0 || length >= PATH_CAP)
        context->temp[0] = L'\0';
    context->proxy_logged[0] = L'\0';  // going direct needs no word
    read_system_proxy(&context->proxy);
}

void end_setup(SetupContext* context)
{
    close_proxy_settings(&context->proxy);
}
