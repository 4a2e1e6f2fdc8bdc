#include "win/temp_folder.h"
#include <windows.h>
#include <wchar.h>
#include "win/files.h"
#include "win/held_files.h"

enum { TEMP_FOLDER_TRIES = 100, NAME_CAP = 96 };

static const wchar_t PREFIX[] = L"tarnvik-";
static const wchar_t OWN_FOLDERS[] = L"tarnvik-*";

static volatile LONG g_made = 0;

// When the process started, as a number that an id used again never repeats.
static int process_start(HANDLE process, unsigned long long* start)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    *start = ((unsigned long long)created.dwHighDateTime << 32) | created.dwLowDateTime;
    return 1;
}

static int temp_folder(wchar_t (&temp)[PATH_CAP])
{
    DWORD length = GetTempPathW(PATH_CAP, temp);
    return length > 0 && length < PATH_CAP;
}

int make_temp_folder(const wchar_t* use, wchar_t (&folder)[PATH_CAP])
{
    wchar_t temp[PATH_CAP], name[NAME_CAP];
    unsigned long long start = 0;
    if (!temp_folder(temp) || !process_start(GetCurrentProcess(), &start))
        return 0;
    for (int tries = 0; tries < TEMP_FOLDER_TRIES; ++tries) {
        if (!format_text(name, L"%ls%ls-%lu-%08lx%08lx-%ld", PREFIX, use, GetCurrentProcessId(),
                         (unsigned long)(start >> 32), (unsigned long)start, InterlockedIncrement(&g_made)) ||
            !join_path(folder, temp, name))
            return 0;
        if (CreateDirectoryW(folder, NULL))
            return 1;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return 0;
    }
    return 0;
}

const wchar_t* folder_name(const wchar_t* folder)
{
    const wchar_t* slash = wcsrchr(folder, L'\\');
    return slash ? slash + 1 : folder;
}

// Reads "USE-PID-START-N" after the prefix; 0 for a name not made here.
static int read_name(const wchar_t* name, unsigned long* pid, unsigned long long* start)
{
    if (wcsncmp(name, PREFIX, wcslen(PREFIX)) != 0)
        return 0;
    const wchar_t* dash[3] = {NULL, NULL, NULL};  // before N, START and PID
    int found = 0;
    for (const wchar_t* p = name + wcslen(name); p > name + wcslen(PREFIX) && found < 3; --p)
        if (p[-1] == L'-')
            dash[found++] = p - 1;
    if (found < 3 || dash[1] - dash[2] < 2 || dash[0] - dash[1] != 17)
        return 0;
    wchar_t* end = NULL;
    *pid = wcstoul(dash[2] + 1, &end, 10);
    if (end != dash[1])
        return 0;
    *start = wcstoull(dash[1] + 1, &end, 16);
    return end == dash[0];
}

// 1 when the process that made the folder still runs.
static int still_runs(unsigned long pid, unsigned long long start)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;  // someone's, and running
    unsigned long long started = 0;
    DWORD code = 0;
    int runs = process_start(process, &started) && started == start && GetExitCodeProcess(process, &code) &&
               code == STILL_ACTIVE;
    CloseHandle(process);
    return runs;
}

int remove_ended_runs_folders()
{
    wchar_t temp[PATH_CAP], pattern[PATH_CAP], folder[PATH_CAP];
    if (!temp_folder(temp) || !join_path(pattern, temp, OWN_FOLDERS))
        return 0;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(pattern, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int removed = 0;
    do {
        unsigned long pid = 0;
        unsigned long long start = 0;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && read_name(entry.cFileName, &pid, &start) &&
            !still_runs(pid, start) && join_path(folder, temp, entry.cFileName) && rmtree(folder))
            removed++;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return removed;
}

static DWORD WINAPI removal_thread(LPVOID)
{
    remove_ended_runs_folders();
    return 0;
}

void start_removing_ended_runs_folders()
{
    HANDLE thread = CreateThread(NULL, 0, removal_thread, NULL, 0, NULL);
    if (thread)
        CloseHandle(thread);
}
