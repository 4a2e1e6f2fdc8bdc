// The program-wide state declared in globals.h.
#include "win/globals.h"

HWND g_main = NULL;
wchar_t g_appdir[PATH_CAP];
wchar_t g_clipsdir[PATH_CAP];
