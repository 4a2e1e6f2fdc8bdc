#include "text/proxy.h"

#include <cwchar>
#include <cwctype>

namespace {

const wchar_t HTTPS_KEY[] = L"https=";
const size_t HTTPS_KEY_LENGTH = sizeof HTTPS_KEY / sizeof HTTPS_KEY[0] - 1;

int is_separator(wchar_t c)
{
    return c == L';' || c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// The next entry at or after p: [*start, returned end). Its end equals
// *start when there is none left.
const wchar_t* next_entry(const wchar_t* p, const wchar_t** start)
{
    while (is_separator(*p))
        p++;
    *start = p;
    while (*p && !is_separator(*p))
        p++;
    return p;
}

// "https=…" in any letter case, as Windows reads it.
int is_https_entry(const wchar_t* start, const wchar_t* end)
{
    if ((size_t)(end - start) < HTTPS_KEY_LENGTH)
        return 0;
    for (size_t i = 0; i < HTTPS_KEY_LENGTH; i++)
        if ((wchar_t)std::towlower(start[i]) != HTTPS_KEY[i])
            return 0;
    return 1;
}

// Copies [start, end) into out; 0 when it is empty or too long.
int copy_entry(const wchar_t* start, const wchar_t* end, wchar_t* out, size_t cap)
{
    size_t length = (size_t)(end - start);
    if (length == 0 || length >= cap)
        return 0;
    std::wmemcpy(out, start, length);
    out[length] = L'\0';
    return 1;
}

}  // namespace

int https_proxy_of(const wchar_t* setting, wchar_t* out, size_t cap)
{
    if (cap == 0)
        return 0;
    out[0] = L'\0';
    if (!setting)
        return 0;
    const wchar_t* start;
    const wchar_t* end = next_entry(setting, &start);
    // One entry with no "=" serves every protocol.
    if (end > start && !std::wcschr(setting, L'='))
        return copy_entry(start, end, out, cap);
    // In a list of protocols, one without "https=" sends HTTPS direct.
    for (; end > start; end = next_entry(end, &start))
        if (is_https_entry(start, end))
            return copy_entry(start + HTTPS_KEY_LENGTH, end, out, cap);
    return 0;
}
