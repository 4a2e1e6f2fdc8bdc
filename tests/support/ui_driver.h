// Drives a running Tarnvik.exe from the outside, as a user would: finds its
// window by class, reads and sets controls by id, clicks, picks combo
// entries, answers the first-run question. Every wait has a time-out.
#pragma once
#include <windows.h>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

struct UiApp {
    HANDLE process;
    DWORD pid;
    HWND main;
    std::wstring dir;  // its program folder
};

// Polls done every few milliseconds until it holds or timeout_ms passed.
bool wait_until(const std::function<bool()>& done, DWORD timeout_ms);

// A fresh program folder bin\ui work\NAME holding a copy of Tarnvik.exe
// (whatever was there before is removed). Empty on failure.
std::wstring ui_program_dir(const wchar_t* name);
// Puts the fake yt-dlp and stand-in ffmpeg, ffprobe and deno files in dir,
// leaving out the tool named skip (null: none).
bool ui_install_tools(const std::wstring& dir, const wchar_t* skip);

// Starts exe with dir as its current folder and returns at once.
bool ui_start(UiApp& app, const std::wstring& exe, const std::wstring& dir);
// Whether app's main window is there and visible (app.main is set to it).
bool ui_shown(UiApp& app);
// Starts dir\Tarnvik.exe and waits for its main window to be shown and
// its start-up checks done (the footer filled).
bool ui_launch(UiApp& app, const std::wstring& dir);
// The Tarnviks ui_launch started that ui_close has not closed yet, oldest
// first (a test that failed early may leave one that has ended).
std::vector<UiApp> ui_started_apps();
// Closes the window as the user would and waits for the process to end;
// ends it by force after timeout_ms. True when it ended by itself.
bool ui_close(UiApp& app, DWORD timeout_ms);

// The first-run question box of app, or null when none is shown.
HWND ui_question(const UiApp& app);
// The texts of the static controls of a dialog, in order.
std::vector<std::wstring> ui_dialog_texts(HWND dialog);
// Presses the button with that id (IDYES, IDNO) in a dialog.
void ui_answer(HWND dialog, int button);

HWND ui_control(const UiApp& app, int id);
std::wstring ui_text(HWND window);
std::wstring ui_text(const UiApp& app, int id);
void ui_set_text(const UiApp& app, int id, const std::wstring& text);
// BM_CLICK, as a mouse click on the button.
void ui_click(const UiApp& app, int id);
// The WM_COMMAND a button click sends, delivered even to a disabled button's id.
void ui_command(const UiApp& app, int id);
// Selects entry index and sends the CBN_SELCHANGE a user's choice sends.
void ui_select(const UiApp& app, int id, int index);
int ui_selection(const UiApp& app, int id);
std::vector<std::wstring> ui_items(const UiApp& app, int id);
std::vector<std::wstring> ui_items(HWND combo);
bool ui_checked(const UiApp& app, int id);
bool ui_enabled(const UiApp& app, int id);
int ui_progress(const UiApp& app);
void ui_set_progress(const UiApp& app, int position);
// Brings app's window to the front, as a click on its title would, and
// waits until it is there with one of its controls focused.
bool ui_activate(const UiApp& app);
// Which window is in front, in words, for a failure message.
std::wstring ui_foreground();
// Brings app's window to the front and types keys as the keyboard does:
// each held down in turn, then all let go (VK_SHIFT, VK_TAB is Shift+Tab).
// False when the window never came to the front.
bool ui_keys(const UiApp& app, std::initializer_list<WORD> keys);
// Types keys and waits until control id has the focus; false when it never gets it.
bool ui_keys_focus(const UiApp& app, std::initializer_list<WORD> keys, int id);
// The id of app's control that has the keyboard focus; 0 when none has.
int ui_focus(const UiApp& app);
// The log's lines (its text split at "\r\n"; a last empty piece is dropped).
std::vector<std::wstring> ui_log_lines(const UiApp& app);

// Writes the window's client area as the screen shows it to a PNG file.
bool ui_screenshot(HWND window, const std::wstring& png_path);
