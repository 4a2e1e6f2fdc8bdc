// Finding and reading the start time in a video address.
#include "text/address_time.h"

#include <cwchar>

namespace {

struct TimeUnit {
    wchar_t letter;
    long seconds;
};

// In the order they must come: "1h2m3s", never "3s1h".
const TimeUnit UNITS[] = {{L'h', 3600}, {L'm', 60}, {L's', 1}};

// Where a value ends: the next parameter, the fragment, the end.
int ends_value(wchar_t c)
{
    return c == L'\0' || c == L'&' || c == L'#';
}

int is_digit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

// Reads the digits at p into number, moving p past them; 0 when there are
// none or the number passes the limit (which also keeps it far from
// overflowing).
int read_number(const wchar_t*& p, long& number)
{
    if (!is_digit(*p))
        return 0;
    number = 0;
    for (; is_digit(*p); ++p) {
        number = number * 10 + (*p - L'0');
        if (number > ADDRESS_TIME_MAX_SECONDS)
            return 0;
    }
    return 1;
}

// "1:15", "1:02:03": minutes and seconds below 60 after the first field.
int read_colon_time(const wchar_t* p, long& total)
{
    total = 0;
    for (int field = 0; field < 3; ++field) {
        long number;
        if (!read_number(p, number) || (field > 0 && number >= 60))
            return 0;
        total = total * 60 + number;
        if (ends_value(*p))
            return field > 0;
        if (*p++ != L':')
            return 0;
    }
    return 0;
}

// "75", "75s", "1m15s", "1h2m3s".
int read_unit_time(const wchar_t* p, long& total)
{
    total = 0;
    long number;
    if (!read_number(p, number))
        return 0;
    if (ends_value(*p)) {
        total = number;
        return 1;
    }
    size_t next_unit = 0;
    for (;;) {
        while (next_unit < sizeof UNITS / sizeof UNITS[0] && UNITS[next_unit].letter != *p)
            ++next_unit;
        if (next_unit == sizeof UNITS / sizeof UNITS[0])
            return 0;
        total += number * UNITS[next_unit++].seconds;
        ++p;
        if (ends_value(*p))
            return 1;
        if (!read_number(p, number))
            return 0;
    }
}

int read_time_value(const wchar_t* value, double& seconds)
{
    long total;
    const wchar_t* colon = std::wcschr(value, L':');
    const wchar_t* end = value;
    while (!ends_value(*end))
        ++end;
    int read = (colon && colon < end) ? read_colon_time(value, total) : read_unit_time(value, total);
    if (!read || total > ADDRESS_TIME_MAX_SECONDS)
        return 0;
    seconds = (double)total;
    return 1;
}

// The value of parameter name in the "a=1&b=2" list that begins at p
// (ended by the fragment or the end), or null.
const wchar_t* find_parameter(const wchar_t* p, const wchar_t* name)
{
    size_t length = std::wcslen(name);
    while (*p && *p != L'#') {
        if (std::wcsncmp(p, name, length) == 0 && p[length] == L'=')
            return p + length + 1;
        while (*p && *p != L'&' && *p != L'#')
            ++p;
        if (*p == L'&')
            ++p;
    }
    return nullptr;
}

}  // namespace

int start_time_in_address(const wchar_t* url, double& seconds)
{
    const wchar_t* fragment = std::wcschr(url, L'#');
    const wchar_t* query = std::wcschr(url, L'?');
    if (query && fragment && query > fragment)
        query = nullptr;  // a "?" inside the fragment starts no query
    const wchar_t* value = nullptr;
    if (query && !(value = find_parameter(query + 1, L"t")))
        value = find_parameter(query + 1, L"start");
    if (!value && fragment)
        value = find_parameter(fragment + 1, L"t");
    return value && read_time_value(value, seconds);
}
