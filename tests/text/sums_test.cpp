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
    if (!record_listed_sum((const unsigned char*)old.data(), old.size(), name, hex.c_str(), out, cap))
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
}

}  // namespace
