// Wide formatting into a fixed buffer that tells whether the text fitted.
#pragma once
#include <cstdarg>
#include <cstddef>

enum { PATH_CAP = 260 };  // a path: at most 259 characters and the terminator

// Formats into out (cap characters, always terminated when cap > 0).
// 1 when the whole text fitted, 0 when it was cut or could not be made:
// a cut path names another file, so callers that build paths check it.
int format_text(wchar_t* out, size_t cap, const wchar_t* format, ...);

// The same with the arguments of a caller's own variadic function.
int vformat_text(wchar_t* out, size_t cap, const wchar_t* format, std::va_list args);

// The same into a buffer whose size the compiler knows.
template <std::size_t N, typename... Args>
int format_text(wchar_t (&out)[N], const wchar_t* format, Args... args)
{
    return format_text(out, N, format, args...);
}
