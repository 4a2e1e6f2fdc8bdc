#include "text/bounded.h"

#include <cstdarg>
#include <cwchar>

int format_text(wchar_t* out, size_t cap, const wchar_t* format, ...)
{
    std::va_list args;
    va_start(args, format);
    const int fitted = vformat_text(out, cap, format, args);
    va_end(args);
    return fitted;
}

int vformat_text(wchar_t* out, size_t cap, const wchar_t* format, std::va_list args)
{
    if (cap == 0)
        return 0;
    const int written = std::vswprintf(out, cap, format, args);
    out[cap - 1] = L'\0';
    // Runtimes differ on a text that does not fit (a negative result, or the
    // full length with the text cut), so compare with what was stored.
    return written >= 0 && std::wcslen(out) == static_cast<size_t>(written);
}
