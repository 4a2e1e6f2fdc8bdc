#include <gtest/gtest.h>

#include <string>

#include "text/sums.h"

namespace {

const std::string SUM = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const std::string SUM_UPPER = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
const std::string OTHER(64, 'e');

// The sum found for name, or "(none)".
std::string lookup(const std::string& bytes, const char* name)
{
    char hex[SHA256_HEX_CAP] = "untouched";
    if (!find_listed_sum((const unsigned char*)bytes.data(), bytes.size(), name, hex))
        return "(none)";
    return hex;
}

std::string utf16(const std::string& ascii, bool big_endian)
{
    std::string bytes = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii)
        bytes += big_endian ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    return bytes;
}

// Get-FileHash | Format-List, as the deno release lists its zip.
std::string powershell_record(const std::string& hash, const std::string& file)
{
    return "\r\nAlgorithm : SHA256\r\nHash      : " + hash + "\r\nPath      : D:\\a\\deno\\deno\\target\\release\\" +
           file + "\r\n\r\n\r\n";
}

}  // namespace

TEST(Sums, SumLinesGiveTheSumOfExactlyThatName)
{
    const std::string list = OTHER + "  yt-dlp_x86.exe\n" + SUM + "  yt-dlp.exe\n" + OTHER + " *yt-dlp.tar.gz\n";
    EXPECT_EQ(lookup(list, "yt-dlp.exe"), SUM);
    EXPECT_EQ(lookup(list, "yt-dlp.tar.gz"), OTHER);  // binary-mode mark
    EXPECT_EQ(lookup(list, "yt-dlp"), "(none)");
    EXPECT_EQ(lookup(list, "YT-DLP.EXE"), "(none)");
    EXPECT_EQ(lookup(SUM_UPPER + "  ffmpeg.zip\r\n", "ffmpeg.zip"), SUM_UPPER);
    // Byte-order marks and CR LF.
    EXPECT_EQ(lookup("\xEF\xBB\xBF" + SUM + "  ffmpeg.zip\r\n", "ffmpeg.zip"), SUM);
    EXPECT_EQ(lookup(utf16(OTHER + "  a.zip\r\n" + SUM + "  ffmpeg.zip\r\n", false), "ffmpeg.zip"), SUM);
    // A sum one digit short, or one space only, lists nothing.
    EXPECT_EQ(lookup(SUM.substr(1) + "  ffmpeg.zip\n", "ffmpeg.zip"), "(none)");
    EXPECT_EQ(lookup(SUM + " ffmpeg.zip\n", "ffmpeg.zip"), "(none)");
}

TEST(Sums, PowerShellRecordsInEveryEncoding)
{
    const char* const zip = "deno-x86_64-pc-windows-msvc.zip";
    const std::string record = powershell_record(SUM_UPPER, zip);
    EXPECT_EQ(lookup(record, zip), SUM_UPPER);
    EXPECT_EQ(lookup("\xEF\xBB\xBF" + record, zip), SUM_UPPER);
    EXPECT_EQ(lookup(utf16(record, false), zip), SUM_UPPER);
    EXPECT_EQ(lookup(utf16(record, true), zip), SUM_UPPER);
    EXPECT_EQ(lookup(powershell_record(SUM, zip), zip), SUM);
    EXPECT_EQ(lookup(powershell_record(SUM, "deno-x86_64-pc-windows-msvc.zip.old"), zip), "(none)");
    EXPECT_EQ(lookup(powershell_record(SUM.substr(2), zip), zip), "(none)");
    // Two records: each Hash goes with its own Path.
    EXPECT_EQ(lookup(powershell_record(OTHER, "other.zip") + powershell_record(SUM, zip), zip), SUM);
}

TEST(Sums, GarbageListsNothing)
{
    const char* const name = "yt-dlp.exe";
    EXPECT_EQ(lookup("", name), "(none)");
    EXPECT_EQ(lookup("<html><body>Please sign in to continue</body></html>\n", name), "(none)");
    EXPECT_EQ(lookup(std::string("\xFF\xFE\x00", 3), name), "(none)");
    EXPECT_EQ(lookup(std::string(5000, '\0') + SUM + "  yt-dlp.exe", name), "(none)");
    EXPECT_EQ(lookup("Hash : " + SUM + "\nPath : " + name + "x", name), "(none)");
}

TEST(Sums, SameSumIgnoresOnlyLetterCase)
{
    EXPECT_EQ(same_sum(SUM.c_str(), SUM_UPPER.c_str()), 1);
    EXPECT_EQ(same_sum(SUM.c_str(), OTHER.c_str()), 0);
    EXPECT_EQ(same_sum(SUM.c_str(), SUM.substr(1).c_str()), 0);
    EXPECT_EQ(same_sum(std::string(64, 'g').c_str(), std::string(64, 'G').c_str()), 0);
}

namespace {

std::string recorded(const std::string& old, const char* name, const std::string& hex, size_t cap = 512)
{
    char out[512];
    if (!record_listed_sum((const unsigned char*)old.data(), old.size(), name, name, hex.c_str(), out, cap))
        return "(did not fit)";
    return out;
}

TEST(InstallRecord, KeepsOtherToolsReplacesTheSameOneAndDropsDamagedLines)
{
    EXPECT_EQ(recorded("", "a.zip", SUM), SUM + "  a.zip\n");
    const std::string old = SUM + "  a.zip\r\n" + "garbage\n" + OTHER + "  b.zip\n" + SUM.substr(0, 30) +
                            "  c.zip\n" + SUM + "  \n";
    const std::string now = recorded(old, "a.zip", OTHER);
    EXPECT_EQ(now, OTHER + "  b.zip\n" + OTHER + "  a.zip\n");
    EXPECT_EQ(lookup(now, "a.zip"), OTHER) << "read back by the sums reader";
    EXPECT_EQ(recorded(old, "a.zip", OTHER, 80), "(did not fit)");
    // A tool whose download changes its name keeps one line.
    char out[512];
    const std::string build = SUM + "  ffmpeg-master-latest-win64-gpl.zip\n" + OTHER + "  deno.zip\n";
    ASSERT_TRUE(record_listed_sum((const unsigned char*)build.data(), build.size(), "ffmpeg-",
                                  "ffmpeg-n8.0-1-g2-win64-gpl-8.0.zip", OTHER.c_str(), out, sizeof out));
    EXPECT_EQ(std::string(out), OTHER + "  deno.zip\n" + OTHER + "  ffmpeg-n8.0-1-g2-win64-gpl-8.0.zip\n");
}

// The name found for pattern, a space and its sum; "(none)" without one.
std::string matching(const std::string& bytes, const char* pattern, int newest)
{
    char name[80], hex[SHA256_HEX_CAP];
    if (!find_matching_sum((const unsigned char*)bytes.data(), bytes.size(), pattern, newest, name, sizeof name, hex))
        return "(none)";
    return std::string(name) + " " + hex;
}

// A release's checksums.sha256 as the ffmpeg builds list it: every build
// of every line, with names that differ in a word or two.
TEST(MatchingSums, TheWantedBuildAmongItsLookAlikes)
{
    const std::string list = OTHER + "  ffmpeg-N-122000-g0a1b2c3d4e-win64-gpl.zip\n" +
                             OTHER + "  ffmpeg-n7.1.3-20-g5c4d3e2f1a-win64-gpl-7.1.zip\n" +
                             OTHER + "  ffmpeg-n8.0.1-48-gabcdef0123-win64-gpl-shared-8.0.zip\n" +
                             OTHER + "  ffmpeg-n8.0.1-48-gabcdef0123-win64-lgpl-8.0.zip\n" +
                             OTHER + "  ffmpeg-n8.0.1-48-gabcdef0123-winarm64-gpl-8.0.zip\n" +
                             OTHER + "  ffmpeg-n8.0.1-48-gabcdef0123-linux64-gpl-8.0.tar.xz\n" +
                             SUM + "  ffmpeg-n8.0.1-48-gabcdef0123-win64-gpl-8.0.zip\n";
    const char* const pinned = "ffmpeg-n8.0*-win64-gpl-8.0.zip";
    EXPECT_EQ(matching(list, pinned, 0), "ffmpeg-n8.0.1-48-gabcdef0123-win64-gpl-8.0.zip " + SUM);
    EXPECT_EQ(matching(OTHER + "  ffmpeg-n8.0.1-48-g1-win64-gpl-shared-8.0.zip\n", pinned, 0), "(none)");
    // "latest": the newest line, by number, not by the order listed.
    const std::string latest = OTHER + "  ffmpeg-master-latest-win64-gpl.zip\n" +
                               OTHER + "  ffmpeg-n10.0-latest-win64-gpl-shared-10.0.zip\n" +
                               SUM + "  ffmpeg-n8.10-latest-win64-gpl-8.10.zip\n" +
                               OTHER + "  ffmpeg-n8.2-latest-win64-gpl-8.2.zip\n" +
                               OTHER + "  ffmpeg-n7.1-latest-win64-gpl-7.1.zip\n";
    EXPECT_EQ(matching(latest, "ffmpeg-n#-latest-win64-gpl-#.zip", 1), "ffmpeg-n8.10-latest-win64-gpl-8.10.zip " + SUM);
    EXPECT_EQ(matching(latest, "ffmpeg-n#-latest-win64-gpl-#.zip", 0), "ffmpeg-n8.10-latest-win64-gpl-8.10.zip " + SUM);
    EXPECT_EQ(matching(OTHER + "  ffmpeg-nX-latest-win64-gpl-.zip\n", "ffmpeg-n#-latest-win64-gpl-#.zip", 1), "(none)");
    // A name too long for the caller's buffer is not taken.
    char name[8], hex[SHA256_HEX_CAP];
    EXPECT_FALSE(find_matching_sum((const unsigned char*)list.data(), list.size(), pinned, 0, name, sizeof name, hex));
}

}  // namespace
