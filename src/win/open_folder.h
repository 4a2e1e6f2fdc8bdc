// Opening a folder in Explorer, as a double-click on it would.
#pragma once

// Shows folder in a window of its own; nothing happens when the shell is missing.
void open_folder(const wchar_t* folder);
