// Finding the media file a clip job left in its folder.
#include "jobs/media_file.h"
#include <windows.h>
#include <wchar.h>
#include "jobs/files.h"

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
