// Program-wide state shared by the window and the workers. Each is written
// once on the user-interface thread before any worker that reads it starts.
#pragma once
#include <windows.h>
#include "text/bounded.h"

extern HWND g_main;                   // the main window; null until created, always null in self-test mode
extern wchar_t g_appdir[PATH_CAP];    // program folder, no trailing backslash
extern wchar_t g_clipsdir[PATH_CAP];  // g_appdir + "\clips"
