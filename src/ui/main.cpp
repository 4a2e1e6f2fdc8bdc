// Placeholder entry until the window lands.
#include <windows.h>
#include <wchar.h>
#include "selftest/selftest.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    if (wcsstr(GetCommandLineW(), L"--selftest"))
        run_selftest();
    return 0;
}
