// A version resource numbered as the real yt-dlp.exe's is, and none at all.
#include <gtest/gtest.h>
#include "support/programs.h"
#include "win/toolversion.h"

TEST(ToolVersion, ReadsTheReleaseOrNothing)
{
    wchar_t version[TOOL_VERSION_CAP];
    EXPECT_TRUE(read_tool_version(bin_program(L"fake_ytdlp.exe").c_str(), version));
    EXPECT_STREQ(version, L"2023.03.04");
    EXPECT_FALSE(read_tool_version(bin_program(L"fake_curl.exe").c_str(), version));
    EXPECT_STREQ(version, L"");
}
