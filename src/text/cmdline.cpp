// Command-line builder. Windows programs split their command line by the C
// runtime's rules: space and tab separate arguments, a double quote toggles
// quoting, and 2n backslashes before a quote stand for n backslashes and a
// quote that is syntax, 2n+1 for n backslashes and a literal quote.
// Backslashes not followed by a quote are literal. We quote so that the
// child gets back exactly the argument we appended.
#include "text/cmdline.h"

#include <cwchar>

namespace {

int needs_quotes(const wchar_t* arg)
{
    if (*arg == L'\0')
        return 1;
    for (const wchar_t* p = arg; *p; ++p) {
        if (*p == L' ' || *p == L'\t' || *p == L'\n' || *p == L'\v')
            return 1;
    }
    return 0;
}

// Writes the encoded argument to out (when out is not null) and returns its
// length in characters, quotes included.
size_t encode_arg(const wchar_t* arg, wchar_t* out)
{
    const int quoted = needs_quotes(arg);
    size_t n = 0;
    auto put = [&](wchar_t c) {
        if (out)
            out[n] = c;
        ++n;
    };

    if (quoted)
        put(L'"');
    for (const wchar_t* p = arg; *p;) {
        size_t slashes = 0;
        while (p[slashes] == L'\\')
            ++slashes;
        const wchar_t next = p[slashes];
        // Backslashes before a quote, or before the closing quote we add,
        // must be doubled to stay literal.
        size_t written = slashes;
        if (next == L'"' || (next == L'\0' && quoted))
            written = slashes * 2;
        for (size_t i = 0; i < written; ++i)
            put(L'\\');
        p += slashes;
        if (*p == L'\0')
            break;
        if (*p == L'"')
            put(L'\\');
        put(*p++);
    }
    if (quoted)
        put(L'"');
    return n;
}

}  // namespace

wchar_t* append_arg(wchar_t* line, size_t cap, const wchar_t* arg)
{
    if (cap == 0)
        return line;
    size_t len = 0;
    while (len < cap && line[len] != L'\0')
        ++len;
    if (len == cap) {  // not terminated within its capacity: never read past it
        line[cap - 1] = L'\0';
        return line + cap - 1;
    }

    const size_t sep = len > 0 ? 1 : 0;
    const size_t body = encode_arg(arg, nullptr);
    if (len + sep + body >= cap)  // the terminator must fit too
        return line + len;

    if (sep)
        line[len++] = L' ';
    encode_arg(arg, line + len);
    len += body;
    line[len] = L'\0';
    return line + len;
}

int append_all(wchar_t* line, size_t cap, const wchar_t* const* args, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        size_t before = std::wcslen(line);
        append_arg(line, cap, args[i]);
        if (std::wcslen(line) == before)
            return 0;
    }
    return 1;
}
