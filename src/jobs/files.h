// Small file-system questions the workers and the window share.
#pragma once
#include <windows.h>

// 1 when path names an existing file (not a folder).
int is_file(const wchar_t* path);

// Starts listing the entries of folder into entry. INVALID_HANDLE_VALUE when
// the folder cannot be listed (or its pattern would not fit a path);
// otherwise go on with FindNextFileW and end with FindClose.
HANDLE open_listing(const wchar_t* folder, WIN32_FIND_DATAW* entry);

// 1 for the "." and ".." entries of a folder listing.
int is_dot_entry(const wchar_t* name);

// Removes folder and everything in it, without starting a program. 1 when
// the folder is gone afterwards (or was never there).
int remove_folder(const wchar_t* folder);
