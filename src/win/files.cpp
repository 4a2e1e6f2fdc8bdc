// Files and folders: listing, joining, probing, writing through to the disk,
// replacing in one step, and the clip job's finished file.
#include "win/files.h"
#include <stdlib.h>
#include <wchar.h>
#include "text/bounded.h"
#include "win/globals.h"
#include "win/held_files.h"

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

int read_whole_file(const wchar_t* path, size_t most, unsigned char** bytes, size_t* length)
{
    *bytes = nullptr;
    *length = 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    LARGE_INTEGER size;
    unsigned char* block = nullptr;
    DWORD got = 0;
    int ok = GetFileSizeEx(file, &size) && (unsigned long long)size.QuadPart <= most &&
             (block = (unsigned char*)malloc((size_t)size.QuadPart + 1)) != nullptr &&
             ReadFile(file, block, (DWORD)size.QuadPart, &got, NULL) && got == (DWORD)size.QuadPart;
    CloseHandle(file);
    if (!ok) {
        free(block);
        return 0;
    }
    block[got] = 0;
    *bytes = block;
    *length = got;
    return 1;
}

int is_dot_entry(const wchar_t* name)
{
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
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
        delete_file(path);
    return ok;
}

int write_file_start(const wchar_t* path, const void* bytes, size_t length)
{
    return write_through(path, OPEN_EXISTING, bytes, length);
}

int replace_file(const wchar_t* staged, const wchar_t* target)
{
    if (rename_file(staged, target))
        return 1;
    DWORD error = GetLastError();
    delete_file(staged);
    SetLastError(error);
    return 0;
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
    delete_file(target);  // what a copy cut short by a full disk left
    return 0;
}

int file_size(const wchar_t* path, unsigned long long* size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    *size = ((unsigned long long)data.nFileSizeHigh << 32) | data.nFileSizeLow;
    return 1;
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

int find_clip_file(const wchar_t* folder, const wchar_t* named, wchar_t* name, unsigned long long* size)
{
    wchar_t path[PATH_CAP];
    if (!named[0])
        return find_media_file(folder, name, size);
    return format_text(name, PATH_CAP, L"%ls", named) && join_path(path, folder, named) && file_size(path, size);
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
        format_text(name, PATH_CAP, L"%ls", entry.cFileName);
        best = bytes;
        found = 1;
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    *size = best;
    return found;
}
