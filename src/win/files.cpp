// Files and folders: listing, joining, probing, writing through to the disk,
// replacing in one step, and the clip job's finished file.
#include "win/files.h"
#include <wchar.h>
#include "text/bounded.h"
#include "win/globals.h"

enum {
    TEMP_FOLDER_TRIES = 100,
    REMOVE_TRIES = 5,
    REMOVE_RETRY_MS = 200
};

int is_file(const wchar_t* path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HANDLE open_listing(const wchar_t* folder, WIN32_FIND_DATAW* entry)
{
    wchar_t pattern[PATH_CAP];
    // A cut pattern would list some other folder.
    if (!format_text(pattern, L"%ls\\*", folder))
        return INVALID_HANDLE_VALUE;
    return FindFirstFileW(pattern, entry);
}

int join_path(wchar_t (&out)[PATH_CAP], const wchar_t* folder, const wchar_t* name)
{
    size_t length = wcslen(folder);
    const wchar_t* separator = length > 0 && folder[length - 1] == L'\\' ? L"" : L"\\";
    return format_text(out, L"%ls%ls%ls", folder, separator, name);
}

int can_write_in(const wchar_t* folder)
{
    wchar_t name[64], probe[PATH_CAP];
    format_text(name, L"tarnvik-write-probe-%lu.tmp", GetCurrentProcessId());
    if (!join_path(probe, folder, name))
        return 0;
    // Removed by the system as soon as it is closed, even after a crash.
    HANDLE file = CreateFileW(probe, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(file);
    return 1;
}

int read_file_start(const wchar_t* path, unsigned char* bytes, size_t cap, size_t* length)
{
    *length = 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD got = 0;
    BOOL ok = ReadFile(file, bytes, (DWORD)cap, &got, NULL);
    CloseHandle(file);
    *length = got;
    return ok != 0;
}

int is_dot_entry(const wchar_t* name)
{
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

static void remove_entry(const wchar_t* path, DWORD attributes)
{
    // A link to a folder goes, never what it points at.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        remove_folder(path);
        return;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveDirectoryW(path);
    else
        DeleteFileW(path);
}

int remove_folder(const wchar_t* folder)
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
    return RemoveDirectoryW(folder) || GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES;
}

int remove_folder_patiently(const wchar_t* folder)
{
    for (int tries = 1; !remove_folder(folder); tries++) {
        if (tries == REMOVE_TRIES)
            return 0;
        Sleep(REMOVE_RETRY_MS);
    }
    return 1;
}

// Writes length bytes at the start of path opened with disposition
// (CREATE_ALWAYS, OPEN_EXISTING), through to the disk.
static int write_through(const wchar_t* path, DWORD disposition, const void* bytes, size_t length)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, disposition, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD put = 0;
    BOOL ok = WriteFile(file, bytes, (DWORD)length, &put, NULL) && put == length && FlushFileBuffers(file);
    CloseHandle(file);
    return ok != 0;
}

int write_new_file(const wchar_t* path, const void* bytes, size_t length)
{
    int ok = write_through(path, CREATE_ALWAYS, bytes, length);
    if (!ok)
        DeleteFileW(path);
    return ok;
}

int write_file_start(const wchar_t* path, const void* bytes, size_t length)
{
    return write_through(path, OPEN_EXISTING, bytes, length);
}

unsigned long g_replace_patience_ms = 5000;
volatile LONG g_replace_retries = 0;

enum { REPLACE_RETRY_MS = 100 };

// What a scanner or a sync client causes while it holds a file for a moment.
static int is_passing_hold(DWORD error)
{
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

int replace_file(const wchar_t* staged, const wchar_t* target)
{
    DWORD waited = 0;
    while (!MoveFileExW(staged, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DWORD error = GetLastError();
        if (!is_passing_hold(error) || waited >= g_replace_patience_ms) {
            DeleteFileW(staged);
            SetLastError(error);
            return 0;
        }
        InterlockedIncrement(&g_replace_retries);
        Sleep(REPLACE_RETRY_MS);
        waited += REPLACE_RETRY_MS;
    }
    return 1;
}

static int flush_file(const wchar_t* path)
{
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BOOL flushed = FlushFileBuffers(file);
    CloseHandle(file);
    return flushed != 0;
}

int copy_file_through(const wchar_t* source, const wchar_t* target)
{
    if (CopyFileW(source, target, FALSE) && flush_file(target))
        return 1;
    DeleteFileW(target);  // what a copy cut short by a full disk left
    return 0;
}

int make_temp_folder(wchar_t (&folder)[PATH_CAP])
{
    wchar_t temp[PATH_CAP], name[64];
    DWORD length = GetTempPathW(PATH_CAP, temp);
    if (length == 0 || length >= PATH_CAP)
        return 0;
    // A name taken by another run (or another copy of Tarnvik) is never shared.
    for (unsigned int n = 0; n < TEMP_FOLDER_TRIES; ++n) {
        format_text(name, L"tarnvik-%08lx-%lu", GetTickCount(), GetCurrentThreadId() + n);
        if (!join_path(folder, temp, name))
            return 0;
        if (CreateDirectoryW(folder, NULL))
            return 1;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return 0;
    }
    return 0;
}

const wchar_t* const exts[EXT_COUNT] = {L".mp4", L".mkv",  L".webm", L".m4a", L".mp3",
                                        L".opus", L".mov", L".flac", L".ogg", L".wav"};

static int is_media_name(const wchar_t* name)
{
    const wchar_t* dot = wcsrchr(name, L'.');
    if (!dot)
        return 0;
    for (const wchar_t* ext : exts)
        if (_wcsicmp(dot, ext) == 0)
            return 1;
    return 0;
}

int find_media_file(const wchar_t* folder, wchar_t* name, unsigned long long* size)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = open_listing(folder, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int found = 0;
    unsigned long long best = 0;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !is_media_name(entry.cFileName))
            continue;
        unsigned long long bytes = ((unsigned long long)entry.nFileSizeHigh << 32) | entry.nFileSizeLow;
        if (bytes < best)
            continue;
        // The entry's own name, not a joined path: a long folder cannot cut it.
        wcsncpy(name, entry.cFileName, PATH_CAP - 1);
        name[PATH_CAP - 1] = L'\0';
        best = bytes;
        found = 1;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    *size = best;
    return found;
}
