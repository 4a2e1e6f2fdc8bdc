// The real run_logged against the scripted child: how output bytes become
// the lines the window is sent, exit codes, start failures, and what
// happens to children when the program that ran them ends.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string>
#include <vector>
#include "jobs/messages.h"
#include "jobs/run_logged.h"
#include "proc/runner.h"
#include "proc/system.h"
#include "support/capture.h"
#include "support/programs.h"

int hold_children_main();
int job_inside_job_main();

namespace {

typedef std::vector<std::wstring> Lines;

std::wstring out(const std::string& bytes)
{
    return L"out:" + hex_of(bytes);
}

std::wstring err(const std::string& bytes)
{
    return L"err:" + hex_of(bytes);
}

std::wstring child_cmdline(const std::vector<std::wstring>& steps)
{
    std::wstring line = quoted(bin_program(L"child.exe"));
    for (const std::wstring& step : steps)
        line += L" " + step;
    return line;
}

unsigned long run(std::wstring cmdline, int echo = 0)
{
    return run_logged(&cmdline[0], echo);
}

Lines logged(const std::vector<CapturedMsg>& messages)
{
    Lines lines;
    for (const CapturedMsg& m : messages) {
        EXPECT_EQ(m.msg, (UINT)WM_APP_LOG) << "only log lines expected";
        lines.push_back(m.text);
    }
    return lines;
}

class Runner : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(capture_start()); }
    void TearDown() override { capture_stop(); }

    // Runs the child with these steps; its exit code must be 0.
    Lines lines_of(const std::vector<std::wstring>& steps)
    {
        EXPECT_EQ(run(child_cmdline(steps)), 0ul);
        return logged(capture_take());
    }
};

// 2730 three-byte characters: 8190 bytes that convert to well under the
// wide line's limit, so the byte limit of a line can be seen whole.
std::string euros()
{
    std::string text;
    for (int i = 0; i < 2730; i++)
        text += "\xE2\x82\xAC";
    return text;
}

std::wstring wide_euros()
{
    return std::wstring(2730, L'\u20AC');
}

TEST_F(Runner, EveryKindOfLineBreakEndsALineAndBlankLinesVanish)
{
    EXPECT_EQ(lines_of({out("a\rb\nc\r\nd\r\re\n\n\r\nf")}), (Lines{L"a", L"b", L"c", L"d", L"e", L"f"}));
}

TEST_F(Runner, ALineSplitAcrossWritesArrivesWhole)
{
    EXPECT_EQ(lines_of({out("par"), L"sleep:100", out("tial\r"), L"sleep:100", out("\nnext")}),
              (Lines{L"partial", L"next"}));
}

TEST_F(Runner, LinesAtTheByteLimit)
{
    std::string body = euros();
    EXPECT_EQ(lines_of({out(body + "Z\n")}), (Lines{wide_euros() + L"Z"})) << "8191 bytes";
    EXPECT_EQ(lines_of({out(body + "YZ\n")}), (Lines{wide_euros() + L"Y"})) << "8192 bytes";
    EXPECT_EQ(lines_of({out(body + "XYZ\n")}), (Lines{wide_euros() + L"X", L"Z"})) << "8193 bytes";
}

TEST_F(Runner, AVeryLongLineIsCutToTheWideLimit)
{
    EXPECT_EQ(lines_of({out(std::string(5000, 'q') + "\nafter\n")}),
              (Lines{std::wstring(4095, L'q'), L"after"}));
}

TEST_F(Runner, AZeroByteEndsTheLinesText)
{
    EXPECT_EQ(lines_of({out(std::string("ab\0cd\n\0xy\nok\n", 13))}), (Lines{L"ab", L"ok"}));
    // Even a pending last line that starts with zero is handed on, as empty.
    EXPECT_EQ(lines_of({out(std::string("ok\n\0zz", 6))}), (Lines{L"ok", L""}));
}

TEST_F(Runner, TheSystemsProgramsAreReadInTheConsolesCodePage)
{
    ASSERT_TRUE(console_code_page() == 437 || console_code_page() == 850) << console_code_page();
    EXPECT_EQ(lines_of({out("caf\x82\n")}), (Lines{L"caf\u00E9"}));
}

TEST_F(Runner, OutputAndErrorShareOneStreamInWriteOrder)
{
    EXPECT_EQ(lines_of({out("one\n"), err("two\n"), out("three\nhalf"), err(" and half\n")}),
              (Lines{L"one", L"two", L"three", L"half and half"}));
}

TEST_F(Runner, ReturnsTheChildsExitCode)
{
    EXPECT_EQ(run(child_cmdline({L"exit:0"})), 0ul);
    EXPECT_EQ(run(child_cmdline({out("bye\n"), L"exit:3"})), 3ul);
    EXPECT_EQ(run(child_cmdline({L"exit:0xFFFFFFFF"})), RUN_FAILED);
    EXPECT_EQ(logged(capture_take()), (Lines{L"bye"}));
}

TEST_F(Runner, AMissingProgramIsLoggedAfterTheEchoInWindowsOwnWordsToo)
{
    std::wstring cmdline = L"\"" + bin_dir() + L"\\no-such-program.exe\" --flag";
    EXPECT_EQ(run(cmdline, 1), RUN_FAILED);
    Lines lines = logged(capture_take());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], L"$ " + cmdline);
    EXPECT_EQ(lines[1], L"[tarnvik] failed to start process (error 2)");
    // The system's text, in the user's language, as one line of the log.
    EXPECT_EQ(lines[2].find(L"[tarnvik] "), 0u);
    EXPECT_EQ(lines[2].find_first_of(L"\r\n"), std::wstring::npos);
    unsigned long start_error = 0;
    ChildRun direct = child_run(&cmdline[0], NULL, NULL);
    EXPECT_EQ(run_child(&direct, &start_error), RUN_FAILED);
    EXPECT_EQ(start_error, 2ul);
}

TEST_F(Runner, EchoComesFirstAndIsCutToTheLogLimit)
{
    std::wstring cmdline = child_cmdline({out("x\n"), L"sleep:" + std::wstring(1200, L'0')});
    EXPECT_EQ(run(cmdline, 1), 0ul);
    EXPECT_EQ(logged(capture_take()), (Lines{(L"$ " + cmdline).substr(0, 1023), L"x"}));
}

TEST_F(Runner, AFloodOfLinesArrivesCompleteAndInOrder)
{
    const unsigned long COUNT = 100000;
    EXPECT_EQ(run(child_cmdline({L"lines:" + std::to_wstring(COUNT)})), 0ul);
    Lines lines = logged(capture_take());
    ASSERT_EQ(lines.size(), (size_t)COUNT);
    for (unsigned long i = 0; i < COUNT; i++) {
        wchar_t want[32];
        swprintf(want, 32, L"line %06lu", i + 1);
        ASSERT_EQ(lines[i], want) << "at line " << i + 1;
    }
}

struct RunArgs {
    std::wstring cmdline;
    unsigned long result;
};

DWORD WINAPI run_thread(LPVOID param)
{
    RunArgs* args = (RunArgs*)param;
    args->result = run(args->cmdline);
    return 0;
}

TEST_F(Runner, LinesArriveWhileTheChildStillRuns)
{
    wchar_t name[64];
    swprintf(name, 64, L"tarnvik-test-go-%lu", GetCurrentProcessId());
    HANDLE go = CreateEventW(NULL, TRUE, FALSE, name);
    ASSERT_TRUE(go);
    RunArgs args = {child_cmdline({out("early\n"), std::wstring(L"wait:") + name, out("late\n")}),
                    RUN_FAILED};
    HANDLE thread = CreateThread(NULL, 0, run_thread, &args, 0, NULL);
    ASSERT_TRUE(thread);
    EXPECT_TRUE(capture_wait_for(WM_APP_LOG, 30000));
    EXPECT_EQ(WaitForSingleObject(thread, 0), (DWORD)WAIT_TIMEOUT) << "the child is still waiting";
    SetEvent(go);
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
    CloseHandle(go);
    EXPECT_EQ(args.result, 0ul);
    EXPECT_EQ(logged(capture_take()), (Lines{L"early", L"late"}));
}

TEST_F(Runner, AfterACancelNoChildStartsUntilTheNextReset)
{
    cancel_children();
    EXPECT_EQ(run(child_cmdline({out("ran\n")}), 1), RUN_CANCELLED);
    EXPECT_TRUE(capture_take().empty()) << "not even the echo";
    reset_cancel();
    EXPECT_EQ(lines_of({out("ran\n")}), (Lines{L"ran"}));
}

// run_child itself, its lines collected here rather than sent to a window.
struct Direct {
    std::wstring cmdline;
    ChildGroup* group = NULL;
    const wchar_t* temp_folder = NULL;
    unsigned int code_page = 0;
    Lines lines;
    unsigned long result = RUN_FAILED;
    HANDLE line_seen = CreateEventW(NULL, TRUE, FALSE, NULL);  // set at the first line
    ~Direct() { CloseHandle(line_seen); }
};

void collect(void* ctx, const wchar_t* line)
{
    Direct* d = (Direct*)ctx;
    d->lines.push_back(line);
    SetEvent(d->line_seen);
}

unsigned long run_direct(Direct* d)
{
    ChildRun child = child_run(&d->cmdline[0], collect, d);
    child.temp_folder = d->temp_folder;
    child.group = d->group;
    child.code_page = d->code_page;
    return d->result = run_child(&child, NULL);
}

DWORD WINAPI direct_thread(LPVOID param)
{
    run_direct((Direct*)param);
    return 0;
}

TEST(RunChild, AnOverLongLineIsCutBetweenCharacters)
{
    const std::string face = "\xF0\x9F\x98\x80";  // two wide characters
    Direct d;
    d.cmdline = child_cmdline({out(std::string(4093, 'q') + face + "\n" + std::string(4094, 'q') + face + "\n")});
    EXPECT_EQ(run_direct(&d), 0ul);
    ASSERT_EQ(d.lines.size(), 2u);
    EXPECT_TRUE(d.lines[0] == std::wstring(4093, L'q') + L"\U0001F600") << "a line that just fits stays whole";
    EXPECT_TRUE(d.lines[1] == std::wstring(4094, L'q')) << "no half of a surrogate pair: " << d.lines[1].size();
}

// A program file held for a moment, as a scanner holds one just written,
// starts once it is let go.
TEST(RunChild, AProgramHeldForAMomentStartsOnceLetGo)
{
    std::wstring dir = make_scratch_dir(L"held-program");
    std::wstring program = dir + L"\\child.exe";
    ASSERT_TRUE(CopyFileW(bin_program(L"child.exe").c_str(), program.c_str(), FALSE));
    HANDLE held = CreateFileW(program.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const LONG retries = g_start_retries;
    Direct d;
    d.cmdline = L"\"" + program + L"\" " + out("ran\n");
    HANDLE thread = CreateThread(NULL, 0, direct_thread, &d, 0, NULL);
    ASSERT_TRUE(thread);
    while (g_start_retries == retries && WaitForSingleObject(thread, 10) == WAIT_TIMEOUT) {
    }
    EXPECT_GT(g_start_retries, retries) << "the first start is refused";
    CloseHandle(held);
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
    EXPECT_EQ(d.result, 0ul);
    EXPECT_EQ(d.lines, (Lines{L"ran"}));
    remove_tree(dir);
}

TEST(RunChild, TheTemporaryFolderIsTheChildsTempAndTmp)
{
    wchar_t path[4096];
    ASSERT_GT(GetEnvironmentVariableW(L"PATH", path, 4096), 0u);
    Direct d;
    d.temp_folder = L"C:\\tarnvik temp\\run 1";
    d.cmdline = child_cmdline({L"env:TEMP", L"env:TMP", L"env:PATH"});
    EXPECT_EQ(run_direct(&d), 0ul);
    EXPECT_EQ(d.lines, (Lines{L"TEMP=C:\\tarnvik temp\\run 1", L"TMP=C:\\tarnvik temp\\run 1",
                              L"PATH=" + std::wstring(path)}));
}

// As a console gives them: an input that ends at once (Python programs can
// fail on none), and yt-dlp told to write UTF-8 from its first message.
TEST(RunChild, TheChildReadsNulAndIsToldToWriteUtf8)
{
    Direct d;
    d.cmdline = child_cmdline({L"stdin", L"env:PYTHONUTF8"});
    EXPECT_EQ(run_direct(&d), 0ul);
    EXPECT_EQ(d.lines, (Lines{L"stdin ends", L"PYTHONUTF8=1"}));
}

TEST(RunChild, IllFormedUtf8StillArrives)
{
    Direct d;
    d.cmdline = child_cmdline({out("caf\xC3\xA9 \xFF\xC3 ok\n\x80\n")});
    EXPECT_EQ(run_direct(&d), 0ul);
    Lines lines = d.lines;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 5), L"caf\u00E9 ");
    EXPECT_EQ(lines[0].substr(lines[0].size() - 3), L" ok");
    EXPECT_NE(lines[0].find(L'\uFFFD'), std::wstring::npos);
    EXPECT_EQ(lines[1], L"\uFFFD");
}

// curl, tar and cmd.exe run through run_logged: a line of theirs that is
// not UTF-8 is read in the console's code page (in this prefix 437 or 850,
// where 0x82 is "é").
// The system's console programs write in the console's code page where they
// do not write UTF-8; the same bytes in UTF-8 stay UTF-8.
TEST(RunChild, LinesThatAreNotUtf8AreReadInTheGivenCodePage)
{
    Direct d;
    d.cmdline = child_cmdline({out("caf\x82 \x9c\ncaf\xC3\xA9 \xE2\x82\xAC\n")});
    d.code_page = 850;
    EXPECT_EQ(run_direct(&d), 0ul);
    EXPECT_EQ(d.lines, (Lines{L"caf\u00E9 \u00A3", L"caf\u00E9 \u20AC"}));
    d.lines.clear();
    d.code_page = 0;
    EXPECT_EQ(run_direct(&d), 0ul);
    ASSERT_EQ(d.lines.size(), 2u);
    EXPECT_NE(d.lines[0].find(L'\uFFFD'), std::wstring::npos) << "without a code page, UTF-8 it is";
}

// Another thread's pipe in the making, inheritable for that moment, must
// not reach this child: that thread's output would then never end.
TEST(RunChild, AChildHoldsOnlyItsOwnPipe)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE read_end, write_end;
    ASSERT_TRUE(CreatePipe(&read_end, &write_end, &inheritable, 0));
    wchar_t name[64];
    swprintf(name, 64, L"tarnvik-test-own-pipe-%lu", GetCurrentProcessId());
    HANDLE go = CreateEventW(NULL, TRUE, FALSE, name);
    Direct d;
    d.cmdline = child_cmdline({out("up\n"), std::wstring(L"wait:") + name});
    HANDLE thread = CreateThread(NULL, 0, direct_thread, &d, 0, NULL);
    ASSERT_TRUE(thread);
    // Once the child is up, the test's end should be the pipe's only writer.
    EXPECT_EQ(WaitForSingleObject(d.line_seen, 60000), (DWORD)WAIT_OBJECT_0);
    CloseHandle(write_end);
    DWORD available = 0;
    BOOL open = PeekNamedPipe(read_end, NULL, 0, NULL, &available, NULL);
    EXPECT_FALSE(open) << "the child holds the other pipe";
    SetEvent(go);
    WaitForSingleObject(thread, 60000);
    EXPECT_EQ(d.result, 0ul);
    CloseHandle(thread);
    CloseHandle(go);
    CloseHandle(read_end);
}

// A copy of the output pipe held outside the child's group (here by the
// test itself) keeps the pipe open, but not the run: it ends soon after
// the child, with every line the child wrote.
TEST(RunChild, APipeHeldOpenAfterTheChildEndsDoesNotHoldTheRun)
{
    Direct d;
    d.cmdline = child_cmdline({L"lend:" + std::to_wstring(GetCurrentProcessId()), out("done\n")});
    HANDLE thread = CreateThread(NULL, 0, direct_thread, &d, 0, NULL);
    ASSERT_TRUE(thread);
    bool ended = WaitForSingleObject(thread, 60000) == WAIT_OBJECT_0;
    EXPECT_TRUE(ended) << "the run waited for the copy of its pipe";
    // Past the wait the run reads no more lines, ended or not.
    ASSERT_EQ(d.lines.size(), 2u);
    unsigned long long lent = 0;
    EXPECT_EQ(swscanf(d.lines[0].c_str(), L"lent %llu", &lent), 1);
    CloseHandle((HANDLE)(ULONG_PTR)lent);
    WaitForSingleObject(thread, 60000);
    CloseHandle(thread);
    EXPECT_EQ(d.lines[1], L"done");
    EXPECT_EQ(d.result, 0ul);
}

TEST(RunChild, CancellingOneGroupLeavesAnotherRunning)
{
    static ChildGroup first = CHILD_GROUP_INIT, second = CHILD_GROUP_INIT;
    wchar_t name[64];
    swprintf(name, 64, L"tarnvik-test-groups-%lu", GetCurrentProcessId());
    HANDLE go = CreateEventW(NULL, TRUE, FALSE, name);
    Direct a, b;
    a.group = &first;
    b.group = &second;
    a.cmdline = b.cmdline = child_cmdline({out("up\n"), std::wstring(L"wait:") + name, out("done\n")});
    HANDLE threads[2] = {CreateThread(NULL, 0, direct_thread, &a, 0, NULL),
                         CreateThread(NULL, 0, direct_thread, &b, 0, NULL)};
    ASSERT_TRUE(threads[0] && threads[1]);
    HANDLE both_up[2] = {a.line_seen, b.line_seen};
    EXPECT_EQ(WaitForMultipleObjects(2, both_up, TRUE, 60000), (DWORD)WAIT_OBJECT_0);
    cancel_group(&first);
    EXPECT_EQ(WaitForSingleObject(threads[0], 60000), (DWORD)WAIT_OBJECT_0);
    EXPECT_EQ(a.result, RUN_CANCELLED);
    EXPECT_TRUE(group_cancelled(&first));
    EXPECT_FALSE(group_cancelled(&second));
    EXPECT_FALSE(cancel_requested()) << "the worker's group is another";
    EXPECT_EQ(pause_in_group(&first, 60000), 0);
    SetEvent(go);
    WaitForSingleObject(threads[1], 60000);
    EXPECT_EQ(b.result, 0ul);
    EXPECT_EQ(b.lines.back(), L"done");
    reset_group(&first);
    a.cmdline = child_cmdline({out("again\n")});
    EXPECT_EQ(run_direct(&a), 0ul) << "after the reset the group runs again";
    EXPECT_EQ(pause_in_group(&first, 1), 1);
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    CloseHandle(go);
}

// The program that holds the children: test_proc.exe started again with
// --hold-children (see main.cpp). It reads from a pipe of ours the pid it
// reports and then ends when we close its standard input.
struct Holder {
    PROCESS_INFORMATION info;
    HANDLE to_holder;    // our end of its standard input
    HANDLE from_holder;  // our end of its standard output
};

bool start_holder(Holder* holder, const wchar_t* mode = L"--hold-children")
{
    HANDLE holder_in, holder_out;
    if (!make_private_pipe(&holder->to_holder, &holder_in, false))
        return false;
    if (!make_private_pipe(&holder->from_holder, &holder_out, true))
        return false;
    bool started = start_program(quoted(bin_program(L"test_proc.exe")) + L" " + mode,
                                 holder_in, holder_out, &holder->info);
    CloseHandle(holder_in);
    CloseHandle(holder_out);
    return started;
}

DWORD read_reported_pid(HANDLE from_holder)
{
    std::string text;
    char chunk[256];
    DWORD got;
    while (text.find('\n') == std::string::npos &&
           ReadFile(from_holder, chunk, sizeof chunk, &got, NULL) && got > 0)
        text.append(chunk, got);
    unsigned long pid = 0;
    return sscanf(text.c_str(), "pid %lu", &pid) == 1 ? pid : 0;
}

TEST(RunnerChildren, AGrandchildEndsWithTheProgramThatRanItsParent)
{
    Holder holder;
    ASSERT_TRUE(start_holder(&holder));
    DWORD pid = read_reported_pid(holder.from_holder);
    ASSERT_NE(pid, 0u) << "the holder reported no grandchild";
    HANDLE grandchild = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, pid);
    ASSERT_TRUE(grandchild);
    EXPECT_EQ(WaitForSingleObject(grandchild, 0), (DWORD)WAIT_TIMEOUT)
        << "its parent has exited, the grandchild sleeps on";

    CloseHandle(holder.to_holder);  // the holder ends now
    EXPECT_EQ(WaitForSingleObject(holder.info.hProcess, 30000), (DWORD)WAIT_OBJECT_0);
    bool ended = WaitForSingleObject(grandchild, 30000) == WAIT_OBJECT_0;
    EXPECT_TRUE(ended) << "the grandchild outlived the program that held it";
    if (!ended)
        TerminateProcess(grandchild, 1);
    CloseHandle(grandchild);
    CloseHandle(holder.from_holder);
    CloseHandle(holder.info.hProcess);
    CloseHandle(holder.info.hThread);
}

std::string read_all(HANDLE from)
{
    std::string text;
    char chunk[256];
    DWORD got;
    while (ReadFile(from, chunk, sizeof chunk, &got, NULL) && got > 0)
        for (DWORD i = 0; i < got; i++)
            if (chunk[i] != '\r')  // the holder's output is text
                text.push_back(chunk[i]);
    return text;
}

// Tarnvik put into a job by whoever started it (a launcher, a build agent),
// once its children's group already runs outside that job: a child that
// cannot join its group is started outside that job where it allows it,
// and otherwise not run at all, never left beyond Cancel's reach.
TEST(RunnerChildren, InsideAnotherJobAChildJoinsItsGroupOrDoesNotRun)
{
    for (bool breakaway_allowed : {true, false}) {
        SCOPED_TRACE(breakaway_allowed ? "the job allows break-away" : "the job forbids it");
        HANDLE job = CreateJobObjectW(NULL, NULL);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags =
            JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | (breakaway_allowed ? JOB_OBJECT_LIMIT_BREAKAWAY_OK : 0);
        ASSERT_TRUE(SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits));
        Holder holder;
        ASSERT_TRUE(start_holder(&holder, L"--job-inside-job"));
        EXPECT_NE(read_reported_pid(holder.from_holder), 0u) << "its first child runs in its group";
        ASSERT_TRUE(AssignProcessToJobObject(job, holder.info.hProcess));
        DWORD put = 0;
        WriteFile(holder.to_holder, "go\n", 3, &put, NULL);
        std::string said = read_all(holder.from_holder);
        if (breakaway_allowed) {
            EXPECT_EQ(said, "code 0\nran\n");
        } else {
            EXPECT_EQ(said.find("ran"), std::string::npos) << said;
            EXPECT_EQ(said.rfind("code 4294967295\n[tarnvik] not started: Tarnvik runs inside a Windows job", 0), 0u)
                << said;
        }
        CloseHandle(holder.to_holder);
        EXPECT_EQ(WaitForSingleObject(holder.info.hProcess, 30000), (DWORD)WAIT_OBJECT_0);
        CloseHandle(holder.from_holder);
        CloseHandle(holder.info.hProcess);
        CloseHandle(holder.info.hThread);
        CloseHandle(job);
    }
}

}  // namespace

// Runs a child that leaves a sleeper in the worker's group and reports it;
// once told (by then it sits in a job of the test's), runs another child
// and reports its exit code and lines.
int job_inside_job_main()
{
    if (!capture_start())
        return 2;
    unsigned long code = run(child_cmdline({L"spawn:120000"}));
    Lines lines = logged(capture_take());
    if (code != 0 || lines.size() != 1)
        return 3;
    printf("%ls\n", lines[0].c_str());
    fflush(stdout);
    char go[8];
    DWORD got;
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), go, sizeof go, &got, NULL))
        return 4;
    code = run(child_cmdline({out("ran\n")}));
    printf("code %lu\n", code);
    for (const std::wstring& line : logged(capture_take()))
        printf("%ls\n", line.c_str());
    fflush(stdout);
    capture_stop();
    return 0;
}

// Runs a child that starts a long sleeper and exits, reports the sleeper's
// pid, then stays until its standard input closes.
int hold_children_main()
{
    if (!capture_start())
        return 2;
    unsigned long code = run(child_cmdline({L"spawn:120000"}));
    Lines lines = logged(capture_take());
    capture_stop();
    if (code != 0 || lines.size() != 1)
        return 3;
    printf("%ls\n", lines[0].c_str());
    fflush(stdout);
    char rest[64];
    DWORD got;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), rest, sizeof rest, &got, NULL) && got > 0) {
    }
    return 0;
}
