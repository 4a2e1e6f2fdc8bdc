// A scripted child program for the runner's tests and benchmark. Each
// argument is one step, run in order:
//   out:HEX       write the bytes HEX encodes to standard output
//   err:HEX       the same to standard error
//   lines:N       write N numbered lines "line 000001" ... to standard output
//   big:N:SIZE    write N lines of SIZE bytes each to standard output
//   sleep:MS      wait MS milliseconds
//   wait:NAME     wait (at most a minute) until the named event is set
//   spawn:MS      start a copy of itself that sleeps MS milliseconds, holding
//                 none of our handles, and write "pid N" for it
//   lend:PID      give process PID a copy of our standard output, as a
//                 program outside our group may come to hold it, and write
//                 "lent N" with the copy's handle value there
//   env:NAME      write "NAME=value" of our environment, or "NAME unset"
//   stdin         write "stdin ends" when standard input reads as ended at
//                 once (as NUL does), "stdin none" without one, else
//                 "stdin error N"
//   exit:CODE     end now with CODE (decimal or 0x hex)
// Without an exit step it ends with 0; an unknown step ends it with 99.
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <string>
#include "text/hex.h"

static const size_t FLUSH_AT = 64 * 1024;
static const DWORD EVENT_WAIT_MS = 60000;

static void write_bytes(DWORD which, const char* data, size_t len)
{
    HANDLE out = GetStdHandle(which);
    while (len > 0) {
        DWORD wrote = 0;
        if (!WriteFile(out, data, (DWORD)len, &wrote, NULL) || wrote == 0)
            return;
        data += wrote;
        len -= wrote;
    }
}

static bool write_hex(DWORD which, const wchar_t* hex)
{
    std::string bytes;
    for (; hex[0] && hex[1]; hex += 2) {
        int high = hex_digit(hex[0]), low = hex_digit(hex[1]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back((char)(high * 16 + low));
    }
    if (*hex)
        return false;
    write_bytes(which, bytes.data(), bytes.size());
    return true;
}

// Buffered so that the pipe, not this program, is what a benchmark measures.
static void flush_if(std::string& pending, size_t at)
{
    if (pending.size() >= at) {
        write_bytes(STD_OUTPUT_HANDLE, pending.data(), pending.size());
        pending.clear();
    }
}

static void write_numbered(unsigned long count)
{
    std::string pending;
    char line[32];
    for (unsigned long i = 1; i <= count; i++) {
        int n = snprintf(line, sizeof line, "line %06lu\n", i);
        pending.append(line, (size_t)n);
        flush_if(pending, FLUSH_AT);
    }
    flush_if(pending, 1);
}

static void write_big(unsigned long count, unsigned long size)
{
    std::string pending;
    for (unsigned long i = 0; i < count; i++) {
        pending.append(size, (char)('a' + i % 26));
        pending.push_back('\n');
        flush_if(pending, FLUSH_AT);
    }
    flush_if(pending, 1);
}

static bool spawn_sleeper(const wchar_t* ms)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(NULL, self, MAX_PATH);
    wchar_t cmdline[MAX_PATH + 64];
    _snwprintf(cmdline, MAX_PATH + 63, L"\"%ls\" sleep:%ls", self, ms);
    cmdline[MAX_PATH + 63] = L'\0';
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = startup.hStdOutput = startup.hStdError = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION info;
    if (!CreateProcessW(NULL, cmdline, NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, NULL, &startup,
                        &info))
        return false;
    char line[32];
    int n = snprintf(line, sizeof line, "pid %lu\n", info.dwProcessId);
    write_bytes(STD_OUTPUT_HANDLE, line, (size_t)n);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return true;
}

static bool lend_output(const wchar_t* pid)
{
    HANDLE holder = OpenProcess(PROCESS_DUP_HANDLE, FALSE, wcstoul(pid, NULL, 10));
    HANDLE copy = NULL;
    bool lent = holder && DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), holder, &copy, 0,
                                          FALSE, DUPLICATE_SAME_ACCESS);
    if (holder)
        CloseHandle(holder);
    if (!lent)
        return false;
    char line[48];
    int n = snprintf(line, sizeof line, "lent %llu\n", (unsigned long long)(ULONG_PTR)copy);
    write_bytes(STD_OUTPUT_HANDLE, line, (size_t)n);
    return true;
}

static bool wait_for_event(const wchar_t* name)
{
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, name);
    if (!event)
        return false;
    DWORD waited = WaitForSingleObject(event, EVENT_WAIT_MS);
    CloseHandle(event);
    return waited == WAIT_OBJECT_0;
}

static void write_variable(const wchar_t* name)
{
    wchar_t value[4096];
    DWORD length = GetEnvironmentVariableW(name, value, 4096);
    std::wstring line = std::wstring(name) + (length > 0 && length < 4096 ? L"=" + std::wstring(value) : L" unset");
    line += L"\n";
    char bytes[16384];
    int n = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), (int)line.size(), bytes, sizeof bytes, NULL, NULL);
    write_bytes(STD_OUTPUT_HANDLE, bytes, n > 0 ? (size_t)n : 0);
}

static void report_input()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char byte, line[32];
    DWORD got = 0;
    int n;
    if (input == NULL || input == INVALID_HANDLE_VALUE)
        n = snprintf(line, sizeof line, "stdin none\n");
    else if (ReadFile(input, &byte, 1, &got, NULL) && got == 0)
        n = snprintf(line, sizeof line, "stdin ends\n");
    else
        n = snprintf(line, sizeof line, "stdin error %lu\n", got ? 0ul : GetLastError());
    write_bytes(STD_OUTPUT_HANDLE, line, (size_t)n);
}

static bool starts_with(const wchar_t* text, const wchar_t* prefix, const wchar_t** rest)
{
    size_t len = wcslen(prefix);
    if (wcsncmp(text, prefix, len) != 0)
        return false;
    *rest = text + len;
    return true;
}

static bool run_step(const wchar_t* step)
{
    const wchar_t* v;
    if (starts_with(step, L"out:", &v))
        return write_hex(STD_OUTPUT_HANDLE, v);
    if (starts_with(step, L"err:", &v))
        return write_hex(STD_ERROR_HANDLE, v);
    if (starts_with(step, L"lines:", &v)) {
        write_numbered(wcstoul(v, NULL, 10));
        return true;
    }
    if (starts_with(step, L"big:", &v)) {
        wchar_t* size;
        unsigned long count = wcstoul(v, &size, 10);
        if (*size != L':')
            return false;
        write_big(count, wcstoul(size + 1, NULL, 10));
        return true;
    }
    if (starts_with(step, L"sleep:", &v)) {
        Sleep(wcstoul(v, NULL, 10));
        return true;
    }
    if (starts_with(step, L"wait:", &v))
        return wait_for_event(v);
    if (starts_with(step, L"spawn:", &v))
        return spawn_sleeper(v);
    if (starts_with(step, L"lend:", &v))
        return lend_output(v);
    if (starts_with(step, L"env:", &v)) {
        write_variable(v);
        return true;
    }
    if (wcscmp(step, L"stdin") == 0) {
        report_input();
        return true;
    }
    if (starts_with(step, L"exit:", &v))
        ExitProcess((UINT)wcstoul(v, NULL, 0));
    return false;
}

int wmain(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; i++)
        if (!run_step(argv[i])) {
            fwprintf(stderr, L"child: bad step %ls\n", argv[i]);
            return 99;
        }
    return 0;
}
