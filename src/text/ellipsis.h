// Shortening a name with "…" until the line that holds it fits a width the
// caller measures, so that what follows the name always shows.
#pragma once
#include <cstddef>

// How wide text[0, length) is where the caller draws it, in any unit.
typedef long (*MeasureText)(const wchar_t* text, size_t length, void* context);

// Writes before, name and after into out (cap characters, always
// terminated). When that line is wider than width (or longer than cap), the
// name keeps as much of its start as fits, then "…" and its extension (from
// its last "."). 1 when the line fits; 0 when even the shortest form (no
// start at all) does not, and out holds that form.
int fit_name_in_line(const wchar_t* before, const wchar_t* name, const wchar_t* after, long width,
                     MeasureText measure, void* context, wchar_t* out, size_t cap);
