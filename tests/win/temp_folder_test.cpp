// The program's own temporary folders: a fresh one for each use, and at a
// later start, those of runs that have ended go while those of running
// ones stay, even when an ended run's id is in use again.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdio.h>
#include "support/doubles.h"
#include "support/programs.h"
#include "support/scratch.h"
#include "win/temp_folder.h"

namespace {

class TempFolders : public ScratchFolderTest {
protected:
    std::wstring saved_tmp;
    void SetUp() override
    {
        ScratchFolderTest::SetUp();
        wchar_t tmp[MAX_PATH] = L"";
        GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
        saved_tmp = tmp;
        SetEnvironmentVariableW(L"TMP", dir.c_str());  // GetTempPathW's first choice
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"TMP", saved_tmp.empty() ? NULL : saved_tmp.c_str());
        ScratchFolderTest::TearDown();
    }

    // A folder as a run with that id and start would have made it.
    std::wstring left_by(unsigned long pid, unsigned long long start)
    {
        wchar_t name[96];
        swprintf(name, 96, L"tarnvik-yt-dlp-%lu-%016llx-7", pid, start);
        std::wstring folder = dir + L"\\" + name;
        EXPECT_TRUE(CreateDirectoryW(folder.c_str(), NULL));
        EXPECT_TRUE(write_file(folder + L"\\video.info.json", "{}"));
        return folder;
    }
};

unsigned long long started(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return ((unsigned long long)created.dwHighDateTime << 32) | created.dwLowDateTime;
}

TEST_F(TempFolders, EachUseGetsAFreshFolderOfItsOwn)
{
    wchar_t first[PATH_CAP], second[PATH_CAP];
    ASSERT_EQ(make_temp_folder(L"lookup", first), 1);
    ASSERT_EQ(make_temp_folder(L"lookup", second), 1);
    EXPECT_STRNE(first, second);
    EXPECT_TRUE(folder_exists(first));
    EXPECT_TRUE(folder_exists(second));
    EXPECT_EQ(std::wstring(first).rfind(dir + L"\\tarnvik-lookup-" + std::to_wstring(GetCurrentProcessId()) + L"-", 0),
              0u)
        << first;
    EXPECT_STREQ(folder_name(first), first + dir.size() + 1);
}

TEST_F(TempFolders, ThoseOfEndedRunsGoAndThoseOfRunningOnesStay)
{
    wchar_t ours[PATH_CAP];
    ASSERT_EQ(make_temp_folder(L"lookup", ours), 1);
    PROCESS_INFORMATION child;
    ASSERT_TRUE(start_program(quoted(bin_program(L"child.exe")) + L" exit:0", NULL, NULL, &child));
    ASSERT_EQ(WaitForSingleObject(child.hProcess, 60000), (DWORD)WAIT_OBJECT_0);
    std::wstring ended = left_by(child.dwProcessId, started(child.hProcess));
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    // An earlier process that had this very id.
    std::wstring same_id = left_by(GetCurrentProcessId(), started(GetCurrentProcess()) - 10000000);
    std::wstring not_ours = dir + L"\\tarnvik-notes";
    ASSERT_TRUE(CreateDirectoryW(not_ours.c_str(), NULL));

    EXPECT_EQ(remove_ended_runs_folders(), 2);
    EXPECT_FALSE(folder_exists(ended));
    EXPECT_FALSE(folder_exists(same_id)) << "a later process with the same id";
    EXPECT_TRUE(folder_exists(ours));
    EXPECT_TRUE(folder_exists(not_ours));
}

}  // namespace
