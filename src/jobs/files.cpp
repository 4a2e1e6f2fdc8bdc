#include "jobs/files.h"
#include <wchar.h>
#include "jobs/globals.h"
#include "text/bounded.h"

int is_file(const wchar_t* path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HANDLE open_listing(const wchar_t* folder, WIN32_FIND_DATAW* entry)
{
    wchar_t pattern[PATH_CAP];
    // A cut pattern would list some other folder.
    if (!format_text(pattern, PATH_CAP, L"%ls\\*", folder))
        return INVALID_HANDLE_VALUE;
    return FindFirstFileW(pattern, entry);
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
            if (!is_dot_entry(entry.cFileName) &&
                format_text(path, PATH_CAP, L"%ls\\%ls", folder, entry.cFileName))
                remove_entry(path, entry.dwFileAttributes);
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return RemoveDirectoryW(folder) || GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES;
}
