// SHA-256 of files through Windows' own hashing, against the standard's
// test vectors.
#include <gtest/gtest.h>
#include <string>
#include "support/scratch.h"
#include "win/sha256.h"

namespace {

class Sha256Test : public ScratchFolderTest {
protected:
    std::string sum_of_file_holding(const std::string& bytes)
    {
        std::wstring path = dir + L"\\data";
        EXPECT_TRUE(write_file(path, bytes));
        char hex[SHA256_HEX_CAP] = "untouched";
        EXPECT_EQ(sha256_file(path.c_str(), hex), 1);
        return hex;
    }
};

TEST_F(Sha256Test, KnownVectorsAndAFileOfManyReadBlocks)
{
    EXPECT_EQ(sum_of_file_holding(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sum_of_file_holding("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // A million bytes: fifteen full blocks of 64 KiB and a part of one.
    EXPECT_EQ(sum_of_file_holding(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST_F(Sha256Test, AMissingFileHasNoSum)
{
    char hex[SHA256_HEX_CAP] = "untouched";
    EXPECT_EQ(sha256_file((dir + L"\\missing").c_str(), hex), 0);
    EXPECT_STREQ(hex, "");
}

}  // namespace
