// The clip job against the fake yt-dlp: the arguments exactly as the child's
// C runtime split them, and what the window is sent, in order.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <stdlib.h>
#include <wchar.h>
#include <algorithm>
#include <functional>
#include "jobs/clipjob.h"
#include "jobs/messages.h"
#include "proc/runner.h"
#include "proc/tools.h"
#include "support/capture.h"
#include "support/doubles.h"
#include "support/programs.h"
#include "text/clipname.h"
#include "text/timecode.h"
#include "win/held_files.h"

namespace {

const wchar_t URL[] = L"https://example.com/watch?v=abc123";
const wchar_t MISSING_STATUS[] = L"yt-dlp missing — press \"Update tools\"";
const DWORD JOB_WAIT_MS = 60000;

// Everything the window is sent, reduced to what a reader checks.
struct Seen {
    std::vector<std::wstring> logs;
    std::vector<std::wstring> stages;  // consecutive repeats folded
    std::vector<long> progress;
};

// The command lines the job echoed ("$ …") that hold marker.
std::vector<std::wstring> echoed_with(const Seen& seen, const wchar_t* marker)
{
    std::vector<std::wstring> lines;
    for (const std::wstring& line : seen.logs)
        if (line.rfind(L"$ ", 0) == 0 && line.find(marker) != std::wstring::npos)
            lines.push_back(line);
    return lines;
}

Seen sort_messages(const std::vector<CapturedMsg>& messages)
{
    Seen seen;
    for (const CapturedMsg& m : messages) {
        if (m.msg == WM_APP_LOG)
            seen.logs.push_back(m.text);
        if (m.msg == WM_APP_STATUS && (seen.stages.empty() || seen.stages.back() != m.text))
            seen.stages.push_back(m.text);
        if (m.msg == WM_APP_PROGRESS)
            seen.progress.push_back((long)(INT_PTR)m.wparam);
    }
    return seen;
}

// The output template for files in folder: no folder in it, as yt-dlp runs
// in the job's folder, and title and id cut to what the folder leaves.
std::wstring template_for(const std::wstring& folder)
{
    ClipNameBudget budget;
    wchar_t out[OUTPUT_TEMPLATE_CAP];
    clip_name_budget(folder.c_str(), &budget);
    format_output_template(&budget, out);
    return out;
}

bool starts_with(const std::wstring& text, const std::wstring& head)
{
    return text.compare(0, head.size(), head) == 0;
}

std::vector<std::wstring> split_command_line(const std::wstring& line)
{
    std::vector<std::wstring> args;
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
    for (int i = 0; argv && i < count; i++)
        args.push_back(argv[i]);
    LocalFree(argv);
    return args;
}

class ClipJobTest : public ::testing::Test {
protected:
    std::wstring root, prog, outdir;
    std::wstring saved_path;  // PATH before the test changed it

    void SetUp() override
    {
        root = make_scratch_dir(L"clipjob");
        ASSERT_FALSE(root.empty());
        use_program_folder(root + L"\\prog");
        outdir = root + L"\\clips\\J";
        CreateDirectoryW((root + L"\\clips").c_str(), NULL);
        ASSERT_TRUE(CreateDirectoryW(outdir.c_str(), NULL));
        ASSERT_TRUE(capture_start());
        // Under Wine a fresh capture window is now and then dropped unless
        // its thread has handled a message first; one round trip settles it.
        capture_take();
    }

    void TearDown() override
    {
        capture_stop();
        if (!saved_path.empty())
            SetEnvironmentVariableW(L"PATH", saved_path.c_str());
        remove_tree(root);
    }

    // ffmpeg found along PATH in folder, instead of next to yt-dlp.
    void put_ffmpeg_on_path(const std::wstring& folder)
    {
        DeleteFileW((prog + L"\\ffmpeg.exe").c_str());
        CreateDirectoryW(folder.c_str(), NULL);
        ASSERT_TRUE(write_file(folder + L"\\ffmpeg.exe", "never run"));
        std::vector<wchar_t> path(32767);
        DWORD length = GetEnvironmentVariableW(L"PATH", path.data(), (DWORD)path.size());
        ASSERT_TRUE(length > 0 && length < path.size());
        saved_path = path.data();
        SetEnvironmentVariableW(L"PATH", (folder + L";" + saved_path).c_str());
    }

    // A program folder holding the fake yt-dlp and an ffmpeg.exe (only its
    // presence matters), set up to record the arguments it receives.
    void use_program_folder(const std::wstring& folder)
    {
        prog = folder;
        ASSERT_TRUE(CreateDirectoryW(prog.c_str(), NULL));
        ASSERT_TRUE(install_fake_ytdlp(prog));
        ASSERT_TRUE(write_file(prog + L"\\ffmpeg.exe", "never run"));
        wcsncpy(g_appdir, prog.c_str(), PATH_CAP - 1);
        script({L"args args.txt", L"cwd cwd.txt"});
    }

    void script(const TextLines& lines)
    {
        ASSERT_TRUE(write_lines(prog + L"\\yt-dlp.script", lines));
    }

    ClipJob job() const
    {
        ClipJob request = {};
        wcscpy(request.url, URL);
        request.start = -1;
        request.end = -1;
        wcscpy(request.cookies, L"none");
        wcsncpy(request.outdir, outdir.c_str(), PATH_CAP - 1);
        return request;
    }

    // Runs the job on its own thread, as the window does, and returns every
    // message it posted once it has ended. until_cancel: cancels the job as
    // soon as it holds.
    std::vector<CapturedMsg> run(const ClipJob& request, std::function<bool()> until_cancel = nullptr)
    {
        DeleteFileW((prog + L"\\args.txt").c_str());
        ClipJob* handed = (ClipJob*)malloc(sizeof(ClipJob));
        *handed = request;
        HANDLE thread = CreateThread(NULL, 0, cut_thread, handed, 0, NULL);
        EXPECT_TRUE(thread != NULL);
        if (!thread) {
            free(handed);
            return {};
        }
        if (until_cancel) {
            while (!until_cancel() && WaitForSingleObject(thread, 10) == WAIT_TIMEOUT) {
            }
            cancel_children();
        }
        EXPECT_EQ(WaitForSingleObject(thread, JOB_WAIT_MS), (DWORD)WAIT_OBJECT_0);
        CloseHandle(thread);
        reset_cancel();
        return capture_take();
    }

    TextLines received() const { return read_lines(prog + L"\\args.txt"); }

    // The arguments after the output template, which is always the ninth.
    TextLines received_tail(const ClipJob& request)
    {
        std::vector<CapturedMsg> posted = run(request);
        TextLines args = received();
        if (args.size() < 9) {
            // Show what the window was told, to tell a missing child from a broken one.
            TextLines why = {L"(fewer than nine arguments)"};
            for (const CapturedMsg& m : posted)
                if (m.has_text)
                    why.push_back(m.text);
            return why;
        }
        EXPECT_EQ(args[8], template_for(outdir));
        return TextLines(args.begin() + 9, args.end());
    }

    // The one end message comes last and names the job folder. A job that
    // ended otherwise than expected shows its log.
    void expect_done_last(const std::vector<CapturedMsg>& messages, unsigned long code)
    {
        ASSERT_FALSE(messages.empty());
        const CapturedMsg& last = messages.back();
        EXPECT_EQ(last.msg, (UINT)WM_APP_CUT_DONE);
        std::wstring log;
        for (const std::wstring& line : sort_messages(messages).logs)
            log += line + L"\n";
        EXPECT_EQ(last.wparam, (WPARAM)code) << log.c_str();
        EXPECT_TRUE(last.has_text);
        EXPECT_EQ(last.text, outdir);
        long done = std::count_if(messages.begin(), messages.end(),
                                  [](const CapturedMsg& m) { return m.msg == WM_APP_CUT_DONE; });
        EXPECT_EQ(done, 1);
    }
};

TEST_F(ClipJobTest, WorkedExampleReachesTheChildAsDesigned)
{
    ClipJob request = job();
    request.start = 338;
    request.height = 1080;
    request.mp4 = 1;
    request.exact = 1;
    wcscpy(request.cookies, L"firefox");
    std::vector<CapturedMsg> messages = run(request);

    TextLines expected = {
        prog + L"\\yt-dlp.exe", URL, L"--no-playlist", L"--newline", L"--no-mtime",
        L"--encoding", L"utf-8", L"-o", template_for(outdir), L"--download-sections", L"*338.000-inf", L"-f",
        L"bv*[vcodec^=avc1][height<=1080]+ba[acodec^=mp4a]/bv*[height<=1080]+ba/b[height<=1080]",
        L"--merge-output-format", L"mp4", L"--cookies-from-browser", L"firefox"};
    EXPECT_EQ(received(), expected);
    EXPECT_EQ(read_lines(prog + L"\\cwd.txt"), TextLines{outdir}) << "yt-dlp runs in the job's folder";

    // The log shows the very line that ran, then the job ends with success;
    // before it the resolving run and why the fragments are not fetched.
    ASSERT_EQ(messages.size(), 4u);
    EXPECT_EQ(messages[1].text,
              L"[tarnvik] the section is fetched as before, not as fragments: yt-dlp named no format");
    EXPECT_EQ(messages[2].msg, (UINT)WM_APP_LOG);
    ASSERT_TRUE(starts_with(messages[2].text, L"$ "));
    EXPECT_EQ(split_command_line(messages[2].text.substr(2)), expected);
    expect_done_last(messages, 0);
}

TEST_F(ClipJobTest, SectionFormatAndContainerOptions)
{
    struct Case {
        const char* what;
        std::function<void(ClipJob&)> change;
        TextLines tail;  // after "--download-sections"
    };
    const Case cases[] = {
        {"no times: the whole video", [](ClipJob&) {},
         {L"*0-inf", L"-f", L"bv*+ba/b"}},
        {"a typed start of 0 is a time like any other", [](ClipJob& j) { j.start = 0; },
         {L"*0.000-inf", L"-f", L"bv*+ba/b"}},
        {"only an end", [](ClipJob& j) { j.end = 12; },
         {L"*0-12.000", L"-f", L"bv*+ba/b"}},
        {"fractions keep three decimals", [](ClipJob& j) { j.start = 5.5; j.end = 3723.25; },
         {L"*5.500-3723.250", L"-f", L"bv*+ba/b"}},
        {"audio only ignores MP4", [](ClipJob& j) { j.height = -1; j.mp4 = 1; },
         {L"*0-inf", L"-f", L"ba/b", L"-x"}},
        {"MP4 without audio is remuxed", [](ClipJob& j) { j.height = 720; j.mp4 = 1; j.noaudio = 1; },
         {L"*0-inf", L"-f", L"bv*[vcodec^=avc1][height<=720]/bv*[height<=720]", L"--remux-video", L"mp4"}},
        {"MP4 with audio is merged", [](ClipJob& j) { j.mp4 = 1; },
         {L"*0-inf", L"-f", L"bv*[vcodec^=avc1]+ba[acodec^=mp4a]/bv*+ba/b", L"--merge-output-format",
          L"mp4"}},
        {"no audio without MP4 has no container option", [](ClipJob& j) { j.height = 480; j.noaudio = 1; },
         {L"*0-inf", L"-f", L"bv*[height<=480]"}},
        {"an exact cut fetches as a copy cut does; cookies come last",
         [](ClipJob& j) { j.exact = 1; wcscpy(j.cookies, L"chrome"); },
         {L"*0-inf", L"-f", L"bv*+ba/b", L"--cookies-from-browser", L"chrome"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ClipJob request = job();
        c.change(request);
        TextLines expected = {L"--download-sections"};
        expected.insert(expected.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(received_tail(request), expected);
    }
}

TEST_F(ClipJobTest, LargestAcceptedTimesArriveWhole)
{
    // Three fields of 31 digits: the largest text the time fields accept.
    const std::wstring field(31, L'9');
    ClipJob request = job();
    ASSERT_EQ(parse_timecode(field.c_str(), request.start), 1);
    ASSERT_EQ(parse_timecode((field + L":" + field + L":" + field).c_str(), request.end), 1);
    TextLines tail = received_tail(request);
    ASSERT_GE(tail.size(), 2u);
    const std::wstring& section = tail[1];
    size_t dash = section.find(L'-');
    ASSERT_EQ(section[0], L'*');
    ASSERT_NE(dash, std::wstring::npos);
    // Read back, each text must give the very same number.
    EXPECT_EQ(wcstod(section.substr(1, dash - 1).c_str(), NULL), request.start) << section;
    EXPECT_EQ(wcstod(section.substr(dash + 1).c_str(), NULL), request.end) << section;
    EXPECT_EQ(section.substr(section.size() - 4), L".000");
}

TEST_F(ClipJobTest, WithoutFfmpegTheLocationIsLeftOut)
{
    ASSERT_TRUE(DeleteFileW((prog + L"\\ffmpeg.exe").c_str()));
    ClipJob request = job();
    request.end = 12;
    EXPECT_EQ(received_tail(request), (TextLines{L"--download-sections", L"*0-12.000", L"-f", L"bv*+ba/b"}));
}

// yt-dlp expands "$NAME" and "%NAME%" in --ffmpeg-location: ffmpeg next to
// the program is found on PATH, and a folder elsewhere that could expand is
// left to PATH too.
TEST_F(ClipJobTest, NoFfmpegFolderReachesYtdlpsExpansion)
{
    use_program_folder(root + L"\\Tools $HOME 50%");
    EXPECT_EQ(received_tail(job()).at(0), L"--download-sections") << "ffmpeg beside the program";
    put_ffmpeg_on_path(root + L"\\ff %TEMP%");
    EXPECT_EQ(received_tail(job()).at(0), L"--download-sections") << "ffmpeg on PATH";
}

TEST_F(ClipJobTest, PathsWithSpacesArriveWhole)
{
    CreateDirectoryW((root + L"\\Program Files").c_str(), NULL);
    use_program_folder(root + L"\\Program Files\\Tar nvik");
    CreateDirectoryW((root + L"\\ff mpeg").c_str(), NULL);
    put_ffmpeg_on_path(root + L"\\ff mpeg\\bin");
    run(job());
    TextLines args = received();
    ASSERT_GE(args.size(), 11u);
    EXPECT_EQ(args[0], prog + L"\\yt-dlp.exe");
    EXPECT_EQ(args[9], L"--ffmpeg-location");
    EXPECT_EQ(args[10], root + L"\\ff mpeg\\bin");
}

TEST_F(ClipJobTest, FfmpegAtADriveRootKeepsItsBackslash)
{
    put_ffmpeg_on_path(L"C:\\");
    run(job());
    DeleteFileW(L"C:\\ffmpeg.exe");
    TextLines args = received();
    ASSERT_GE(args.size(), 11u);
    EXPECT_EQ(args[10], L"C:\\") << "\"C:\" alone would mean drive C's current folder";
}

TEST_F(ClipJobTest, UrlsWithQuotesBackslashesAndTabsArriveUnchanged)
{
    const wchar_t* const urls[] = {
        L"https://example.com/v?t=\"x\"&p=a\\b\tc",
        L"https://example.com/a b?q=\"two words\"&t=\t1",
        // A backslash right before a quote, or closing a quoted URL, must not
        // end the quoting and let the rest pass for options of yt-dlp's own.
        L"https://example.com/x\\\" --exec \"calc.exe",
        L"https://example.com/a b\\",
    };
    for (const wchar_t* url : urls) {
        ClipJob request = job();
        wcscpy(request.url, url);
        run(request);
        TextLines args = received();
        ASSERT_GE(args.size(), 3u);
        EXPECT_EQ(args[1], url);
        EXPECT_EQ(args[2], L"--no-playlist") << "the URL must stay one argument";
    }
}

TEST_F(ClipJobTest, FailingYtdlpReportsItsOwnExitCodeAndWords)
{
    script({L"say ERROR: [generic] Unsupported URL: https://example.com/watch?v=abc123", L"exit 2"});
    std::vector<CapturedMsg> messages = run(job());
    Seen seen = sort_messages(messages);
    ASSERT_EQ(seen.logs.size(), 4u);  // resolve, fallback line, download, its error
    EXPECT_EQ(seen.logs[3], L"ERROR: [generic] Unsupported URL: https://example.com/watch?v=abc123");
    expect_done_last(messages, 2);
}

TEST_F(ClipJobTest, MissingYtdlpSaysSoAndRunsNothing)
{
    ASSERT_TRUE(DeleteFileW((prog + L"\\yt-dlp.exe").c_str()));
    std::vector<CapturedMsg> messages = run(job());
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].msg, (UINT)WM_APP_STATUS);
    EXPECT_EQ(messages[0].wparam, (WPARAM)STATUS_TOOL_MISSING);
    EXPECT_EQ(messages[0].text, MISSING_STATUS);
    expect_done_last(messages, 1);
    EXPECT_FALSE(folder_exists(outdir)) << "no empty job folder is left";
}

// A folder with what yt-dlp reads as template fields and environment
// variables reaches it only as its current folder; a deep one gets names cut
// to fit Windows' path limit.
TEST_F(ClipJobTest, TheJobFolderNeverPassesThroughTheTemplate)
{
    outdir = root + L"\\clips\\$HOME %(id)s %TEMP%";
    ASSERT_TRUE(CreateDirectoryW(outdir.c_str(), NULL));
    script({L"args args.txt", L"cwd cwd.txt", L"media clip [x].mp4 10"});
    expect_done_last(run(job()), 0);
    EXPECT_EQ(received().at(8), template_for(outdir));
    EXPECT_EQ(read_lines(prog + L"\\cwd.txt"), TextLines{outdir});
    EXPECT_TRUE(file_exists(outdir + L"\\clip [x].mp4"));

    // 200 units leave 58 for a name, of which " [", "]" and ".f251.webm.part"
    // take 18: the rest is shared by title and id.
    std::wstring deep = root + L"\\clips";
    while (deep.size() < 200) {
        size_t rest = 200 - deep.size() - 1;
        deep += L"\\" + std::wstring(rest <= 50 ? rest : 40, L'd');
    }
    ASSERT_TRUE(make_folders(deep));
    outdir = deep;
    run(job());
    EXPECT_EQ(received().at(8), L"%(title).10s [%(id).20B].%(ext)s");
    EXPECT_EQ(read_lines(prog + L"\\cwd.txt"), TextLines{deep});
}

TEST_F(ClipJobTest, YtdlpThatCannotStartEndsTheJobAsFailed)
{
    ASSERT_TRUE(write_file(prog + L"\\yt-dlp.exe", "not a program"));
    std::vector<CapturedMsg> messages = run(job());
    Seen seen = sort_messages(messages);
    ASSERT_EQ(seen.logs.size(), 3u);
    EXPECT_TRUE(starts_with(seen.logs[0], L"$ "));
    EXPECT_TRUE(starts_with(seen.logs[1], L"[tarnvik] failed to start process (error "))
        << seen.logs[1].c_str();
    EXPECT_TRUE(starts_with(seen.logs[2], L"[tarnvik] ")) << "Windows' text for the error";
    expect_done_last(messages, RUN_FAILED);
}

// With a look-up's kept information, yt-dlp loads it in place of the
// address; a site that refuses its expired media addresses (the recorded
// 403) gets one more run, with the address.
TEST_F(ClipJobTest, KeptInformationStandsInForTheAddressUntilTheSiteRefusesIt)
{
    ClipJob request = job();
    std::wstring info = root + L"\\video.info.json";
    wcsncpy(request.info_file, info.c_str(), PATH_CAP - 1);
    run(job());
    TextLines by_address = received();
    ASSERT_GE(by_address.size(), 2u);

    std::vector<CapturedMsg> messages = run(request);
    TextLines by_info = received();
    TextLines expected = by_address;
    expected[1] = info;
    expected.insert(expected.begin() + 1, L"--load-info-json");
    EXPECT_EQ(by_info, expected) << "every other argument as with the address";
    expect_done_last(messages, 0);

    script({L"args args.txt", L"refuse-info-json " TEST_DATA_DIR L"/transcripts/load-info-expired.txt",
            L"media clip.mp4 2048"});
    messages = run(request);
    EXPECT_EQ(received(), by_address) << "the second run has the address";
    Seen seen = sort_messages(messages);
    std::vector<std::wstring> echoed = echoed_with(seen, L"--download-sections");
    ASSERT_EQ(echoed.size(), 2u);
    EXPECT_EQ(split_command_line(echoed[0].substr(2)), expected);
    EXPECT_EQ(split_command_line(echoed[1].substr(2)), by_address);
    EXPECT_TRUE(std::any_of(seen.logs.begin(), seen.logs.end(),
                            [](const std::wstring& l) { return starts_with(l, L"[tarnvik] the site refused"); }));
    expect_done_last(messages, 0);

    // Only a refusal is worth the second run: any other failure stands.
    script({L"args args.txt", L"say ERROR: [generic] Unsupported URL: https://example.com/", L"exit 1"});
    messages = run(request);
    EXPECT_EQ(received(), expected);
    expect_done_last(messages, 1);
}

// Real yt-dlp output, replayed: stage words, progress and the log, in order.
TEST_F(ClipJobTest, RecordedTranscriptsReachTheWindowInOrder)
{
    const std::wstring analyzing = L"analyzing video…", downloading = L"downloading…",
                       processing = L"processing…";
    struct Case {
        const wchar_t* transcript;
        double clip_len;
        std::vector<std::wstring> stages;
        bool two_downloads;  // the bar starts over for the second
    };
    const Case cases[] = {
        {L"exact-cut.txt", 20, {analyzing, downloading}, false},
        {L"audio-only.txt", 20, {analyzing, downloading, processing}, false},
        {L"merge.txt", 12, {analyzing, downloading}, false},
        {L"merge-separate.txt", 12, {analyzing, downloading, processing}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.transcript);
        script({L"transcript " TEST_DATA_DIR L"/transcripts/" + std::wstring(c.transcript),
                L"delay 1", L"media Café – Ünïcode [Café – Ünïcode].mp4 2048"});
        ClipJob request = job();
        request.clip_len = c.clip_len;
        std::vector<CapturedMsg> messages = run(request);
        Seen seen = sort_messages(messages);

        EXPECT_EQ(seen.stages, c.stages);
        ASSERT_FALSE(seen.progress.empty());
        EXPECT_EQ(seen.progress.back(), 1000);
        if (!c.two_downloads) {
            EXPECT_TRUE(std::is_sorted(seen.progress.begin(), seen.progress.end()));
        }
        ASSERT_GE(seen.logs.size(), 5u);  // the resolving run and its line first
        EXPECT_TRUE(starts_with(seen.logs[2], L"$ "));
        EXPECT_TRUE(starts_with(seen.logs[3], L"[generic] Extracting URL: "));
        for (const std::wstring& line : seen.logs)
            EXPECT_EQ(line.find(L"speed="), std::wstring::npos) << "progress logged: " << line.c_str();
        const std::wstring destination =
            L"[download] Destination: /tmp/tarnvik-record/job/Café – Ünïcode [Café – Ünïcode]";
        bool title_intact = std::any_of(seen.logs.begin(), seen.logs.end(),
                                        [&](const std::wstring& l) { return starts_with(l, destination); });
        EXPECT_TRUE(title_intact);
        expect_done_last(messages, 0);
        EXPECT_EQ(messages.back().file, L"Café – Ünïcode [Café – Ünïcode].mp4");
        EXPECT_TRUE(file_exists(outdir + L"\\Café – Ünïcode [Café – Ünïcode].mp4"));
    }
}

// An exact cut: the fake yt-dlp fetches "Clip [id].mp4", the fake ffprobe
// describes it as the recorded H.264 section, the fake ffmpeg makes each step.
class ExactCutTest : public ClipJobTest {
protected:
    const std::wstring FETCHED = L"Clip [abc123].mp4";
    // What ffprobe says of the section (its packets, its streams) and then of the result.
    const TextLines PROBES = {L"transcript " TEST_DATA_DIR L"/probe/h264-section.txt",
                              L"transcript " TEST_DATA_DIR L"/probe/h264-section-streams.txt",
                              L"transcript " TEST_DATA_DIR L"/probe/h264-result.txt"};

    void SetUp() override
    {
        ClipJobTest::SetUp();
        prepare();
    }

    // Each case starts in an empty job folder of its own making.
    void prepare()
    {
        ASSERT_TRUE(make_fresh_folder(outdir));
        ASSERT_TRUE(install_fake_ffmpeg(prog));
        script({L"temp temp.txt", L"say [download] Destination: " + FETCHED, L"media " + FETCHED + L" 2048"});
        tool_script(L"ffprobe", PROBES);
        tool_script(L"ffmpeg", {});
    }

    // args first: a sleeping run is seen as soon as it has started.
    void tool_script(const wchar_t* tool, TextLines lines)
    {
        lines.insert(lines.begin(), std::wstring(L"args ") + tool + L".args");
        ASSERT_TRUE(write_lines(prog + L"\\" + tool + L".script", lines));
        DeleteFileW((prog + L"\\" + tool + L".args").c_str());
    }

    std::vector<TextLines> runs_of(const wchar_t* tool) { return read_runs(prog + L"\\" + tool + L".args"); }

    ClipJob exact_job() const
    {
        ClipJob request = job();
        request.exact = 1;
        request.start = 3.5;
        request.end = 5.5;
        request.clip_len = 2;
        return request;
    }

    std::wstring ytdlp_temp() const
    {
        TextLines lines = read_lines(prog + L"\\temp.txt");
        return lines.empty() ? L"" : lines[0];
    }

    TextLines folder_files() const
    {
        TextLines names;
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((outdir + L"\\*").c_str(), &entry);
        for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &entry))
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.push_back(entry.cFileName);
        if (find != INVALID_HANDLE_VALUE)
            FindClose(find);
        return names;
    }
};

TEST_F(ExactCutTest, StepsRunInOrderInTheJobFolderAndLeaveOneFile)
{
    std::vector<CapturedMsg> messages = run(exact_job());
    expect_done_last(messages, 0);
    Seen seen = sort_messages(messages);
    EXPECT_EQ(seen.stages, (std::vector<std::wstring>{L"downloading…", L"processing…"}));
    EXPECT_TRUE(std::is_sorted(seen.progress.begin(), seen.progress.end())) << "the bar never goes back";

    // yt-dlp resolving and fetching, ffprobe twice (packets, streams), the
    // plan's line, then the steps, each echoed.
    std::vector<std::wstring> order;
    for (const std::wstring& line : seen.logs)
        if (starts_with(line, L"$ ") || starts_with(line, L"[tarnvik] exact cut: "))
            order.push_back(line.find(L"yt-dlp.exe") != std::wstring::npos    ? L"yt-dlp"
                            : line.find(L"ffprobe.exe") != std::wstring::npos ? L"ffprobe"
                            : line.find(L"ffmpeg.exe") != std::wstring::npos  ? L"ffmpeg"
                                                                               : L"plan");
    std::wstring log;
    for (const std::wstring& line : seen.logs)
        log += line + L"\n";
    ASSERT_GE(order.size(), 6u) << log.c_str();
    EXPECT_EQ(TextLines(order.begin(), order.begin() + 5),
              (TextLines{L"yt-dlp", L"yt-dlp", L"ffprobe", L"ffprobe", L"plan"}));
    std::vector<TextLines> ffmpeg_runs = runs_of(L"ffmpeg");
    EXPECT_EQ(std::count(order.begin(), order.end(), L"ffmpeg"), (long)ffmpeg_runs.size());
    for (const TextLines& args : runs_of(L"ffprobe"))
        EXPECT_EQ(args.at(0), L"cwd " + outdir);
    for (const TextLines& args : ffmpeg_runs)
        EXPECT_EQ(args.at(0), L"cwd " + outdir);
    EXPECT_TRUE(std::any_of(ffmpeg_runs.begin(), ffmpeg_runs.end(), [&](const TextLines& args) {
        return args.back() == FETCHED;
    })) << "the result keeps yt-dlp's name";
    for (const std::wstring& line : seen.logs)
        EXPECT_EQ(line.find(L"time=00:"), std::wstring::npos) << "ffmpeg's progress logged";

    EXPECT_EQ(folder_files(), TextLines{FETCHED}) << "no intermediate file stays";
    EXPECT_EQ(messages.back().file, FETCHED) << "the job names its clip";
    ASSERT_FALSE(ytdlp_temp().empty());
    EXPECT_FALSE(folder_exists(ytdlp_temp())) << "yt-dlp's temporary folder stays behind";
}

TEST_F(ExactCutTest, CancelInEachStepEndsItAndRemovesTheJobFolder)
{
    const wchar_t* const tools[] = {L"yt-dlp", L"ffprobe", L"ffmpeg"};
    for (const wchar_t* tool : tools) {
        SCOPED_TRACE(tool);
        prepare();
        const std::wstring started = prog + L"\\" + tool + L".args";
        if (wcscmp(tool, L"yt-dlp") == 0)
            script({L"args yt-dlp.args", L"temp temp.txt", L"media " + FETCHED + L" 2048", L"sleep 60000"});
        else
            tool_script(tool, {L"sleep 60000"});
        DeleteFileW(started.c_str());
        std::vector<CapturedMsg> messages = run(exact_job(), [&] { return file_exists(started); });
        expect_done_last(messages, RUN_CANCELLED);
        EXPECT_FALSE(folder_exists(outdir));
        EXPECT_FALSE(folder_exists(ytdlp_temp())) << "yt-dlp's temporary folder stays behind";
    }
}

// Held as a scanner or OneDrive holds a new file: others may read and write
// it, nobody may rename or delete it.
HANDLE hold(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
}

// The fetched file is held as the cut renames it, and the section as the cut
// removes it: each waits; and where a hold outlasts the patience, the job
// still names its clip, never the fetched section left beside it.
TEST_F(ExactCutTest, FilesHeldForAMomentAreWaitedForAndTheClipIsStillNamed)
{
    const std::wstring fetched = outdir + L"\\" + FETCHED, section = outdir + L"\\section.mp4";
    const unsigned long saved_patience = g_hold_patience_ms;
    for (bool outlasted : {false, true}) {
        SCOPED_TRACE(outlasted ? "a hold that outlasts the patience" : "holds for a moment");
        prepare();
        tool_script(L"ffmpeg", {L"sleep 500"});
        g_hold_patience_ms = outlasted ? 300 : 60000;
        HANDLE held_fetched = INVALID_HANDLE_VALUE, held_section = INVALID_HANDLE_VALUE;
        if (!outlasted) {
            ASSERT_TRUE(write_file(fetched, ""));  // held before yt-dlp writes into it
            held_fetched = hold(fetched);
            ASSERT_NE(held_fetched, INVALID_HANDLE_VALUE);
        }
        LONG retries = g_hold_retries;
        int holds = 0;  // taken so far
        std::vector<CapturedMsg> messages = run(exact_job(), [&] {
            if (held_fetched != INVALID_HANDLE_VALUE) {
                if (g_hold_retries > retries) {
                    CloseHandle(held_fetched);
                    held_fetched = INVALID_HANDLE_VALUE;
                    holds++;
                }
            } else if (held_section == INVALID_HANDLE_VALUE && holds < 2) {
                held_section = hold(section);
                retries = g_hold_retries;
            } else if (held_section != INVALID_HANDLE_VALUE && !outlasted && g_hold_retries > retries) {
                CloseHandle(held_section);
                held_section = INVALID_HANDLE_VALUE;
                holds = 2;
            }
            return false;  // never cancels
        });
        if (held_section != INVALID_HANDLE_VALUE)
            CloseHandle(held_section);
        expect_done_last(messages, 0);
        EXPECT_EQ(messages.back().file, FETCHED);
        if (!outlasted) {
            EXPECT_EQ(holds, 2) << "both were refused at first";
            EXPECT_EQ(folder_files(), TextLines{FETCHED});
        } else {
            EXPECT_EQ(folder_files().size(), 2u) << "the section stays beside the clip";
            Seen seen = sort_messages(messages);
            EXPECT_TRUE(std::any_of(seen.logs.begin(), seen.logs.end(), [](const std::wstring& line) {
                return line.find(L"section.mp4 could not be removed") != std::wstring::npos;
            }));
        }
        remove_tree(outdir);
    }
    g_hold_patience_ms = saved_patience;
}

TEST_F(ExactCutTest, AFailedStepFallsBackToReencodingTheFetchedFile)
{
    tool_script(L"ffmpeg", {L"fail 1"});
    std::vector<CapturedMsg> messages = run(exact_job());
    expect_done_last(messages, 0);
    Seen seen = sort_messages(messages);
    long fallbacks = std::count_if(seen.logs.begin(), seen.logs.end(), [](const std::wstring& line) {
        return line.find(L"re-encoding the whole section") != std::wstring::npos;
    });
    EXPECT_EQ(fallbacks, 1) << "one line says why";
    long fetches = std::count_if(seen.logs.begin(), seen.logs.end(), [](const std::wstring& line) {
        return starts_with(line, L"$ ") && line.find(L"--download-sections") != std::wstring::npos;
    });
    EXPECT_EQ(fetches, 1) << "never a second download";
    std::vector<TextLines> ffmpeg_runs = runs_of(L"ffmpeg");
    ASSERT_GE(ffmpeg_runs.size(), 2u);
    const TextLines& reencode = ffmpeg_runs.back();
    EXPECT_NE(std::find(reencode.begin(), reencode.end(), L"section.mp4"), reencode.end());
    EXPECT_EQ(reencode.back(), FETCHED);
    EXPECT_EQ(folder_files(), TextLines{FETCHED});
}

// The fragment road: yt-dlp resolves the clip's format into "Clip [abc123].mp4",
// fetches the head of the recorded fragmented MP4 and then its pieces, and
// ffmpeg cuts the clip from them.
class FragmentRoadTest : public ExactCutTest {
protected:
    const std::wstring DATA = TEST_DATA_DIR L"/frag/";

    void resolve_to(const std::wstring& info, TextLines extra = {}, const std::wstring& clip = L"")
    {
        extra.insert(extra.end(), {L"field filename " + (clip.empty() ? FETCHED : clip), L"info-json " + DATA + info});
        ASSERT_TRUE(write_lines(prog + L"\\yt-dlp-resolve.script", extra));
    }

    void serve(const std::wstring& head, TextLines extra = {}, const std::wstring& media = L"clip.mp4")
    {
        const std::wstring ext = media.substr(media.rfind(L'.'));
        extra.insert(extra.end(), {L"args args.txt", L"fetched head.p0" + ext + L" " + DATA + head,
                                   L"fetched fetch.p0" + ext + L" " + DATA + media});
        script(extra);
        DeleteFileW((prog + L"\\held.txt").c_str());
    }

    // The clip from 1.5 s to 3 s, which must end as made.
    std::vector<CapturedMsg> cut_short_clip()
    {
        ClipJob request = job();
        request.start = 1.5;
        request.end = 3;
        request.clip_len = 1.5;
        std::vector<CapturedMsg> messages = run(request);
        expect_done_last(messages, 0);
        return messages;
    }

    std::vector<std::wstring> fallback_lines(const Seen& seen)
    {
        std::vector<std::wstring> lines;
        for (const std::wstring& line : seen.logs)
            if (starts_with(line, L"[tarnvik] the section is fetched as before"))
                lines.push_back(line);
        return lines;
    }
};

TEST_F(FragmentRoadTest, OnlyTheSectionsPiecesAreFetchedAndCutLocally)
{
    resolve_to(L"resolved-mp4.info.json");
    serve(L"clip.mp4");
    Seen seen = sort_messages(cut_short_clip());
    EXPECT_TRUE(fallback_lines(seen).empty());
    EXPECT_EQ(seen.stages, (std::vector<std::wstring>{L"downloading…", L"processing…"}));
    EXPECT_TRUE(std::is_sorted(seen.progress.begin(), seen.progress.end())) << "the bar never goes back";
    ASSERT_FALSE(seen.progress.empty());
    EXPECT_GE(seen.progress.back(), 950) << "the pieces fill the bar by their bytes";
    TextLines fetch = received();
    EXPECT_NE(std::find(fetch.begin(), fetch.end(), L"fetch.json"), fetch.end());
    EXPECT_EQ(std::find(fetch.begin(), fetch.end(), L"--download-sections"), fetch.end());
    std::vector<TextLines> cuts = runs_of(L"ffmpeg");
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_NE(std::find(cuts[0].begin(), cuts[0].end(), L"fetch.p0.mp4"), cuts[0].end());
    EXPECT_EQ(cuts[0].back(), FETCHED);
    EXPECT_EQ(folder_files(), TextLines{FETCHED}) << "no head, piece or information file stays";
}

// A WebM takes the same road: its head is fitted to the clusters fetched
// (or the road is left with a line saying so) and the clip is cut as WebM.
TEST_F(FragmentRoadTest, AWebmTakesTheSameRoad)
{
    const std::wstring clip = L"Clip [abc123].webm";
    resolve_to(L"resolved-webm.info.json", {}, clip);
    serve(L"clip.webm", {}, L"clip.webm");
    EXPECT_TRUE(fallback_lines(sort_messages(cut_short_clip())).empty());
    std::vector<TextLines> cuts = runs_of(L"ffmpeg");
    ASSERT_EQ(cuts.size(), 1u);
    EXPECT_NE(std::find(cuts[0].begin(), cuts[0].end(), L"fetch.p0.webm"), cuts[0].end());
    EXPECT_EQ(cuts[0].back(), clip);
    EXPECT_EQ(cuts[0][cuts[0].size() - 2], L"webm") << "ffmpeg's muxer for the clip";
    EXPECT_EQ(folder_files(), TextLines{clip});
}

TEST_F(FragmentRoadTest, EverythingElseKeepsTodaysRoadWithOneLineSayingWhy)
{
    struct Case {
        const char* what;
        std::wstring info, head, why;
        int height;
    };
    const Case cases[] = {
        {"HLS", L"resolved-hls.info.json", L"clip.mp4", L"an HLS stream", 0},
        {"no index at the head", L"resolved-mp4.info.json", L"resolved-hls.info.json", L"the file is not an MP4", 0},
        {"audio only", L"resolved-mp4.info.json", L"clip.mp4", L"audio only", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        prepare();
        resolve_to(c.info);
        serve(c.head, {L"media " + FETCHED + L" 2048"});
        ClipJob request = job();
        request.height = c.height;
        std::vector<CapturedMsg> messages = run(request);
        expect_done_last(messages, 0);
        std::vector<std::wstring> lines = fallback_lines(sort_messages(messages));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NE(lines[0].find(c.why), std::wstring::npos) << lines[0].c_str();
        TextLines args = received();
        EXPECT_NE(std::find(args.begin(), args.end(), L"--download-sections"), args.end());
        EXPECT_EQ(folder_files(), TextLines{FETCHED});
    }
}

// The kept information's refused media addresses get one fresh resolve;
// refused again, the section comes as before, from the address.
TEST_F(FragmentRoadTest, ARefusedPieceIsResolvedAfreshOnce)
{
    resolve_to(L"resolved-mp4.info.json");
    serve(L"clip.mp4", {L"refuse-info-json " TEST_DATA_DIR L"/transcripts/load-info-expired.txt",
                        L"media " + FETCHED + L" 2048"});
    ClipJob request = job();
    std::wstring info = root + L"\\video.info.json";
    wcsncpy(request.info_file, info.c_str(), PATH_CAP - 1);
    std::vector<CapturedMsg> messages = run(request);
    expect_done_last(messages, 0);
    Seen seen = sort_messages(messages);
    std::vector<std::wstring> resolves = echoed_with(seen, L"--skip-download");
    ASSERT_EQ(resolves.size(), 2u);
    EXPECT_NE(resolves[0].find(info), std::wstring::npos);
    EXPECT_NE(resolves[1].find(URL), std::wstring::npos);
    std::vector<std::wstring> lines = fallback_lines(seen);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(L"the site refused a piece"), std::wstring::npos);
    EXPECT_EQ(received().at(1), URL) << "today's road from the address";
}

TEST_F(FragmentRoadTest, CancelInEachStepEndsItAndRemovesTheJobFolder)
{
    const wchar_t* const steps[] = {L"resolve", L"head", L"fetch", L"cut"};
    for (const wchar_t* step : steps) {
        SCOPED_TRACE(step);
        prepare();
        bool resolving = wcscmp(step, L"resolve") == 0, cutting = wcscmp(step, L"cut") == 0;
        resolve_to(L"resolved-mp4.info.json", resolving ? TextLines{L"sleep 60000"} : TextLines{});
        serve(L"clip.mp4", resolving || cutting ? TextLines{} : TextLines{std::wstring(L"hold ") + step});
        tool_script(L"ffmpeg", cutting ? TextLines{L"sleep 60000"} : TextLines{});
        const std::wstring started = resolving ? outdir + L"\\resolved.info.json"
                                     : cutting ? prog + L"\\ffmpeg.args"
                                               : prog + L"\\held.txt";
        std::vector<CapturedMsg> messages = run(job(), [&] { return file_exists(started); });
        expect_done_last(messages, RUN_CANCELLED);
        EXPECT_FALSE(folder_exists(outdir));
    }
}

}  // namespace
