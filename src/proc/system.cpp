#include "proc/system.h"
#include <windows.h>
#include "proc/tools.h"
#include "text/bounded.h"

int system_program(const wchar_t* name, wchar_t (&path)[PATH_CAP])
{
    wchar_t folder[PATH_CAP];
    UINT length = GetSystemDirectoryW(folder, PATH_CAP);
    if (length == 0 || length >= PATH_CAP) {
        path[0] = L'\0';
        return 0;
    }
    return format_text(path, L"%ls\\%ls", folder, name);
}

int cmd_line(wchar_t (&line)[CMD_LINE_CAP], const wchar_t* command)
{
    wchar_t cmd[PATH_CAP];
    if (!system_program(CMD_EXE, cmd)) {
        line[0] = L'\0';
        return 0;
    }
    // The program always quoted: a system folder with a space stays whole.
    return format_text(line, L"\"%ls\" %ls %ls %ls", cmd, CMD_NO_AUTORUN, CMD_RUN, command);
}

unsigned int console_code_page()
{
    UINT code_page = GetConsoleOutputCP();
    return code_page ? code_page : GetOEMCP();
}
