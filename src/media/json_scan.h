// Reading a JSON text as bytes where it lies, without building a tree:
// skipping a value, finding an object's member, reading a string or a
// number. Enough for yt-dlp's video information files.
#pragma once
#include <cstddef>

// The byte after the value that begins at p (white space before it is
// skipped); null when the text there is not a whole value before end.
const char* json_skip(const char* p, const char* end);

// The value of member key of the object that begins at object; null when
// there is none (or object is no object).
const char* json_member(const char* object, const char* end, const char* key);

// The string at p, unescaped to UTF-8 into out (cap bytes, terminated).
// 1 when p holds a string that fitted.
int json_string(const char* p, const char* end, char* out, size_t cap);

// The number at p; 1 when p holds one. "true" reads as 1, "false" as 0.
int json_number(const char* p, const char* end, double* value);

// Calls take(element) for each element of the array at p, until it
// returns 0; 0 when p holds no array or take stopped it.
template <typename Take>
int json_each(const char* p, const char* end, Take take)
{
    while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t'))
        ++p;
    if (p >= end || *p != '[')
        return 0;
    ++p;
    for (;;) {
        while (p < end && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t' || *p == ','))
            ++p;
        if (p >= end)
            return 0;
        if (*p == ']')
            return 1;
        const char* next = json_skip(p, end);
        if (!next || !take(p))
            return 0;
        p = next;
    }
}
