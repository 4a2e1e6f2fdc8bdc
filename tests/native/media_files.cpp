#include "media_files.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "run_cut.h"

const char VIDEO_MP4[] = "video.mp4", AUDIO_MP4[] = "audio.m4a", VIDEO_WEBM[] = "video.webm",
           AUDIO_WEBM[] = "audio.webm", VIDEO_WEBM_CUES_LAST[] = "cues-last.webm";

namespace {

std::string& folder_name()
{
    static std::string dir;
    return dir;
}

void remove_media_folder()
{
    if (!folder_name().empty())
        std::system(("rm -rf '" + folder_name() + "'").c_str());
}

}  // namespace

std::string media_folder()
{
    if (folder_name().empty()) {
        char pattern[] = "/tmp/tarnvik-media-XXXXXX";
        folder_name() = mkdtemp(pattern);
        std::atexit(remove_media_folder);
    }
    return folder_name();
}

int sh(const std::string& command, std::string* output)
{
    return shell_in(media_folder(), command, output);
}

int make_media_files()
{
    static int made = -1;
    if (made >= 0)
        return made;
    const std::string ffmpeg = "ffmpeg -hide_banner -nostdin -y -v error ";
    const std::string picture = "-f lavfi -i testsrc2=size=160x120:rate=30 -t 60 -g 150 -keyint_min 150 ";
    const std::string sound = "-f lavfi -i sine=frequency=440:sample_rate=48000 -t 60 ";
    const std::string fragmented = "-movflags +frag_keyframe+empty_moov+default_base_moof+global_sidx ";
    const std::string vp9 = "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 ";
    made = sh(ffmpeg + picture + "-c:v libx264 -preset ultrafast -bf 2 -sc_threshold 0 " + fragmented +
              VIDEO_MP4) == 0 &&
           sh(ffmpeg + sound + "-c:a aac -b:a 64k -frag_duration 5000000 " + fragmented + AUDIO_MP4) == 0 &&
           sh(ffmpeg + picture + vp9 + "-cues_to_front 1 " + VIDEO_WEBM) == 0 &&
           sh(ffmpeg + sound + "-c:a libopus -b:a 48k -cues_to_front 1 " +
              AUDIO_WEBM) == 0 &&
           sh(ffmpeg + "-i " + VIDEO_WEBM + " -c copy " + VIDEO_WEBM_CUES_LAST) == 0;
    return made;
}

std::string read_file(const std::string& name)
{
    std::ifstream in(media_folder() + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string packets_of(const std::string& name)
{
    std::string out;
    sh("ffprobe -v error -show_entries packet=stream_index,pts,dts,duration,size,flags -of csv=p=0 '" + name +
           "' && ffmpeg -v error -i '" + name + "' -map 0 -c copy -f framemd5 - | grep -v '^#'",
       &out);
    return out;
}

void write_file(const std::string& name, const std::string& bytes)
{
    std::ofstream(media_folder() + "/" + name, std::ios::binary) << bytes;
}

int read_index_of(const std::string& bytes, size_t head_bytes, FragIndex* index, long long* need)
{
    wchar_t reason[FRAG_REASON_CAP];
    size_t n = head_bytes < bytes.size() ? head_bytes : bytes.size();
    return read_frag_index((const unsigned char*)bytes.data(), n, (long long)bytes.size(), index, need, reason);
}

std::string fetched_pieces(const std::string& bytes, const FragIndex* index, const FragPlan* plan)
{
    std::string out;
    for (int i = 0; i < plan->piece_count; ++i) {
        long long from = 0, to = 0;
        frag_piece(index, plan, i, &from, &to);
        out += bytes.substr((size_t)from, (size_t)(to - from + 1));
    }
    if (index->kind == FRAG_WEBM)
        webm_fix_head((unsigned char*)&out[0], out.size(), index, plan);
    return out;
}
