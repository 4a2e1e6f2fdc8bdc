// How old a tool is by a version that names its release date, the way
// yt-dlp numbers its releases ("2025.10.22", or "2025.10.22.1" for a second
// release that day).
#pragma once

// 1 with days: from the version's date to the given day (year, month 1-12,
// day 1-31), negative when the version is dated later. 0 when version does
// not begin with a real date as "YYYY.MM.DD" or the given day is no date.
int version_age_days(const wchar_t* version, int year, int month, int day, long* days);
