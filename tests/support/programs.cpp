// Program paths, process runs and scratch folders for the tests.
#include "support/programs.h"
#include <stdio.h>
#include <tlhelp32.h>

std::wstring bin_dir()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(NULL, path, MAX_PATH);
    std::wstring dir(path, length);
    size_t slash = dir.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : dir.substr(0, slash);
}

std::wstring bin_program(const wchar_t* name)
{
    return bin_dir() + L"\\" + name;
}

std::wstring quoted(const std::wstring& path)
{
    return L"\"" + path + L"\"";
}

std::wstring hex_of(const std::string& bytes)
{
    static const wchar_t DIGITS[] = L"0123456789abcdef";
    std::wstring hex;
    for (unsigned char b : bytes) {
        hex.push_back(DIGITS[b >> 4]);
        hex.push_back(DIGITS[b & 15]);
    }
    return hex;
}

bool make_private_pipe(HANDLE* ours, HANDLE* theirs, bool ours_reads)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, NULL, TRUE};
    HANDLE read_end, write_end;
    if (!CreatePipe(&read_end, &write_end, &inheritable, 0))
        return false;
    *ours = ours_reads ? read_end : write_end;
    *theirs = ours_reads ? write_end : read_end;
    SetHandleInformation(*ours, HANDLE_FLAG_INHERIT, 0);
    return true;
}

bool start_program(const std::wstring& cmdline, HANDLE input, HANDLE output,
                   PROCESS_INFORMATION* info)
{
    std::wstring line = cmdline;  // CreateProcessW may write into it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input;
    startup.hStdOutput = output;
    startup.hStdError = output;
    return CreateProcessW(NULL, &line[0], NULL, NULL, TRUE, CREATE_NO_WINDOW, NULL, NULL, &startup,
                          info) != 0;
}

bool run_program(const std::wstring& cmdline, const wchar_t* cwd, DWORD timeout_ms,
                 DWORD* exit_code)
{
    std::wstring line = cmdline;  // CreateProcessW may write into it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (!CreateProcessW(NULL, &line[0], NULL, NULL, FALSE, CREATE_NO_WINDOW, NULL, cwd, &startup,
                        &info))
        return false;
    bool ended = WaitForSingleObject(info.hProcess, timeout_ms) == WAIT_OBJECT_0;
    if (ended)
        GetExitCodeProcess(info.hProcess, exit_code);
    else
        TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return ended;
}

std::wstring make_scratch_dir(const wchar_t* prefix)
{
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    for (unsigned attempt = 0; attempt < 1000; attempt++) {
        wchar_t dir[MAX_PATH];
        _snwprintf(dir, MAX_PATH - 1, L"%ls%ls-%lu-%lu-%u", temp, prefix, GetCurrentProcessId(),
                   GetTickCount(), attempt);
        dir[MAX_PATH - 1] = L'\0';
        if (CreateDirectoryW(dir, NULL))
            return dir;
    }
    return std::wstring();
}

void remove_tree(const std::wstring& dir)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((dir + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring path = dir + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                remove_tree(path);
            else {
                SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(dir.c_str());
}

bool make_fresh_folder(const std::wstring& dir)
{
    enum { POLLS = 1000, POLL_MS = 10 };
    for (int poll = 0; poll < POLLS; poll++) {
        remove_tree(dir);
        if (GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES && CreateDirectoryW(dir.c_str(), NULL))
            return true;
        Sleep(POLL_MS);
    }
    return false;
}

bool make_folders(const std::wstring& path)
{
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos; slash = path.find(L'\\', slash + 1))
        CreateDirectoryW(path.substr(0, slash).c_str(), NULL);
    CreateDirectoryW(path.c_str(), NULL);
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool write_file(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD wrote = 0;
    bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &wrote, NULL) &&
              wrote == bytes.size();
    CloseHandle(file);
    return ok;
}

bool read_file(const std::wstring& path, std::string* bytes)
{
    // A double may be writing or renaming the file this very moment: the
    // read must not make that fail, nor fail itself.
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bytes->clear();
    char chunk[4096];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, NULL) && got > 0)
        bytes->append(chunk, got);
    CloseHandle(file);
    return true;
}

double now_seconds()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return (double)count.QuadPart / (double)frequency.QuadPart;
}

DWORD child_process(DWORD parent_pid, const wchar_t* exe_name)
{
    DWORD found = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
        if (entry.th32ParentProcessID == parent_pid && _wcsicmp(entry.szExeFile, exe_name) == 0)
            found = entry.th32ProcessID;
    CloseHandle(snapshot);
    return found;
}

std::vector<std::wstring> descendant_processes(DWORD pid)
{
    std::vector<PROCESSENTRY32W> all;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return {};
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        all.push_back(entry);
    CloseHandle(snapshot);
    std::vector<std::wstring> found;
    std::vector<DWORD> parents = {pid};
    for (size_t i = 0; i < parents.size() && parents.size() < 64; i++)
        for (const PROCESSENTRY32W& process : all)
            if (process.th32ParentProcessID == parents[i] && process.th32ProcessID != pid) {
                parents.push_back(process.th32ProcessID);
                found.push_back(std::wstring(process.szExeFile) + L" " + std::to_wstring(process.th32ProcessID) +
                                L" (of " + std::to_wstring(parents[i]) + L")");
            }
    return found;
}
