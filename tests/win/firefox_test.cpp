// The cookie default's question, with APPDATA and LOCALAPPDATA of the test's
// own: does this Windows user have a Firefox cookie store?
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "support/scratch.h"
#include "win/firefox.h"

TEST(FirefoxCookies, OnlyAProfileThatHoldsACookieStoreCounts)
{
    std::wstring dir = make_scratch_dir(L"firefox");
    wchar_t roaming[MAX_PATH] = {0}, local[MAX_PATH] = {0};
    GetEnvironmentVariableW(L"APPDATA", roaming, MAX_PATH);
    GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
    SetEnvironmentVariableW(L"APPDATA", (dir + L"\\Roaming").c_str());
    SetEnvironmentVariableW(L"LOCALAPPDATA", (dir + L"\\Local").c_str());

    EXPECT_FALSE(firefox_has_cookies()) << "no Firefox folder at all";
    std::wstring profiles = dir + L"\\Roaming\\Mozilla\\Firefox\\Profiles";
    EXPECT_TRUE(make_folders(profiles + L"\\k3x9.default-release") &&
                make_folders(profiles + L"\\zz.second\\cookies.sqlite") &&
                write_file(profiles + L"\\cookies.sqlite", "not in a profile"));
    EXPECT_FALSE(firefox_has_cookies()) << "profiles without a cookie store";
    EXPECT_TRUE(write_file(profiles + L"\\k3x9.default-release\\cookies.sqlite", "SQLite format 3"));
    EXPECT_TRUE(firefox_has_cookies());

    remove_tree(dir + L"\\Roaming");
    std::wstring store = dir + L"\\Local\\Packages\\Mozilla.Firefox_n80bbvh6b1yt2\\LocalCache\\Roaming\\Mozilla\\"
                               L"Firefox\\Profiles\\ab12.default-release";
    EXPECT_TRUE(make_folders(store) && write_file(store + L"\\cookies.sqlite", "SQLite format 3"));
    EXPECT_TRUE(firefox_has_cookies()) << "only the Microsoft Store Firefox";

    SetEnvironmentVariableW(L"APPDATA", roaming);
    SetEnvironmentVariableW(L"LOCALAPPDATA", local);
    remove_tree(dir);
}
