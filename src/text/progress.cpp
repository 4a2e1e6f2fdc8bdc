// Progress-line recognisers. They run on every output line, so each is a
// few linear scans with no allocation.
#include "text/progress.h"

#include <cwchar>
#include <cwctype>

namespace {

int is_digit(wchar_t c)
{
    return std::iswdigit(static_cast<std::wint_t>(c)) != 0;
}

// Moves back from the '%' at pct over the digits and full stops before it.
const wchar_t* number_start(const wchar_t* line, const wchar_t* pct)
{
    const wchar_t* start = pct;
    while (start > line && (is_digit(start[-1]) || start[-1] == L'.'))
        --start;
    return start;
}

int read_percent(const wchar_t* start, double& out)
{
    out = std::wcstod(start, nullptr);
    return out >= 0 && out <= 100;
}

// curl's "-#" bar holds only spaces, '#', '%', '.' and digits: bits 32, 35,
// 37 and 46 of this mask.
const unsigned long long CURL_BAR_CHARS = 0x402900000000ull;

int is_curl_bar_char(wchar_t c)
{
    if (c <= 46 && ((CURL_BAR_CHARS >> c) & 1))
        return 1;
    return is_digit(c);
}

}  // namespace

int parse_dl_percent(const wchar_t* line, double& out)
{
    if (!std::wcsstr(line, L"[download]"))
        return 0;
    const wchar_t* pct = std::wcschr(line, L'%');
    if (!pct || pct == line)
        return 0;
    const wchar_t* start = number_start(line, pct);
    if (start == pct)
        return 0;
    return read_percent(start, out);
}

int parse_curl_progress(const wchar_t* line, double& out)
{
    if (!std::wcschr(line, L'#'))
        return 0;
    int digits = 0;
    for (const wchar_t* p = line; *p; ++p) {
        if (!is_curl_bar_char(*p))
            return 0;
        digits += is_digit(*p);
    }
    const wchar_t* pct = std::wcschr(line, L'%');
    if (!digits || !pct)
        return 0;
    // With no digit right before the '%', the number read there is 0.
    return read_percent(number_start(line, pct), out);
}

int parse_ffmpeg_time(const wchar_t* line, double& out)
{
    if (!std::wcsstr(line, L"bitrate=") && !std::wcsstr(line, L"speed="))
        return 0;
    const wchar_t* time = std::wcsstr(line, L"time=");
    if (!time)
        return 0;
    int hours = 0, minutes = 0;
    double seconds = 0;
    if (std::swscanf(time + 5, L"%d:%d:%lf", &hours, &minutes, &seconds) != 3)
        return 0;
    out = hours * 3600.0 + minutes * 60.0 + seconds;
    return 1;
}
