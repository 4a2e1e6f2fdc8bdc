// Finding and running the programs built next to the tests (test doubles,
// Tarnvik.exe), and scratch folders for them to work in.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// The folder of the running test program, without a trailing backslash.
std::wstring bin_dir();
// bin_dir() + "\" + name.
std::wstring bin_program(const wchar_t* name);
// A path in double quotes, as the first token of a command line.
std::wstring quoted(const std::wstring& path);
// Bytes written as hex digits, two a byte (for the child double's out:/err:).
std::wstring hex_of(const std::string& bytes);

// An anonymous pipe whose end kept here (ours) is not inherited by children.
bool make_private_pipe(HANDLE* ours, HANDLE* theirs, bool ours_reads);
// Starts cmdline without a console window, its standard handles given.
bool start_program(const std::wstring& cmdline, HANDLE input, HANDLE output,
                   PROCESS_INFORMATION* info);
// Runs cmdline in folder cwd (null: ours) and waits up to timeout_ms.
// True when it ended in time; its exit code goes to exit_code.
bool run_program(const std::wstring& cmdline, const wchar_t* cwd, DWORD timeout_ms,
                 DWORD* exit_code);

// The id of a running process named exe_name whose parent is parent_pid; 0 when none.
DWORD child_process(DWORD parent_pid, const wchar_t* exe_name);
// Every running process that pid started, and those they started, each as
// "NAME PID (of PARENT)".
std::vector<std::wstring> descendant_processes(DWORD pid);
// A steady clock in seconds, for the benchmarks.
double now_seconds();

// A fresh, empty folder under the temporary folder; empty string on failure.
std::wstring make_scratch_dir(const wchar_t* prefix);
// Removes a folder with everything in it.
void remove_tree(const std::wstring& dir);
// Makes dir anew and empty. A folder just removed may linger for a moment
// while a child that ran in it is still closing: this waits until it is
// gone before making it. false when it could not be made.
bool make_fresh_folder(const std::wstring& dir);
// Creates the folder and every missing folder above it. True when it exists.
bool make_folders(const std::wstring& path);
// Creates (or replaces) a file holding bytes. True when written.
bool write_file(const std::wstring& path, const std::string& bytes);
// The whole file, or false when it cannot be read.
bool read_file(const std::wstring& path, std::string* bytes);
