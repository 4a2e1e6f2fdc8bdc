// run_logged: one hidden child, its output read through one pipe and handed
// to the router line by line while it runs.
#include "proc/runner.h"
#include <windows.h>
#include "jobs/messages.h"
#include "proc/lines.h"
#include "proc/router.h"
#include "text/hints.h"

enum { READ_CHUNK = 2048, WIDE_LINE_CAP = 4096, SYSTEM_TEXT_CAP = 512, GONE_POLLS = 400, GONE_POLL_MS = 5 };

static const unsigned long PAUSE_STEP_MS = 50;

// Every child goes into one job that dies with this process, so closing
// Tarnvik also ends the hidden yt-dlp, ffmpeg or curl and whatever they
// started; nothing else holds the job's handle.
static INIT_ONCE g_children_once = INIT_ONCE_STATIC_INIT;
static HANDLE g_children = NULL;

static BOOL CALLBACK create_children_job(PINIT_ONCE, PVOID, PVOID*)
{
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
    g_children = job;
    return TRUE;
}

static HANDLE children_job()
{
    InitOnceExecuteOnce(&g_children_once, create_children_job, NULL, NULL);
    return g_children;
}

// Set by the window's thread, read by the worker's; only one worker runs at
// a time, so whatever is in the job belongs to the work being cancelled.
static volatile LONG g_cancel = 0;

void reset_cancel()
{
    InterlockedExchange(&g_cancel, 0);
}

int cancel_requested()
{
    return InterlockedCompareExchange(&g_cancel, 0, 0) != 0;
}

void cancel_children()
{
    InterlockedExchange(&g_cancel, 1);
    if (HANDLE job = children_job())
        TerminateJobObject(job, RUN_CANCELLED);
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
static void wait_until_children_gone()
{
    HANDLE job = children_job();
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
static int release_child(const PROCESS_INFORMATION* child)
{
    HANDLE job = children_job();
    if (job)
        AssignProcessToJobObject(job, child->hProcess);
    // A cancel that ended the job just before this child joined it must
    // still stop it.
    if (!cancel_requested() && ResumeThread(child->hThread) != (DWORD)-1)
        return 1;
    TerminateProcess(child->hProcess, cancel_requested() ? RUN_CANCELLED : RUN_FAILED);
    return 0;
}

struct Watcher {
    LineWatch watch;
    void* ctx;
};

static void route_line(const char* line, void* ctx)
{
    wchar_t wide[WIDE_LINE_CAP];
    // A line that needs more than the buffer holds arrives cut; ill-formed
    // bytes become replacement characters rather than losing the line.
    MultiByteToWideChar(CP_UTF8, 0, line, -1, wide, WIDE_LINE_CAP - 1);
    wide[WIDE_LINE_CAP - 1] = L'\0';
    const Watcher* watcher = (const Watcher*)ctx;
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

static int start_child(wchar_t* cmdline, const wchar_t* folder, HANDLE output, PROCESS_INFORMATION* child)
{
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = output;
    startup.hStdError = output;
    ZeroMemory(child, sizeof *child);
    return CreateProcessW(NULL, cmdline, NULL, NULL, TRUE, CREATE_NO_WINDOW | CREATE_SUSPENDED,
                          NULL, folder, &startup, child) != 0;
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

static unsigned long run_child(wchar_t* cmdline, int echo, const wchar_t* folder, const Watcher* watcher)
{
    // After a cancel no further child starts, whatever the worker tries next.
    if (cancel_requested())
        return RUN_CANCELLED;
    if (echo)
        post_logf(L"$ %ls", cmdline);

    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE read_end, write_end;
    if (!CreatePipe(&read_end, &write_end, &inheritable, 0))
        return RUN_FAILED;
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

    PROCESS_INFORMATION child;
    int started = start_child(cmdline, folder, write_end, &child);
    DWORD start_error = GetLastError();
    // Only the child may hold the write end, or the output would never end.
    CloseHandle(write_end);
    if (!started) {
        CloseHandle(read_end);
        post_logf(L"[tarnvik] failed to start process (error %lu)", start_error);
        log_system_text(start_error);
        note_failure_cause(cause_of_start_error(start_error));
        return RUN_FAILED;
    }
    if (release_child(&child))
        route_output(read_end, watcher);
    CloseHandle(read_end);
    // A child that ended by itself before a cancel keeps its own result;
    // one the cancel ended takes the rest of the job with it.
    unsigned long code = finish_child(&child);
    if (code == RUN_CANCELLED && cancel_requested())
        wait_until_children_gone();
    return code;
}

unsigned long run_logged(wchar_t* cmdline, int echo)
{
    Watcher none = {NULL, NULL};
    return run_child(cmdline, echo, NULL, &none);
}

unsigned long run_in_folder(wchar_t* cmdline, const wchar_t* folder, LineWatch watch, void* ctx)
{
    Watcher watcher = {watch, ctx};
    return run_child(cmdline, 0, folder, &watcher);
}
