// First-run set-up: downloads the missing tools next to the program.
#pragma once
#include <windows.h>

// Thread routine (param unused). Ends by posting WM_APP_SETUP_DONE once.
DWORD WINAPI bootstrap_thread(LPVOID param);

// Unpacks archive into folder (both named relative to work, where tar runs)
// with the system's tar; folder is created first. 1 when tar succeeded.
int unzip(const wchar_t* work, const wchar_t* archive, const wchar_t* folder);
// Finds name (any letter case) anywhere under folder and moves it into the
// program folder as name. 1 when found and installed.
int harvest(const wchar_t* folder, const wchar_t* name);
// Removes a folder tree with cmd.exe; the result is not looked at.
void rmtree(const wchar_t* folder);
