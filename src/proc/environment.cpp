// Builds a child's environment block: the program's own, TEMP and TMP replaced.
#include "proc/environment.h"
#include <windows.h>
#include <stdlib.h>
#include <wchar.h>

// The names to set, in the order Windows sorts a block (case ignored).
static const wchar_t* const TEMP_NAMES[] = {L"TEMP", L"TMP"};
enum { TEMP_NAME_COUNT = 2 };

// Below, at or above zero as the entry's name sorts before, equals or comes
// after name (upper case). A name ends at its '=', but the hidden "=C:=C:\"
// entries begin with one.
static int compare_name(const wchar_t* entry, const wchar_t* name)
{
    for (size_t i = 0;; ++i) {
        int entry_ends = entry[i] == L'\0' || (entry[i] == L'=' && i > 0);
        int name_ends = name[i] == L'\0';
        if (entry_ends || name_ends)
            return entry_ends && name_ends ? 0 : entry_ends ? -1 : 1;
        wchar_t upper = towupper(entry[i]);
        if (upper != name[i])
            return upper < name[i] ? -1 : 1;
    }
}

static int is_temp_entry(const wchar_t* entry)
{
    for (const wchar_t* name : TEMP_NAMES)
        if (compare_name(entry, name) == 0)
            return 1;
    return 0;
}

// Writes "name=value" and its terminator at out; returns the place after it.
static wchar_t* put_entry(wchar_t* out, const wchar_t* name, const wchar_t* value)
{
    size_t name_length = wcslen(name), value_length = wcslen(value);
    wmemcpy(out, name, name_length);
    out[name_length] = L'=';
    wmemcpy(out + name_length + 1, value, value_length);
    out[name_length + 1 + value_length] = L'\0';
    return out + name_length + value_length + 2;
}

// Characters of a block up to and including its closing empty entry.
static size_t block_length(const wchar_t* block)
{
    const wchar_t* entry = block;
    while (*entry)
        entry += wcslen(entry) + 1;
    return (size_t)(entry - block) + 1;
}

wchar_t* environment_with_temp(const wchar_t* folder)
{
    wchar_t* own = GetEnvironmentStringsW();
    if (!own)
        return NULL;
    size_t cap = block_length(own) + TEMP_NAME_COUNT * (wcslen(folder) + 6);
    wchar_t* block = (wchar_t*)malloc(cap * sizeof(wchar_t));
    if (block) {
        wchar_t* out = block;
        int set = 0;  // TEMP_NAMES written so far
        for (const wchar_t* entry = own; *entry; entry += wcslen(entry) + 1) {
            for (; set < TEMP_NAME_COUNT && compare_name(entry, TEMP_NAMES[set]) >= 0; ++set)
                out = put_entry(out, TEMP_NAMES[set], folder);
            if (is_temp_entry(entry))
                continue;
            size_t size = wcslen(entry) + 1;
            wmemcpy(out, entry, size);
            out += size;
        }
        for (; set < TEMP_NAME_COUNT; ++set)
            out = put_entry(out, TEMP_NAMES[set], folder);
        *out = L'\0';
    }
    FreeEnvironmentStringsW(own);
    return block;
}
