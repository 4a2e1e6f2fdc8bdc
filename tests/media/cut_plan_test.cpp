#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "media/avcc.h"
#include "media/cut_plan.h"
#include "media/probe_read.h"

namespace {

// ffprobe's own lines for a yt-dlp section of generated H.264 (High, 2
// B-frames) in MP4 and of VP9 in WebM, each with its sound: the packets and
// streams of the first run, the extradata of the second.
const wchar_t H264_STREAM[] =
    L"stream|index=0|codec_name=h264|profile=High|codec_type=video|width=320|height=240|sample_aspect_ratio=1:1"
    L"|pix_fmt=yuv420p|level=13|color_range=unknown|color_space=unknown|color_transfer=unknown"
    L"|color_primaries=unknown|r_frame_rate=30/1|time_base=1/15360";
const wchar_t H264_EXTRADATA[] =
    L"stream|index=0|codec_type=video|extradata=\\n00000000: 0164 000d ffe1 0019 "
    L"6764 000d acd9 4141  .d......gd....AA\\n00000010: fb01 1000 0003 0010 0000 0303 c0f1 4299  ..............B."
    L"\\n00000020: 6001 0004 68ef 8fcb fdf8 f800            `...h.......\\n";
const wchar_t AAC_STREAM[] = L"stream|index=1|codec_name=aac|profile=LC|codec_type=audio|r_frame_rate=0/0"
                             L"|time_base=1/48000|extradata=\\n00000000: 1188 56e5 00                             ..V..\\n";
const wchar_t MP4_FORMAT[] = L"format|format_name=mov,mp4,m4a,3gp,3g2,mj2|duration=4.134000";
const wchar_t VP9_STREAM[] =
    L"stream|index=0|codec_name=vp9|profile=Profile 0|codec_type=video|width=320|height=240|sample_aspect_ratio=1:1"
    L"|pix_fmt=yuv420p|level=-99|color_range=tv|color_space=unknown|color_transfer=unknown|color_primaries=unknown"
    L"|r_frame_rate=30/1|time_base=1/1000|extradata=\\n";
const wchar_t OPUS_STREAM[] = L"stream|index=1|codec_name=opus|profile=unknown|codec_type=audio|time_base=1/1000";
const wchar_t WEBM_FORMAT[] = L"format|format_name=matroska,webm|duration=5.501000";

const int FPS = 30, GOP = 150;  // key frames every 5 s

struct Section {
    int first_key;  // frame numbers of the source
    int start;
    int end;        // the first frame not fetched
    int open_gop_at = -1;  // a key frame whose next packets are shown before it
};

// yt-dlp's MP4 section: from the key frame before Start, with two B-frames
// (decoding order I P B B P B B …, two frames of reorder delay), times
// counted from Start, the frames before it hidden (D).
std::vector<std::wstring> mp4_packets(const Section& s)
{
    std::vector<int> order;
    for (int f = s.first_key; f < s.end;) {
        if (f % GOP == 0 && f == s.open_gop_at) {
            order.insert(order.end(), {f, f - 2, f - 1});  // B-frames that lean on the last group
            f += 1;
        } else if (f % GOP == 0 || f + 2 >= s.end || (f + 2) % GOP == 0 || (f + 1) % GOP == 0 ||
                   f + 2 == s.open_gop_at || f + 1 == s.open_gop_at) {
            if (f + 2 != s.open_gop_at && f + 1 != s.open_gop_at)
                order.push_back(f);
            f += 1;
        } else {
            order.insert(order.end(), {f + 2, f, f + 1});
            f += 3;
        }
    }
    std::vector<std::wstring> lines;
    wchar_t line[160];
    for (size_t i = 0; i < order.size(); ++i) {
        const int f = order[i];
        std::swprintf(line, 160, L"packet|codec_type=video|stream_index=0|pts=%d|dts=%d|duration=512|flags=%lc%lc",
                      (f - s.start) * 512, ((int)i + s.first_key - s.start - 2) * 512, f % GOP == 0 ? L'K' : L'_',
                      f < s.start ? L'D' : L'_');
        lines.push_back(line);
        if (i % 2 == 0)
            lines.push_back(L"packet|codec_type=audio|stream_index=1|pts=320|dts=320|duration=1024|flags=K_");
    }
    return lines;
}

// yt-dlp's WebM section: VP9 without reorder, times in milliseconds from
// the key frame before Start.
std::vector<std::wstring> webm_packets(const Section& s)
{
    std::vector<std::wstring> lines;
    wchar_t line[160];
    for (int f = s.first_key; f < s.end; ++f) {
        const int ms = (int)((f - s.first_key) * 1000.0 / FPS + 0.5);
        std::swprintf(line, 160, L"packet|codec_type=video|stream_index=0|pts=%d|dts=%d|duration=33|flags=%lc_", ms,
                      ms, f % GOP == 0 ? L'K' : L'_');
        lines.push_back(line);
    }
    return lines;
}

struct Freer {
    void operator()(ProbeResult* p) const { std::free(p); }
};
using Probe = std::unique_ptr<ProbeResult, Freer>;

Probe read_lines(const std::vector<std::wstring>& lines)
{
    Probe probe((ProbeResult*)std::malloc(sizeof(ProbeResult)));
    probe_begin(probe.get());
    for (const std::wstring& l : lines)
        probe_read_line(probe.get(), l.c_str());
    return probe;
}

Probe probe_mp4(const Section& s, const wchar_t* extradata = H264_EXTRADATA)
{
    std::vector<std::wstring> lines = mp4_packets(s);
    lines.insert(lines.end(), {H264_STREAM, AAC_STREAM, MP4_FORMAT, extradata});
    return read_lines(lines);
}

Probe probe_webm(const Section& s)
{
    std::vector<std::wstring> lines = webm_packets(s);
    lines.insert(lines.end(), {L"packet|codec_type=audio|stream_index=1|pts=-7|dts=-7|duration=20|flags=K_",
                               VP9_STREAM, OPUS_STREAM, WEBM_FORMAT});
    return read_lines(lines);
}

CutPlan plan_for(const ProbeResult* probe, double start, double end, const wchar_t* section = L"section.mp4",
                 double length = -1)
{
    CutRequest request = {start, end, length, 0, 0};
    CutPlan plan;
    plan_cut(probe, &request, section, &plan);
    return plan;
}

std::vector<int> steps_of(const CutPlan& plan)
{
    return std::vector<int>(plan.steps, plan.steps + plan.step_count);
}

std::wstring step_line(const CutPlan& plan, int kind)
{
    for (int i = 0; i < plan.step_count; ++i) {
        if (plan.steps[i] != kind)
            continue;
        wchar_t line[4096];
        CutStepInfo info;
        EXPECT_TRUE(build_cut_step(&plan, i, L"ffmpeg", L"ffprobe", L"Clip – ü [id].mp4", line, 4096, &info));
        return line;
    }
    return L"(no such step)";
}

bool has(const std::wstring& text, const std::wstring& part)
{
    return text.find(part) != std::wstring::npos;
}

}  // namespace

TEST(ProbeRead, ReadsTheVideoStreamItsPacketsAndWhetherThereIsSound)
{
    Probe probe = probe_mp4({150, 195, 316});
    EXPECT_TRUE(probe->has_video);
    EXPECT_TRUE(probe->has_audio);
    EXPECT_STREQ(probe->codec, L"h264");
    EXPECT_STREQ(probe->profile, L"High");
    EXPECT_EQ(probe->level, 13);
    EXPECT_EQ(probe->width, 320);
    EXPECT_EQ(probe->tb_den, 15360);
    EXPECT_EQ(probe->rate_num, 30);
    EXPECT_EQ(probe->total, 166);  // audio packets are not counted
    EXPECT_EQ(probe->discarded, 45);
    EXPECT_EQ(probe->packets[0].key, 1);
    EXPECT_EQ(probe->packets[0].pts, -45 * 512);
    // The sample entry, read from ffprobe's hex dump and not from its text column.
    ASSERT_EQ(probe->extradata_size, 44u);
    EXPECT_EQ(probe->extradata[0], 0x01);
    EXPECT_EQ(probe->extradata[43], 0x00);
    AvccIds ids;
    ASSERT_TRUE(read_avcc_ids(probe->extradata, probe->extradata_size, &ids));
    EXPECT_EQ(ids.sps_count, 1);
    EXPECT_EQ(ids.sps_ids[0], 0);
    EXPECT_EQ(ids.pps_ids[0], 0);
}

TEST(ProbeRead, KeepsTheFirstPacketsAndCountsTheRest)
{
    std::vector<std::wstring> lines;
    for (int i = 0; i < PROBE_KEPT_PACKETS + 10; ++i)
        lines.push_back(L"packet|codec_type=video|stream_index=0|pts=" + std::to_wstring(i * 33) +
                        L"|dts=N/A|duration=33|flags=" + (i % 100 ? L"__" : L"K_"));
    lines.push_back(L"packet|codec_type=video|stream_index=2|pts=999999|dts=0|duration=1|flags=K_");  // a cover
    Probe probe = read_lines(lines);
    EXPECT_EQ(probe->kept, PROBE_KEPT_PACKETS);
    EXPECT_EQ(probe->total, PROBE_KEPT_PACKETS + 10);
    EXPECT_EQ(probe->keys_after_kept, 1);  // packet 4100
    EXPECT_EQ(probe->max_pts, (PROBE_KEPT_PACKETS + 9) * 33);
    EXPECT_EQ(probe->packets[1].dts, PROBE_NO_TIME);
}

TEST(Avcc, TheJoinedSampleEntryNamesBothSetsAndAFreeIdAvoidsEveryUsedOne)
{
    // Read back from a joined clip: the source's SPS/PPS 0 and the head's 1.
    const unsigned char joined[] = {0x01, 0x64, 0x00, 0x0d, 0xff, 0xe2, 0x00, 0x19, 0x67, 0x64, 0x00, 0x0d, 0xac, 0xd9,
                                    0x41, 0x41, 0xfb, 0x01, 0x10, 0x00, 0x00, 0x03, 0x00, 0x10, 0x00, 0x00, 0x03, 0x03,
                                    0xc0, 0xf1, 0x42, 0x99, 0x60, 0x00, 0x17, 0x67, 0x64, 0x00, 0x0d, 0x4b, 0x2d, 0x02,
                                    0x83, 0xf6, 0x02, 0x20, 0x00, 0x00, 0x03, 0x00, 0x20, 0x00, 0x00, 0x07, 0x81, 0xe2,
                                    0x85, 0x54, 0x02, 0x00, 0x04, 0x68, 0xef, 0x8f, 0xcb, 0x00, 0x05, 0x68, 0x4a, 0xf0,
                                    0x2b, 0xcb, 0xfd, 0xf8, 0xf8, 0x00};
    AvccIds ids;
    ASSERT_TRUE(read_avcc_ids(joined, sizeof joined, &ids));
    EXPECT_EQ(ids.sps_count, 2);
    EXPECT_EQ(ids.pps_count, 2);
    EXPECT_EQ(ids.sps_ids[1], 1);
    EXPECT_EQ(ids.pps_ids[1], 1);
    EXPECT_EQ(free_parameter_set_id(&ids), 2);
    // Cut anywhere short, it is not read.
    for (size_t n = 0; n < sizeof joined - 5; n += 7)
        EXPECT_FALSE(read_avcc_ids(joined, n, &ids)) << n;

    AvccIds taken = {};
    taken.sps_count = 1;
    taken.pps_count = AVCC_MAX_SETS - 1;
    for (int i = 0; i < taken.pps_count; ++i)
        taken.pps_ids[i] = i + 2;  // 2 … 32
    EXPECT_EQ(free_parameter_set_id(&taken), 1);
    taken.sps_ids[0] = 1;
    EXPECT_EQ(free_parameter_set_id(&taken), -1);
}

TEST(CutPlan, StartBetweenKeyFramesInMp4ReencodesUpToTheNextKeyFrame)
{
    Probe probe = probe_mp4({150, 195, 316});  // Start 6.5 s, key frames at 5 s and 10 s
    CutPlan plan = plan_for(probe.get(), 6.5, 10.5);
    ASSERT_EQ(plan.mode, CUT_SMART) << plan.reason;
    EXPECT_EQ(plan.head_first_frame, 0);  // the edit list hides the frames before Start
    EXPECT_EQ(plan.head_frames, 105);
    EXPECT_EQ(plan.expected_frames, 121);
    EXPECT_DOUBLE_EQ(plan.seam_in_file, 3.5);
    EXPECT_EQ(plan.reorder_ticks, 1024);
    EXPECT_EQ(plan.parameter_set_id, 1);
    EXPECT_TRUE(plan.audio_from_section);
    EXPECT_EQ(steps_of(plan), (std::vector<int>{CUT_STEP_PARAMS, CUT_STEP_HEAD, CUT_STEP_HEAD_BOX, CUT_STEP_TAIL,
                                                CUT_STEP_LIST, CUT_STEP_JOIN, CUT_STEP_CHECK_DECODE,
                                                CUT_STEP_CHECK_PROBE}));
    EXPECT_TRUE(has(plan.reason, L"105 frames")) << plan.reason;

    const std::wstring head = step_line(plan, CUT_STEP_HEAD);
    EXPECT_TRUE(has(head, L"trim=start_frame=0:end_frame=105,")) << head;
    EXPECT_TRUE(has(head, L"sps-id=1")) << head;
    EXPECT_TRUE(has(head, L"-profile:v high -level:v 1.3")) << head;
    EXPECT_TRUE(has(step_line(plan, CUT_STEP_HEAD_BOX), L"setts=pts=N*512:dts=N*512-1024:time_base=1/15360"));
    // The key frame is decoded at 3.5 s minus two frames; half a frame below.
    EXPECT_TRUE(has(step_line(plan, CUT_STEP_TAIL), L"-ss 3.416667 -f mp4 tail.mp4"));
    EXPECT_TRUE(has(step_line(plan, CUT_STEP_LIST), L"file 'head.mp4'\nduration 3.500000\nfile 'tail.mp4'\n"));
    const std::wstring join = step_line(plan, CUT_STEP_JOIN);
    EXPECT_TRUE(has(join, L"-i join.txt -i section.mp4 -map 0:v:0 -c:v copy -map 1:a:0 -c:a copy")) << join;
    EXPECT_TRUE(has(join, L"\"Clip – ü [id].mp4\"")) << join;

    CutStepInfo info;
    wchar_t line[4096];
    ASSERT_TRUE(build_cut_step(&plan, 5, L"ffmpeg", L"ffprobe", L"clip.mp4", line, 4096, &info));
    EXPECT_TRUE(info.output_is_result);
    ASSERT_EQ(info.file_count, 1);
    EXPECT_STREQ(info.files[0], L"section.mp4");  // once the result exists
    EXPECT_FALSE(build_cut_step(&plan, 5, L"ffmpeg", L"ffprobe", L"clip.mp4", line, 40, &info));
    EXPECT_FALSE(build_cut_step(&plan, plan.step_count, L"ffmpeg", L"ffprobe", L"clip.mp4", line, 4096, &info));
}

TEST(CutPlan, WebmStartIsPlacedFromTheSectionsEndOrTheVideosLength)
{
    Probe probe = probe_webm({150, 195, 315});  // yt-dlp kept the frames before End = 10.5 s
    CutPlan plan = plan_for(probe.get(), 6.5, 10.5, L"section.webm");
    ASSERT_EQ(plan.mode, CUT_SMART) << plan.reason;
    EXPECT_EQ(plan.head_first_frame, 45);  // 5.0 s to 6.5 s are shown in WebM
    EXPECT_EQ(plan.head_frames, 105);
    EXPECT_NEAR(plan.start_in_file, 1.5, 0.001);
    EXPECT_FALSE(plan.audio_from_section);
    EXPECT_EQ(steps_of(plan), (std::vector<int>{CUT_STEP_HEAD, CUT_STEP_TAIL, CUT_STEP_AUDIO, CUT_STEP_LIST,
                                                CUT_STEP_JOIN, CUT_STEP_CHECK_DECODE, CUT_STEP_CHECK_PROBE}));
    EXPECT_TRUE(has(step_line(plan, CUT_STEP_HEAD), L"trim=start_frame=45:end_frame=150,"));
    EXPECT_TRUE(has(step_line(plan, CUT_STEP_HEAD), L"libvpx-vp9"));
    EXPECT_TRUE(has(step_line(plan, CUT_STEP_AUDIO), L"-map 0:a:0 -c copy -ss 1.500000"));
    EXPECT_TRUE(has(step_line(plan, CUT_STEP_JOIN), L"-f webm \"Clip – ü [id].mp4\""));

    // End between two frames: still the frame at 6.5 s.
    EXPECT_EQ(plan_for(probe.get(), 6.5, 10.48, L"section.webm").head_first_frame, 45);
    // End blank: the video's length stands in for it; unknown, the clip stays as fetched.
    EXPECT_EQ(plan_for(probe.get(), 6.5, -1, L"section.webm", 10.5).head_first_frame, 45);
    CutPlan unknown = plan_for(probe.get(), 6.5, -1, L"section.webm");
    EXPECT_EQ(unknown.mode, CUT_AS_FETCHED);
    EXPECT_EQ(unknown.step_count, 0);
    EXPECT_FALSE(plan_fallback(&unknown, L"x"));
}

TEST(CutPlan, StartOnAKeyFrameNeedsNoHead)
{
    // MP4 from the key frame itself: nothing hidden, nothing to do.
    Probe exact = probe_mp4({150, 150, 316});
    EXPECT_EQ(plan_for(exact.get(), 5, 10.5).mode, CUT_AS_FETCHED);
    // WebM whose audio reached back before the key frame: tail and audio again.
    std::vector<std::wstring> lines = webm_packets({150, 150, 315});
    for (std::wstring& l : lines) {
        const size_t at = l.find(L"|pts=") + 5;
        const int ms = std::stoi(l.substr(at)) + 400;
        l = l.substr(0, at) + std::to_wstring(ms) + L"|dts=" + std::to_wstring(ms) + L"|duration=33|flags=" +
            l.substr(l.size() - 2);
    }
    lines.insert(lines.end(), {L"packet|codec_type=audio|stream_index=1|pts=0|dts=0|duration=20|flags=K_",
                               VP9_STREAM, OPUS_STREAM, WEBM_FORMAT});
    Probe late = read_lines(lines);
    CutPlan plan = plan_for(late.get(), 5, 10.5, L"section.webm");
    ASSERT_EQ(plan.mode, CUT_NO_HEAD) << plan.reason;
    EXPECT_NEAR(plan.start_in_file, 0.4, 0.001);
    EXPECT_EQ(steps_of(plan), (std::vector<int>{CUT_STEP_TAIL, CUT_STEP_AUDIO, CUT_STEP_JOIN, CUT_STEP_CHECK_DECODE,
                                                CUT_STEP_CHECK_PROBE}));
    EXPECT_TRUE(has(step_line(plan, CUT_STEP_JOIN), L"-i tail.mkv -i audio.mkv"));
}

TEST(CutPlan, NoKeyFrameAfterStartMakesTheWholeSectionTheHead)
{
    Probe probe = probe_mp4({150, 195, 286});
    CutPlan plan = plan_for(probe.get(), 6.5, 9.5);
    ASSERT_EQ(plan.mode, CUT_WHOLE_HEAD) << plan.reason;
    // 136 packets, 45 of them hidden by the edit list: 91 frames from Start on.
    EXPECT_EQ(plan.head_frames, 91);
    EXPECT_EQ(plan.expected_frames, 91);
    EXPECT_EQ(steps_of(plan), (std::vector<int>{CUT_STEP_HEAD, CUT_STEP_CHECK_DECODE, CUT_STEP_CHECK_PROBE}));
    const std::wstring head = step_line(plan, CUT_STEP_HEAD);
    EXPECT_TRUE(has(head, L"-map 1:a:0 -c:a copy -f mp4 \"Clip")) << head;
    EXPECT_FALSE(has(head, L"sps-id")) << head;
}

TEST(CutPlan, EndBlankInMp4RunsTheTailToTheVideosEnd)
{
    Probe probe = probe_mp4({150, 195, 600});
    CutPlan plan = plan_for(probe.get(), 6.5, -1);
    ASSERT_EQ(plan.mode, CUT_SMART) << plan.reason;
    EXPECT_NEAR(plan.end_in_file, (600 - 195) / 30.0, 0.001);
    EXPECT_EQ(plan.expected_frames, 600 - 195);
}

TEST(CutPlan, WhatCannotBeCutSoundlyIsReencodedWithTheFormerSettings)
{
    Probe open = probe_mp4({150, 195, 316, 300});
    CutPlan plan = plan_for(open.get(), 6.5, 10.5);
    EXPECT_EQ(plan.mode, CUT_FALLBACK);
    EXPECT_TRUE(has(plan.reason, L"group of pictures")) << plan.reason;
    EXPECT_EQ(steps_of(plan), (std::vector<int>{CUT_STEP_REENCODE}));
    const std::wstring line = step_line(plan, CUT_STEP_REENCODE);
    EXPECT_TRUE(has(line, L"-preset:v superfast -crf:v 24")) << line;
    EXPECT_TRUE(has(line, L"-c:a copy")) << line;
    EXPECT_FALSE(plan_fallback(&plan, L"again"));

    // Without ffprobe's second run there is no sample entry to number the head's sets by.
    Probe bare = probe_mp4({150, 195, 316}, MP4_FORMAT);
    EXPECT_TRUE(has(plan_for(bare.get(), 6.5, 10.5).reason, L"parameter sets could not be read"));

    std::wstring av1(VP9_STREAM);
    av1.replace(av1.find(L"vp9"), 3, L"av1");
    std::vector<std::wstring> lines = webm_packets({150, 195, 315});
    lines.insert(lines.end(), {av1, OPUS_STREAM, WEBM_FORMAT});
    Probe other = read_lines(lines);
    plan = plan_for(other.get(), 6.5, 10.5, L"section.webm");
    EXPECT_EQ(plan.mode, CUT_FALLBACK);
    EXPECT_TRUE(has(plan.reason, L"av1")) << plan.reason;
    // Still from the frame at Start, with VP9 as WebM holds it, and the audio from Start.
    EXPECT_EQ(steps_of(plan), (std::vector<int>{CUT_STEP_AUDIO, CUT_STEP_REENCODE}));
    EXPECT_TRUE(has(step_line(plan, CUT_STEP_REENCODE), L"trim=start_frame=45,"));
    EXPECT_TRUE(has(step_line(plan, CUT_STEP_REENCODE), L"-deadline:v realtime"));
}

TEST(CutPlan, ParameterSetIdsThatLeaveTheHeadNoneOfItsOwnFallBack)
{
    // A sample entry with SPS 0 and PPS 1 to 31, as ffprobe dumps it.
    std::vector<unsigned char> avcc = {0x01, 0x64, 0x00, 0x0d, 0xff, 0xe1, 0x00, 0x05, 0x67, 0x64, 0x00, 0x0d, 0x80,
                                       31};
    for (int id = 1; id <= 31; ++id) {
        // ue(id) then ue(0) and the stop bit, in one or two bytes.
        int bits = 0;
        while ((id + 1) >> (bits + 1))
            ++bits;
        unsigned value = (unsigned)(id + 1), code = 0, length = 2 * bits + 1;
        code = value;                   // 'bits' zeros are implied by the width
        code = (code << 1) | 1;         // ue(0)
        code = (code << 1) | 1;         // stop bit
        length += 2;
        const unsigned padded = (length + 7) / 8 * 8;
        code <<= padded - length;
        avcc.insert(avcc.end(), {0x00, (unsigned char)(1 + padded / 8), 0x68});
        for (int b = (int)padded / 8 - 1; b >= 0; --b)
            avcc.push_back((unsigned char)(code >> (8 * b)));
    }
    std::wstring dump = L"\\n";
    for (size_t at = 0; at < avcc.size(); at += 16) {
        wchar_t row[80];
        std::swprintf(row, 80, L"%08lx: ", (unsigned long)at);
        dump += row;
        std::wstring hex;
        for (size_t i = at; i < at + 16 && i < avcc.size(); ++i) {
            std::swprintf(row, 80, L"%02x%ls", avcc[i], i % 2 ? L" " : L"");
            hex += row;
        }
        hex.resize(41, L' ');
        dump += hex + L"................\\n";
    }
    Probe probe = probe_mp4({150, 195, 316}, (L"stream|index=0|codec_type=video|extradata=" + dump).c_str());
    AvccIds ids;
    ASSERT_TRUE(read_avcc_ids(probe->extradata, probe->extradata_size, &ids));
    ASSERT_EQ(ids.pps_count, 31);
    EXPECT_EQ(ids.pps_ids[30], 31);
    CutPlan plan = plan_for(probe.get(), 6.5, 10.5);
    EXPECT_EQ(plan.mode, CUT_FALLBACK);
    EXPECT_TRUE(has(plan.reason, L"every id")) << plan.reason;
}

TEST(CutPlan, AudioOnlyIsTheFetchedSection)
{
    Probe probe = read_lines({L"packet|codec_type=audio|stream_index=0|pts=0|dts=0|duration=1024|flags=K_",
                              L"stream|index=0|codec_name=aac|codec_type=audio", MP4_FORMAT});
    CutRequest request = {6.5, 10.5, -1, 1, 0};
    CutPlan plan;
    EXPECT_EQ(plan_cut(probe.get(), &request, L"section.m4a", &plan), 0);
    EXPECT_EQ(plan.mode, CUT_AS_FETCHED);
    EXPECT_FALSE(plan_fallback(&plan, L"x"));
}

TEST(CutPlan, TheResultsCheckCatchesHiddenMissingAndLateFrames)
{
    Probe section = probe_mp4({150, 195, 316});
    CutPlan plan = plan_for(section.get(), 6.5, 10.5);
    wchar_t why[CUT_REASON_CAP];
    Probe good = probe_mp4({195, 195, 316});
    EXPECT_TRUE(judge_cut_result(&plan, good.get(), why)) << why;
    Probe hidden = probe_mp4({150, 195, 316});  // the section itself, edit list and all
    EXPECT_FALSE(judge_cut_result(&plan, hidden.get(), why));
    EXPECT_TRUE(has(why, L"edit list")) << why;
    Probe short_of = probe_mp4({195, 195, 313});
    EXPECT_FALSE(judge_cut_result(&plan, short_of.get(), why));
    EXPECT_TRUE(has(why, L"frames")) << why;
}

TEST(CutPlan, NamesAndTheVideosLength)
{
    wchar_t name[CUT_NAME_CAP];
    cut_section_name(L"Café – Ünïcode [abc].webm", name);
    EXPECT_STREQ(name, L"section.webm");
    cut_section_name(L"Title [id].mp4.ü", name);
    EXPECT_STREQ(name, L"section.media");
    cut_section_name(L"no extension", name);
    EXPECT_STREQ(name, L"section.media");
    double seconds = 0;
    EXPECT_TRUE(read_input_duration(L"  Duration: 01:02:03.50, start: 0.000000, bitrate: 487 kb/s", &seconds));
    EXPECT_DOUBLE_EQ(seconds, 3723.5);
    EXPECT_FALSE(read_input_duration(L"Duration: 00:00:20.00", &seconds));  // not ffmpeg's input line
    EXPECT_FALSE(read_input_duration(L"  Duration: N/A, bitrate: N/A", &seconds));
}
