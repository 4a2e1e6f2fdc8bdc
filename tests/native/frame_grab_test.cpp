// The pictures beside Start and End, decoded with Debian's ffmpeg from the
// command lines the picture worker runs: each must be the source's own frame
// (the first at or after the time; for End the last before it), compared
// with every frame of the source decoded and scaled alike.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "media/frame_grab.h"
#include "run_cut.h"

namespace {

// 12 s at 25 frames a second, a key frame every 2 s, B-frames, in fragments
// of one group each, as the large sites serve their files.
const int FPS = 25, FRAMES = 300, BOX_W = 160, BOX_H = 90;

struct Source {
    std::string folder;
    std::vector<std::string> frames;  // every frame, scaled to the box: top-down BGR rows
    int width = 0, height = 0;
};

std::string read_all(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

int sh(const std::string& folder, const std::string& command)
{
    return shell_in(folder, command, nullptr);
}

const Source& source()
{
    static Source made;
    if (!made.folder.empty())
        return made;
    char pattern[] = "/tmp/tarnvik-frames-XXXXXX";
    made.folder = mkdtemp(pattern);
    std::atexit([] { std::system(("rm -rf '" + made.folder + "'").c_str()); });
    const std::string ffmpeg = "ffmpeg -hide_banner -nostdin -y -v error ";
    EXPECT_EQ(sh(made.folder, ffmpeg + "-f lavfi -i testsrc2=size=320x180:rate=25 -t 12 -c:v libx264 -preset "
                                       "veryfast -bf 2 -g 50 -keyint_min 50 -sc_threshold 0 -pix_fmt yuv420p "
                                       "-movflags +frag_keyframe+empty_moov+default_base_moof+global_sidx video.mp4"),
              0);
    // Every frame, through the same scaling as the picture's command line.
    EXPECT_EQ(sh(made.folder, ffmpeg + "-i video.mp4 -map 0:v:0 -fps_mode passthrough -vf scale=160:90:"
                                       "force_original_aspect_ratio=decrease -pix_fmt bgr24 -f rawvideo all.raw"),
              0);
    std::string all = read_all(made.folder + "/all.raw");
    made.width = BOX_W;  // 16:9 fills the box
    made.height = BOX_H;
    size_t size = (size_t)BOX_W * BOX_H * 3;
    for (size_t at = 0; at + size <= all.size(); at += size)
        made.frames.push_back(all.substr(at, size));
    return made;
}

// The picture's pixels as top-down BGR rows without padding; empty when none.
std::string decode(const FrameRequest& request, std::string* why)
{
    const Source& video = source();
    std::wstring input = from_utf8(video.folder + "/video.mp4"), output = from_utf8(video.folder + "/frame.bmp");
    FrameRequest run = request;
    run.input = input.c_str();
    run.output = output.c_str();
    std::remove((video.folder + "/frame.bmp").c_str());
    wchar_t line[4096];
    if (!build_frame_command(&run, L"ffmpeg", line, 4096))
        return "";
    int code = run_command(line, video.folder.c_str(), nullptr, nullptr, why);
    std::string bmp = read_all(video.folder + "/frame.bmp");
    FramePicture picture;
    if (code != 0 || !read_frame_bmp((const unsigned char*)bmp.data(), bmp.size(), &picture))
        return "";
    std::string rows;
    for (int y = picture.height - 1; y >= 0; --y)
        rows += bmp.substr(picture.offset + (size_t)y * picture.stride, (size_t)picture.width * 3);
    return rows;
}

double psnr(const std::string& a, const std::string& b)
{
    if (a.size() != b.size() || a.empty())
        return 0;
    double squares = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        double d = (unsigned char)a[i] - (unsigned char)b[i];
        squares += d * d;
    }
    return squares == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * a.size() / squares);
}

// The picture is frame n: as good as identical to it, and closer to it
// than to the frames beside it.
void expect_frame(const FrameRequest& request, int n)
{
    const Source& video = source();
    ASSERT_EQ(video.frames.size(), (size_t)FRAMES);
    std::string why;
    std::string picture = decode(request, &why);
    ASSERT_FALSE(picture.empty()) << why;
    double mine = psnr(picture, video.frames[n]);
    EXPECT_GE(mine, 40.0);
    for (int other : {n - 1, n + 1})
        if (other >= 0 && other < FRAMES) {
            EXPECT_GT(mine, psnr(picture, video.frames[other])) << "frame " << other << " is as close";
        }
    std::printf("[ picture  ] frame %d: PSNR %.1f dB%s\n", n, mine, mine >= 99 ? " (identical)" : "");
}

FrameRequest at(int which, double seconds)
{
    return FrameRequest{nullptr, nullptr, which, seconds, BOX_W, BOX_H, nullptr};
}

}  // namespace

TEST(FramePictures, StartShowsTheFirstFrameAtOrAfterItsTime)
{
    expect_frame(at(FRAME_AT, 0), 0);
    expect_frame(at(FRAME_AT, 4.0), 100);    // a key frame
    expect_frame(at(FRAME_AT, 5.53), 139);   // between key frames, between frames
    expect_frame(at(FRAME_AT, 11.9), 298);   // in the last fragment
}

TEST(FramePictures, EndShowsTheLastFrameBeforeItsTime)
{
    expect_frame(at(FRAME_BEFORE, 7.0), 174);   // the frame at 7.0 is the clip's next
    expect_frame(at(FRAME_BEFORE, 7.01), 175);
    expect_frame(at(FRAME_BEFORE, 0.5), 12);    // less than the window before it
    expect_frame(at(FRAME_LAST, -1), FRAMES - 1);
}

TEST(FramePictures, ThePictureKeepsTheVideosShapeInsideTheBox)
{
    std::string why;
    FrameRequest tall = at(FRAME_AT, 1);
    tall.height = 180;  // a box taller than 16:9: the picture stays 16:9
    std::string picture = decode(tall, &why);
    EXPECT_EQ(picture.size(), (size_t)160 * 90 * 3) << why;
    FrameRequest nothing = at(FRAME_BEFORE, 0);
    wchar_t line[512];
    EXPECT_FALSE(build_frame_command(&nothing, L"ffmpeg", line, 512)) << "no frame lies before 0";
    nothing = at(FRAME_AT, 20);  // past the end: no picture, and no file passes for one
    EXPECT_TRUE(decode(nothing, &why).empty());
}
