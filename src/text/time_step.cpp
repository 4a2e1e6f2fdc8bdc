// Stepping a typed time and writing times in the user's own form.
#include "text/time_step.h"

#include <cmath>
#include <cwchar>

#include "text/bounded.h"
#include "text/timecode.h"

namespace {

const double DEFAULT_FRAME_SECONDS = 0.1;
// Rounding errors of a double are far below this many seconds (or frames).
const double TINY = 1e-6;

long long whole_ms(double seconds)
{
    return (long long)std::floor(seconds * 1000 + TINY);
}

// A fraction of a second, ".5" or ".033", or nothing for a whole second.
void fraction_of(long long ms, wchar_t (&out)[8])
{
    int rest = (int)(ms % 1000);
    if (rest == 0) {
        out[0] = L'\0';
        return;
    }
    format_text(out, L".%03d", rest);
    size_t n = std::wcslen(out);
    while (out[n - 1] == L'0')
        out[--n] = L'\0';
}

// The index of the frame shown at seconds: the first at or after it. A
// frame's time as format_time writes it (at most a millisecond early) is
// still that frame's at any rate below 1000 frames a second.
double frame_at(double seconds, double fps)
{
    return std::ceil(seconds * fps - TINY);
}

}  // namespace

int time_form_of(const wchar_t* text)
{
    const wchar_t* colon = std::wcschr(text, L':');
    double seconds = 0;
    if (parse_timecode(text, seconds) != 1)
        return TIME_MINUTES;
    if (!colon)
        return TIME_SECONDS;
    return std::wcschr(colon + 1, L':') ? TIME_HOURS : TIME_MINUTES;
}

void format_time(double seconds, int form, wchar_t (&out)[TIME_FIELD_CAP])
{
    long long ms = seconds > 0 ? whole_ms(seconds) : 0;
    wchar_t fraction[8];
    fraction_of(ms, fraction);
    long long total = ms / 1000;
    long long hours = total / 3600, minutes = total / 60 % 60, rest = total % 60;
    if (form == TIME_SECONDS)
        format_text(out, L"%lld%ls", total, fraction);
    else if (hours > 0 || form == TIME_HOURS)
        format_text(out, L"%lld:%02lld:%02lld%ls", hours, minutes, rest, fraction);
    else
        format_text(out, L"%lld:%02lld%ls", minutes, rest, fraction);
}

int step_time(const wchar_t* text, double blank_seconds, const TimeStep& step, double duration,
              wchar_t (&out)[TIME_FIELD_CAP])
{
    double seconds = blank_seconds;
    int read = parse_timecode(text, seconds);
    if (read < 0 || (read == 0 && blank_seconds < 0))
        return 0;
    if (step.frames == 0) {
        seconds += step.seconds;
    } else if (step.fps > 0) {
        seconds = (frame_at(seconds, step.fps) + step.frames) / step.fps;
    } else {
        seconds += step.frames * DEFAULT_FRAME_SECONDS;
    }
    if (seconds < 0)
        seconds = 0;
    if (duration >= 0 && seconds > duration)
        seconds = duration;
    format_time(seconds, read == 0 ? TIME_MINUTES : time_form_of(text), out);
    return 1;
}
