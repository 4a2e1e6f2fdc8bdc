// run_child: one hidden child, its output read through one pipe and handed
// to the caller's handler line by line while it runs; children cancelled
// together by group.
#include "proc/runner.h"
#include <stdlib.h>
#include <string.h>
#include "proc/environment.h"
#include "text/bounded.h"
#include "text/lines.h"

enum { READ_CHUNK = 16384, WIDE_LINE_CAP = 4096, SYSTEM_TEXT_CAP = 512, GONE_POLLS = 400, GONE_POLL_MS = 5 };
enum { PIPE_BUFFER_BYTES = 65536, AFTER_EXIT_MS = 2000 };

static const unsigned long PAUSE_STEP_MS = 50;

// A program file that a virus scanner still reads, just after a download or
// an update wrote it, cannot be started for a moment; Wine, too, now and
// then fails a start on a busy machine. Such a start is tried again for up
// to START_PATIENCE_MS, unless a cancel comes first.
static const DWORD PASSING_START_ERRORS[] = {ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION, ERROR_INTERNAL_ERROR};
static const unsigned long START_PATIENCE_MS = 3000, START_RETRY_MS = 100;

volatile LONG g_start_retries = 0;

static const wchar_t NOT_IN_GROUP_LINE[] =
    L"[tarnvik] not started: Tarnvik runs inside a Windows job that keeps it from stopping the programs it "
    L"starts, so Cancel could not end this one — start Tarnvik from Explorer or the Start menu instead";

// The clip job, the tool download and the update: one of them runs at a
// time, so whatever is in this group belongs to the work being cancelled.
// The look-up runs beside them in a group of its own.
static ChildGroup g_worker_group = CHILD_GROUP_INIT;

ChildRun child_run(wchar_t* cmdline, ChildLineHandler on_line, void* ctx)
{
    ChildRun run = {};
    run.cmdline = cmdline;
    run.on_line = on_line;
    run.ctx = ctx;
    return run;
}

static ChildGroup* group_or_worker(ChildGroup* group)
{
    return group ? group : &g_worker_group;
}

// Every child goes into its group's job, which dies with this process, so
// closing Tarnvik also ends the hidden yt-dlp, ffmpeg or curl and whatever
// they started; nothing else holds the job's handle.
static BOOL CALLBACK create_group_job(PINIT_ONCE, PVOID param, PVOID*)
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

static HANDLE group_job(ChildGroup* group)
{
    InitOnceExecuteOnce(&group->once, create_group_job, group, NULL);
    return group->job;
}

void reset_group(ChildGroup* group)
{
    InterlockedExchange(&group_or_worker(group)->cancelled, 0);
}

int group_cancelled(ChildGroup* group)
{
    return InterlockedCompareExchange(&group_or_worker(group)->cancelled, 0, 0) != 0;
}

void cancel_group(ChildGroup* group)
{
    group = group_or_worker(group);
    InterlockedExchange(&group->cancelled, 1);
    if (HANDLE job = group_job(group))
        TerminateJobObject(job, RUN_CANCELLED);
}

int pause_in_group(ChildGroup* group, unsigned long ms)
{
    // Short naps: a cancel must not wait for the end of a long pause.
    for (unsigned long slept = 0; slept < ms; slept += PAUSE_STEP_MS) {
        if (group_cancelled(group))
            return 0;
        Sleep(ms - slept < PAUSE_STEP_MS ? ms - slept : PAUSE_STEP_MS);
    }
    return !group_cancelled(group);
}

void cancel_children()
{
    cancel_group(&g_worker_group);
}

int cancel_requested()
{
    return group_cancelled(&g_worker_group);
}

void reset_cancel()
{
    reset_group(&g_worker_group);
}

int pause_unless_cancelled(unsigned long ms)
{
    return pause_in_group(&g_worker_group, ms);
}

// Killed processes take a moment to let go of their files; whoever ran
// them (a worker or the look-up) is about to remove what they wrote.
static void wait_until_children_gone(ChildGroup* group)
{
    HANDLE job = group_job(group);
    for (int poll = 0; job && poll < GONE_POLLS; poll++) {
        JOBOBJECT_BASIC_ACCOUNTING_INFORMATION counts;
        if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &counts, sizeof counts, NULL) ||
            counts.ActiveProcesses == 0)
            return;
        Sleep(GONE_POLL_MS);
    }
}

void end_group(ChildGroup* group)
{
    cancel_group(group);
    wait_until_children_gone(group_or_worker(group));
}

// The child is still suspended here, so neither it nor anything it starts
// can escape the job. 1 when it joined (or the group has no job).
static int join_group(ChildGroup* group, const PROCESS_INFORMATION* child)
{
    HANDLE job = group_job(group);
    return !job || AssignProcessToJobObject(job, child->hProcess);
}

static void close_child(const PROCESS_INFORMATION* child)
{
    CloseHandle(child->hProcess);
    CloseHandle(child->hThread);
}

// Ends a child that never ran (it is still suspended).
static void end_unstarted(const PROCESS_INFORMATION* child, unsigned long code)
{
    TerminateProcess(child->hProcess, code);
    WaitForSingleObject(child->hProcess, INFINITE);
    close_child(child);
}

static int release_child(ChildGroup* group, const PROCESS_INFORMATION* child)
{
    // A cancel that ended the job just before this child joined it must
    // still stop it.
    if (!group_cancelled(group) && ResumeThread(child->hThread) != (DWORD)-1)
        return 1;
    TerminateProcess(child->hProcess, group_cancelled(group) ? RUN_CANCELLED : RUN_FAILED);
    return 0;
}

// Converts one line into wide, cut to fit: at most WIDE_LINE_CAP - 1
// characters, and never inside a character. Each byte gives at most one
// wide character (in UTF-8 and in the console's code pages alike), so a
// short line always fits whole.
static void convert_line(const char* line, unsigned int code_page, wchar_t (&wide)[WIDE_LINE_CAP])
{
    size_t length = strlen(line);
    UINT from = line_code_page(line, length, code_page);
    while (length >= WIDE_LINE_CAP) {
        int needed = MultiByteToWideChar(from, 0, line, (int)length, NULL, 0);
        if (needed < WIDE_LINE_CAP)
            break;
        // Dropping a byte drops at most one wide character: never too much.
        size_t cut = length - (size_t)(needed - (WIDE_LINE_CAP - 1));
        length = from == CP_UTF8 ? utf8_boundary(line, cut) : cut;
    }
    // Ill-formed bytes become replacement characters rather than losing the line.
    int made = length ? MultiByteToWideChar(from, 0, line, (int)length, wide, WIDE_LINE_CAP - 1) : 0;
    wide[made > 0 ? made : 0] = L'\0';
}

static void hand_on(const ChildRun* run, const wchar_t* line)
{
    if (run->on_line)
        run->on_line(run->ctx, line);
}

static void convert_and_hand_on(const char* line, void* ctx)
{
    const ChildRun* run = (const ChildRun*)ctx;
    wchar_t wide[WIDE_LINE_CAP];
    convert_line(line, run->code_page, wide);
    hand_on(run, wide);
}

// The child's output pipe. Our end is read overlapped, so that a read can
// be given up; the child's end is an ordinary one, as a console program
// expects. Each pipe has a name of its own and takes no second client.
static int make_output_pipe(HANDLE* read_end, HANDLE* write_end)
{
    static volatile LONG made = 0;
    wchar_t name[64];
    format_text(name, L"\\\\.\\pipe\\tarnvik-output-%lu-%ld", (unsigned long)GetCurrentProcessId(),
                (long)InterlockedIncrement(&made));
    *read_end = CreateNamedPipeW(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                 PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0,
                                 PIPE_BUFFER_BYTES, 0, NULL);
    if (*read_end == INVALID_HANDLE_VALUE)
        return 0;
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    *write_end = CreateFileW(name, GENERIC_WRITE, 0, &inheritable, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (*write_end == INVALID_HANDLE_VALUE) {
        CloseHandle(*read_end);
        return 0;
    }
    return 1;
}

// Waits for the pending read: for as long as it takes while the child
// runs, for AFTER_EXIT_MS at most once it has gone. The pipe should break
// as the child and its group go; one that stays open is held by something
// outside the group that writes nothing (under Wine, a child ended while it
// was still starting up can leave its copy held for good). 1 when the read
// is over, 0 when it was given up.
static int wait_for_read(HANDLE pipe, OVERLAPPED* reading, HANDLE child, int* child_ended)
{
    if (!*child_ended) {
        HANDLE either[2] = {reading->hEvent, child};
        if (WaitForMultipleObjects(2, either, FALSE, INFINITE) == WAIT_OBJECT_0)
            return 1;
        *child_ended = 1;
    }
    if (WaitForSingleObject(reading->hEvent, AFTER_EXIT_MS) == WAIT_OBJECT_0)
        return 1;
    CancelIoEx(pipe, reading);
    return 0;
}

static void read_output(HANDLE pipe, HANDLE child, const ChildRun* run)
{
    LineAssembly assembly;
    lines_reset(&assembly);
    char chunk[READ_CHUNK];
    OVERLAPPED reading;
    ZeroMemory(&reading, sizeof reading);
    reading.hEvent = CreateEventW(NULL, TRUE, FALSE, NULL);
    int child_ended = 0, more = reading.hEvent != NULL;
    // A failed read is the end (the pipe breaks once the last holder of its
    // write end has gone), and so is one given up. A read of no bytes is a
    // child's empty write.
    while (more) {
        DWORD got = 0;
        if (!ReadFile(pipe, chunk, READ_CHUNK, NULL, &reading) && GetLastError() != ERROR_IO_PENDING)
            break;
        more = wait_for_read(pipe, &reading, child, &child_ended);
        // A read given up may still have brought bytes; either way it must
        // be over before its buffer is used again.
        if (!GetOverlappedResult(pipe, &reading, &got, TRUE))
            break;
        lines_feed(&assembly, chunk, got, convert_and_hand_on, (void*)run);
    }
    lines_finish(&assembly, convert_and_hand_on, (void*)run);
    if (reading.hEvent)
        CloseHandle(reading.hEvent);
}

// Only the output pipe's write end and NUL go to the child, even when
// another thread has a pipe of its own in the making at this very moment.
static int start_child(const ChildRun* run, HANDLE input, HANDLE output, const wchar_t* environment,
                       DWORD extra_flags, PROCESS_INFORMATION* child)
{
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(NULL, 1, 0, &size);
    LPPROC_THREAD_ATTRIBUTE_LIST attributes = (LPPROC_THREAD_ATTRIBUTE_LIST)malloc(size);
    if (!attributes || !InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
        free(attributes);
        return 0;
    }
    HANDLE inherited[2] = {input, output};
    STARTUPINFOEXW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = output;
    startup.lpAttributeList = attributes;
    ZeroMemory(child, sizeof *child);
    DWORD flags = CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT | CREATE_UNICODE_ENVIRONMENT |
                  extra_flags;
    int started = UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                            sizeof inherited, NULL, NULL) &&
                  CreateProcessW(NULL, run->cmdline, NULL, NULL, TRUE, flags, (LPVOID)environment,
                                 run->folder, &startup.StartupInfo, child);
    DWORD error = GetLastError();
    DeleteProcThreadAttributeList(attributes);
    free(attributes);
    SetLastError(error);
    return started;
}

// Windows' own words for the error, on one line.
static void hand_on_system_text(const ChildRun* run, DWORD error)
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
    wchar_t line[SYSTEM_TEXT_CAP + 16];
    format_text(line, L"[tarnvik] %ls", text);
    hand_on(run, line);
}

static void hand_on_start_failure(const ChildRun* run, DWORD error)
{
    wchar_t line[64];
    format_text(line, L"[tarnvik] failed to start process (error %lu)", (unsigned long)error);
    hand_on(run, line);
    hand_on_system_text(run, error);
}

static unsigned long finish_child(const PROCESS_INFORMATION* child)
{
    WaitForSingleObject(child->hProcess, INFINITE);
    DWORD code = RUN_FAILED;
    if (!GetExitCodeProcess(child->hProcess, &code))
        code = RUN_FAILED;
    close_child(child);
    return code;
}

// Starts the child suspended; 0 with the system's error code when it could not.
static int launch(const ChildRun* run, HANDLE write_end, DWORD extra_flags, PROCESS_INFORMATION* child,
                  DWORD* error)
{
    wchar_t* environment = child_environment(run->temp_folder);
    // What a console gives a program that nobody types into: an input that ends at once.
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                             0, NULL);
    int started = environment && nul != INVALID_HANDLE_VALUE &&
                  start_child(run, nul, write_end, environment, extra_flags, child);
    *error = started ? 0 : !environment ? ERROR_NOT_ENOUGH_MEMORY : GetLastError();
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    free(environment);
    return started;
}

static int passes(DWORD error)
{
    for (DWORD passing : PASSING_START_ERRORS)
        if (error == passing)
            return 1;
    return 0;
}

// launch, tried again while the error is one that passes.
static int launch_patiently(const ChildRun* run, ChildGroup* group, HANDLE write_end, DWORD extra_flags,
                            PROCESS_INFORMATION* child, DWORD* error)
{
    for (unsigned long waited = 0;; waited += START_RETRY_MS) {
        if (launch(run, write_end, extra_flags, child, error))
            return 1;
        if (!passes(*error) || waited >= START_PATIENCE_MS || !pause_in_group(group, START_RETRY_MS))
            return 0;
        InterlockedIncrement(&g_start_retries);
    }
}

enum Launch { LAUNCHED, NOT_STARTED, NOT_IN_GROUP };

// Starts the child in its group. Where Tarnvik itself runs in a job that
// does not let its children join another (some launchers and build agents),
// the child is started again outside that job, where it allows it; a child
// that cannot join its group is never left running, as Cancel could not
// reach it.
static Launch launch_in_group(const ChildRun* run, ChildGroup* group, HANDLE write_end, PROCESS_INFORMATION* child,
                              DWORD* error)
{
    if (!launch_patiently(run, group, write_end, 0, child, error))
        return NOT_STARTED;
    if (join_group(group, child))
        return LAUNCHED;
    end_unstarted(child, RUN_FAILED);
    if (launch_patiently(run, group, write_end, CREATE_BREAKAWAY_FROM_JOB, child, error)) {
        if (join_group(group, child))
            return LAUNCHED;
        *error = GetLastError();
        end_unstarted(child, RUN_FAILED);
    }
    return NOT_IN_GROUP;
}

unsigned long run_child(const ChildRun* run, unsigned long* start_error)
{
    ChildGroup* group = group_or_worker(run->group);
    if (start_error)
        *start_error = 0;
    // After a cancel no further child starts, whatever the worker tries next.
    if (group_cancelled(group))
        return RUN_CANCELLED;

    HANDLE read_end, write_end;
    if (!make_output_pipe(&read_end, &write_end))
        return RUN_FAILED;

    PROCESS_INFORMATION child;
    DWORD error = 0;
    Launch launched = launch_in_group(run, group, write_end, &child, &error);
    // Only the child may hold the write end, or the output would never end.
    CloseHandle(write_end);
    if (launched != LAUNCHED) {
        CloseHandle(read_end);
        // A cancel while a start was being tried again ends the run as cancelled.
        if (group_cancelled(group))
            return RUN_CANCELLED;
        if (start_error)
            *start_error = error;
        if (launched == NOT_IN_GROUP)
            hand_on(run, NOT_IN_GROUP_LINE);
        else
            hand_on_start_failure(run, error);
        return RUN_FAILED;
    }
    if (release_child(group, &child))
        read_output(read_end, child.hProcess, run);
    CloseHandle(read_end);
    // A child that ended by itself before a cancel keeps its own result;
    // one the cancel ended takes the rest of the group with it.
    unsigned long code = finish_child(&child);
    if (code == RUN_CANCELLED && group_cancelled(group))
        wait_until_children_gone(group);
    return code;
}
