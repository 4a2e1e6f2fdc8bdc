// find_tool: the program folder first, then the system's program search.
#include "win/locator.h"
#include <windows.h>
#include <wchar.h>
#include "win/files.h"
#include "win/globals.h"

enum { TOOL_FILE_CAP = 64 };

int find_tool(const wchar_t* name, wchar_t* path)
{
    // A cut name would be some other file.
    if (format_text(path, PATH_CAP, L"%ls\\%ls.exe", g_appdir, name) && is_file(path))
        return 1;

    wchar_t file[TOOL_FILE_CAP];
    if (!format_text(file, L"%ls.exe", name)) {
        path[0] = L'\0';
        return 0;
    }
    wchar_t found[PATH_CAP];
    DWORD length = SearchPathW(NULL, file, NULL, PATH_CAP, found, NULL);
    // A result too long for a path buffer comes back as the size it would
    // need, with nothing written: a path no caller could use, so not found.
    if (length == 0 || length >= PATH_CAP) {
        path[0] = L'\0';
        return 0;
    }
    return format_text(path, PATH_CAP, L"%ls", found);
}
