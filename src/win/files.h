// Small file-system questions the workers and the window share, and the
// finished file of a clip job that does not name its own: the largest media
// file in its folder.
#pragma once
#include <windows.h>
#include <cstddef>
#include "win/globals.h"

// 1 when path names an existing file (not a folder).
int is_file(const wchar_t* path);

// Starts listing the entries of folder into entry. INVALID_HANDLE_VALUE when
// the folder cannot be listed (or its pattern would not fit a path);
// otherwise go on with FindNextFileW and end with FindClose.
HANDLE open_listing(const wchar_t* folder, WIN32_FIND_DATAW* entry);

// out = folder + "\" + name, without a second backslash when folder ends in
// one (the temporary folder does). 1 when it fits a path.
int join_path(wchar_t (&out)[PATH_CAP], const wchar_t* folder, const wchar_t* name);

// 1 when a file can really be created in folder: a short-lived probe file is
// made and removed, rather than guessing from attributes or rights.
int can_write_in(const wchar_t* folder);

// Reads at most cap bytes from the start of the file into bytes.
// 1 with the count in length; 0 when the file cannot be read.
int read_file_start(const wchar_t* path, unsigned char* bytes, size_t cap, size_t* length);

// Reads the whole file, of at most most bytes, into a new block (malloc;
// the caller frees it) with one zero byte after its end. 1 with the block
// and its length (the zero not counted); 0 when the file cannot be read or
// is larger.
int read_whole_file(const wchar_t* path, size_t most, unsigned char** bytes, size_t* length);

// 1 for the "." and ".." entries of a folder listing.
int is_dot_entry(const wchar_t* name);

// Creates (or empties) path and writes length bytes to it, through to the
// disk. 1 when all were written.
int write_new_file(const wchar_t* path, const void* bytes, size_t length);

// Renames staged over target in one step, through to the disk (rename_file,
// which waits while target is held): target is either the old file or the
// new one, never a mix. On failure staged is removed (GetLastError tells
// why) and target is left as it was.
int replace_file(const wchar_t* staged, const wchar_t* target);

// Copies source to a new file target (replacing one that is there) and
// writes it through to the disk. The copy takes the permissions of
// target's folder. On failure nothing of target is left.
int copy_file_through(const wchar_t* source, const wchar_t* target);

// The size of the file at path. 1 when it is a file whose size could be read.
int file_size(const wchar_t* path, unsigned long long* size);

// exts: the extensions that count as a finished media file, each with its dot.
enum { EXT_COUNT = 10 };
extern const wchar_t* const exts[EXT_COUNT];

// The clip a finished job made in folder: the file it named, or for a job
// that names none (named empty) the largest media file there. 1 with its
// name (PATH_CAP) and size; 0 when there is no such file.
int find_clip_file(const wchar_t* folder, const wchar_t* named, wchar_t* name, unsigned long long* size);

// Picks the largest file in folder whose extension is in exts (the last
// listed wins a tie). 1 with its name (PATH_CAP) and size; 0 when the
// folder holds none or cannot be listed.
int find_media_file(const wchar_t* folder, wchar_t* name, unsigned long long* size);

// Writes length bytes over the start of the existing file path, leaving
// the rest of it as it is, through to the disk. 1 when all were written.
int write_file_start(const wchar_t* path, const void* bytes, size_t length);
