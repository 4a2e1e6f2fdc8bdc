#include "jobs/files.h"
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
