// The status line's words for the end of a clip that the window builds
// itself: the finished clip's name and size, fitted to the line.
#pragma once
#include <cstddef>
#include "text/ellipsis.h"

// "done — NAME (N.N MB)" into out (cap characters, always terminated), on
// one line of width as measure counts it: a long name is shortened with
// "…", so that the size always shows.
void format_done(const wchar_t* name, unsigned long long size, long width, MeasureText measure, void* context,
                 wchar_t* out, size_t cap);
