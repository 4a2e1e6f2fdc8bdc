// The tool set-up against fake curl and tar in the system folder: which
// downloads run, how they are checked, where files end up, what is logged
// and the one flag.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include "jobs/bootstrap.h"
#include "jobs/download.h"
#include "jobs/messages.h"
#include "jobs/update.h"
#include "win/files.h"
#include "win/globals.h"
#include "win/held_files.h"
#include "win/proxy.h"
#include "win/sha256.h"
#include <iostream>
#include "proc/runner.h"
#include "proc/tools.h"
#include "support/capture.h"
#include "support/doubles.h"
#include "support/programs.h"
#include "support/ui_driver.h"

namespace {

const wchar_t YTDLP_PATH[] = L"/yt-dlp/yt-dlp/releases/latest/download/yt-dlp.exe";
const wchar_t FFMPEG_RELEASE[] = L"/BtbN/FFmpeg-Builds/releases/download/autobuild-2026-02-28-12-59/";
const std::wstring FFMPEG_PATH = FFMPEG_RELEASE + std::wstring(PINNED_FFMPEG_ASSET);
const wchar_t DENO_PATH[] = L"/denoland/deno/releases/latest/download/deno-x86_64-pc-windows-msvc.zip";
const wchar_t FFMPEG_DIR[] = L"ffmpeg-master-latest-win64-gpl";
const wchar_t OTHER_FS_DRIVE[] = L"T:\\";  // mapped to a tmpfs folder by ctest
const DWORD SETUP_WAIT_MS = 120000;

const wchar_t LOG_SUMS_YTDLP[] = L"[setup] downloading checksums for yt-dlp ...";
const wchar_t LOG_SUMS_FFMPEG[] = L"[setup] downloading checksums for ffmpeg ...";
const wchar_t LOG_SUMS_DENO[] = L"[setup] downloading checksums for deno ...";
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
    LPARAM worker = 99;
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

TextLines entries(const std::wstring& folder)
{
    TextLines names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0)
            names.push_back(entry.cFileName);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return names;
}

bool has(const TextLines& lines, const std::wstring& line)
{
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::wstring value_after(const TextLines& args, const wchar_t* option)
{
    auto it = std::find(args.begin(), args.end(), option);
    return it != args.end() && it + 1 != args.end() ? *(it + 1) : L"(none)";
}

class BootstrapTest : public ::testing::Test {
protected:
    std::wstring root, prog, temp, saved_tmp;
    bool had_tmp = false;
    TextLines curl_extra;

    void SetUp() override
    {
        ASSERT_TRUE(install_system_fakes());
        g_not_found_pause_ms = 10;  // a 404's pause, cut short
        g_hold_patience_ms = 300;  // ... and the wait for a file in use
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
        ASSERT_TRUE(write_file(root + L"\\yt-dlp.payload", "fake yt-dlp\n"));
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

    // Lines for the fake curl that come before the published releases:
    // earlier lines win in the fake.
    void curl_script(const TextLines& extra) { curl_extra = extra; }

    void present(const TextLines& tools)
    {
        for (const std::wstring& tool : tools)
            ASSERT_TRUE(write_file(prog + L"\\" + tool + L".exe", "old copy"));
    }

    std::wstring in_prog(const wchar_t* name) const { return prog + L"\\" + name; }

    std::vector<TextLines> curl_runs() const { return read_runs(root + L"\\curl-args.txt"); }
    std::vector<TextLines> tar_runs() const { return read_runs(root + L"\\tar-args.txt"); }

    SetupRun run_setup(LPTHREAD_START_ROUTINE worker = bootstrap_thread)
    {
        TextLines script = {L"args " + root + L"\\curl-args.txt", L"requests " + requests_file()};
        script.insert(script.end(), curl_extra.begin(), curl_extra.end());
        TextLines published = publish_tools(root);
        script.insert(script.end(), published.begin(), published.end());
        EXPECT_TRUE(write_lines(SYSTEM_CURL_SCRIPT, script));
        HANDLE thread = CreateThread(NULL, 0, worker, NULL, 0, NULL);
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
                run.worker = m.lparam;
            }
        }
        run.done_last = !messages.empty() && messages.back().msg == WM_APP_SETUP_DONE;
        EXPECT_EQ(run.done_posts, 1);
        EXPECT_TRUE(run.done_last);
        return run;
    }

    // Nothing of any download stays behind: the temporary folder is empty
    // and the program folder holds only installed tools and their record.
    void expect_no_leftovers()
    {
        EXPECT_EQ(entries(temp), TextLines{});
        for (const std::wstring& name : entries(prog))
            EXPECT_TRUE(ends_with(name, L".exe") || name == INSTALL_RECORD) << name.c_str();
    }

    std::wstring requests_file() const { return root + L"\\requests.txt"; }

    // The fake curl's requests since the last call: "URL bytes" lines.
    TextLines take_requests()
    {
        TextLines requests = read_lines(requests_file());
        DeleteFileW(requests_file().c_str());
        return requests;
    }

    // Every file of the program folder with its last write time and content.
    TextLines snapshot() const
    {
        TextLines files;
        for (const std::wstring& name : entries(prog)) {
            WIN32_FILE_ATTRIBUTE_DATA data;
            GetFileAttributesExW(in_prog(name.c_str()).c_str(), GetFileExInfoStandard, &data);
            files.push_back(name + L" " + std::to_wstring(data.ftLastWriteTime.dwHighDateTime) + L":" +
                            std::to_wstring(data.ftLastWriteTime.dwLowDateTime) + L" " +
                            content_of(in_prog(name.c_str())));
        }
        return files;
    }

    // The runs of the fake curl whose URL ends in url_end.
    std::vector<TextLines> curl_runs_for(const wchar_t* url_end) const
    {
        std::vector<TextLines> runs;
        for (const TextLines& run : curl_runs())
            if (!run.empty() && ends_with(run.back(), url_end))
                runs.push_back(run);
        return runs;
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

TEST_F(BootstrapTest, EveryMissingToolIsFetchedCheckedUnpackedAndInstalled)
{
    SetupRun run = run_setup();
    EXPECT_EQ(run.logs, (TextLines{LOG_SUMS_YTDLP, LOG_GET_YTDLP, L"[setup] installed yt-dlp.exe", LOG_SUMS_FFMPEG,
                                   LOG_GET_FFMPEG, LOG_UNPACK_FFMPEG, L"[setup] installed ffmpeg.exe",
                                   L"[setup] installed ffprobe.exe", LOG_SUMS_DENO, LOG_GET_DENO, LOG_UNPACK_DENO,
                                   L"[setup] installed deno.exe"}));
    EXPECT_EQ(run.flag, (WPARAM)1);
    EXPECT_TRUE(run.reached_full) << "curl's progress bar moves the window's";

    // By full path from the system folder, each run given only a name in
    // the folder it runs in.
    std::vector<TextLines> curl = curl_runs();
    ASSERT_EQ(curl.size(), 6u);
    const wchar_t* const saved[] = {L"yt-dlp.sums.part",    L"yt-dlp.exe.part",    L"tarnvik_ffmpeg.sums",
                                    L"tarnvik_ffmpeg.zip", L"tarnvik_deno.sums", L"tarnvik_deno.zip"};
    const std::wstring paths[] = {L"/yt-dlp/yt-dlp/releases/latest/download/SHA2-256SUMS",
                                  YTDLP_PATH,
                                  FFMPEG_RELEASE + std::wstring(L"checksums.sha256"),
                                  FFMPEG_PATH,
                                  std::wstring(DENO_PATH) + L".sha256sum",
                                  DENO_PATH};
    for (size_t i = 0; i < 6; i++) {
        EXPECT_EQ(curl[i][0], system_folder_file(L"curl.exe"));
        EXPECT_EQ(value_after(curl[i], L"-o"), saved[i]);
        EXPECT_TRUE(ends_with(curl[i].back(), paths[i])) << curl[i].back().c_str();
        EXPECT_EQ(curl[i].back().compare(0, 8, L"https://"), 0) << curl[i].back().c_str();
        EXPECT_FALSE(has(curl[i], L"--ssl-no-revoke"));
    }
    // Connection time-out, stall detection, bounded retries, an end in any case.
    EXPECT_EQ(value_after(curl[1], L"--connect-timeout"), L"30");
    EXPECT_EQ(value_after(curl[1], L"--speed-limit"), L"1024");
    EXPECT_EQ(value_after(curl[1], L"--speed-time"), L"60");
    EXPECT_EQ(value_after(curl[1], L"--retry"), L"2");
    EXPECT_EQ(value_after(curl[1], L"--retry-max-time"), L"120");
    EXPECT_EQ(value_after(curl[1], L"--max-time"), L"3600");
    EXPECT_EQ(value_after(curl[0], L"--max-time"), L"120");
    // Each archive into a fresh folder of the run's own.
    const std::wstring tar = system_folder_file(L"tar.exe");
    std::vector<TextLines> tar_args = tar_runs();
    ASSERT_EQ(tar_args.size(), 2u);
    EXPECT_EQ(TextLines(tar_args[0].begin(), tar_args[0].end() - 1), (TextLines{tar, L"-xf", L"tarnvik_ffmpeg.zip", L"-C"}));
    EXPECT_EQ(TextLines(tar_args[1].begin(), tar_args[1].end() - 1), (TextLines{tar, L"-xf", L"tarnvik_deno.zip", L"-C"}));
    EXPECT_EQ(tar_args[0].back().rfind(L"tarnvik-unpack-", 0), 0u) << tar_args[0].back().c_str();
    EXPECT_NE(tar_args[0].back(), tar_args[1].back());

    EXPECT_EQ(content_of(in_prog(L"yt-dlp.exe")), L"fake yt-dlp\n");
    EXPECT_EQ(content_of(in_prog(L"ffprobe.exe")),
              L"fake ffmpeg-master-latest-win64-gpl\\bin\\ffprobe.exe\n");
    EXPECT_EQ(content_of(in_prog(L"deno.exe")), L"fake deno.exe\n");
    EXPECT_FALSE(file_exists(in_prog(L"ffplay.exe"))) << "only the wanted files are taken";
    expect_no_leftovers();
}

TEST_F(BootstrapTest, OnlyFfprobeMissingReplacesBothFromTheArchive)
{
    present({L"yt-dlp", L"ffmpeg", L"deno"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.logs, (TextLines{LOG_SUMS_FFMPEG, LOG_GET_FFMPEG, LOG_UNPACK_FFMPEG,
                                   L"[setup] replaced ffmpeg.exe with the checked download",
                                   L"[setup] installed ffprobe.exe"}));
    EXPECT_EQ(run.flag, (WPARAM)1);
    EXPECT_EQ(run.worker, (LPARAM)SETUP_BY_FIRST_RUN);
    EXPECT_EQ(curl_runs().size(), 2u);
    EXPECT_EQ(content_of(in_prog(L"ffmpeg.exe")), L"fake ffmpeg-master-latest-win64-gpl\\bin\\ffmpeg.exe\n");
    EXPECT_TRUE(file_exists(in_prog(L"ffprobe.exe")));
    EXPECT_EQ(content_of(in_prog(L"yt-dlp.exe")), L"old copy");
    expect_no_leftovers();
}

TEST_F(BootstrapTest, BrokenYtdlpDownloadLeavesNoExeAndTheRestStillRuns)
{
    curl_script({L"fail /yt-dlp.exe 18 4096"});  // half a file, then curl gives up
    SetupRun run = run_setup();
    ASSERT_GE(run.logs.size(), 4u);
    EXPECT_EQ(TextLines(run.logs.begin(), run.logs.begin() + 4),
              (TextLines{LOG_SUMS_YTDLP, LOG_GET_YTDLP, L"curl: (18) fake failure",
                         L"[setup] download of yt-dlp.exe (~20 MB) FAILED (curl exit 18)"}));
    EXPECT_EQ(run.flag, (WPARAM)0);
    EXPECT_FALSE(file_exists(in_prog(L"yt-dlp.exe"))) << "a broken download would count as installed";
    EXPECT_TRUE(file_exists(in_prog(L"ffmpeg.exe")));
    EXPECT_TRUE(file_exists(in_prog(L"deno.exe")));
    EXPECT_EQ(curl_runs().size(), 6u);
    expect_no_leftovers();
}

TEST_F(BootstrapTest, FailedFfmpegDownloadSkipsItsUnpackAndDenoStillRuns)
{
    present({L"yt-dlp"});
    curl_script({std::wstring(L"fail ") + PINNED_FFMPEG_ASSET + L" 22"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.logs, (TextLines{LOG_SUMS_FFMPEG, LOG_GET_FFMPEG, L"curl: (22) fake failure",
                                   L"[setup] download of ffmpeg (~100 MB — takes a minute) FAILED "
                                   L"(curl exit 22)",
                                   LOG_SUMS_DENO, LOG_GET_DENO, LOG_UNPACK_DENO, L"[setup] installed deno.exe"}));
    EXPECT_EQ(run.flag, (WPARAM)0);
    std::vector<TextLines> tar = tar_runs();
    ASSERT_EQ(tar.size(), 1u);
    EXPECT_EQ(tar[0][2], L"tarnvik_deno.zip");
    expect_no_leftovers();
}

TEST_F(BootstrapTest, DownloadThatLeavesNoFileFails)
{
    present({L"yt-dlp", L"ffmpeg", L"ffprobe"});
    curl_script({L"empty deno-x86_64-pc-windows-msvc.zip"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.logs, (TextLines{LOG_SUMS_DENO, LOG_GET_DENO,
                                   L"[setup] download of deno (~40 MB) FAILED (curl exit 0)"}));
    EXPECT_EQ(run.flag, (WPARAM)0);
    EXPECT_TRUE(tar_runs().empty());
}

TEST_F(BootstrapTest, MissingCurlFailsEachDownload)
{
    present({L"ffmpeg", L"ffprobe", L"deno"});
    ASSERT_TRUE(DeleteFileW(system_folder_file(L"curl.exe").c_str()));
    SetupRun run = run_setup();
    ASSERT_EQ(run.logs.size(), 5u);  // the third is Windows' text for error 2
    run.logs.erase(run.logs.begin() + 2);
    EXPECT_EQ(run.logs, (TextLines{LOG_SUMS_YTDLP, L"[tarnvik] failed to start process (error 2)",
                                   L"[setup] download of checksums for yt-dlp FAILED (curl exit 4294967295)",
                                   L"[setup] yt-dlp not installed: its publisher's checksums could not be fetched"}));
    EXPECT_EQ(run.flag, (WPARAM)0);
}

TEST_F(BootstrapTest, DownloadThatDiffersFromThePublishedSumIsNotInstalled)
{
    // A "sign in" page, as a hotel's or a proxy's network answers with 200.
    ASSERT_TRUE(write_file(root + L"\\portal.html", "<html><body>Please sign in</body></html>\n"));
    curl_script({L"serve /yt-dlp.exe " + root + L"\\portal.html",
                 std::wstring(L"serve ") + PINNED_FFMPEG_ASSET + L" " + root + L"\\portal.html"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.flag, (WPARAM)0);
    EXPECT_TRUE(has(run.logs, L"[setup] yt-dlp not installed: the download does not match its publisher's "
                              L"checksum (damaged, or not the real file)"));
    EXPECT_TRUE(has(run.logs, L"[setup] ffmpeg not installed: the download does not match its publisher's "
                              L"checksum (damaged, or not the real file)"));
    EXPECT_FALSE(has(run.logs, LOG_UNPACK_FFMPEG));
    EXPECT_EQ(entries(prog), (TextLines{L"deno.exe", INSTALL_RECORD}));
    expect_no_leftovers();
}

TEST_F(BootstrapTest, SumsThatCannotBeFetchedOrDoNotListTheFileFailTheStep)
{
    present({L"deno"});
    ASSERT_TRUE(write_lines(root + L"\\lgpl-only.sha256",
                            {std::wstring(64, L'b') + L"  ffmpeg-master-latest-win64-lgpl.zip"}));
    curl_script({L"fail /SHA2-256SUMS 22 0 The requested URL returned error: 404 Not Found",
                 L"serve /checksums.sha256 " + root + L"\\lgpl-only.sha256"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.flag, (WPARAM)0);
    // The 404 is tried again after each of three pauses, and then said to be
    // the host's, not the connection's; the file itself is never fetched.
    EXPECT_EQ(curl_runs_for(L"/SHA2-256SUMS").size(), 4u);
    EXPECT_TRUE(curl_runs_for(L"/yt-dlp.exe").empty());
    EXPECT_TRUE(curl_runs_for(L"gpl-8.0.zip").empty());
    EXPECT_EQ(std::count(run.logs.begin(), run.logs.end(),
                         L"[setup] checksums for yt-dlp: not on the server right now (404) — trying again in 0 s ..."),
              3);
    EXPECT_TRUE(has(run.logs, L"[setup] the release host did not have SHA2-256SUMS"));
    for (const std::wstring& line : run.logs)
        EXPECT_EQ(line.find(L"FAILED (curl exit"), std::wstring::npos) << line.c_str();
    EXPECT_TRUE(has(run.logs, L"[setup] yt-dlp not installed: its publisher's checksums could not be fetched"));
    EXPECT_TRUE(has(run.logs, L"[setup] ffmpeg not installed: its publisher's checksums do not list the download"));
    EXPECT_EQ(entries(prog), TextLines{L"deno.exe"});
    expect_no_leftovers();
}

TEST_F(BootstrapTest, OnlyAnUncheckableRevocationIsRetriedWithoutTheCheck)
{
    curl_script({L"revocation /yt-dlp.exe schannel: next InitializeSecurityContext failed: Unknown error "
                 L"(0x80092012) - The revocation function was unable to check revocation for the certificate.",
                 L"fail gpl-8.0.zip 35 0 schannel: next InitializeSecurityContext failed: CRYPT_E_REVOKED "
                 L"(0x80092010) - The certificate is revoked.",
                 L"fail msvc.zip 35 0 schannel: failed to receive handshake, SSL/TLS connection failed"});
    SetupRun run = run_setup();
    std::vector<TextLines> ytdlp = curl_runs_for(L"/yt-dlp.exe");
    ASSERT_EQ(ytdlp.size(), 2u);
    EXPECT_FALSE(has(ytdlp[0], L"--ssl-no-revoke"));
    EXPECT_TRUE(has(ytdlp[1], L"--ssl-no-revoke"));
    EXPECT_TRUE(has(run.logs, L"[setup] the certificate's revocation could not be checked (a proxy or firewall may "
                              L"block it) — trying yt-dlp.exe (~20 MB) again without that check"));
    EXPECT_EQ(content_of(in_prog(L"yt-dlp.exe")), L"fake yt-dlp\n") << "and still checked against its sum";
    EXPECT_EQ(curl_runs_for(L"gpl-8.0.zip").size(), 1u);
    EXPECT_EQ(curl_runs_for(L"msvc.zip").size(), 1u);
    EXPECT_EQ(run.flag, (WPARAM)0);
    EXPECT_EQ(entries(prog), TextLines{L"yt-dlp.exe"});
}

TEST_F(BootstrapTest, ArchiveWithoutAWantedFileFailsTheStep)
{
    present({L"yt-dlp", L"deno"});
    archive(L"ffmpeg.list", {std::wstring(FFMPEG_DIR) + L"/bin/ffmpeg.exe"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.logs, (TextLines{LOG_SUMS_FFMPEG, LOG_GET_FFMPEG, LOG_UNPACK_FFMPEG,
                                   L"[setup] installed ffmpeg.exe", L"[setup] install of ffprobe.exe FAILED"}));
    EXPECT_EQ(run.flag, (WPARAM)0) << "a missing ffprobe must not end as 'all tools ready'";
    EXPECT_TRUE(file_exists(in_prog(L"ffmpeg.exe")));
    expect_no_leftovers();
}

TEST_F(BootstrapTest, FailedUnpackCleansUpAndFails)
{
    present({L"yt-dlp", L"ffmpeg", L"ffprobe"});
    ASSERT_TRUE(write_lines(SYSTEM_TAR_SCRIPT,
                            {L"args " + root + L"\\tar-args.txt", L"fail tarnvik_deno.zip 1"}));
    SetupRun run = run_setup();
    ASSERT_EQ(run.logs.size(), 5u);
    EXPECT_EQ(run.logs[2], LOG_UNPACK_DENO);
    EXPECT_EQ(run.logs[4], L"[setup] unpack FAILED") << "tar's own error line comes before";
    EXPECT_EQ(run.flag, (WPARAM)0);
    EXPECT_FALSE(file_exists(in_prog(L"deno.exe")));
    expect_no_leftovers();
}

TEST_F(BootstrapTest, NameInOtherLetterCaseIsStoredUnderTheWantedName)
{
    present({L"yt-dlp", L"ffmpeg", L"ffprobe"});
    archive(L"deno.list", {L"README.md", L"DENO.EXE"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.flag, (WPARAM)1);
    EXPECT_EQ(stored_name(in_prog(L"deno.exe")), L"deno.exe");
    EXPECT_EQ(content_of(in_prog(L"deno.exe")), L"fake DENO.EXE\n");
}

// Only the paths the verified archive holds its tools at are installed:
// nothing an earlier, interrupted unpack left in the temporary folder, and
// no file of the same name elsewhere in the archive.
TEST_F(BootstrapTest, OnlyTheVerifiedArchivesOwnPathsAreInstalled)
{
    present({L"yt-dlp", L"deno"});
    const std::wstring stale = temp + L"tarnvik_ffmpeg_x";
    ASSERT_TRUE(make_folders(stale + L"\\" + FFMPEG_DIR + L"\\bin"));
    for (const wchar_t* tool : {L"ffmpeg.exe", L"ffprobe.exe"})
        ASSERT_TRUE(write_file(stale + L"\\" + FFMPEG_DIR + L"\\bin\\" + tool, "truncated by an interrupted unpack"));
    archive(L"ffmpeg.list", {std::wstring(FFMPEG_DIR) + L"/doc/examples/ffmpeg.exe",
                             std::wstring(FFMPEG_DIR) + L"/bin/ffprobe.exe"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.flag, (WPARAM)0);
    EXPECT_TRUE(has(run.logs, L"[setup] install of ffmpeg.exe FAILED"));
    EXPECT_FALSE(file_exists(in_prog(L"ffmpeg.exe")));
    EXPECT_EQ(content_of(in_prog(L"ffprobe.exe")), L"fake ffmpeg-master-latest-win64-gpl\\bin\\ffprobe.exe\n");
    remove_tree(stale);
    expect_no_leftovers();

    archive(L"ffmpeg.list", {L"one/bin/ffmpeg.exe", L"one/bin/ffprobe.exe", L"two/bin/ffmpeg.exe"});
    run = run_setup();
    EXPECT_EQ(run.flag, (WPARAM)0) << "an archive of two top folders is not the one it should be";
    EXPECT_FALSE(file_exists(in_prog(L"ffmpeg.exe")));
    expect_no_leftovers();
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

TEST_F(BootstrapTest, TemporaryFolderOutsideTheCodePageNeverReachesCurlOrTar)
{
    // The older curl.exe and tar.exe read their arguments in the ANSI code
    // page: they must get nothing but ASCII.
    use_temp(root + L"\\temp with spaces ÿ Ω 日本");
    present({L"yt-dlp", L"ffmpeg", L"ffprobe"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.flag, (WPARAM)1);
    std::vector<TextLines> runs = curl_runs(), tar = tar_runs();
    runs.insert(runs.end(), tar.begin(), tar.end());
    EXPECT_EQ(runs.size(), 3u);
    for (const TextLines& args : runs)
        for (const std::wstring& arg : args)
            EXPECT_TRUE(std::all_of(arg.begin(), arg.end(), [](wchar_t c) { return c < 128; })) << arg.c_str();
    EXPECT_TRUE(file_exists(in_prog(L"deno.exe")));
    expect_no_leftovers();  // the removal line quotes the folder
}

bool is_sums_url(const std::wstring& request)
{
    std::wstring url = request.substr(0, request.find(L' '));
    return ends_with(url, L"/SHA2-256SUMS") || ends_with(url, L"/checksums.sha256") || ends_with(url, L".sha256sum");
}

TEST_F(BootstrapTest, UpdateWithNothingChangedFetchesOnlyTheSumsAndTouchesNothing)
{
    run_setup();
    TextLines before = snapshot();
    take_requests();
    SetupRun run = run_setup(update_thread);
    EXPECT_EQ(run.worker, (LPARAM)SETUP_BY_UPDATE);
    EXPECT_EQ(run.flag, (WPARAM)UPDATE_CURRENT);
    TextLines requests = take_requests();
    EXPECT_EQ(requests.size(), 3u);
    long bytes = 0;
    for (const std::wstring& request : requests) {
        EXPECT_TRUE(is_sums_url(request)) << request.c_str();
        bytes += _wtol(request.substr(request.rfind(L' ') + 1).c_str());
    }
    std::cout << "[ figures  ] an update with nothing changed fetched " << bytes << " bytes in "
              << requests.size() << " requests\n";
    for (const wchar_t* tool : {L"yt-dlp", L"ffmpeg", L"deno"})
        EXPECT_TRUE(has(run.logs, std::wstring(L"[setup] ") + tool + L" is up to date")) << tool;
    EXPECT_EQ(snapshot(), before);
    expect_no_leftovers();
}

// Cancelled before anything was checked: nothing is known to be current.
TEST_F(BootstrapTest, UpdateCancelledBeforeItsChecksIsNotReportedUpToDate)
{
    run_setup();
    cancel_children();
    SetupRun run = run_setup(update_thread);
    reset_cancel();
    EXPECT_EQ(run.flag, (WPARAM)SETUP_CANCELLED);
    for (const std::wstring& line : run.logs)
        EXPECT_EQ(line.find(L"checksums do not list"), std::wstring::npos) << line.c_str();
    expect_no_leftovers();
}

TEST_F(BootstrapTest, UpdateReplacesANewYtdlpAndFetchesNothingElse)
{
    run_setup();
    ASSERT_TRUE(write_file(root + L"\\yt-dlp.payload", "newer yt-dlp\n"));
    take_requests();
    SetupRun run = run_setup(update_thread);
    EXPECT_EQ(run.flag, (WPARAM)UPDATE_APPLIED);
    EXPECT_EQ(content_of(in_prog(L"yt-dlp.exe")), L"newer yt-dlp\n");
    EXPECT_TRUE(has(run.logs, L"[setup] replaced yt-dlp.exe with the checked download"));
    TextLines requests = take_requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_TRUE(ends_with(requests[3].substr(0, requests[3].find(L' ')), YTDLP_PATH));
    expect_no_leftovers();
}

TEST_F(BootstrapTest, UpdateThatFailsLeavesTheOldYtdlpByteForByte)
{
    run_setup();
    ASSERT_TRUE(write_file(root + L"\\yt-dlp.payload", "newer yt-dlp\n"));
    ASSERT_TRUE(write_file(root + L"\\portal.html", "<html><body>Please sign in</body></html>\n"));
    const TextLines failures[] = {{L"serve /yt-dlp.exe " + root + L"\\portal.html"},  // fails the checksum
                                  {L"fail /yt-dlp.exe 18 4096"},                         // ends mid-way
                                  {}};  // cannot replace: the file is in use
    for (const TextLines& failure : failures) {
        curl_script(failure);
        HANDLE in_use = failure.empty() ? CreateFileW(in_prog(L"yt-dlp.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                      NULL, OPEN_EXISTING, 0, NULL)
                                        : INVALID_HANDLE_VALUE;
        SetupRun run = run_setup(update_thread);
        if (in_use != INVALID_HANDLE_VALUE)
            CloseHandle(in_use);
        EXPECT_EQ(run.flag, (WPARAM)UPDATE_INCOMPLETE);
        EXPECT_EQ(content_of(in_prog(L"yt-dlp.exe")), L"fake yt-dlp\n");
        EXPECT_TRUE(has(run.logs, L"[setup] yt-dlp left as it was"));
        expect_no_leftovers();
    }
}

TEST_F(BootstrapTest, UpdateFetchesFfmpegAndDenoWhenTheRecordIsMissingOrDamaged)
{
    run_setup();
    std::string record;
    ASSERT_TRUE(read_file(in_prog(INSTALL_RECORD), &record));
    for (bool missing : {true, false}) {
        if (missing)
            ASSERT_TRUE(DeleteFileW(in_prog(INSTALL_RECORD).c_str()));
        else
            ASSERT_TRUE(write_file(in_prog(INSTALL_RECORD), record.substr(0, 90) + "\n\x01junk"));
        take_requests();
        SetupRun run = run_setup(update_thread);
        EXPECT_EQ(run.flag, (WPARAM)UPDATE_APPLIED);
        TextLines requests = take_requests();
        auto fetched = [&](const wchar_t* url_end) {
            return std::count_if(requests.begin(), requests.end(), [&](const std::wstring& r) {
                return ends_with(r.substr(0, r.find(L' ')), url_end);
            });
        };
        EXPECT_EQ(fetched(FFMPEG_PATH.c_str()), 1);
        EXPECT_EQ(fetched(DENO_PATH), 1);
        EXPECT_EQ(fetched(YTDLP_PATH), 0);
        std::string now;
        ASSERT_TRUE(read_file(in_prog(INSTALL_RECORD), &now));
        size_t first_end = record.find('\n') + 1;  // each tool's line is written again
        EXPECT_NE(now.find(record.substr(0, first_end)), std::string::npos) << now;
        EXPECT_NE(now.find(record.substr(first_end)), std::string::npos) << now;
    }
}

TEST_F(BootstrapTest, PinnedFfmpegGoneFallsBackToTheNewestReleaseLineAndSaysSo)
{
    present({L"yt-dlp", L"deno"});
    curl_script({L"fail /autobuild-2026-02-28-12-59/checksums.sha256 22 0 The requested URL returned error: 404"});
    SetupRun run = run_setup();
    EXPECT_EQ(run.flag, (WPARAM)1);
    EXPECT_EQ(curl_runs_for(L"/autobuild-2026-02-28-12-59/checksums.sha256").size(), 4u) << "after the pauses only";
    EXPECT_TRUE(has(run.logs, L"[setup] the release host did not have checksums.sha256"));
    EXPECT_TRUE(has(run.logs, L"[setup] the ffmpeg release Tarnvik installs is gone from the release host — taking "
                              L"the newest build of its release line (or else of the newest line) from its "
                              L"\"latest\" release instead"));
    EXPECT_EQ(curl_runs_for(LATEST_FFMPEG_ASSET).size(), 1u);
    EXPECT_TRUE(curl_runs_for(PINNED_FFMPEG_ASSET).empty());
    EXPECT_EQ(content_of(in_prog(INSTALL_RECORD)).find(LATEST_FFMPEG_ASSET), 66u) << "the record names the build";
    expect_no_leftovers();

    // Where "latest" has a build of the pinned 8.0 line, that one is taken:
    // the newest line (8.1) breaks section downloads.
    const wchar_t LATEST_80[] = L"ffmpeg-n8.0-latest-win64-gpl-8.0.zip";
    char sum[SHA256_HEX_CAP];
    ASSERT_TRUE(sha256_file((root + L"\\ffmpeg.list").c_str(), sum));
    ASSERT_TRUE(write_file(root + L"\\latest-80.sha256", std::string(sum) + "  ffmpeg-n8.1-latest-win64-gpl-8.1.zip\n" +
                                                          sum + "  " + utf8_of(LATEST_80) + "\n"));
    ASSERT_TRUE(DeleteFileW(in_prog(L"ffmpeg.exe").c_str()));
    DeleteFileW((root + L"\\curl-args.txt").c_str());
    curl_script({L"fail /autobuild-2026-02-28-12-59/checksums.sha256 22 0 The requested URL returned error: 404",
                 L"serve /latest/checksums.sha256 " + root + L"\\latest-80.sha256",
                 std::wstring(L"serve /") + LATEST_80 + L" " + root + L"\\ffmpeg.list"});
    EXPECT_EQ(run_setup().flag, (WPARAM)1);
    EXPECT_EQ(curl_runs_for(LATEST_80).size(), 1u);
    EXPECT_TRUE(curl_runs_for(LATEST_FFMPEG_ASSET).empty());
    EXPECT_EQ(content_of(in_prog(INSTALL_RECORD)).find(LATEST_80), 66u);
}

// An ffmpeg installed by an earlier Tarnvik from the development head gives
// way to the pinned build at the next update; then it stays.
TEST_F(BootstrapTest, UpdateReplacesAnFfmpegFromElsewhereOnce)
{
    run_setup();
    ASSERT_TRUE(write_file(in_prog(INSTALL_RECORD), std::string(64, 'c') + "  ffmpeg-master-latest-win64-gpl.zip\n"));
    take_requests();
    SetupRun run = run_setup(update_thread);
    EXPECT_EQ(run.flag, (WPARAM)UPDATE_APPLIED);
    TextLines requests = take_requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const std::wstring& r) { return r.find(PINNED_FFMPEG_ASSET) != std::wstring::npos; }),
              1);
    EXPECT_EQ(content_of(in_prog(INSTALL_RECORD)).find(L"master"), std::wstring::npos) << "one line a tool";
    EXPECT_EQ(run_setup(update_thread).flag, (WPARAM)UPDATE_CURRENT);
}

WINHTTP_CURRENT_USER_IE_PROXY_CONFIG g_options;

wchar_t* global_copy(const wchar_t* text)
{
    if (!text)
        return NULL;
    size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
    wchar_t* copy = (wchar_t*)GlobalAlloc(GMEM_FIXED, bytes);
    memcpy(copy, text, bytes);
    return copy;
}

// The Internet Options in g_options, handed out as Windows does.
BOOL WINAPI internet_options(WINHTTP_CURRENT_USER_IE_PROXY_CONFIG* config)
{
    *config = g_options;
    config->lpszProxy = global_copy(g_options.lpszProxy);
    config->lpszAutoConfigUrl = global_copy(g_options.lpszAutoConfigUrl);
    config->lpszProxyBypass = global_copy(g_options.lpszProxyBypass);
    return TRUE;
}

std::vector<std::wstring> g_resolved_urls;
std::vector<DWORD> g_resolve_flags;

// Windows' automatic settings as WinHTTP resolves them: detection and a
// script name a proxy for yt-dlp's host, nothing at all for the ffmpeg
// builds (detection fails, then the script fails), direct for deno.
BOOL WINAPI automatic_proxy(HINTERNET, LPCWSTR url, WINHTTP_AUTOPROXY_OPTIONS* options, WINHTTP_PROXY_INFO* info)
{
    g_resolved_urls.push_back(url);
    g_resolve_flags.push_back(options->dwFlags);
    EXPECT_STREQ(options->lpszAutoConfigUrl, L"http://wpad.corp/proxy.pac");
    EXPECT_TRUE(options->fAutoLogonIfChallenged);
    if (wcsstr(url, L"FFmpeg-Builds")) {
        SetLastError(options->dwFlags & WINHTTP_AUTOPROXY_AUTO_DETECT ? ERROR_WINHTTP_AUTODETECTION_FAILED
                                                                       : ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT);
        return FALSE;
    }
    *info = WINHTTP_PROXY_INFO{};
    info->dwAccessType = wcsstr(url, L"/yt-dlp/") ? WINHTTP_ACCESS_TYPE_NAMED_PROXY : WINHTTP_ACCESS_TYPE_NO_PROXY;
    info->lpszProxy = wcsstr(url, L"/yt-dlp/") ? global_copy(L"auto.corp:8080; backup.corp:8080") : NULL;
    return TRUE;
}

TEST_F(BootstrapTest, TheProxyOfWindowsSettingsReachesCurlWhichSignsInAsTheUser)
{
    present({L"ffmpeg", L"ffprobe", L"deno"});
    g_proxy_config_reader = internet_options;
    g_options = WINHTTP_CURRENT_USER_IE_PROXY_CONFIG{};
    g_options.lpszProxy = (wchar_t*)L"http=web.corp:80;https=secure.corp:8443";
    g_options.lpszProxyBypass = (wchar_t*)L"<local>";
    SetupRun run = run_setup();
    EXPECT_EQ(run.flag, (WPARAM)1);
    EXPECT_TRUE(has(run.logs, L"[setup] using the proxy secure.corp:8443, as Windows' proxy settings say"));
    std::vector<TextLines> runs = curl_runs();
    ASSERT_EQ(runs.size(), 2u);
    for (const TextLines& args : runs) {
        EXPECT_EQ(value_after(args, L"--proxy"), L"secure.corp:8443");
        EXPECT_TRUE(has(args, L"--proxy-anyauth"));
        EXPECT_EQ(value_after(args, L"--proxy-user"), L":");
    }

    // "Automatically detect settings" and a script, with a fixed proxy behind them.
    ASSERT_TRUE(DeleteFileW(in_prog(L"yt-dlp.exe").c_str()));
    ASSERT_TRUE(DeleteFileW(in_prog(L"ffmpeg.exe").c_str()));
    ASSERT_TRUE(DeleteFileW(in_prog(L"deno.exe").c_str()));
    DeleteFileW((root + L"\\curl-args.txt").c_str());
    g_options = WINHTTP_CURRENT_USER_IE_PROXY_CONFIG{};
    g_options.fAutoDetect = TRUE;
    g_options.lpszAutoConfigUrl = (wchar_t*)L"http://wpad.corp/proxy.pac";
    g_options.lpszProxy = (wchar_t*)L"fixed.corp:3128";
    g_proxy_for_url = automatic_proxy;
    g_resolved_urls.clear();
    g_resolve_flags.clear();
    run = run_setup();
    g_proxy_for_url = NULL;
    g_proxy_config_reader = NULL;
    EXPECT_EQ(run.flag, (WPARAM)1);
    runs = curl_runs();
    ASSERT_EQ(runs.size(), 6u);
    const wchar_t* const proxies[] = {L"auto.corp:8080", L"auto.corp:8080", L"fixed.corp:3128",
                                      L"fixed.corp:3128", L"(none)", L"(none)"};
    for (size_t i = 0; i < 6; i++)
        EXPECT_EQ(value_after(runs[i], L"--proxy"), proxies[i]) << runs[i].back().c_str();
    ASSERT_EQ(g_resolved_urls.size(), 6u) << "each address is resolved";
    for (size_t i = 0; i < 6; i++)
        EXPECT_EQ(g_resolved_urls[i], runs[i].back());
    EXPECT_TRUE(g_resolve_flags[2] & WINHTTP_AUTOPROXY_AUTO_DETECT);
    for (size_t i = 3; i < 6; i++)
        EXPECT_EQ(g_resolve_flags[i], (DWORD)WINHTTP_AUTOPROXY_CONFIG_URL) << "detection that failed is not retried";
    const TextLines said = {L"[setup] using the proxy auto.corp:8080, as Windows' proxy settings say",
                            L"[setup] using the proxy fixed.corp:3128, as Windows' proxy settings say",
                            L"[setup] going without a proxy from here, as Windows' proxy settings say"};
    for (const std::wstring& line : said)
        EXPECT_TRUE(has(run.logs, line)) << line.c_str();
}

}  // namespace
