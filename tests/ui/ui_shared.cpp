// The window tests' shared set-up: while they run, the shell's "open" verb
// for folders starts a recorder instead of a folder window (which under
// Wine can take the whole desktop with it when it ends), and afterwards the
// prefix is left as it was, so Tarnvik run by hand opens real folders.
#include "ui_shared.h"
#include <gtest/gtest.h>
#include <cstdint>
#include <cstdio>
#include <cwchar>
#include "proc/tools.h"
#include "support/programs.h"

namespace {

const wchar_t FOLDER_OPEN_KEY[] = L"Folder\\shell\\open";
const wchar_t BACKUP_KEY[] = L"Software\\Tarnvik tests\\Folder open";

std::wstring opened_folders_file()
{
    return bin_program(L"folder-opens.txt");
}

bool set_default_value(HKEY parent, const wchar_t* subkey, const std::wstring& value)
{
    HKEY key;
    if (RegCreateKeyExW(parent, subkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG result = RegSetValueExW(key, nullptr, 0, REG_SZ, (const BYTE*)value.c_str(),
                                 (DWORD)((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

// A backup left by a run that did not finish is the true original: keep it.
void back_up_folder_open()
{
    HKEY backup;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, BACKUP_KEY, 0, KEY_READ, &backup) == ERROR_SUCCESS) {
        RegCloseKey(backup);
        return;
    }
    HKEY open, copy;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, FOLDER_OPEN_KEY, 0, KEY_READ, &open) != ERROR_SUCCESS)
        return;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, BACKUP_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &copy, nullptr) ==
        ERROR_SUCCESS) {
        RegCopyTreeW(open, nullptr, copy);
        RegCloseKey(copy);
    }
    RegCloseKey(open);
}

void restore_folder_open()
{
    HKEY backup;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, BACKUP_KEY, 0, KEY_READ, &backup) != ERROR_SUCCESS)
        return;
    HKEY open;
    RegDeleteTreeW(HKEY_CLASSES_ROOT, FOLDER_OPEN_KEY);
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, FOLDER_OPEN_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &open,
                        nullptr) == ERROR_SUCCESS) {
        RegCopyTreeW(backup, nullptr, open);
        RegCloseKey(open);
    }
    RegCloseKey(backup);
    RegDeleteTreeW(HKEY_CURRENT_USER, BACKUP_KEY);
}

void record_folder_opens()
{
    back_up_folder_open();
    HKEY open;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, FOLDER_OPEN_KEY, 0, KEY_ALL_ACCESS, &open) == ERROR_SUCCESS) {
        RegDeleteTreeW(open, L"ddeexec");
        RegCloseKey(open);
    }
    std::wstring command = quoted(bin_program(L"folder_open_recorder.exe")) + L" \"%1\"";
    set_default_value(HKEY_CLASSES_ROOT, L"Folder\\shell\\open\\command", command);
}

// The fake curl and tar must not outlive the tests: Tarnvik run by hand in
// this prefix would "download" their made-up tools.
void remove_system_fake(const std::wstring& installed, const wchar_t* fake)
{
    std::string ours, there;
    if (read_file(bin_program(fake), &ours) && read_file(installed, &there) && ours == there)
        DeleteFileW(installed.c_str());
}

class UiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        use_user_folders(true);
        record_folder_opens();
        DeleteFileW(opened_folders_file().c_str());
    }
    void TearDown() override
    {
        restore_folder_open();
        remove_system_fake(system_folder_file(CURL_EXE), L"fake_curl.exe");
        remove_system_fake(system_folder_file(TAR_EXE), L"fake_tar.exe");
        DeleteFileW(SYSTEM_CURL_SCRIPT);
        DeleteFileW(SYSTEM_TAR_SCRIPT);
    }
};

::testing::Environment* const UI_ENVIRONMENT = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

void print_line(const wchar_t* label, const std::wstring& text)
{
    printf("  %ls%s\n", label, utf8_of(text).c_str());
}

// What every Tarnvik of the test shows, printed at the test's first
// failure, while its window is still there: a failure then explains itself.
void print_windows()
{
    for (const UiApp& app : ui_started_apps()) {
        bool running = WaitForSingleObject(app.process, 0) == WAIT_TIMEOUT;
        printf("Tarnvik %lu in %s: %s\n", app.pid, utf8_of(app.dir).c_str(),
               !running ? "ended" : !app.main || !IsWindow(app.main) ? "running, no window" : "window:");
        if (!running || !app.main || !IsWindow(app.main))
            continue;
        print_line(L"status:  ", ui_text(app, ID_STATUS));
        print_line(L"button:  ", ui_text(app, ID_CUT));
        print_line(L"look-up: ", ui_text(app, ID_LOOKUP));
        print_line(L"footer:  ", ui_text(app, ID_FOOT));
        if (HWND question = ui_question(app))
            print_line(L"question:", ui_text(question));
        print_line(L"", ui_foreground());
        for (const std::wstring& process : descendant_processes(app.pid))
            print_line(L"running: ", process);
        std::vector<std::wstring> log = ui_log_lines(app);
        printf("  log, %zu lines:\n", log.size());
        for (const std::wstring& line : log)
            print_line(L"  | ", line);
    }
    fflush(stdout);
}

class WindowOnFailure : public ::testing::EmptyTestEventListener {
    bool printed_ = false;
    void OnTestStart(const ::testing::TestInfo&) override { printed_ = false; }
    void OnTestPartResult(const ::testing::TestPartResult& result) override
    {
        if (result.failed() && !printed_) {
            printed_ = true;
            print_windows();
        }
    }
};

const bool WINDOW_ON_FAILURE = (::testing::UnitTest::GetInstance()->listeners().Append(new WindowOnFailure), true);

}  // namespace

bool use_user_folders(bool with_firefox)
{
    std::wstring home = bin_dir() + L"\\ui work\\user" + (with_firefox ? L" with firefox" : L" without firefox");
    std::wstring profile = home + L"\\Roaming\\Mozilla\\Firefox\\Profiles\\t1.default-release";
    remove_tree(home);
    return make_folders(home + L"\\Roaming") && make_folders(home + L"\\Local") &&
           (!with_firefox || (make_folders(profile) && write_file(profile + L"\\cookies.sqlite", "SQLite"))) &&
           SetEnvironmentVariableW(L"APPDATA", (home + L"\\Roaming").c_str()) &&
           SetEnvironmentVariableW(L"LOCALAPPDATA", (home + L"\\Local").c_str());
}

bool start_with_tools(UiApp& app, const wchar_t* name)
{
    std::wstring dir = ui_program_dir(name);
    if (!dir.empty() && ui_install_tools(dir, nullptr) && ui_launch(app, dir))
        return true;
    app.main = nullptr;
    return false;
}

TextLines take_opened_folders()
{
    TextLines folders = read_lines(opened_folders_file());
    DeleteFileW(opened_folders_file().c_str());
    return folders;
}

bool wait_for_opened_folder(TextLines& folders, DWORD timeout_ms)
{
    bool seen = wait_until(
        [&] {
            folders = read_lines(opened_folders_file());
            return !folders.empty();
        },
        timeout_ms);
    DeleteFileW(opened_folders_file().c_str());
    return seen;
}

std::vector<std::wstring> job_folders(const std::wstring& program_dir)
{
    std::vector<std::wstring> folders;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((program_dir + L"\\clips\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return folders;
    do {
        std::wstring name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
            folders.push_back(program_dir + L"\\clips\\" + name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    return folders;
}

// The number of the last "[pace] N" line in the log from line first on; 0
// when there is none.
static unsigned long last_pace_mark(const UiApp& app, size_t first)
{
    std::vector<std::wstring> log = ui_log_lines(app);
    for (size_t i = log.size(); i > first; --i)
        if (log[i - 1].rfind(L"[pace] ", 0) == 0)
            return wcstoul(log[i - 1].c_str() + 7, nullptr, 10);
    return 0;
}

// paced: the job's marks begin at log line first (SIZE_MAX: not paced).
static JobView watch(const UiApp& app, DWORD timeout_ms, size_t first)
{
    bool paced = first != SIZE_MAX;
    JobView view;
    view.ended = wait_until(
        [&] {
            // The button is read first: once it is back, the outcome is already on screen.
            bool idle = ui_text(app, ID_CUT) == CUT_CLIP_BUTTON;
            // Read before the state: the log's last mark says which line the state follows.
            unsigned long mark = paced ? last_pace_mark(app, first) : 0;
            std::wstring status = ui_text(app, ID_STATUS);
            int position = ui_progress(app);
            if (view.statuses.empty() || view.statuses.back() != status)
                view.statuses.push_back(status);
            if (view.positions.empty() || view.positions.back() != position)
                view.positions.push_back(position);
            if (mark)
                write_file(app.dir + L"\\pace.txt", std::to_string(mark));
            return idle;
        },
        timeout_ms);
    return view;
}

JobView watch_job(const UiApp& app, DWORD timeout_ms)
{
    return watch(app, timeout_ms, SIZE_MAX);
}

JobView watch_paced_job(const UiApp& app, size_t log_lines_before, DWORD timeout_ms)
{
    return watch(app, timeout_ms, log_lines_before);
}

bool is_done_status(const std::wstring& status, const std::wstring& name, const std::wstring& size)
{
    const std::wstring before = L"done — ", after = L" (" + size + L")";
    if (status.size() < before.size() + after.size() || status.compare(0, before.size(), before) != 0 ||
        status.compare(status.size() - after.size(), after.size(), after) != 0)
        return false;
    std::wstring shown = status.substr(before.size(), status.size() - before.size() - after.size());
    size_t mark = shown.find(L'…');
    if (mark == std::wstring::npos)
        return shown == name;
    std::wstring head = shown.substr(0, mark), tail = shown.substr(mark + 1);
    return head.size() + tail.size() < name.size() && name.compare(0, head.size(), head) == 0 &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}

bool script_ytdlp(const std::wstring& dir, const TextLines& lines)
{
    TextLines script = lines;
    script.push_back(L"cwd cwd.txt");
    DeleteFileW((dir + L"\\cwd.txt").c_str());
    return write_lines(dir + L"\\yt-dlp.script", script);
}

std::wstring last_ytdlp_folder(const std::wstring& dir)
{
    TextLines lines = read_lines(dir + L"\\cwd.txt");
    return lines.empty() ? L"" : lines[0];
}

bool script_lookup(const std::wstring& dir, const TextLines& lines)
{
    return write_lines(dir + L"\\yt-dlp-lookup.script", lines);
}

TextLines last_ytdlp_args(const std::wstring& dir)
{
    return read_lines(dir + L"\\args.txt");
}

std::wstring arg_after(const TextLines& args, const wchar_t* option)
{
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == option)
            return args[i + 1];
    return std::wstring();
}

bool has_arg(const TextLines& args, const wchar_t* arg)
{
    for (const std::wstring& a : args)
        if (a == arg)
            return true;
    return false;
}

bool script_video_with_pictures(const std::wstring& dir, const std::wstring& title, double seconds)
{
    wchar_t info[1024];
    swprintf(info, 1024,
             L"{\"title\": \"%ls\", \"duration\": %g, \"fps\": 25, \"formats\": ["
             L"{\"url\": \"https://media.example/v?itag=137\", \"protocol\": \"https\", \"vcodec\": \"avc1\", "
             L"\"width\": 1920, \"height\": 1080},"
             L"{\"url\": \"%ls\", \"protocol\": \"https\", \"vcodec\": \"avc1\", \"width\": 256, "
             L"\"height\": 144, \"http_headers\": {\"User-Agent\": \"TarnvikTest\"}}],"
             L"\"chapters\": [{\"start_time\": 0, \"end_time\": %g, \"title\": \"Opening\"},"
             L"{\"start_time\": %g, \"end_time\": %g, \"title\": \"Main part\"},"
             L"{\"start_time\": %g, \"end_time\": %g, \"title\": \"Questions\"}]}",
             title.c_str(), seconds, PICTURES_FORMAT_URL, seconds * 0.3, seconds * 0.3, seconds * 0.75,
             seconds * 0.75, seconds);
    return write_file(dir + L"\\video-info.json", utf8_of(info)) &&
           script_lookup(dir, {L"field title " + title, L"field duration " + std::to_wstring(seconds),
                               L"info-json video-info.json"});
}

bool wait_for_pictures(const UiApp& app, const wchar_t* start, const wchar_t* end)
{
    return wait_until(
        [&] {
            return ui_text(app, ID_START_PICTURE) == std::wstring(L"Frame at ") + start &&
                   ui_text(app, ID_END_PICTURE) == std::wstring(L"Frame before ") + end;
        },
        JOB_TIMEOUT_MS);
}

std::wstring lookup_folder(DWORD pid)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring pattern = std::wstring(temp) + L"tarnvik-lookup-" + std::to_wstring(pid) + L"-*";
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(pattern.c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return L"";
    FindClose(find);
    return std::wstring(temp) + entry.cFileName;
}
