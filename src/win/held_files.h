// Renaming and removing files and folders that a scanner or a sync client
// (OneDrive) may hold for a moment after they were written: rename_file,
// delete_file and rmtree try again until it goes through or the patience
// runs out. Every file the program moves or removes goes through them.
#pragma once
#include <windows.h>

// How long each of them keeps trying, in milliseconds.
extern unsigned long g_hold_patience_ms;
// The tries that had to be made again, counted for the tests.
extern volatile LONG g_hold_retries;

// Renames from to to, replacing a file there, through to the disk. While
// either is held for a moment (access denied, a sharing or a lock
// violation) it is tried again. 1 when done; 0 with GetLastError telling why.
int rename_file(const wchar_t* from, const wchar_t* to);

// Deletes the file at path (a read-only one too), tried again while it is
// held. 1 when it is gone afterwards, also when it was never there.
int delete_file(const wchar_t* path);

// rmtree: removes folder and everything in it without starting a program
// (a link to a folder goes, never what it points at), tried again while
// anything in it is held. 1 when the folder is gone afterwards (or was
// never there).
int rmtree(const wchar_t* folder);
