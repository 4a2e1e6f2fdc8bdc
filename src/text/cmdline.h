// Builds a Windows command line one argument at a time, quoted so that the
// child's C runtime (and CommandLineToArgvW) splits it back into exactly
// the arguments appended.
#pragma once
#include <cstddef>

// Appends arg to the zero-terminated line (capacity cap, terminator
// included), after one separating space unless the line is empty. An
// argument that does not fit whole leaves the line as it was. Returns a
// pointer to the line's terminator.
wchar_t* append_arg(wchar_t* line, size_t cap, const wchar_t* arg);

// Appends count arguments in turn; 0 as soon as one does not fit whole.
int append_all(wchar_t* line, size_t cap, const wchar_t* const* args, size_t count);
