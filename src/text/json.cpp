// Walking JSON text in place: skipping values, finding members, reading
// strings and numbers.
#include "text/json.h"

#include <cwchar>

#include "text/hex.h"

namespace {

// The four hex digits of a "\uXXXX" escape at p; -1 when they are not.
long read_hex4(const wchar_t* p)
{
    long value = 0;
    for (int i = 0; i < 4; ++i) {
        int digit = hex_digit(p[i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

wchar_t simple_escape(wchar_t c)
{
    switch (c) {
    case L'"':
    case L'\\':
    case L'/':
        return c;
    case L'b':
    case L'f':
    case L'n':
    case L'r':
    case L't':
        return L' ';
    default:
        return 0;
    }
}

// Just past the string whose opening quote is at p, or null.
const wchar_t* string_end(const wchar_t* p)
{
    for (++p; *p != L'"'; ++p) {
        if (*p == L'\0')
            return nullptr;
        if (*p == L'\\' && *++p == L'\0')
            return nullptr;
    }
    return p + 1;
}

int is_word_char(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'+' || c == L'.' ||
           c == L'E';
}

}  // namespace

const wchar_t* json_skip_space(const wchar_t* p)
{
    while (*p == L' ' || *p == L'\t' || *p == L'\r' || *p == L'\n')
        ++p;
    return p;
}

const wchar_t* json_value_end(const wchar_t* p)
{
    if (!p)
        return nullptr;
    p = json_skip_space(p);
    if (*p == L'"')
        return string_end(p);
    if (*p != L'{' && *p != L'[') {
        // A number, true, false or null: one run of their characters.
        const wchar_t* start = p;
        while (is_word_char(*p))
            ++p;
        return p == start ? nullptr : p;
    }
    long depth = 0;
    for (; *p; ++p) {
        if (*p == L'"') {
            p = string_end(p);
            if (!p)
                return nullptr;
            --p;
        } else if (*p == L'{' || *p == L'[') {
            ++depth;
        } else if ((*p == L'}' || *p == L']') && --depth == 0) {
            return p + 1;
        }
    }
    return nullptr;
}

const wchar_t* json_member(const wchar_t* object, const wchar_t* key)
{
    if (!object)
        return nullptr;
    const wchar_t* p = json_skip_space(object);
    if (*p != L'{')
        return nullptr;
    p = json_skip_space(p + 1);
    while (*p == L'"') {
        const wchar_t* name = p;
        p = string_end(p);
        if (!p)
            return nullptr;
        p = json_skip_space(p);
        if (*p != L':')
            return nullptr;
        const wchar_t* value = json_skip_space(p + 1);
        if (json_is(name, key))
            return value;
        p = json_value_end(value);
        if (!p)
            return nullptr;
        p = json_skip_space(p);
        if (*p != L',')
            return nullptr;
        p = json_skip_space(p + 1);
    }
    return nullptr;
}

const wchar_t* json_first(const wchar_t* array)
{
    if (!array)
        return nullptr;
    const wchar_t* p = json_skip_space(array);
    if (*p != L'[')
        return nullptr;
    p = json_skip_space(p + 1);
    return *p == L']' || *p == L'\0' ? nullptr : p;
}

const wchar_t* json_next(const wchar_t* element)
{
    const wchar_t* p = json_value_end(element);
    if (!p)
        return nullptr;
    p = json_skip_space(p);
    return *p == L',' ? json_skip_space(p + 1) : nullptr;
}

int json_number(const wchar_t* p, double& value)
{
    if (!p)
        return 0;
    p = json_skip_space(p);
    if (*p != L'-' && (*p < L'0' || *p > L'9'))
        return 0;
    wchar_t* stop = nullptr;
    double read = std::wcstod(p, &stop);
    if (stop == p)
        return 0;
    value = read;
    return 1;
}

int json_true(const wchar_t* p)
{
    return p && std::wcsncmp(json_skip_space(p), L"true", 4) == 0;
}

int json_string(const wchar_t* p, wchar_t* out, size_t cap, const wchar_t** after)
{
    if (cap == 0 || !p)
        return 0;
    out[0] = L'\0';
    p = json_skip_space(p);
    if (*p++ != L'"')
        return 0;
    size_t n = 0;
    int whole = 1;
    while (*p != L'"') {
        wchar_t c = *p++;
        if (c == L'\0')
            return 0;
        if (c == L'\\' && *p == L'u') {
            long unit = read_hex4(p + 1);
            if (unit < 0)
                return 0;
            c = (wchar_t)unit;
            p += 5;
        } else if (c == L'\\') {
            if (!(c = simple_escape(*p++)))
                return 0;
        }
        if (c < 0x20)
            c = L' ';
        if (n + 1 < cap)
            out[n++] = c;
        else
            whole = 0;
        out[n] = L'\0';
    }
    if (after)
        *after = p + 1;
    return whole ? 1 : -1;
}

int json_is(const wchar_t* p, const wchar_t* text)
{
    if (!p)
        return 0;
    p = json_skip_space(p);
    size_t length = std::wcslen(text);
    return *p == L'"' && std::wcsncmp(p + 1, text, length) == 0 && p[length + 1] == L'"';
}
