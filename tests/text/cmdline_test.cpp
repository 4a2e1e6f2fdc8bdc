#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <random>
#include <string>
#include <vector>

#include "text/cmdline.h"

namespace {

const wchar_t FILL = L'#';

// A buffer with a guard zone after the capacity, to catch stray writes.
struct Line {
    std::vector<wchar_t> buf;
    size_t cap;
    explicit Line(size_t capacity) : buf(capacity + 16, FILL), cap(capacity)
    {
        if (capacity > 0)
            buf[0] = L'\0';
    }
    Line& add(const wchar_t* arg)
    {
        append_arg(buf.data(), cap, arg);
        return *this;
    }
    std::wstring text() const { return buf.data(); }
    bool guard_intact() const
    {
        for (size_t i = cap; i < buf.size(); ++i)
            if (buf[i] != FILL)
                return false;
        return true;
    }
};

std::wstring quoted(const std::wstring& s)
{
    return L"\"" + s + L"\"";
}

// Splits a line the way every Windows program's C runtime does.
std::vector<std::wstring> split(const std::wstring& line)
{
    std::vector<std::wstring> out;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(line.c_str(), &argc);
    if (!argv)
        return out;
    for (int i = 0; i < argc; ++i)
        out.push_back(argv[i]);
    LocalFree(argv);
    return out;
}

}  // namespace

TEST(AppendArg, WorkedExampleAndSeparators)
{
    Line line(512);
    line.add(L"C:\\dir with space\\yt-dlp.exe").add(L"--flag").add(L"plain");
    EXPECT_EQ(line.text(), L"\"C:\\dir with space\\yt-dlp.exe\" --flag plain");
    EXPECT_EQ(line.text().size(), 43u);

    Line first(64);
    wchar_t* end = append_arg(first.buf.data(), first.cap, L"cmd.exe");
    EXPECT_EQ(first.text(), L"cmd.exe");
    EXPECT_EQ(*end, L'\0');
    EXPECT_EQ(end, first.buf.data() + 7);
}

TEST(AppendArg, QuotesWhatTheRuntimeWouldSplit)
{
    EXPECT_EQ(Line(64).add(L"a").add(L"").text(), L"a \"\"");
    EXPECT_EQ(Line(64).add(L"").text(), L"\"\"");
    EXPECT_EQ(Line(64).add(L"a").add(L"x\ty").text(), L"a " + quoted(L"x\ty"));
    EXPECT_EQ(Line(64).add(L"a").add(L"x\ny").text(), L"a " + quoted(L"x\ny"));
    EXPECT_EQ(Line(64).add(L"a").add(L"x\vy").text(), L"a " + quoted(L"x\vy"));
    // Nothing to split: copied as it is, backslashes included.
    EXPECT_EQ(Line(64).add(L"a").add(L"C:\\x\\").text(), L"a C:\\x\\");
    EXPECT_EQ(Line(64).add(L"a").add(L"\\\\server\\share").text(), L"a \\\\server\\share");
}

TEST(AppendArg, BackslashesBeforeQuotesAreDoubled)
{
    // Unquoted: n backslashes before a quote become 2n+1.
    EXPECT_EQ(Line(64).add(L"a").add(L"x\"y").text(), L"a x\\\"y");
    EXPECT_EQ(Line(64).add(L"a").add(L"x\\\"y").text(), L"a x\\\\\\\"y");
    // Quoted: the same inside, and a trailing run doubles before the closing quote.
    EXPECT_EQ(Line(64).add(L"a").add(L"C:\\my dir\\").text(), L"a \"C:\\my dir\\\\\"");
    EXPECT_EQ(Line(64).add(L"a").add(L"x \\\\\"").text(), L"a \"x \\\\\\\\\\\"\"");
    // Backslashes not before a quote stay single even inside quotes.
    EXPECT_EQ(Line(64).add(L"a").add(L"a\\b c").text(), L"a \"a\\b c\"");
}

TEST(AppendArg, AnArgumentThatDoesNotFitLeavesTheLineAsItWas)
{
    // "ab" plus " cd" needs 6 slots with the terminator.
    Line exact(6);
    exact.add(L"ab").add(L"cd");
    EXPECT_EQ(exact.text(), L"ab cd");
    EXPECT_TRUE(exact.guard_intact());

    Line tight(5);
    tight.add(L"ab").add(L"cd");
    EXPECT_EQ(tight.text(), L"ab");
    EXPECT_TRUE(tight.guard_intact());

    // Quotes and escapes count: "x y" quoted is 5 characters.
    Line quotes(8);
    quotes.add(L"a").add(L"x y");
    EXPECT_EQ(quotes.text(), L"a \"x y\"");
    Line no_room(7);
    no_room.add(L"a").add(L"x y");
    EXPECT_EQ(no_room.text(), L"a");

    // A full line is only ever re-terminated; a later short argument that
    // fits still goes in.
    Line full(4);
    full.add(L"abc").add(L"d");
    EXPECT_EQ(full.text(), L"abc");
    Line resume(8);
    resume.add(L"ab").add(L"a long one").add(L"x");
    EXPECT_EQ(resume.text(), L"ab x");
    EXPECT_TRUE(resume.guard_intact());
}

TEST(AppendArg, NeverWritesAtOrBeyondTheCapacity)
{
    const wchar_t* const args[] = {L"", L"a", L"a b", L"\"", L"\\\\\"", L"x y\\", L"long argument with \"quotes\" \\"};
    for (size_t cap = 0; cap < 40; ++cap) {
        for (const wchar_t* arg : args) {
            Line line(cap);
            for (int i = 0; i < 6; ++i)
                line.add(arg);
            EXPECT_TRUE(line.guard_intact()) << "cap " << cap;
            if (cap > 0) {
                EXPECT_LT(line.text().size(), cap);
                // Whatever fitted splits back into whole arguments only.
                for (const std::wstring& got : split(L"p " + line.text())) {
                    if (got != L"p") {
                        EXPECT_EQ(got, arg);
                    }
                }
            }
        }
    }
}

// Whatever we append, the child's runtime must get back exactly.
TEST(AppendArg, RoundTripsThroughTheRuntimeSplitter)
{
    const wchar_t ALPHABET[] = L"ab \t\"\\\\\\\"\n\v\x00E9\x4E2D\x0416/:.=-%&|<>^";
    const size_t alphabet_len = sizeof(ALPHABET) / sizeof(ALPHABET[0]) - 1;
    const wchar_t* const PROGRAMS[] = {L"C:\\Program Files\\Tarnvik\\yt-dlp.exe", L"cmd.exe",
                                       L"C:\\Windows\\System32\\curl.exe"};
    std::mt19937 rng(20261207);
    const size_t CAP = 32768;
    std::vector<wchar_t> buf(CAP);
    int mismatches = 0, lists = 0;

    for (int round = 0; round < 100000; ++round) {
        std::vector<std::wstring> args;
        args.push_back(PROGRAMS[rng() % 3]);
        const int count = 1 + rng() % 6;
        for (int i = 0; i < count; ++i) {
            size_t len;
            switch (rng() % 10) {
            case 0: len = 0; break;
            case 1: len = 1000 + rng() % 3000; break;  // very long
            default: len = 1 + rng() % 12;
            }
            std::wstring arg;
            for (size_t k = 0; k < len; ++k)
                arg += ALPHABET[rng() % alphabet_len];
            args.push_back(arg);
        }

        buf[0] = L'\0';
        for (const std::wstring& a : args)
            append_arg(buf.data(), CAP, a.c_str());
        ++lists;
        if (split(buf.data()) != args) {
            if (++mismatches <= 3)
                ADD_FAILURE() << "mismatch for line: " << testing::PrintToString(std::wstring(buf.data()));
        }
    }
    EXPECT_EQ(lists, 100000);
    EXPECT_EQ(mismatches, 0);
}
