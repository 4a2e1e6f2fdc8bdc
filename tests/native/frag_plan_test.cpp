// The fragment plan on the indexes of real files, and the clip cut from the
// planned pieces against the same cut from the whole files.
#include <gtest/gtest.h>

#include <memory>

#include "media/frag_steps.h"
#include "media_files.h"
#include "run_cut.h"

namespace {

class FragPlanTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(make_media_files()); }

    // The index of a file, read whole.
    std::unique_ptr<FragIndex> index_of(const char* name)
    {
        std::unique_ptr<FragIndex> index(new FragIndex());
        long long need = 0;
        const std::string bytes = read_file(name);
        EXPECT_EQ(read_index_of(bytes, bytes.size(), index.get(), &need), FRAG_READ_OK) << name;
        return index;
    }
};

TEST_F(FragPlanTest, FromTheFragmentBeforeStartToTheOneHoldingEnd)
{
    const struct {
        const char* name;
        double start, end;
        int first, last;
        double seek;
    } CASES[] = {
        {VIDEO_MP4, 15, 25, 3, 5, 0},      // on boundaries: the next one's first frame is decoded before End
        {VIDEO_MP4, 17.5, 22.5, 3, 4, 2.5},
        {VIDEO_MP4, 16, 18, 3, 3, 1},      // Start and End in one fragment
        {VIDEO_MP4, -1, 7, 0, 1, 0},       // Start blank
        {VIDEO_MP4, 52, -1, 10, 11, 2},    // End blank
        {VIDEO_MP4, 57.5, 59, 11, 11, 2.5},  // the last fragment
        {VIDEO_MP4, 70, 80, 11, 11, 15},   // past the last: only that one
        {AUDIO_MP4, 17.5, 22.5, 3, 4, 17.5 - 3 * 5.013333},
        {VIDEO_WEBM, 17.5, 22.5, 3, 5, 2.5},  // ffmpeg reads a WebM on by 2.5 s past End
    };
    for (const auto& c : CASES) {
        auto index = index_of(c.name);
        FragPlan plan;
        ASSERT_TRUE(plan_fragments(index.get(), c.start, c.end, &plan)) << c.name << " " << c.start;
        EXPECT_EQ(plan.first, c.first) << c.name << " " << c.start;
        EXPECT_EQ(plan.last, c.last) << c.name << " " << c.start;
        EXPECT_NEAR(plan.seek, c.seek, 1e-5) << c.name << " " << c.start;
        EXPECT_EQ(plan.bytes, index->init_end + plan.to - plan.from + 1);
    }
    auto index = index_of(VIDEO_MP4);
    FragPlan plan;
    EXPECT_FALSE(plan_fragments(index.get(), 20, 20, &plan));
}

TEST_F(FragPlanTest, PiecesAreTheInitAndRunsOfOneMebibyte)
{
    std::unique_ptr<FragIndex> index(new FragIndex());
    index->kind = FRAG_MP4;
    index->init_end = 900;
    index->count = 4;
    for (int i = 0; i < 4; ++i) {
        index->offset[i] = 1000 + i * (8LL << 20);
        index->size[i] = 8LL << 20;
        index->start[i] = 10.0 * i;
    }
    FragPlan plan;
    ASSERT_TRUE(plan_fragments(index.get(), 12, 31, &plan));
    ASSERT_EQ(plan.piece_count, 25);  // the init and 24 MiB in 24
    long long from = 0, to = 0, next = plan.from;
    ASSERT_TRUE(frag_piece(index.get(), &plan, 0, &from, &to));
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, 899);
    for (int i = 1; i < plan.piece_count; ++i) {
        ASSERT_TRUE(frag_piece(index.get(), &plan, i, &from, &to));
        EXPECT_EQ(from, next);
        EXPECT_EQ(to - from + 1, 1LL << 20);
        next = to + 1;
    }
    EXPECT_EQ(next, index->offset[3] + index->size[3]);
    EXPECT_FALSE(frag_piece(index.get(), &plan, plan.piece_count, &from, &to));
}

// Cuts name (two inputs: video and audio) with the command the job runs.
int cut(const std::wstring& video, double video_seek, const std::wstring& audio, double audio_seek, double start,
        double end, const wchar_t* muxer, const std::wstring& output)
{
    const CutInput inputs[] = {{video.c_str(), video_seek}, {audio.c_str(), audio_seek}};
    wchar_t line[4096];
    if (!build_fragment_cut_command(L"ffmpeg", inputs, 2, start, end, muxer, output.c_str(), line, 4096))
        return -1;
    std::string output_text;
    return run_command(line, media_folder().c_str(), nullptr, nullptr, &output_text);
}

TEST_F(FragPlanTest, TheClipFromThePiecesIsTheClipFromTheWholeFiles)
{
    const struct {
        const char *video, *audio;
        const wchar_t* muxer;
    } PAIRS[] = {{VIDEO_MP4, AUDIO_MP4, L"mp4"}, {VIDEO_WEBM, AUDIO_WEBM, L"webm"}};
    const double TIMES[][2] = {{17.5, 22.5}, {15, 25}, {19.9, 31}, {-1, 7}, {52, -1}};
    for (const auto& pair : PAIRS) {
        auto video_index = index_of(pair.video), audio_index = index_of(pair.audio);
        const std::string video = read_file(pair.video), audio = read_file(pair.audio);
        for (const auto& t : TIMES) {
            FragPlan video_plan, audio_plan;
            ASSERT_TRUE(plan_fragments(video_index.get(), t[0], t[1], &video_plan));
            ASSERT_TRUE(plan_fragments(audio_index.get(), t[0], t[1], &audio_plan));
            write_file("fetch.v", fetched_pieces(video, video_index.get(), &video_plan));
            write_file("fetch.a", fetched_pieces(audio, audio_index.get(), &audio_plan));
            const double whole_seek = t[0] > 0 ? t[0] : 0;
            const std::wstring ext = std::wstring(L".") + pair.muxer;
            ASSERT_EQ(cut(from_utf8(pair.video), whole_seek, from_utf8(pair.audio), whole_seek, t[0], t[1],
                          pair.muxer, L"whole" + ext),
                      0);
            ASSERT_EQ(cut(L"fetch.v", video_plan.seek, L"fetch.a", audio_plan.seek, t[0], t[1], pair.muxer,
                          L"pieces" + ext),
                      0);
            const std::string expected = packets_of("whole" + to_utf8(ext));
            EXPECT_GT(expected.size(), 1000u);
            EXPECT_EQ(packets_of("pieces" + to_utf8(ext)), expected) << pair.video << " " << t[0] << "-" << t[1];
        }
    }
}

}  // namespace
