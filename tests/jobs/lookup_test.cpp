// The look-up against the fake yt-dlp replaying what the real one printed:
// the answer it reads, the file it keeps, and a group of children that is
// stopped on its own.
#include <gtest/gtest.h>
#include <windows.h>
#include <stdlib.h>
#include <wchar.h>
#include "jobs/lookup.h"
#include "jobs/messages.h"
#include "jobs/run_logged.h"
#include "jobs/update.h"
#include "proc/runner.h"
#include "support/capture.h"
#include "support/doubles.h"
#include "support/programs.h"
#include "support/scratch.h"
#include "support/ui_driver.h"
#include "win/globals.h"

namespace {

const DWORD LOOKUP_WAIT_MS = 60000;

class LookupTest : public ScratchFolderTest {
protected:
    void SetUp() override
    {
        ScratchFolderTest::SetUp();
        ASSERT_TRUE(install_fake_ytdlp(dir));
        wcsncpy(g_appdir, dir.c_str(), PATH_CAP - 1);
        ASSERT_TRUE(capture_start());
        capture_take();  // see the clip job's tests: settles a fresh capture window
    }

    void TearDown() override
    {
        capture_stop();
        ScratchFolderTest::TearDown();
    }

    void script(const TextLines& lines) { ASSERT_TRUE(write_lines(dir + L"\\yt-dlp-lookup.script", lines)); }

    Lookup* start(const wchar_t* name)
    {
        Lookup* lookup = (Lookup*)calloc(1, sizeof(Lookup));
        wcscpy(lookup->url, L"https://example.com/watch?v=abc");
        wcscpy(lookup->cookies, L"none");
        wcsncpy(lookup->folder, (dir + L"\\" + name).c_str(), PATH_CAP - 1);
        EXPECT_TRUE(start_lookup(lookup));
        return lookup;
    }

    // Waits for the look-up's end and returns its record, which the caller
    // frees; everything else the window was sent goes to others.
    Lookup* ended(std::vector<CapturedMsg>* others = nullptr)
    {
        EXPECT_TRUE(capture_wait_for(WM_APP_LOOKUP_DONE, LOOKUP_WAIT_MS));
        Lookup* lookup = nullptr;
        for (const CapturedMsg& m : capture_take()) {
            if (m.msg == WM_APP_LOOKUP_DONE)
                lookup = (Lookup*)m.lparam;
            else if (others)
                others->push_back(m);
        }
        return lookup;
    }
};

TEST_F(LookupTest, ReadsTheVideoAndKeepsItsInformationWithoutALogLine)
{
    script({L"transcript " TEST_DATA_DIR L"/transcripts/lookup.txt"});
    start(L"one");
    std::vector<CapturedMsg> others;
    Lookup* lookup = ended(&others);
    ASSERT_NE(lookup, nullptr);
    EXPECT_EQ(lookup->outcome, LOOKUP_FOUND);
    EXPECT_STREQ(lookup->video.title, L"Café – Ünïcode");
    EXPECT_EQ(lookup->video.video_length, 40.0);
    EXPECT_EQ(lookup->video.live, 0);
    // Written by yt-dlp in its current folder, which is the look-up's own.
    EXPECT_EQ(std::wstring(lookup->info_file), dir + L"\\one\\video.info.json");
    EXPECT_TRUE(file_exists(lookup->info_file));
    EXPECT_TRUE(others.empty()) << "a look-up writes nothing into the log by itself";
    free(lookup);
}

// A page with two videos is no one video: the look-up stops at the second.
TEST_F(LookupTest, SeveralVideosAreNoAnswer)
{
    script({L"transcript " TEST_DATA_DIR L"/transcripts/lookup-two-videos.txt", L"sleep 120000"});
    start(L"several");
    Lookup* lookup = ended();
    ASSERT_NE(lookup, nullptr);
    EXPECT_EQ(lookup->outcome, LOOKUP_SEVERAL);
    EXPECT_EQ(lookup->info_file[0], L'\0');
    free(lookup);
}

DWORD WINAPI run_worker_child(LPVOID line)
{
    return run_logged((wchar_t*)line, 0);
}

// The running process of ours named exe_name, opened to wait for; null when none came.
HANDLE started_child(const wchar_t* exe_name)
{
    DWORD pid = 0;
    wait_until([&] { return (pid = child_process(GetCurrentProcessId(), exe_name)) != 0; }, LOOKUP_WAIT_MS);
    return pid ? OpenProcess(SYNCHRONIZE, FALSE, pid) : nullptr;
}

// The look-up stops only its own children (a clip's Cancel leaving the
// look-up is the window tests').
TEST_F(LookupTest, StoppingTheLookupLeavesTheWorkersChild)
{
    script({L"sleep 120000"});
    start(L"two");
    HANDLE lookup_child = started_child(L"yt-dlp.exe");
    ASSERT_NE(lookup_child, nullptr);
    std::wstring worker_line = quoted(bin_program(L"child.exe")) + L" sleep:120000";
    HANDLE worker = CreateThread(nullptr, 0, run_worker_child, &worker_line[0], 0, nullptr);
    ASSERT_NE(worker, nullptr);
    HANDLE worker_child = started_child(L"child.exe");
    ASSERT_NE(worker_child, nullptr);

    cancel_lookup();
    Lookup* lookup = ended();
    ASSERT_NE(lookup, nullptr);
    EXPECT_EQ(lookup->outcome, LOOKUP_CANCELLED);
    free(lookup);
    EXPECT_EQ(WaitForSingleObject(lookup_child, LOOKUP_WAIT_MS), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(worker_child, 0), (DWORD)WAIT_TIMEOUT) << "the worker's child was stopped too";
    CloseHandle(lookup_child);
    cancel_children();
    EXPECT_EQ(WaitForSingleObject(worker, LOOKUP_WAIT_MS), (DWORD)WAIT_OBJECT_0);
    reset_cancel();
    CloseHandle(worker);
    CloseHandle(worker_child);
}

// Windows refuses to replace a yt-dlp.exe or deno.exe that runs: "Update
// tools" ends a running look-up, and all it started, before anything else.
TEST_F(LookupTest, AnUpdateEndsTheRunningLookupFirst)
{
    ASSERT_TRUE(install_system_fakes());
    script({L"sleep 120000"});
    start(L"three");
    HANDLE lookup_child = started_child(L"yt-dlp.exe");
    ASSERT_NE(lookup_child, nullptr);
    HANDLE update = CreateThread(nullptr, 0, update_thread, nullptr, 0, nullptr);
    ASSERT_NE(update, nullptr);
    EXPECT_EQ(WaitForSingleObject(update, LOOKUP_WAIT_MS), (DWORD)WAIT_OBJECT_0);
    CloseHandle(update);
    EXPECT_EQ(WaitForSingleObject(lookup_child, 0), (DWORD)WAIT_OBJECT_0) << "its yt-dlp runs on";
    CloseHandle(lookup_child);
    Lookup* lookup = ended();
    ASSERT_NE(lookup, nullptr);
    EXPECT_EQ(lookup->outcome, LOOKUP_CANCELLED);
    free(lookup);
}

}  // namespace
