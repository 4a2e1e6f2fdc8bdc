// Builds a child's environment block: the program's own, with PYTHONUTF8
// and (when given) TEMP and TMP replaced.
#include "proc/environment.h"
#include <windows.h>
#include <stdlib.h>
#include <wchar.h>

// The names that may be set, in the order Windows sorts a block (case
// ignored); a null value leaves that name as it is.
static const wchar_t* const SET_NAMES[] = {L"PYTHONUTF8", L"TEMP", L"TMP"};
enum { SET_NAME_COUNT = 3 };

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

static int is_set_entry(const wchar_t* entry, const wchar_t* const (&values)[SET_NAME_COUNT])
{
    for (int i = 0; i < SET_NAME_COUNT; ++i)
        if (values[i] && compare_name(entry, SET_NAMES[i]) == 0)
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

wchar_t* child_environment(const wchar_t* temp_folder)
{
    const wchar_t* const values[SET_NAME_COUNT] = {L"1", temp_folder, temp_folder};
    wchar_t* own = GetEnvironmentStringsW();
    if (!own)
        return NULL;
    size_t cap = block_length(own);
    for (int i = 0; i < SET_NAME_COUNT; ++i)
        if (values[i])
            cap += wcslen(SET_NAMES[i]) + wcslen(values[i]) + 2;
    wchar_t* block = (wchar_t*)malloc(cap * sizeof(wchar_t));
    if (block) {
        wchar_t* out = block;
        int set = 0;  // SET_NAMES dealt with so far
        for (const wchar_t* entry = own; *entry; entry += wcslen(entry) + 1) {
            for (; set < SET_NAME_COUNT && compare_name(entry, SET_NAMES[set]) >= 0; ++set)
                if (values[set])
                    out = put_entry(out, SET_NAMES[set], values[set]);
            if (is_set_entry(entry, values))
                continue;
            size_t size = wcslen(entry) + 1;
            wmemcpy(out, entry, size);
            out += size;
        }
        for (; set < SET_NAME_COUNT; ++set)
            if (values[set])
                out = put_entry(out, SET_NAMES[set], values[set]);
        *out = L'\0';
    }
    FreeEnvironmentStringsW(own);
    return block;
}
