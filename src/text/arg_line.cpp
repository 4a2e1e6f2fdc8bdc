#include "text/arg_line.h"

#include <cstdarg>
#include <cwchar>

#include "text/bounded.h"
#include "text/cmdline.h"

namespace {
enum { FORMATTED_ARG_CAP = 1024 };
}

ArgLine arg_line(wchar_t* text, size_t cap)
{
    if (cap > 0)
        text[0] = L'\0';
    return ArgLine{text, cap, cap > 0};
}

void add_arg(ArgLine* line, const wchar_t* arg)
{
    if (line->cap == 0)
        return;
    size_t before = std::wcslen(line->text);
    const wchar_t* end = append_arg(line->text, line->cap, arg);
    // Every argument adds at least a character (an empty one is quoted).
    if ((size_t)(end - line->text) == before)
        line->fitted = 0;
}

void add_argf(ArgLine* line, const wchar_t* format, ...)
{
    wchar_t arg[FORMATTED_ARG_CAP];
    std::va_list args;
    va_start(args, format);
    const int fitted = vformat_text(arg, FORMATTED_ARG_CAP, format, args);
    va_end(args);
    if (!fitted) {
        line->fitted = 0;
        return;
    }
    add_arg(line, arg);
}
