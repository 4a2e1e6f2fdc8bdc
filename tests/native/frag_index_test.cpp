// The index readers on files Debian's ffmpeg makes.
#include <gtest/gtest.h>

#include <memory>

#include "media_files.h"

namespace {

std::unique_ptr<FragIndex> new_index()
{
    return std::unique_ptr<FragIndex>(new FragIndex());
}

unsigned long be32(const std::string& bytes, size_t at)
{
    unsigned long v = 0;
    for (int i = 0; i < 4; ++i)
        v = (v << 8) | (unsigned char)bytes[at + i];
    return v;
}

class FragIndexTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(make_media_files()); }
};

TEST_F(FragIndexTest, Mp4SidxOfVersion1ListsEveryFragmentAtItsMoof)
{
    const std::string bytes = read_file(VIDEO_MP4);
    auto index = new_index();
    long long need = 0;
    ASSERT_EQ(read_index_of(bytes, bytes.size(), index.get(), &need), FRAG_READ_OK);
    EXPECT_EQ(bytes.substr((size_t)index->init_end + 4, 4), "sidx");
    ASSERT_EQ(index->count, 12);
    for (int i = 0; i < index->count; ++i) {
        EXPECT_EQ(bytes.substr((size_t)index->offset[i] + 4, 4), "moof") << i;
        EXPECT_NEAR(index->start[i], 5.0 * i, 1e-9) << i;
    }
    // ffmpeg ends the file with its fragment random-access box.
    EXPECT_EQ(bytes.substr((size_t)(index->offset[11] + index->size[11]) + 4, 4), "mfra");
    EXPECT_NEAR(index->duration, 60.0, 1e-9);
}

// The same index as version 0 (32-bit times and offsets) and with a box
// between it and the first fragment, which the first offset skips.
TEST_F(FragIndexTest, Mp4SidxOfVersion0WithAGapBeforeTheFragments)
{
    std::string bytes = read_file(VIDEO_MP4);
    auto wide = new_index();
    long long need = 0;
    ASSERT_EQ(read_index_of(bytes, bytes.size(), wide.get(), &need), FRAG_READ_OK);
    const size_t at = (size_t)wide->init_end;
    const unsigned long size = be32(bytes, at);
    ASSERT_EQ(bytes[at + 8], 1);
    // Version 1 keeps its 64-bit earliest time and first offset at 20 and 28.
    std::string v0 = bytes.substr(at, 20) + bytes.substr(at + 24, 4) + std::string("\0\0\0\x08", 4) +
                     bytes.substr(at + 36, size - 36);
    v0[3] = (char)(size - 8);
    v0[8] = 0;
    const std::string free_box("\0\0\0\x08" "free", 8);
    bytes = bytes.substr(0, at) + v0 + free_box + bytes.substr(at + size);
    auto narrow = new_index();
    ASSERT_EQ(read_index_of(bytes, bytes.size(), narrow.get(), &need), FRAG_READ_OK);
    ASSERT_EQ(narrow->count, wide->count);
    for (int i = 0; i < narrow->count; ++i) {
        EXPECT_EQ(narrow->offset[i], wide->offset[i]);
        EXPECT_EQ(narrow->size[i], wide->size[i]);
        EXPECT_EQ(narrow->start[i], wide->start[i]);
    }
}

TEST_F(FragIndexTest, AHeadCutShortAsksForTheBytesThatHoldTheIndex)
{
    for (const char* name : {AUDIO_MP4, VIDEO_WEBM}) {
        const std::string bytes = read_file(name);
        auto index = new_index();
        long long need = 600;
        int read = FRAG_READ_MORE, rounds = 0;
        while (read == FRAG_READ_MORE && rounds++ < 3) {
            const long long had = need;
            read = read_index_of(bytes, (size_t)need, index.get(), &need);
            if (read == FRAG_READ_MORE) {
                ASSERT_GT(need, had) << name;
            }
        }
        EXPECT_EQ(read, FRAG_READ_OK) << name;
        EXPECT_GE(rounds, 2) << name;
        EXPECT_EQ(index->count, 12) << name;
    }
}

TEST_F(FragIndexTest, WebmCuesInFrontGiveTheClustersAndTheLength)
{
    const std::string bytes = read_file(VIDEO_WEBM);
    auto index = new_index();
    long long need = 0;
    ASSERT_EQ(read_index_of(bytes, bytes.size(), index.get(), &need), FRAG_READ_OK);
    ASSERT_EQ(index->count, 12);
    EXPECT_EQ(index->init_end, index->offset[0]);
    for (int i = 0; i < index->count; ++i) {
        EXPECT_EQ(be32(bytes, (size_t)index->offset[i]), 0x1F43B675UL) << i;  // a Cluster
        EXPECT_NEAR(index->start[i], 5.0 * i, 1e-9) << i;
    }
    EXPECT_EQ(index->offset[11] + index->size[11], (long long)bytes.size());
    EXPECT_NEAR(index->duration, 60.0, 1e-3);
}

TEST_F(FragIndexTest, FilesWithoutAnIndexAtTheirHeadSayWhy)
{
    ASSERT_EQ(sh("ffmpeg -hide_banner -nostdin -y -v error -i video.mp4 -c copy -movflags "
                 "+frag_keyframe+empty_moov plain-frag.mp4 && ffmpeg -hide_banner -nostdin -y -v error "
                 "-i video.mp4 -c copy -movflags +faststart whole.mp4"),
              0);
    const struct {
        const char* name;
        const wchar_t* reason;
    } CASES[] = {{VIDEO_WEBM_CUES_LAST, L"the file's index comes after its clusters"},
                 {"plain-frag.mp4", L"the file has no index at its head"},
                 {"whole.mp4", L"the file is not fragmented"}};
    for (const auto& c : CASES) {
        const std::string bytes = read_file(c.name);
        auto index = new_index();
        long long need = 0;
        wchar_t reason[FRAG_REASON_CAP];
        EXPECT_EQ(read_frag_index((const unsigned char*)bytes.data(), bytes.size(), (long long)bytes.size(),
                                  index.get(), &need, reason),
                  FRAG_READ_NONE)
            << c.name;
        EXPECT_STREQ(reason, c.reason) << c.name;
    }
}

}  // namespace
