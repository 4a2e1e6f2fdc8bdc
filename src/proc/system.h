// The system's own programs (curl, tar, cmd.exe), always by their full path
// in the folder Windows reports: a bare name would be looked for in the
// program's own folder first, and Windows does not always live on C:.
#pragma once
#include "text/bounded.h"

// path = the system folder + "\" + name. 1 when it fits.
int system_program(const wchar_t* name, wchar_t (&path)[PATH_CAP]);

enum { CMD_LINE_CAP = 600 };  // cmd.exe's path, "/d /c" and a command with a path

// A cmd.exe line running command: cmd.exe by its full path, "/d" (no
// AutoRun commands of the user), "/c" and command as it stands, which keeps
// cmd's own quoting. 1 when it fits.
int cmd_line(wchar_t (&line)[CMD_LINE_CAP], const wchar_t* command);

// The code page the system's console programs write in: the console's, or
// without a console (a window program has none) the OEM code page that a
// new console starts with.
unsigned int console_code_page();
