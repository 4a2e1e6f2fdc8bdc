// A small reader of JSON text in wide characters, for the parts of yt-dlp's
// output the program uses: values are found by key and walked in place,
// without building a tree. Every function takes a pointer to a value (space
// before it is skipped) and answers null or 0 for what is not there or not
// well formed; nothing is read past the text's terminator.
#pragma once
#include <cstddef>

// The first character after the space at p.
const wchar_t* json_skip_space(const wchar_t* p);
// Just past the value at p, or null when no whole value is there. Objects
// and arrays are skipped without recursion, however deep they nest.
const wchar_t* json_value_end(const wchar_t* p);
// The value of key in the object at p (the first member of that name), or null.
const wchar_t* json_member(const wchar_t* object, const wchar_t* key);
// The first element of the array at p, or null when it is empty or no array.
const wchar_t* json_first(const wchar_t* array);
// The element after the one at p, or null after the last one.
const wchar_t* json_next(const wchar_t* element);
// 1 and the value when p holds a number; 0 for anything else (null included).
int json_number(const wchar_t* p, double& value);
// 1 when the value at p is true; 0 for false, null or anything else.
int json_true(const wchar_t* p);
// The string at p into out (cap characters, always terminated): "\uXXXX"
// becomes the UTF-16 unit it names, so a pair of them is the character it
// encodes; a control character becomes a space. 1 when it was a string
// and fitted whole, -1 when it was a string cut to fit, 0 when no string
// is there. With after, it is set just past the closing quote.
int json_string(const wchar_t* p, wchar_t* out, size_t cap, const wchar_t** after);
// 1 when the value at p is the string text, written without escapes.
int json_is(const wchar_t* p, const wchar_t* text);
