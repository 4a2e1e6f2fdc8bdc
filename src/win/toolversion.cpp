#include "win/toolversion.h"
#include "win/dyn_calls.h"
#include <stdlib.h>
#include "text/bounded.h"
#include "text/version_age.h"

// The fixed part of a version resource; its numbers do not depend on the
// language tables, which yt-dlp's builds label inconsistently.
static int read_fixed_info(const wchar_t* path, VS_FIXEDFILEINFO* info)
{
    const VersionCalls* version = version_calls();
    if (!version)
        return 0;
    DWORD ignored = 0;
    DWORD size = version->info_size(path, &ignored);
    if (size == 0)
        return 0;
    void* block = malloc(size);
    if (!block)
        return 0;
    int found = 0;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (version->info(path, 0, size, block) && version->query_value(block, L"\\", (void**)&fixed, &length) &&
        fixed && length >= sizeof *fixed && fixed->dwSignature == VS_FFI_SIGNATURE) {
        *info = *fixed;
        found = 1;
    }
    free(block);
    return found;
}

int read_tool_version(const wchar_t* path, wchar_t (&out)[TOOL_VERSION_CAP])
{
    out[0] = L'\0';
    VS_FIXEDFILEINFO info;
    if (!read_fixed_info(path, &info))
        return 0;
    unsigned year = HIWORD(info.dwFileVersionMS), month = LOWORD(info.dwFileVersionMS);
    unsigned day = HIWORD(info.dwFileVersionLS), extra = LOWORD(info.dwFileVersionLS);
    if (extra)
        format_text(out, L"%u.%02u.%02u.%u", year, month, day, extra);
    else
        format_text(out, L"%u.%02u.%02u", year, month, day);
    return 1;
}

int tool_age_days(const wchar_t* path, long* days)
{
    wchar_t version[TOOL_VERSION_CAP];
    if (!read_tool_version(path, version))
        return 0;
    SYSTEMTIME today;
    GetLocalTime(&today);
    return version_age_days(version, today.wYear, today.wMonth, today.wDay, days);
}
