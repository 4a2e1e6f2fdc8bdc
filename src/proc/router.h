// Decides what the window does with one line of a child's output:
// progress moves the bar, a stage line sets a status word, and every
// line that is not progress is logged.
#pragma once
#include <windows.h>

BOOL handle_line(const wchar_t* line);
