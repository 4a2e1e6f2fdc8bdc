// A command line built argument by argument (append_arg) that remembers
// whether every argument fitted, so that a cut line is never run.
#pragma once
#include <cstddef>

struct ArgLine {
    wchar_t* text;
    size_t cap;
    int fitted;  // 0 once any argument did not fit whole
};

// Starts an empty line in text (cap characters).
ArgLine arg_line(wchar_t* text, size_t cap);

void add_arg(ArgLine* line, const wchar_t* arg);

// Adds one argument formatted with format_text (%ls for a string).
void add_argf(ArgLine* line, const wchar_t* format, ...);
