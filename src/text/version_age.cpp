#include "text/version_age.h"

namespace {

int is_leap(long year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int days_in_month(long year, int month)
{
    static const int DAYS[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && is_leap(year) ? 29 : DAYS[month - 1];
}

int is_date(long year, int month, int day)
{
    return year >= 1 && month >= 1 && month <= 12 && day >= 1 && day <= days_in_month(year, month);
}

// Days since 1970-01-01 in the proleptic Gregorian calendar (year >= 1).
long day_number(long year, int month, int day)
{
    if (month <= 2)
        --year;
    long era = year / 400;
    long year_of_era = year - era * 400;
    long day_of_year = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    long day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;
}

// Reads exactly count ASCII digits at text.
int read_digits(const wchar_t*& text, int count, long& value)
{
    value = 0;
    for (int i = 0; i < count; ++i, ++text) {
        if (*text < L'0' || *text > L'9')
            return 0;
        value = value * 10 + (*text - L'0');
    }
    return 1;
}

int skip_dot(const wchar_t*& text)
{
    if (*text != L'.')
        return 0;
    ++text;
    return 1;
}

}  // namespace

int version_age_days(const wchar_t* version, int year, int month, int day, long* days)
{
    const wchar_t* p = version;
    long release_year, release_month, release_day;
    if (!read_digits(p, 4, release_year) || !skip_dot(p) || !read_digits(p, 2, release_month) ||
        !skip_dot(p) || !read_digits(p, 2, release_day) || (*p != L'\0' && *p != L'.'))
        return 0;
    if (!is_date(release_year, (int)release_month, (int)release_day) || !is_date(year, month, day))
        return 0;
    *days = day_number(year, month, day) - day_number(release_year, (int)release_month, (int)release_day);
    return 1;
}
