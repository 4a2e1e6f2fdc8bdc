// A clip fetched as its fragments, end to end with Debian's yt-dlp and
// ffmpeg against a local server that models the throttle: the clip equals
// the same cut made from the whole files, no request is longer than
// 10 MiB and the bytes fetched stay near those of the fragments that hold
// the section.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "fetch_run.h"
#include "media/frag_steps.h"
#include "media_files.h"
#include "run_cut.h"

extern char** environ;

namespace {

const char LOG[] = "requests.jsonl";

// The throttle model, serving the media folder, stopped when the tests end.
struct Server {
    pid_t pid = 0;
    int port = 0;
    Server()
    {
        const std::string script = std::string(TESTS_NATIVE_DIR) + "/throttle_server.py";
        const std::string folder = media_folder(), log = folder + "/" + LOG, port_file = folder + "/port";
        const char* argv[] = {"python3", script.c_str(), folder.c_str(), "--log", log.c_str(),
                              "--port-file", port_file.c_str(), "--idle", "120", nullptr};
        if (posix_spawnp(&pid, "python3", nullptr, nullptr, (char* const*)argv, environ) != 0)
            return;
        // It writes the file whole once it listens; a server that died writes none.
        for (int tries = 0; tries < 3000 && port == 0 && waitpid(pid, nullptr, WNOHANG) == 0; ++tries) {
            port = std::atoi(read_file("port").c_str());
            usleep(10000);
        }
    }
    ~Server()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

// The information a look-up would keep for a video of separate files.
void write_site_info(int port)
{
    std::ostringstream info;
    const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/";
    auto format = [&](const char* id, const char* file, const char* ext, const char* vcodec, const char* acodec) {
        return std::string("{\"format_id\":\"") + id + "\",\"url\":\"" + base + file + "\",\"ext\":\"" + ext +
               "\",\"protocol\":\"http\",\"vcodec\":\"" + vcodec + "\",\"acodec\":\"" + acodec +
               "\",\"width\":160,\"height\":120,\"filesize\":" + std::to_string(read_file(file).size()) + "}";
    };
    info << "{\"id\":\"clip1\",\"title\":\"Harness clip\",\"extractor\":\"generic\",\"extractor_key\":\"Generic\","
            "\"webpage_url\":\"" << base << "watch\",\"duration\":60,\"formats\":["
         << format("v-avc", VIDEO_MP4, "mp4", "avc1.64000d", "none") << ","
         << format("a-aac", AUDIO_MP4, "m4a", "none", "mp4a.40.2") << ","
         << format("v-vp9", VIDEO_WEBM, "webm", "vp9", "none") << ","
         << format("a-opus", AUDIO_WEBM, "webm", "none", "opus") << "]}";
    write_file("site.info.json", info.str());
}

struct Request {
    std::string path;
    long long sent;
};

std::vector<Request> requests()
{
    std::vector<Request> out;
    std::ifstream in(media_folder() + "/" + LOG);
    std::string line;
    while (std::getline(in, line)) {
        Request r;
        size_t p = line.find("\"path\": \"") + 9;
        r.path = line.substr(p, line.find('"', p) - p);
        r.sent = std::atoll(line.c_str() + line.find("\"sent\": ") + 8);
        out.push_back(r);
    }
    return out;
}

// Bytes of the fragments from the one holding start to the one holding end.
long long section_bytes(const char* name, double start, double end)
{
    std::unique_ptr<FragIndex> index(new FragIndex());
    long long need = 0;
    const std::string bytes = read_file(name);
    read_index_of(bytes, bytes.size(), index.get(), &need);
    long long sum = 0;
    for (int i = 0; i < index->count; ++i) {
        const double next = i + 1 < index->count ? index->start[i + 1] : 1e9;
        if (next > start && index->start[i] < end)
            sum += index->size[i];
    }
    return sum;
}

TEST(FragmentE2eTest, TheClipComesInSmallPiecesAndEqualsTheCutFromTheWholeFiles)
{
    ASSERT_TRUE(make_media_files());
    Server server;
    ASSERT_GT(server.port, 0);
    write_site_info(server.port);
    const struct {
        const char *video, *audio, *ext;
        std::vector<std::wstring> options;
    } CASES[] = {
        {VIDEO_MP4, AUDIO_MP4, "mp4",
         {L"-f", L"bv*[vcodec^=avc1]+ba[acodec^=mp4a]/bv*+ba/b", L"--merge-output-format", L"mp4"}},
        {VIDEO_WEBM, AUDIO_WEBM, "webm", {L"-f", L"bv*[ext=webm]+ba[ext=webm]"}},
    };
    const double START = 17.5, END = 42.5;
    for (const auto& c : CASES) {
        std::remove((media_folder() + "/" + LOG).c_str());
        FetchRun fetch = run_fragment_fetch(media_folder().c_str(), L"site.info.json", 1, c.options, START, END);
        ASSERT_TRUE(fetch.fragments) << to_utf8(fetch.reason) << "\n" << fetch.output << read_file(LOG);
        const std::string name = std::string("Harness clip [clip1].") + c.ext;
        EXPECT_EQ(to_utf8(fetch.name), name);

        long long sent = 0;
        for (const Request& r : requests()) {
            EXPECT_LE(r.sent, (long long)FRAG_PIECE_MAX) << r.path;
            sent += r.sent;
        }
        const long long section = section_bytes(c.video, START, END) + section_bytes(c.audio, START, END);
        EXPECT_LE(sent, section * 3 / 2) << c.ext << ": " << sent << " bytes for " << section;
        std::printf("[ %s ] %lld bytes fetched for %lld in the section's fragments, %zu requests\n", c.ext, sent,
                    section, requests().size());

        // The same cut from the whole files, which yt-dlp's ffmpeg would make.
        const std::wstring video = from_utf8(c.video), audio = from_utf8(c.audio);
        const CutInput inputs[] = {{video.c_str(), START}, {audio.c_str(), START}};
        wchar_t line[4096];
        const std::wstring expected_name = from_utf8(std::string("whole.") + c.ext);
        const std::wstring ext = from_utf8(c.ext);
        ASSERT_TRUE(build_fragment_cut_command(L"ffmpeg", inputs, 2, START, END, muxer_for_extension(ext.c_str()),
                                               expected_name.c_str(), line, 4096));
        ASSERT_EQ(run_command(line, media_folder().c_str(), nullptr, nullptr, nullptr), 0);
        const std::string expected = packets_of(to_utf8(expected_name));
        EXPECT_GT(expected.size(), 1000u);
        EXPECT_EQ(packets_of(name), expected) << c.ext;
    }
}

}  // namespace
