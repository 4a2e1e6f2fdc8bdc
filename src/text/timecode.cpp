// Time-code parser: up to three fields separated by colons, the last one
// seconds, each earlier one worth 60 of the next.
#include "text/timecode.h"

#include <cwchar>

namespace {

enum { FIELD_CAP = 32, MAX_FIELDS = 3 };

int is_stop(wchar_t c)
{
    return c == L'\0' || c == L' ' || c == L':';
}

// A field is ASCII digits with at most one full stop; no digit is required
// ("." alone reads as 0). Returns 1 and the value, or 0 when malformed.
int read_field(const wchar_t* field, double& value)
{
    int stops = 0;
    for (const wchar_t* p = field; *p; ++p) {
        if (*p == L'.') {
            if (++stops > 1)
                return 0;
        } else if (*p < L'0' || *p > L'9') {
            return 0;
        }
    }
    value = std::wcstod(field, nullptr);
    return 1;
}

}  // namespace

int parse_timecode(const wchar_t* text, double& seconds)
{
    const wchar_t* p = text;
    while (*p == L' ')
        ++p;
    if (*p == L'\0')
        return 0;

    double fields[MAX_FIELDS];
    int count = 0;
    for (;;) {
        wchar_t field[FIELD_CAP];
        int len = 0;
        while (!is_stop(*p)) {
            if (len == FIELD_CAP - 1)
                return -1;
            field[len++] = *p++;
        }
        field[len] = L'\0';

        if (len == 0 || count == MAX_FIELDS)
            return -1;
        if (!read_field(field, fields[count]))
            return -1;
        ++count;

        if (*p == L':') {
            ++p;
            continue;
        }
        while (*p == L' ')
            ++p;
        if (*p != L'\0')
            return -1;
        break;
    }

    double total = 0;
    for (int i = 0; i < count; ++i)
        total = total * 60 + fields[i];
    seconds = total;
    return 1;
}
