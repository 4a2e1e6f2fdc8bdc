#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/lines.h"

namespace {

void collect(const char* line, void* ctx)
{
    static_cast<std::vector<std::string>*>(ctx)->push_back(line);
}

// Feeds the bytes in chunks of the given size, then finishes.
std::vector<std::string> cut(const std::string& bytes, size_t chunk = 2048)
{
    std::vector<std::string> lines;
    LineAssembly la;
    lines_reset(&la);
    for (size_t at = 0; at < bytes.size(); at += chunk)
        lines_feed(&la, bytes.data() + at, std::min(chunk, bytes.size() - at), collect, &lines);
    lines_finish(&la, collect, &lines);
    return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(LineAssembly, EveryKindOfLineBreakEndsALineAndBlankLinesVanish)
{
    EXPECT_EQ(cut("a\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(cut("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(cut("a\r\rb"), (Lines{"a", "b"}));
    EXPECT_EQ(cut("\n\n\r\n"), Lines{});
    EXPECT_EQ(cut("50%\r60%\r70%\n"), (Lines{"50%", "60%", "70%"}));
    EXPECT_EQ(cut(""), Lines{});
}

TEST(LineAssembly, AnUnterminatedLastLineIsDelivered)
{
    EXPECT_EQ(cut("a\nlast"), (Lines{"a", "last"}));
    // Counted by length: even a pending line that starts with a zero byte.
    EXPECT_EQ(cut(std::string("a\n\0b", 4)), (Lines{"a", ""}));
}

TEST(LineAssembly, AZeroByteEndsTheLinesText)
{
    EXPECT_EQ(cut(std::string("ab\0cd\nef\n", 9)), (Lines{"ab", "ef"}));
    EXPECT_EQ(cut(std::string("\0xyz\nok\n", 8)), (Lines{"ok"}));
}

TEST(LineAssembly, LongLinesAreCutAfter8191Bytes)
{
    const std::string b8191(8191, 'x');
    EXPECT_EQ(cut(b8191 + "\nz\n"), (Lines{b8191, "z"}));
    // The 8192nd byte is lost; the line feed then ends an empty line.
    EXPECT_EQ(cut(b8191 + "y\nz\n"), (Lines{b8191, "z"}));
    // With 8193 bytes the last one arrives as a line of its own.
    EXPECT_EQ(cut(b8191 + "yq\n"), (Lines{b8191, "q"}));
}

TEST(LineAssembly, ChunkBoundariesDoNotMatter)
{
    std::string text;
    Lines expected;
    for (int i = 0; i < 300; ++i) {
        std::string line = "line " + std::to_string(i) + std::string(i * 37 % 9000, 'p');
        expected.push_back(line.substr(0, 8191));
        if (line.size() > 8191)
            expected.push_back(line.substr(8192));
        text += line + (i % 3 == 0 ? "\r\n" : i % 3 == 1 ? "\n" : "\r");
    }
    const size_t chunks[] = {1, 7, 2048, 100000};
    for (size_t chunk : chunks)
        EXPECT_EQ(cut(text, chunk), expected) << "chunk " << chunk;
}
