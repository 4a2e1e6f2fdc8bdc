// The tool set-up against fake curl and tar at their fixed system paths:
// which downloads run, where files end up, what is logged and the one flag.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include "jobs/bootstrap.h"
#include "jobs/globals.h"
#include "jobs/messages.h"
#include "proc/tools.h"
#include "support/capture.h"
#include "support/doubles.h"
#include "support/programs.h"

namespace {

const wchar_t YTDLP_PATH[] = L"/yt-dlp/yt-dlp/releases/latest/download/yt-dlp.exe";
const wchar_t FFMPEG_PATH[] =
    L"/yt-dlp/FFmpeg-Builds/releases/download/latest/ffmpeg-master-latest-win64-gpl.zip";
const wchar_t DENO_PATH[] = L"/denoland/deno/releases/latest/download/deno-x86_64-pc-windows-msvc.zip";
const wchar_t FFMPEG_DIR[] = L"ffmpeg-master-latest-win64-gpl";
const wchar_t OTHER_FS_DRIVE[] = L"T:\\";  // mapped to a tmpfs folder by ctest
const DWORD SETUP_WAIT_MS = 120000;

const wchar_t LOG_GET_YTDLP[] = L"[setup] downloading yt-dlp.exe (~20 MB) ...";
const wchar_t LOG_GET_FFMPEG[] = L"[setup] downloading ffmpeg (~100 MB — takes a minute) ...";
const wchar_t LOG_GET_DENO[] = L"[setup] downloading deno (~40 MB) ...";
const wchar_t LOG_UNPACK_FFMPEG[] = L"[setup] unpacking ffmpeg ...";
const wchar_t LOG_UNPACK_DENO[] = L"[setup] unpacking deno ...";

struct SetupRun {
    TextLines logs;
    int progress_posts = 0;
    bool reached_full = false;  // a progress post of 1000
    int done_posts = 0;
    bool done_last = false;
    WPARAM flag = 99;
};

bool ends_with(const std::wstring& text, const std::wstring& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::wstring content_of(const std::wstring& path)
{
    std::string bytes;
    return read_file(path, &bytes) ? wide_of_utf8(bytes) : L"(missing)";
}

// The name the file system itself gives the entry, letter case included.
std::wstring stored_name(const std::wstring& path)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return L"(missing)";
    FindClose(search);
    return found.cFileName;
}

class BootstrapTest : public ::testing::Test {
protected:
    std::wstring root, prog, temp, saved_tmp;
    bool had_tmp = false;

    void SetUp() override
    {
        ASSERT_TRUE(install_system_fakes());
        root = make_scratch_dir(L"bootstrap");
        ASSERT_FALSE(root.empty());
        wchar_t tmp[MAX_PATH];
        DWORD length = GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH);
        had_tmp = length > 0 && length < MAX_PATH;
        saved_tmp = had_tmp ? tmp : L"";
        prog = root + L"\\prog";
        ASSERT_TRUE(CreateDirectoryW(prog.c_str(), NULL));
        wcsncpy(g_appdir, prog.c_str(), PATH_CAP - 1);
        use_temp(root + L"\\tmp");
        archive(L"ffmpeg.list", {std::wstring(FFMPEG_DIR) + L"/", std::wstring(FFMPEG_DIR) + L"/LICENSE.txt",
                                 std::wstring(FFMPEG_DIR) + L"/bin/ffmpeg.exe",
                                 std::wstring(FFMPEG_DIR) + L"/bin/ffplay.exe",
                                 std::wstring(FFMPEG_DIR) + L"/bin/ffprobe.exe"});
        archive(L"deno.list", {L"deno.exe"});
        curl_script({});
        ASSERT_TRUE(write_lines(SYSTEM_TAR_SCRIPT, {L"args " + root + L"\\tar-args.txt"}));
        ASSERT_TRUE(capture_start());
        // Under Wine a fresh capture window is now and then dropped unless
        // its thread has handled a message first; one round trip settles it.
        capture_take();
    }

    void TearDown() override
    {
        capture_stop();
        SetEnvironmentVariableW(L"TMP", had_tmp ? saved_tmp.c_str() : NULL);
        DeleteFileW(SYSTEM_CURL_SCRIPT);
        DeleteFileW(SYSTEM_TAR_SCRIPT);
        remove_tree(root);
    }

    // The temporary folder the set-up will be given (created here).
    void use_temp(const std::wstring& folder)
    {
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), NULL) || folder_exists(folder));
        temp = folder + L"\\";
        SetEnvironmentVariableW(L"TMP", temp.c_str());
    }

    // A fake archive: the list of entries the fake tar creates.
    void archive(const wchar_t* name, const TextLines& entries)
    {
        ASSERT_TRUE(write_lines(root + L"\\" + name, entries));
    }

    // Serves the two archives, plus these extra lines for the fake curl.
    void curl_script(const TextLines& extra)
    {
        TextLines lines = {L"args " + root + L"\\curl-args.txt",
                           L"serve ffmpeg-master-latest-win64-gpl.zip " + root + L"\\ffmpeg.list",
                           L"serve deno-x86_64-pc-windows-msvc.zip " + root + L"\\deno.list"};
        // Earlier lines win in the fake, so the test's own come first.
        lines.insert(lines.begin() + 1, extra.begin(), extra.end());
        ASSERT_TRUE(write_lines(SYSTEM_CURL_SCRIPT, lines));
    }

    void present(const TextLines& tools)
    {
        for (const std::wstring& tool : tools)
            ASSERT_TRUE(write_file(prog + L"\\" + tool + L".exe", "old copy"));
    }

    std::wstring in_prog(const wchar_t* name) const { return prog + L"\\" + name; }

    std::vector<TextLines> curl_runs() const { return read_runs(root + L"\\curl-args.txt"); }
    std::vector<TextLines> tar_runs() const { return read_runs(root + L"\\tar-args.txt"); }

    SetupRun run_setup()
    {
        HANDLE thread = CreateThread(NULL, 0, bootstrap_thread, NULL, 0, NULL);
        EXPECT_TRUE(thread != NULL);
        if (thread) {
            EXPECT_EQ(WaitForSingleObject(thread, SETUP_WAIT_MS), (DWORD)WAIT_OBJECT_0);
            CloseHandle(thread);
        }
        SetupRun run;
        std::vector<CapturedMsg> messages = capture_take();
        for (const CapturedMsg& m : messages) {
            if (m.msg == WM_APP_LOG)
                run.logs.push_back(m.text);
            if (m.msg == WM_APP_PROGRESS) {
                run.progress_posts++;
                run.reached_full = run.reached_full || m.wparam == 1000;
            }
            if (m.msg == WM_APP_SETUP_DONE) {
                run.done_posts++;
                run.flag = m.wparam;
            }
        }
        run.done_last = !messages.empty() && messages.back().msg == WM_APP_SETUP_DONE;
        EXPECT_EQ(run.done_posts, 1);
        EXPECT_TRUE(run.done_last);
        return run;
    }

    // Nothing of an archive step stays in the temporary folder.
    void expect_temp_clean(const wchar_t* stem)
    {
        EXPECT_FALSE(file_exists(temp + stem + L".zip"));
        EXPECT_FALSE(folder_exists(temp + stem + L"_x"));
    }
};

TEST_F(BootstrapTest, WithEveryToolPresentNothingIsDownloaded)
{
    present({L"yt-dlp", L"ffmpeg", L"ffprobe", L"deno"});
    SetupRun run = run_setup();
    EXPECT_TRUE(run.logs.empty());
    EXPECT_EQ(run.progress_posts, 0);
    EXPECT_EQ(run.flag, (WPARAM)1);
    EXPECT_TRUE(curl_runs().empty());
}

TEST_F(BootstrapTest, EveryMissingToolIsFetchedUnpackedAndInstalled)
{
    SetupRun run = run_setup();
    EXPECT_EQ(run.logs, (TextLines{LOG_GET_YTDLP, L"[setup] installed yt-dlp.exe", LOG_GET_FFMPEG,
                                   LOG_UNPACK_FFMPEG, L"[setup] installed ffmpeg.exe",
                                   L"[setup] installed ffprobe.exe", LOG_GET_DENO, LOG_UNPACK_DENO,
                                   L"[setup] installed deno.exe"}));
    EXPECT_EQ(run.flag, (WPARAM)1);
    EXPECT_TRUE(run.reached_full) << "curl's progress bar moves the window's";

    std::vector<TextLines> curl = curl_runs();
    ASSERT_EQ(curl.size(), 3u);
    const std::wstring targets[] = {prog + L"\\yt-dlp.exe.part", temp + L"tarnvik_ffmpeg.zip",
                                    temp + L"tarnvik_deno.zip"};
    const wchar_t* const paths[] = {YTDLP_PATH, FFMPEG_PATH, DENO_PATH};
    for (size_t i = 0; i < 3; i++) {
        ASSERT_EQ(curl[i].size(), 6u);
        EXPECT_EQ(TextLines(curl[i].begin(), curl[i].begin() + 5),
                  (TextLines{L"-L", L"-#", L"--fail", L"-o", targets[i]}));
        EXPECT_TRUE(ends_with(curl[i][5], paths[i])) << curl[i][5].c_str();
        EXPECT_EQ(curl[i][5].compare(0, 8, L"https://"), 0) << curl[i][5].c_str();
    }
    EXPECT_EQ(tar_runs(), (std::vector<TextLines>{
                              {L"-xf", temp + L"tarnvik_ffmpeg.zip", L"-C", temp + L"tarnvik_ffmpeg_x"},
                              {L"-xf", temp + L"tarnvik_deno.zip", L"-C", temp + L"tarnvik_deno_x"}}));

    EXPECT_EQ(content_of(in_prog(L"yt-dlp.exe")), L"fake download of " + curl[0][5] + L"\n");
    EXPECT_FALSE(file_exists(in_prog(L"yt-dlp.exe.part")));
    EXPECT_EQ(content_of(in_prog(L"ffprobe.exe")),
              L"fake ffmpeg-master-latest-win64-gpl\\bin\\ffprobe.exe\n");
    EXPECT_EQ(content_of(in_prog(L"deno.exe")), L"fake deno.exe\n");
    EXPECT_FALSE(file_exists(in_prog(L"ffplay.exe"))) << "only the wanted files are taken";
    expect_temp_clean(L"tarnvik_ffmpeg");
    expect_temp_clean(L"tarnvik_deno");
}

TEST_F(BootstrapTest, OnlyFfprobeMissingReplacesBothFromTheArchive)
{
    present({L"yt-dlp", L"ffmpeg", L"deno"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.logs, (TextLines{LOG_GET_FFMPEG, LOG_UNPACK_FFMPEG, L"[setup] installed ffmpeg.exe",
                                   L"[setup] installed ffprobe.exe"}));
    EXPECT_EQ(run.flag, (WPARAM)1);
    EXPECT_EQ(curl_runs().size(), 1u);
    EXPECT_EQ(content_of(in_prog(L"ffmpeg.exe")), L"fake ffmpeg-master-latest-win64-gpl\\bin\\ffmpeg.exe\n");
    EXPECT_TRUE(file_exists(in_prog(L"ffprobe.exe")));
    EXPECT_EQ(content_of(in_prog(L"yt-dlp.exe")), L"old copy");
    expect_temp_clean(L"tarnvik_ffmpeg");
}

TEST_F(BootstrapTest, BrokenYtdlpDownloadLeavesNoExeAndTheRestStillRuns)
{
    curl_script({L"fail /yt-dlp.exe 18 4096"});  // half a file, then curl gives up
    SetupRun run = run_setup();
    ASSERT_GE(run.logs.size(), 3u);
    EXPECT_EQ(TextLines(run.logs.begin(), run.logs.begin() + 3),
              (TextLines{LOG_GET_YTDLP, L"curl: (18) fake failure",
                         L"[setup] download of yt-dlp.exe (~20 MB) FAILED (curl exit 18)"}));
    EXPECT_EQ(run.flag, (WPARAM)0);
    EXPECT_FALSE(file_exists(in_prog(L"yt-dlp.exe"))) << "a broken download would count as installed";
    EXPECT_FALSE(file_exists(in_prog(L"yt-dlp.exe.part")));
    EXPECT_TRUE(file_exists(in_prog(L"ffmpeg.exe")));
    EXPECT_TRUE(file_exists(in_prog(L"deno.exe")));
    EXPECT_EQ(curl_runs().size(), 3u);
}

TEST_F(BootstrapTest, FailedFfmpegDownloadSkipsItsUnpackAndDenoStillRuns)
{
    present({L"yt-dlp"});
    curl_script({L"fail ffmpeg-master-latest-win64-gpl.zip 22"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.logs, (TextLines{LOG_GET_FFMPEG, L"curl: (22) fake failure",
                                   L"[setup] download of ffmpeg (~100 MB — takes a minute) FAILED "
                                   L"(curl exit 22)",
                                   LOG_GET_DENO, LOG_UNPACK_DENO, L"[setup] installed deno.exe"}));
    EXPECT_EQ(run.flag, (WPARAM)0);
    std::vector<TextLines> tar = tar_runs();
    ASSERT_EQ(tar.size(), 1u);
    EXPECT_EQ(tar[0][1], temp + L"tarnvik_deno.zip");
    EXPECT_FALSE(folder_exists(temp + L"tarnvik_ffmpeg_x"));
}

TEST_F(BootstrapTest, DownloadThatLeavesNoFileFails)
{
    present({L"yt-dlp", L"ffmpeg", L"ffprobe"});
    curl_script({L"empty deno-x86_64-pc-windows-msvc.zip"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.logs, (TextLines{LOG_GET_DENO, L"[setup] download of deno (~40 MB) FAILED (curl exit 0)"}));
    EXPECT_EQ(run.flag, (WPARAM)0);
    EXPECT_TRUE(tar_runs().empty());
}

TEST_F(BootstrapTest, MissingCurlFailsEachDownload)
{
    present({L"ffmpeg", L"ffprobe", L"deno"});
    ASSERT_TRUE(DeleteFileW(CURL_EXE));
    SetupRun run = run_setup();
    ASSERT_EQ(run.logs.size(), 4u);  // the third is Windows' text for error 2
    run.logs.erase(run.logs.begin() + 2);
    EXPECT_EQ(run.logs, (TextLines{LOG_GET_YTDLP, L"[tarnvik] failed to start process (error 2)",
                                   L"[setup] download of yt-dlp.exe (~20 MB) FAILED "
                                   L"(curl exit 4294967295)"}));
    EXPECT_EQ(run.flag, (WPARAM)0);
}

TEST_F(BootstrapTest, ArchiveWithoutAWantedFileFailsTheStep)
{
    present({L"yt-dlp", L"deno"});
    archive(L"ffmpeg.list", {std::wstring(FFMPEG_DIR) + L"/bin/ffmpeg.exe"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.logs, (TextLines{LOG_GET_FFMPEG, LOG_UNPACK_FFMPEG, L"[setup] installed ffmpeg.exe",
                                   L"[setup] install of ffprobe.exe FAILED"}));
    EXPECT_EQ(run.flag, (WPARAM)0) << "a missing ffprobe must not end as 'all tools ready'";
    EXPECT_TRUE(file_exists(in_prog(L"ffmpeg.exe")));
    expect_temp_clean(L"tarnvik_ffmpeg");
}

TEST_F(BootstrapTest, FailedUnpackCleansUpAndFails)
{
    present({L"yt-dlp", L"ffmpeg", L"ffprobe"});
    ASSERT_TRUE(write_lines(SYSTEM_TAR_SCRIPT,
                            {L"args " + root + L"\\tar-args.txt", L"fail tarnvik_deno.zip 1"}));
    SetupRun run = run_setup();
    ASSERT_EQ(run.logs.size(), 4u);
    EXPECT_EQ(run.logs[1], LOG_UNPACK_DENO);
    EXPECT_EQ(run.logs[3], L"[setup] unpack FAILED") << "tar's own error line comes before";
    EXPECT_EQ(run.flag, (WPARAM)0);
    EXPECT_FALSE(file_exists(in_prog(L"deno.exe")));
    expect_temp_clean(L"tarnvik_deno");
}

TEST_F(BootstrapTest, NameInOtherLetterCaseIsStoredUnderTheWantedName)
{
    present({L"yt-dlp", L"ffmpeg", L"ffprobe"});
    archive(L"deno.list", {L"deno-x86_64/README.md", L"deno-x86_64/DENO.EXE"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.flag, (WPARAM)1);
    EXPECT_EQ(stored_name(in_prog(L"deno.exe")), L"deno.exe");
    EXPECT_EQ(content_of(in_prog(L"deno.exe")), L"fake deno-x86_64\\DENO.EXE\n");
}

TEST_F(BootstrapTest, TemporaryFolderOnAnotherFileSystemIsCopiedAcross)
{
    ASSERT_TRUE(folder_exists(OTHER_FS_DRIVE))
        << "drive T: is not mapped; ctest maps it (test jobs_tmpfs_drive) before this test";
    std::wstring other = std::wstring(OTHER_FS_DRIVE) + L"bootstrap-" + std::to_wstring(GetTickCount());
    use_temp(other);
    // The set-up must be real: a plain move from there has to fail.
    ASSERT_TRUE(write_file(other + L"\\probe", "x"));
    EXPECT_FALSE(MoveFileExW((other + L"\\probe").c_str(), in_prog(L"probe").c_str(),
                             MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NOT_SAME_DEVICE);
    DeleteFileW((other + L"\\probe").c_str());

    present({L"yt-dlp"});
    SetupRun run = run_setup();
    remove_tree(other);
    EXPECT_EQ(run.flag, (WPARAM)1);
    EXPECT_EQ(std::count(run.logs.begin(), run.logs.end(), L"[setup] installed ffprobe.exe"), 1);
    EXPECT_TRUE(file_exists(in_prog(L"ffmpeg.exe")));
    EXPECT_TRUE(file_exists(in_prog(L"ffprobe.exe")));
    EXPECT_TRUE(file_exists(in_prog(L"deno.exe")));
}

TEST_F(BootstrapTest, TemporaryPathWithSpacesStaysWhole)
{
    use_temp(root + L"\\temp with spaces");
    present({L"yt-dlp", L"ffmpeg", L"ffprobe"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.flag, (WPARAM)1);
    std::vector<TextLines> curl = curl_runs();
    ASSERT_EQ(curl.size(), 1u);
    EXPECT_EQ(curl[0][4], temp + L"tarnvik_deno.zip");
    EXPECT_EQ(tar_runs(), (std::vector<TextLines>{
                              {L"-xf", temp + L"tarnvik_deno.zip", L"-C", temp + L"tarnvik_deno_x"}}));
    EXPECT_TRUE(file_exists(in_prog(L"deno.exe")));
    expect_temp_clean(L"tarnvik_deno");  // the removal line quotes the folder
}

}  // namespace
