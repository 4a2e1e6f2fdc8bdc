// "Update tools": brings the installed tools to their publishers' latest
// releases, downloading only what changed.
#pragma once
#include <windows.h>

// Thread routine (param unused). Ends a running look-up first (its yt-dlp
// would keep yt-dlp.exe and deno.exe from being replaced). Ends by posting WM_APP_SETUP_DONE once,
// lParam SETUP_BY_UPDATE and wParam an UpdateOutcome.
DWORD WINAPI update_thread(LPVOID param);
