// The log box once it is full: its oldest whole lines make room, so the
// newest lines and the closing "[tarnvik]" hint are always shown.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include "ui/window.h"

namespace {

std::wstring text_of(HWND control)
{
    std::wstring text(GetWindowTextLengthW(control) + 1, L'\0');
    text.resize(GetWindowTextW(control, &text[0], (int)text.size()));
    return text;
}

TEST(LogBox, AFullLogDropsItsOldestLinesNeverTheNewest)
{
    // The program's log box, with a limit small enough to fill quickly.
    HWND log = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY,
                               0, 0, 300, 200, NULL, NULL, NULL, NULL);
    ASSERT_NE(log, nullptr);
    HWND saved = g_log;
    g_log = log;
    SendMessageW(log, EM_LIMITTEXT, 1000, 0);
    for (int i = 0; i < 100; i++) {
        wchar_t line[64];
        swprintf(line, 64, L"line %03d of the tools' output, long enough to wrap", i);
        append_to_log(line);
    }
    append_to_log(L"[tarnvik] the plain-words hint");
    std::wstring text = text_of(log);
    g_log = saved;
    DestroyWindow(log);

    EXPECT_LE(text.size(), 1000u);
    EXPECT_GE(text.size(), 600u) << "only as much goes as makes room";
    const std::wstring tail = L"line 099 of the tools' output, long enough to wrap\r\n[tarnvik] the plain-words hint\r\n";
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
    EXPECT_EQ(text.compare(0, 5, L"line "), 0) << "whole lines go: " << text.substr(0, 20).c_str();
    // What stays is every line from some point on, in order.
    int expected = _wtoi(text.c_str() + 5);
    for (size_t at = 0; at < text.size() - tail.size(); at = text.find(L"\r\n", at) + 2)
        EXPECT_EQ(_wtoi(text.c_str() + at + 5), expected++) << "at " << at;
}

}  // namespace
