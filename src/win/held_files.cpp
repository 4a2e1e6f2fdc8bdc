#include "win/held_files.h"
#include "win/files.h"

// A virus scan of the files yt-dlp.exe unpacks takes seconds, not moments.
unsigned long g_hold_patience_ms = 10000;
volatile LONG g_hold_retries = 0;

enum { HOLD_RETRY_MS = 100 };

// What a scanner or a sync client causes while it holds a file for a moment.
static int is_passing_hold(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// 1 when one more try is worth it after waited ms: the error is a passing
// hold and the patience has not run out. Waits before returning 1.
static int wait_for_another_try(DWORD error, unsigned long* waited)
{
    if (!is_passing_hold(error) || *waited >= g_hold_patience_ms)
        return 0;
    InterlockedIncrement(&g_hold_retries);
    Sleep(HOLD_RETRY_MS);
    *waited += HOLD_RETRY_MS;
    return 1;
}

int rename_file(const wchar_t* from, const wchar_t* to)
{
    unsigned long waited = 0;
    while (!MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD error = GetLastError();
        if (!wait_for_another_try(error, &waited)) {
            SetLastError(error);
            return 0;
        }
    }
    return 1;
}

static int is_gone(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// One try at a file, a read-only one made writable first.
static DWORD delete_once(const wchar_t* path)
{
    if (DeleteFileW(path))
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    DWORD attributes = GetFileAttributesW(path);
    if (error != ERROR_ACCESS_DENIED || attributes == INVALID_FILE_ATTRIBUTES ||
        !(attributes & FILE_ATTRIBUTE_READONLY))
        return error;
    SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileW(path) ? ERROR_SUCCESS : GetLastError();
}

int delete_file(const wchar_t* path)
{
    unsigned long waited = 0;
    for (;;) {
        DWORD error = delete_once(path);
        if (error == ERROR_SUCCESS || is_gone(error))
            return 1;
        if (!wait_for_another_try(error, &waited)) {
            SetLastError(error);
            return 0;
        }
    }
}

static void remove_tree_once(const wchar_t* folder);

static void remove_entry(const wchar_t* path, DWORD attributes)
{
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        remove_tree_once(path);
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryW(path);
    } else {
        delete_once(path);
    }
}

// Everything that can go now; what is held waits for the next pass.
static void remove_tree_once(const wchar_t* folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = open_listing(folder, &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            wchar_t path[PATH_CAP];
            if (!is_dot_entry(entry.cFileName) && join_path(path, folder, entry.cFileName))
                remove_entry(path, entry.dwFileAttributes);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(folder);
}

int rmtree(const wchar_t* folder)
{
    unsigned long waited = 0;
    for (;;) {
        remove_tree_once(folder);
        if (GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES && is_gone(GetLastError()))
            return 1;
        // A file in it held, or a killed child not quite gone: any failure
        // here is taken for a passing one.
        if (!wait_for_another_try(ERROR_SHARING_VIOLATION, &waited))
            return 0;
    }
}
