// The exact cut end to end with Debian's ffmpeg and ffprobe: generated
// sources, the section yt-dlp fetches, the planned steps, and the clip
// judged against the source frame by frame.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "media/avcc.h"
#include "run_cut.h"

namespace {

const double START = 6.5, END = 10.5;  // key frames at 5 s and 10 s
const int FPS = 30, HEAD_FRAMES = 105, CLIP_FRAMES = 120;

std::string& folder_name()
{
    static std::string dir;
    return dir;
}

void remove_folder()
{
    if (!folder_name().empty())
        std::system(("rm -rf '" + folder_name() + "'").c_str());
}

// A fresh folder for the run, removed when the tests end.
std::string folder()
{
    if (folder_name().empty()) {
        char pattern[] = "/tmp/tarnvik-cut-XXXXXX";
        folder_name() = mkdtemp(pattern);
        std::atexit(remove_folder);
    }
    return folder_name();
}

// Runs a command line (for sh) in the test folder; its exit code and output.
int sh(const std::string& command, std::string* output = nullptr)
{
    return shell_in(folder(), command, output);
}

const std::string FFMPEG = "ffmpeg -hide_banner -nostdin -y -v error ";

// 12 s of moving, detailed picture with film grain, and a tone.
void make_sources()
{
    static bool made = false;
    if (made)
        return;
    const std::string picture = "-f lavfi -i testsrc2=size=320x240:rate=30,noise=alls=3:allf=t -t 12 ";
    const std::string sound = "-f lavfi -i sine=frequency=440:sample_rate=48000 -t 12 ";
    const std::string gop = "-g 150 -keyint_min 150 -sc_threshold 0 ";
    ASSERT_EQ(sh(FFMPEG + picture + "-c:v libx264 -preset veryfast -bf 2 -pix_fmt yuv420p " + gop + "video.mp4"), 0);
    ASSERT_EQ(sh(FFMPEG + sound + "-c:a aac audio.m4a"), 0);
    ASSERT_EQ(sh(FFMPEG + picture + "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 " + gop + "video.webm"), 0);
    ASSERT_EQ(sh(FFMPEG + sound + "-c:a libopus audio.webm"), 0);
    made = true;
}

// The section exactly as yt-dlp 2023.03.04 fetches it for a separate video
// and audio format: one ffmpeg, "-ss Start -t End-Start" before each input,
// everything copied.
void fetch_section(const std::string& video, const std::string& audio, const std::string& muxer,
                   const std::string& name)
{
    char times[64];
    std::snprintf(times, sizeof times, "-ss %g -t %g ", START, END - START);
    ASSERT_EQ(sh(FFMPEG + times + "-i " + video + " " + times + "-i " + audio + " -c copy -map 0:0 -map 1:0 -f " +
                 muxer + " '" + name + "'"),
              0);
    ASSERT_EQ(sh("cp '" + name + "' fetched." + muxer), 0);
}

std::vector<std::string> frame_sums(const std::string& input_options)
{
    std::string out;
    EXPECT_EQ(sh(FFMPEG + input_options + " -map 0:v:0 -f framemd5 -", &out), 0) << out;
    std::vector<std::string> sums;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#')
            sums.push_back(line.substr(line.rfind(' ') + 1));
    }
    return sums;
}

double head_psnr(const std::string& clip, const std::string& source)
{
    char graph[256];
    std::snprintf(graph, sizeof graph,
                  "[0:v]trim=end_frame=%d,setpts=N[a];[1:v]trim=end_frame=%d,setpts=N[b];[a][b]psnr", HEAD_FRAMES,
                  HEAD_FRAMES);
    char start[32];
    std::snprintf(start, sizeof start, "%g", START);
    std::string out;
    sh("ffmpeg -hide_banner -nostdin -i '" + clip + "' -ss " + start + " -i " + source + " -filter_complex '" +
           graph + "' -f null -",
       &out);
    const size_t at = out.find("average:");
    return at == std::string::npos ? 0 : std::atof(out.c_str() + at + 8);
}

// The avcC box's bytes, read from the file itself.
std::vector<unsigned char> avcc_of(const std::string& name)
{
    std::ifstream file(folder() + "/" + name, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const size_t at = bytes.find("avcC");
    if (at == std::string::npos || at < 4)
        return {};
    const size_t size = ((unsigned char)bytes[at - 4] << 24 | (unsigned char)bytes[at - 3] << 16 |
                         (unsigned char)bytes[at - 2] << 8 | (unsigned char)bytes[at - 1]) - 8;
    return std::vector<unsigned char>(bytes.begin() + at + 4, bytes.begin() + at + 4 + size);
}

// Checks the clip against the source: clean decoding, the head's picture,
// every frame from the key frame on the source's own, no frame hidden,
// the length, and sound from the start.
void check_clip(const std::string& clip, const std::string& source, const std::string& fetched, int before_start)
{
    std::string out;
    EXPECT_EQ(sh("ffmpeg -hide_banner -nostdin -v error -xerror -i '" + clip + "' -f null -", &out), 0) << out;
    EXPECT_EQ(out, "");

    std::vector<std::string> mine = frame_sums("-i '" + clip + "'");
    char start[32];
    std::snprintf(start, sizeof start, "-ss %g -i ", START);
    std::vector<std::string> theirs = frame_sums(start + source);
    ASSERT_GE(mine.size(), (size_t)CLIP_FRAMES);
    ASSERT_GE(theirs.size(), (size_t)CLIP_FRAMES);
    int equal = 0;
    for (int i = HEAD_FRAMES; i < CLIP_FRAMES; ++i)
        equal += mine[i] == theirs[i];
    EXPECT_EQ(equal, CLIP_FRAMES - HEAD_FRAMES) << "frames of the tail equal to the source's";
    EXPECT_NE(mine[HEAD_FRAMES - 1], theirs[HEAD_FRAMES - 1]) << "the head was not re-encoded";
    // The section as fetched, decoded, from Start on: as many frames.
    std::vector<std::string> fetched_frames = frame_sums("-i " + fetched);
    EXPECT_EQ(mine.size(), fetched_frames.size() - before_start);

    const double psnr = head_psnr(clip, source);
    EXPECT_GE(psnr, 45.0) << "head PSNR";

    EXPECT_EQ(sh("ffprobe -v error -select_streams v:0 -show_entries packet=flags -of csv=p=0 '" + clip + "'", &out),
              0);
    EXPECT_EQ(out.find('D'), std::string::npos) << "a frame hidden by an edit list";
    EXPECT_EQ(sh("ffprobe -v error -show_entries stream=codec_type,start_time -of csv=p=0 '" + clip + "'", &out), 0);
    EXPECT_NE(out.find("video,0.000000"), std::string::npos) << out;
    EXPECT_NE(out.find("audio,"), std::string::npos) << out;
    std::printf("[ clip     ] %s: head PSNR %.2f dB, %zu frames\n", clip.c_str(), psnr, mine.size());
}

// Fetches the section, cuts it in steps and checks the clip.
void cut_and_check(const std::string& name, const std::string& video, const std::string& audio,
                   const std::string& muxer, int before_start)
{
    make_sources();
    fetch_section(video, audio, muxer, name);
    CutRequest request = {START, END, -1, 0, 0};
    CutRun run = run_exact_cut(folder().c_str(), name.c_str(), request);
    ASSERT_TRUE(run.ok) << to_utf8(run.reason) << (run.errors.empty() ? "" : run.errors[0]);
    ASSERT_EQ(run.mode, CUT_SMART) << to_utf8(run.reason);
    check_clip(name, video, "fetched." + muxer, before_start);
}

}  // namespace

TEST(ExactCut, H264WithBFramesInMp4KeepsTheSourcesFramesAfterTheKeyFrame)
{
    const std::string name = "H.264 – Ünïcode [id].mp4";
    cut_and_check(name, "video.mp4", "audio.m4a", "mp4", 0);

    // The sample entry defines the source's parameter sets and the head's.
    std::vector<unsigned char> avcc = avcc_of(name);
    AvccIds ids;
    ASSERT_TRUE(read_avcc_ids(avcc.data(), avcc.size(), &ids));
    EXPECT_EQ(ids.sps_count, 2);
    EXPECT_EQ(ids.pps_count, 2);
    EXPECT_NE(ids.sps_ids[0], ids.sps_ids[1]);
    // Only the clip is left in the folder besides the sources.
    std::string out;
    sh("ls", &out);
    EXPECT_EQ(out.find("section"), std::string::npos) << out;
    EXPECT_EQ(out.find("head"), std::string::npos) << out;
    EXPECT_EQ(out.find("join.txt"), std::string::npos) << out;
}

TEST(ExactCut, Vp9InWebmStartsOnTheFrameAtStart)
{
    // WebM keeps the 1.5 s before Start visible: 45 frames.
    cut_and_check("VP9 [id].webm", "video.webm", "audio.webm", "webm", (int)((START - 5) * FPS));
}
