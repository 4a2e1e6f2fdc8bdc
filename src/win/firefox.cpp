#include "win/firefox.h"
#include <windows.h>
#include <wchar.h>
#include "text/bounded.h"
#include "win/files.h"
#include "win/globals.h"

struct ProfileRoot {
    const wchar_t* variable;  // the environment variable the folder lies in
    const wchar_t* profiles;
};

// Where yt-dlp looks, and by the same environment variables: it runs as our
// child and sees the environment we see.
static const ProfileRoot PROFILE_ROOTS[] = {
    {L"APPDATA", L"Mozilla\\Firefox\\Profiles"},
    {L"LOCALAPPDATA", L"Packages\\Mozilla.Firefox_n80bbvh6b1yt2\\LocalCache\\Roaming\\Mozilla\\Firefox\\Profiles"},
};

static const wchar_t COOKIE_STORE[] = L"cookies.sqlite";

static int is_profile_folder(const WIN32_FIND_DATAW& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !is_dot_entry(entry.cFileName);
}

static int profiles_hold_cookies(const wchar_t* profiles)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = open_listing(profiles, &entry);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    int found = 0;
    do {
        wchar_t store[PATH_CAP];
        found = is_profile_folder(entry) &&
                format_text(store, L"%ls\\%ls\\%ls", profiles, entry.cFileName, COOKIE_STORE) && is_file(store);
    } while (!found && FindNextFileW(find, &entry));
    FindClose(find);
    return found;
}

int firefox_has_cookies()
{
    for (const ProfileRoot& root : PROFILE_ROOTS) {
        wchar_t base[PATH_CAP], profiles[PATH_CAP];
        DWORD length = GetEnvironmentVariableW(root.variable, base, PATH_CAP);
        if (length == 0 || length >= PATH_CAP)
            continue;
        if (format_text(profiles, L"%ls\\%ls", base, root.profiles) && profiles_hold_cookies(profiles))
            return 1;
    }
    return 0;
}
