// Folders of the program's own in the user's temporary folder: each named
// after its use, the process that made it and the moment that process
// started, so that a later run can tell those of runs that have ended (and
// never removed them) from those of runs that still work in them.
#pragma once
#include "text/bounded.h"

// Creates a fresh folder "tarnvik-USE-PID-START-N" in the temporary folder
// into folder; a name that is taken (by another thread, or by an ended
// process whose id this one got again) is never shared. 1 when it was made;
// the caller removes it with rmtree.
int make_temp_folder(const wchar_t* use, wchar_t (&folder)[PATH_CAP]);

// The folder's own name, the part after its last backslash.
const wchar_t* folder_name(const wchar_t* folder);

// Removes the folders make_temp_folder made for processes that no longer
// run: whatever a crash, a kill or a shut-down left behind. Returns how
// many it removed.
int remove_ended_runs_folders();
// The same on a thread of its own, which nothing waits for.
void start_removing_ended_runs_folders();
