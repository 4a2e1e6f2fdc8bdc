// find_tool: the program folder before PATH, folders skipped, misses cleared.
#include <gtest/gtest.h>
#include <string>
#include "support/programs.h"
#include "win/globals.h"
#include "win/locator.h"

namespace {

const wchar_t TOOL[] = L"tarnvik-locator-probe";

class Locator : public ::testing::Test {
protected:
    std::wstring root, appdir, pathdir, saved_path;

    void SetUp() override
    {
        root = make_scratch_dir(L"locator");
        ASSERT_FALSE(root.empty());
        appdir = root + L"\\program";
        pathdir = root + L"\\on path";
        ASSERT_TRUE(CreateDirectoryW(appdir.c_str(), NULL));
        ASSERT_TRUE(CreateDirectoryW(pathdir.c_str(), NULL));
        wcsncpy(g_appdir, appdir.c_str(), PATH_CAP - 1);
        g_appdir[PATH_CAP - 1] = L'\0';
        wchar_t path[32767];
        DWORD length = GetEnvironmentVariableW(L"PATH", path, 32767);
        saved_path.assign(path, length < 32767 ? length : 0);
        SetEnvironmentVariableW(L"PATH", (pathdir + L";" + saved_path).c_str());
    }

    void TearDown() override
    {
        SetEnvironmentVariableW(L"PATH", saved_path.c_str());
        g_appdir[0] = L'\0';
        remove_tree(root);
    }

    static std::wstring exe_in(const std::wstring& dir) { return dir + L"\\" + TOOL + L".exe"; }

    std::wstring found(int expect)
    {
        wchar_t path[PATH_CAP];
        wcscpy(path, L"C:\\stale\\result.exe");
        EXPECT_EQ(find_tool(TOOL, path), expect);
        return path;
    }
};

TEST_F(Locator, TheProgramFolderWinsOverPath)
{
    ASSERT_TRUE(write_file(exe_in(appdir), "tool"));
    ASSERT_TRUE(write_file(exe_in(pathdir), "tool"));
    EXPECT_EQ(found(1), exe_in(appdir));
}

TEST_F(Locator, AFolderNamedLikeTheToolIsSkipped)
{
    ASSERT_TRUE(CreateDirectoryW(exe_in(appdir).c_str(), NULL));
    ASSERT_TRUE(write_file(exe_in(pathdir), "tool"));
    std::wstring path = found(1);
    EXPECT_EQ(_wcsicmp(path.c_str(), exe_in(pathdir).c_str()), 0) << path.c_str();
}

TEST_F(Locator, ToolsOnlyOnPathAreFound)
{
    ASSERT_TRUE(write_file(exe_in(pathdir), "tool"));
    std::wstring path = found(1);
    EXPECT_EQ(_wcsicmp(path.c_str(), exe_in(pathdir).c_str()), 0) << path.c_str();
}

TEST_F(Locator, AMissClearsTheBuffer)
{
    ASSERT_TRUE(CreateDirectoryW(exe_in(appdir).c_str(), NULL));
    EXPECT_EQ(found(0), L"");
}

// A hit whose path does not fit a path buffer is of no use to any caller.
TEST_F(Locator, AHitTooLongForAPathIsAMiss)
{
    std::wstring deep = pathdir;
    while (deep.size() < PATH_CAP) {
        deep += L"\\deeper-and-deeper";
        ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + deep).c_str(), NULL));
    }
    ASSERT_TRUE(write_file(L"\\\\?\\" + exe_in(deep), "tool"));
    SetEnvironmentVariableW(L"PATH", (deep + L";" + saved_path).c_str());
    EXPECT_EQ(found(0), L"");
}

}  // namespace
