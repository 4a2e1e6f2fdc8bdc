// The real Tarnvik.exe in "--selftest" mode, run from a folder of its own.
#include <gtest/gtest.h>
#include <string>
#include "support/programs.h"
#include "support/scratch.h"

namespace {

const char* const LABELS[] = {
    "tc 5:38", "tc 338", "tc h:m:s", "tc blank", "tc invalid", "tc alpha",
    "fmt 1080 mp4 noaudio", "fmt best plain", "fmt audio", "fmt 720 mp4",
    "arg quoting", "run exit code", "run capture ok",
    "dl percent", "dl dest not pct", "ffmpeg time", "ffmpeg dur not prog",
    "curl progress", "curl not dl line",
};

const DWORD SELFTEST_WAIT_MS = 60000;

std::string all_passed()
{
    std::string text;
    for (const char* label : LABELS)
        text += std::string("PASS ") + label + "\r\n";
    return text + "RESULT OK\r\n";
}

class Selftest : public ScratchFolderTest {
protected:
    DWORD run_tarnvik(const wchar_t* arguments)
    {
        DWORD code = 12345;
        EXPECT_TRUE(run_program(quoted(bin_program(L"Tarnvik.exe")) + L" " + arguments, dir.c_str(),
                                SELFTEST_WAIT_MS, &code))
            << "Tarnvik did not end";
        return code;
    }

    std::string result_file()
    {
        std::string text;
        EXPECT_TRUE(read_file(dir + L"\\selftest.txt", &text));
        return text;
    }
};

TEST_F(Selftest, WritesEveryCheckAndTheResultIntoTheCurrentFolder)
{
    std::string stale;
    for (int i = 0; i < 40; i++)
        stale += "FAIL something from an older run\r\n";
    ASSERT_TRUE(write_file(dir + L"\\selftest.txt", stale));
    EXPECT_EQ(run_tarnvik(L"--selftest"), 0u);
    EXPECT_EQ(result_file(), all_passed());
}

TEST_F(Selftest, TheSwitchCountsAnywhereOnTheCommandLine)
{
    EXPECT_EQ(run_tarnvik(L"first x--selftest=please last"), 0u);
    EXPECT_EQ(result_file(), all_passed());
}

TEST_F(Selftest, ACmdExeNextToTarnvikIsNeverRun)
{
    // As a cmd.exe lying in a Downloads folder beside Tarnvik.exe: this one
    // ends with 99 for anything, so checks run with it would fail.
    const std::wstring copy = dir + L"\\Tarnvik.exe";
    ASSERT_TRUE(CopyFileW(bin_program(L"Tarnvik.exe").c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(bin_program(L"child.exe").c_str(), (dir + L"\\cmd.exe").c_str(), FALSE));
    DWORD code = 12345;
    ASSERT_TRUE(run_program(quoted(copy) + L" --selftest", dir.c_str(), SELFTEST_WAIT_MS, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(result_file(), all_passed());
}

TEST_F(Selftest, AResultFileThatCannotBeWrittenFailsTheRun)
{
    ASSERT_TRUE(CreateDirectoryW((dir + L"\\selftest.txt").c_str(), NULL));
    EXPECT_EQ(run_tarnvik(L"--selftest"), 1u);
    DWORD attributes = GetFileAttributesW((dir + L"\\selftest.txt").c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

}  // namespace
