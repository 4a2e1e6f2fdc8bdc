// The clip's file name as yt-dlp's output template makes it, cut so that
// every file yt-dlp writes for it keeps its full path within Windows' path
// limit (MAX_PATH, which Windows does not lift by default), counted in
// UTF-16 units as Windows counts them.
#pragma once
#include <cstddef>

enum {
    WINDOWS_PATH_UNITS = 259,  // MAX_PATH less its terminator
    CLIP_NAME_MIN_UNITS = 40,  // less than this leaves no useful name
    OUTPUT_TEMPLATE_CAP = 96
};

// How many UTF-16 units text takes: where wchar_t is wider than 16 bits, a
// character beyond U+FFFF (an emoji) counts two, as it does on Windows.
size_t utf16_units(const wchar_t* text);

// The limits the output template sets, as yt-dlp reads them: the title cut
// to title_chars characters, the id to id_bytes bytes of UTF-8.
struct ClipNameBudget {
    int title_chars;
    int id_bytes;
};

// The budget for files written in folder (a full path, no trailing
// backslash). 1 when it leaves at least CLIP_NAME_MIN_UNITS for the file
// name; 0 when the folder is too deep (budget then holds the least limits,
// which a path that long still cannot keep within the limit).
int clip_name_budget(const wchar_t* folder, ClipNameBudget* budget);

// The relative output template for budget: title, " [id]" and extension,
// with no folder at all (yt-dlp runs in the job's folder). 1 when it fitted.
int format_output_template(const ClipNameBudget* budget, wchar_t (&out)[OUTPUT_TEMPLATE_CAP]);
