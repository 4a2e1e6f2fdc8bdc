// The test driver for Tarnvik's window: everything goes through window
// messages to another process, as a user's input would.
#include "support/ui_driver.h"
#include <commctrl.h>
#include <algorithm>
#include "support/doubles.h"
#include "support/programs.h"

// Upper bounds only: they end a wait for something that never comes, and
// are long enough for a machine under heavy load.
enum { POLL_MS = 5, LAUNCH_TIMEOUT_MS = 60000, REPLY_TIMEOUT_MS = 30000, FOREGROUND_TIMEOUT_MS = 30000 };
// The ids of the controls the driver reads without being told.
enum { ID_LOG = 112, ID_FOOT = 113, ID_PROGRESS = 114 };

static const wchar_t MAIN_CLASS_NAME[] = L"TarnvikMain";
static const wchar_t DIALOG_CLASS[] = L"#32770";
static const wchar_t QUESTION_CAPTION[] = L"Tarnvik — first-time setup";

bool wait_until(const std::function<bool()>& done, DWORD timeout_ms)
{
    DWORD started = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - started > timeout_ms)
            return done();
        Sleep(POLL_MS);
    }
}

std::wstring ui_program_dir(const wchar_t* name)
{
    std::wstring parent = bin_dir() + L"\\ui work";
    std::wstring dir = parent + L"\\" + name;
    CreateDirectoryW(parent.c_str(), nullptr);
    remove_tree(dir);
    if (!CreateDirectoryW(dir.c_str(), nullptr))
        return std::wstring();
    if (!CopyFileW(bin_program(L"Tarnvik.exe").c_str(), (dir + L"\\Tarnvik.exe").c_str(), FALSE))
        return std::wstring();
    return dir;
}

bool ui_install_tools(const std::wstring& dir, const wchar_t* skip)
{
    // A clip runs yt-dlp, ffprobe and ffmpeg; with one tool skipped, the
    // others need only be found.
    static const wchar_t* const STAND_INS[] = {L"ffmpeg", L"ffprobe", L"deno"};
    if (!skip || wcscmp(skip, L"yt-dlp") != 0)
        if (!install_fake_ytdlp(dir))
            return false;
    if (!skip)
        return install_fake_ffmpeg(dir) && write_file(dir + L"\\deno.exe", "stand-in\n");
    for (const wchar_t* tool : STAND_INS)
        if (wcscmp(skip, tool) != 0)
            if (!write_file(dir + L"\\" + tool + L".exe", "stand-in\n"))
                return false;
    return true;
}

struct WindowSearch {
    DWORD pid;
    const wchar_t* cls;
    const wchar_t* title;  // null: any
    HWND found;
};

static BOOL CALLBACK match_window(HWND window, LPARAM param)
{
    WindowSearch* search = (WindowSearch*)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t cls[64] = {0};
    GetClassNameW(window, cls, 63);
    if (pid != search->pid || wcscmp(cls, search->cls) != 0)
        return TRUE;
    if (search->title && ui_text(window) != search->title)
        return TRUE;
    search->found = window;
    return FALSE;
}

static HWND find_window(DWORD pid, const wchar_t* cls, const wchar_t* title)
{
    WindowSearch search = {pid, cls, title, nullptr};
    EnumWindows(match_window, (LPARAM)&search);
    return search.found;
}

bool ui_start(UiApp& app, const std::wstring& exe, const std::wstring& dir)
{
    app = UiApp{nullptr, 0, nullptr, dir};
    std::wstring line = quoted(exe);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info;
    if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &startup,
                        &info))
        return false;
    CloseHandle(info.hThread);
    app.process = info.hProcess;
    app.pid = info.dwProcessId;
    return true;
}

bool ui_shown(UiApp& app)
{
    app.main = find_window(app.pid, MAIN_CLASS_NAME, nullptr);
    return app.main && IsWindowVisible(app.main);
}

// The Tarnviks started and not yet closed, for ui_started_apps.
static std::vector<UiApp> s_started;

std::vector<UiApp> ui_started_apps()
{
    return s_started;
}

bool ui_launch(UiApp& app, const std::wstring& dir)
{
    // The footer is filled once the window is on screen, with the checks
    // that do not hold up its first paint.
    if (!ui_start(app, dir + L"\\Tarnvik.exe", dir))
        return false;
    s_started.push_back(app);
    bool shown = wait_until([&] { return ui_shown(app); }, LAUNCH_TIMEOUT_MS);
    s_started.back().main = app.main;
    return shown && wait_until([&] { return !ui_text(app, ID_FOOT).empty(); }, LAUNCH_TIMEOUT_MS);
}

bool ui_close(UiApp& app, DWORD timeout_ms)
{
    if (!app.process)
        return true;
    auto same = [&](const UiApp& started) { return started.pid == app.pid; };
    s_started.erase(std::remove_if(s_started.begin(), s_started.end(), same), s_started.end());
    if (app.main)
        PostMessageW(app.main, WM_CLOSE, 0, 0);
    bool ended = WaitForSingleObject(app.process, timeout_ms) == WAIT_OBJECT_0;
    if (!ended) {
        TerminateProcess(app.process, 1);
        WaitForSingleObject(app.process, REPLY_TIMEOUT_MS);
    }
    CloseHandle(app.process);
    app.process = nullptr;
    app.main = nullptr;
    return ended;
}

HWND ui_question(const UiApp& app)
{
    return find_window(app.pid, DIALOG_CLASS, QUESTION_CAPTION);
}

static BOOL CALLBACK collect_static(HWND window, LPARAM param)
{
    wchar_t cls[32] = {0};
    GetClassNameW(window, cls, 31);
    if (_wcsicmp(cls, L"Static") == 0)
        ((std::vector<std::wstring>*)param)->push_back(ui_text(window));
    return TRUE;
}

std::vector<std::wstring> ui_dialog_texts(HWND dialog)
{
    std::vector<std::wstring> texts;
    EnumChildWindows(dialog, collect_static, (LPARAM)&texts);
    return texts;
}

void ui_answer(HWND dialog, int button)
{
    SendMessageTimeoutW(GetDlgItem(dialog, button), BM_CLICK, 0, 0, SMTO_NORMAL, REPLY_TIMEOUT_MS, nullptr);
}

HWND ui_control(const UiApp& app, int id)
{
    return GetDlgItem(app.main, id);
}

std::wstring ui_text(HWND window)
{
    // The text may change between asking its length and reading it; room to
    // spare, and a second try when even that was filled, keep a read whole.
    std::wstring text;
    for (int attempt = 0; attempt < 5; ++attempt) {
        DWORD_PTR length = 0;
        SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, REPLY_TIMEOUT_MS, &length);
        size_t room = length + 1024;
        text.assign(room, L'\0');
        SendMessageTimeoutW(window, WM_GETTEXT, room, (LPARAM)&text[0], SMTO_NORMAL, REPLY_TIMEOUT_MS, nullptr);
        text.resize(wcsnlen(text.c_str(), room));
        if (text.size() < room - 1)
            break;
    }
    return text;
}

std::wstring ui_text(const UiApp& app, int id)
{
    return ui_text(ui_control(app, id));
}

static LRESULT send(HWND window, UINT msg, WPARAM wparam, LPARAM lparam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, msg, wparam, lparam, SMTO_NORMAL, REPLY_TIMEOUT_MS, &result);
    return (LRESULT)result;
}

void ui_set_text(const UiApp& app, int id, const std::wstring& text)
{
    send(ui_control(app, id), WM_SETTEXT, 0, (LPARAM)text.c_str());
}

void ui_click(const UiApp& app, int id)
{
    send(ui_control(app, id), BM_CLICK, 0, 0);
}

void ui_command(const UiApp& app, int id)
{
    send(app.main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)ui_control(app, id));
}

void ui_select(const UiApp& app, int id, int index)
{
    HWND combo = ui_control(app, id);
    send(combo, CB_SETCURSEL, index, 0);
    send(app.main, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), (LPARAM)combo);
}

int ui_selection(const UiApp& app, int id)
{
    return (int)send(ui_control(app, id), CB_GETCURSEL, 0, 0);
}

std::vector<std::wstring> ui_items(const UiApp& app, int id)
{
    return ui_items(ui_control(app, id));
}

std::vector<std::wstring> ui_items(HWND combo)
{
    std::vector<std::wstring> items;
    int count = (int)send(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        wchar_t item[256] = {0};
        if (send(combo, CB_GETLBTEXTLEN, i, 0) < 255)
            send(combo, CB_GETLBTEXT, i, (LPARAM)item);
        items.push_back(item);
    }
    return items;
}

bool ui_checked(const UiApp& app, int id)
{
    return send(ui_control(app, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

bool ui_enabled(const UiApp& app, int id)
{
    return IsWindowEnabled(ui_control(app, id)) != FALSE;
}

int ui_progress(const UiApp& app)
{
    return (int)send(ui_control(app, ID_PROGRESS), PBM_GETPOS, 0, 0);
}

void ui_set_progress(const UiApp& app, int position)
{
    send(ui_control(app, ID_PROGRESS), PBM_SETPOS, position, 0);
}

static INPUT key_input(WORD key, DWORD flags)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    return input;
}

bool ui_activate(const UiApp& app)
{
    // Wine hands the foreground to whichever window it likes when another
    // one comes or goes, and finishes a switch only when the window's own
    // thread gets to it: keys sent before then go elsewhere.
    return wait_until(
        [&] {
            if (GetForegroundWindow() != app.main)
                SetForegroundWindow(app.main);
            return GetForegroundWindow() == app.main && ui_focus(app) != 0;
        },
        FOREGROUND_TIMEOUT_MS);
}

std::wstring ui_foreground()
{
    HWND window = GetForegroundWindow();
    wchar_t cls[64] = {0};
    DWORD pid = 0;
    GetClassNameW(window, cls, 63);
    GetWindowThreadProcessId(window, &pid);
    return std::wstring(L"the foreground window is ") + (window ? cls : L"none") + L" of process " +
           std::to_wstring(pid);
}

bool ui_keys(const UiApp& app, std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    for (WORD key : keys)
        inputs.push_back(key_input(key, 0));
    for (auto key = keys.end(); key != keys.begin();)
        inputs.push_back(key_input(*--key, KEYEVENTF_KEYUP));
    if (!ui_activate(app))
        return false;
    return SendInput((UINT)inputs.size(), inputs.data(), sizeof(INPUT)) == inputs.size();
}

bool ui_keys_focus(const UiApp& app, std::initializer_list<WORD> keys, int id)
{
    return ui_keys(app, keys) && wait_until([&] { return ui_focus(app) == id; }, FOREGROUND_TIMEOUT_MS);
}

int ui_focus(const UiApp& app)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(app.main, nullptr), &info);
    return info.hwndFocus && IsChild(app.main, info.hwndFocus) ? GetDlgCtrlID(info.hwndFocus) : 0;
}

std::vector<std::wstring> ui_log_lines(const UiApp& app)
{
    std::wstring text = ui_text(app, ID_LOG);
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        if (end == std::wstring::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}
