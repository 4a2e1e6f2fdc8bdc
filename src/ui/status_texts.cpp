#include "ui/status_texts.h"
#include "text/bounded.h"

void format_done(const wchar_t* name, unsigned long long size, long width, MeasureText measure, void* context,
                 wchar_t* out, size_t cap)
{
    wchar_t megabytes[32];
    format_text(megabytes, L" (%.1f MB)", (double)size / 1000000.0);
    fit_name_in_line(L"done — ", name, megabytes, width, measure, context, out, cap);
}
