// run_logged: one hidden child, its output read through one pipe and handed
// to the router line by line while it runs.
#include "proc/runner.h"
#include <windows.h>
#include <initializer_list>
#include <stdlib.h>
#include <wchar.h>
#include "jobs/messages.h"
#include "proc/lines.h"
#include "proc/router.h"
#include "text/hints.h"

enum { READ_CHUNK = 2048, WIDE_LINE_CAP = 4096, SYSTEM_TEXT_CAP = 512, GONE_POLLS = 400, GONE_POLL_MS = 5 };

static const unsigned long PAUSE_STEP_MS = 50;

// Every child goes into the job of its group, which dies with this
// process, so closing Tarnvik also ends the hidden yt-dlp, ffmpeg or curl
// and whatever they started; nothing else holds a job's handle.
static BOOL CALLBACK create_children_job(PINIT_ONCE, PVOID param, PVOID*)
{
    ChildGroup* group = (ChildGroup*)param;
    HANDLE job = CreateJobObjectW(NULL, NULL);
    if (!job)
        return TRUE;  // children then simply run unattached
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits;
    ZeroMemory(&limits, sizeof limits);
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        CloseHandle(job);
        return TRUE;
    }
    group->job = job;
    return TRUE;
}

static HANDLE children_job(ChildGroup* group)
{
    InitOnceExecuteOnce(&group->once, create_children_job, group, NULL);
    return group->job;
}

// The worker's children: only one worker runs at a time, so whatever is in
// its job belongs to the work being cancelled.
static ChildGroup g_worker = CHILD_GROUP_INIT;

void reset_group(ChildGroup* group)
{
    InterlockedExchange(&group->cancelled, 0);
}

int group_cancelled(ChildGroup* group)
{
    return InterlockedCompareExchange(&group->cancelled, 0, 0) != 0;
}

void cancel_group(ChildGroup* group)
{
    InterlockedExchange(&group->cancelled, 1);
    if (HANDLE job = children_job(group))
        TerminateJobObject(job, RUN_CANCELLED);
}

void reset_cancel()
{
    reset_group(&g_worker);
}

int cancel_requested()
{
    return group_cancelled(&g_worker);
}

void cancel_children()
{
    cancel_group(&g_worker);
}

int pause_unless_cancelled(unsigned long ms)
{
    // Short naps: a cancel must not wait for the end of a long pause.
    for (unsigned long slept = 0; slept < ms; slept += PAUSE_STEP_MS) {
        if (cancel_requested())
            return 0;
        Sleep(ms - slept < PAUSE_STEP_MS ? ms - slept : PAUSE_STEP_MS);
    }
    return !cancel_requested();
}

// Killed processes take a moment to let go of their files; the worker is
// about to remove what they wrote.
static void wait_until_children_gone(ChildGroup* group)
{
    HANDLE job = children_job(group);
    for (int poll = 0; job && poll < GONE_POLLS; poll++) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts;
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &counts, sizeof counts, NULL) ||
            counts.ActiveProcesses == 0)
            return;
        Sleep(GONE_POLL_MS);
    }
}

// The child is still suspended here, so neither it nor anything it starts
// can escape the job. If it cannot join (say Tarnvik itself sits in a job
// that forbids it) it runs all the same, just not tied to Tarnvik.
static int release_child(const PROCESS_INFORMATION* child, ChildGroup* group)
{
    HANDLE job = children_job(group);
    if (job)
        AssignProcessToJobObject(job, child->hProcess);
    // A cancel that ended the job just before this child joined it must
    // still stop it.
    if (!group_cancelled(group) && ResumeThread(child->hThread) != (DWORD)-1)
        return 1;
    TerminateProcess(child->hProcess, group_cancelled(group) ? RUN_CANCELLED : RUN_FAILED);
    return 0;
}

// Who sees the lines: a watch and then the router (the worker's runs), or
// one handler alone.
struct Watcher {
    LineWatch watch;
    void* ctx;
    ChildLineHandler on_line;
};

static void route_line(const char* line, void* ctx)
{
    wchar_t wide[WIDE_LINE_CAP];
    // A line that needs more than the buffer holds arrives cut; ill-formed
    // bytes become replacement characters rather than losing the line.
    MultiByteToWideChar(CP_UTF8, 0, line, -1, wide, WIDE_LINE_CAP - 1);
    wide[WIDE_LINE_CAP - 1] = L'\0';
    const Watcher* watcher = (const Watcher*)ctx;
    if (watcher->on_line) {
        watcher->on_line(watcher->ctx, wide);
        return;
    }
    if (watcher->watch)
        watcher->watch(wide, watcher->ctx);
    handle_line(wide);
}

static void route_output(HANDLE pipe, const Watcher* watcher)
{
    LineAssembly assembly;
    lines_reset(&assembly);
    char chunk[READ_CHUNK];
    DWORD got;
    // A failed read is the normal end: the pipe breaks once the last
    // holder of its write end has gone.
    while (ReadFile(pipe, chunk, READ_CHUNK, &got, NULL) && got > 0)
        lines_feed(&assembly, chunk, got, route_line, (void*)watcher);
    lines_finish(&assembly, route_line, (void*)watcher);
}

// The environment with TEMP and TMP set to folder, in block (its size in
// characters); 0 when it does not fit.
static int environment_with_temp(const wchar_t* folder, wchar_t* block, size_t cap)
{
    wchar_t* own = GetEnvironmentStringsW();
    if (!own)
        return 0;
    size_t used = 0;
    int fits = 1;
    for (const wchar_t* entry = own; *entry && fits; entry += wcslen(entry) + 1) {
        if (_wcsnicmp(entry, L"TEMP=", 5) == 0 || _wcsnicmp(entry, L"TMP=", 4) == 0)
            continue;
        size_t length = wcslen(entry) + 1;
        fits = used + length < cap;
        if (fits)
            wmemcpy(block + used, entry, length);
        used += fits ? length : 0;
    }
    FreeEnvironmentStringsW(own);
    for (const wchar_t* name : {L"TEMP=", L"TMP="}) {
        int length = fits ? _snwprintf(block + used, cap - used - 1, L"%ls%ls", name, folder) : -1;
        fits = length >= 0 && used + length + 2 < cap;
        used += fits ? length + 1 : 0;
    }
    block[fits ? used : 0] = L'\0';
    return fits;
}

static int start_child(wchar_t* cmdline, const wchar_t* folder, wchar_t* environment, HANDLE output,
                       PROCESS_INFORMATION* child)
{
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = output;
    startup.hStdError = output;
    ZeroMemory(child, sizeof *child);
    DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED | (environment ? CREATE_UNICODE_ENVIRONMENT : 0);
    return CreateProcessW(NULL, cmdline, NULL, NULL, TRUE, flags, environment, folder, &startup, child) != 0;
}

// Windows' own words for the error, on one line of the log.
static void log_system_text(DWORD error)
{
    wchar_t text[SYSTEM_TEXT_CAP];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0,
                                  text, SYSTEM_TEXT_CAP, NULL);
    for (DWORD i = 0; i < length; ++i)
        if (text[i] == L'\r' || text[i] == L'\n')
            text[i] = L' ';
    while (length > 0 && text[length - 1] == L' ')
        --length;
    if (length == 0)
        return;
    text[length] = L'\0';
    post_logf(L"[tarnvik] %ls", text);
}

static unsigned long finish_child(const PROCESS_INFORMATION* child)
{
    WaitForSingleObject(child->hProcess, INFINITE);
    DWORD code = RUN_FAILED;
    if (!GetExitCodeProcess(child->hProcess, &code))
        code = RUN_FAILED;
    CloseHandle(child->hProcess);
    CloseHandle(child->hThread);
    return code;
}

enum { ENVIRONMENT_CAP = 65536 };

// Runs the child of run in group; lines go to watcher. RUN_FAILED with
// *start_error when it could not be started.
static unsigned long run_in_group(const ChildRun* run, const Watcher* watcher, unsigned long* start_error)
{
    *start_error = 0;
    // After a cancel no further child starts, whatever the worker tries next.
    if (group_cancelled(run->group))
        return RUN_CANCELLED;
    wchar_t* environment = NULL;
    if (run->temp_folder) {
        environment = (wchar_t*)malloc(ENVIRONMENT_CAP * sizeof(wchar_t));
        if (!environment || !environment_with_temp(run->temp_folder, environment, ENVIRONMENT_CAP)) {
            free(environment);
            return RUN_FAILED;
        }
    }
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE read_end, write_end;
    if (!CreatePipe(&read_end, &write_end, &inheritable, 0)) {
        free(environment);
        return RUN_FAILED;
    }
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

    PROCESS_INFORMATION child;
    int started = start_child(run->cmdline, run->folder, environment, write_end, &child);
    *start_error = started ? 0 : GetLastError();
    free(environment);
    // Only the child may hold the write end, or the output would never end.
    CloseHandle(write_end);
    if (!started) {
        CloseHandle(read_end);
        return RUN_FAILED;
    }
    if (release_child(&child, run->group))
        route_output(read_end, watcher);
    CloseHandle(read_end);
    // A child that ended by itself before a cancel keeps its own result;
    // one the cancel ended takes the rest of the job with it.
    unsigned long code = finish_child(&child);
    if (code == RUN_CANCELLED && group_cancelled(run->group))
        wait_until_children_gone(run->group);
    return code;
}

// The worker's runs: echoed and failures logged, lines through the router.
static unsigned long run_logged_child(wchar_t* cmdline, int echo, const wchar_t* folder, const Watcher* watcher)
{
    if (echo && !cancel_requested())
        post_logf(L"$ %ls", cmdline);
    ChildRun run = {cmdline, folder, NULL, &g_worker, NULL, NULL};
    unsigned long start_error;
    unsigned long code = run_in_group(&run, watcher, &start_error);
    if (code == RUN_FAILED && start_error) {
        post_logf(L"[tarnvik] failed to start process (error %lu)", start_error);
        log_system_text(start_error);
        note_failure_cause(cause_of_start_error(start_error));
    }
    return code;
}

unsigned long run_logged(wchar_t* cmdline, int echo)
{
    Watcher none = {NULL, NULL, NULL};
    return run_logged_child(cmdline, echo, NULL, &none);
}

unsigned long run_in_folder(wchar_t* cmdline, const wchar_t* folder, LineWatch watch, void* ctx)
{
    Watcher watcher = {watch, ctx, NULL};
    return run_logged_child(cmdline, 0, folder, &watcher);
}

static void drop_line(void*, const wchar_t*) {}

unsigned long run_child(const ChildRun* run, unsigned long* start_error)
{
    Watcher handler = {NULL, run->ctx, run->on_line ? run->on_line : drop_line};
    return run_in_group(run, &handler, start_error);
}
