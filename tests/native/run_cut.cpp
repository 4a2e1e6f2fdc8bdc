#include "run_cut.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

extern char** environ;

std::string to_utf8(const std::wstring& text)
{
    std::string out;
    for (wchar_t wc : text) {
        unsigned long c = (unsigned long)wc;
        if (c < 0x80) {
            out += (char)c;
        } else if (c < 0x800) {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += (char)(0xE0 | (c >> 12));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xF0 | (c >> 18));
            out += (char)(0x80 | ((c >> 12) & 0x3F));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring from_utf8(const std::string& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size();) {
        unsigned char c = (unsigned char)text[i];
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        unsigned long v = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
        for (int k = 1; k <= extra && i + k < text.size(); ++k)
            v = (v << 6) | ((unsigned char)text[i + k] & 0x3F);
        out += (wchar_t)v;
        i += 1 + extra;
    }
    return out;
}

// The C runtime's rules for splitting a Windows command line.
static std::vector<std::string> split_windows_line(const std::wstring& line)
{
    std::vector<std::string> args;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t'))
            ++i;
        if (i >= line.size())
            break;
        std::wstring arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
            size_t slashes = 0;
            while (i < line.size() && line[i] == L'\\') {
                ++slashes;
                ++i;
            }
            if (i < line.size() && line[i] == L'"') {
                arg.append(slashes / 2, L'\\');
                if (slashes % 2) {
                    arg += L'"';
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(slashes, L'\\');
                if (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t')))
                    arg += line[i++];
            }
        }
        args.push_back(to_utf8(arg));
    }
    return args;
}

int run_command(const std::wstring& line, const char* folder, void (*on_line)(void*, const wchar_t*),
                void* ctx, std::string* output)
{
    std::vector<std::string> args = split_windows_line(line);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(&a[0]);
    argv.push_back(nullptr);
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
    std::string cwd = std::string("cd '") + folder + "' && exec \"$0\" \"$@\"";
    // The child runs in the job folder, as every step does: sh changes into it.
    std::vector<char*> shell = {(char*)"/bin/sh", (char*)"-c", &cwd[0]};
    for (char* a : argv)
        shell.push_back(a);
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, "/bin/sh", &actions, nullptr, shell.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    if (spawned != 0) {
        close(pipe_fds[0]);
        return -1;
    }
    std::string pending;
    char buffer[65536];
    ssize_t n;
    auto flush = [&](bool all) {
        size_t start = 0, end;
        while ((end = pending.find_first_of("\r\n", start)) != std::string::npos) {
            std::string one = pending.substr(start, end - start);
            if (output)
                *output += one + "\n";
            if (on_line && !one.empty())
                on_line(ctx, from_utf8(one).c_str());
            start = end + 1;
        }
        pending.erase(0, start);
        if (all && !pending.empty()) {
            if (output)
                *output += pending;
            if (on_line)
                on_line(ctx, from_utf8(pending).c_str());
            pending.clear();
        }
    };
    while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
        pending.append(buffer, (size_t)n);
        flush(false);
    }
    flush(true);
    close(pipe_fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

static void probe_line(void* ctx, const wchar_t* line)
{
    probe_read_line((ProbeResult*)ctx, line);
}

namespace {
struct Freer {
    void operator()(ProbeResult* p) const { std::free(p); }
};
}  // namespace

CutRun run_exact_cut(const char* folder, const char* fetched_name, const CutRequest& request)
{
    CutRun run{};
    const std::wstring fetched = from_utf8(fetched_name);
    wchar_t section[CUT_NAME_CAP];
    cut_section_name(fetched.c_str(), section);
    std::string dir(folder);
    std::rename((dir + "/" + fetched_name).c_str(), (dir + "/" + to_utf8(section)).c_str());

    std::unique_ptr<ProbeResult, Freer> probe((ProbeResult*)std::malloc(sizeof(ProbeResult)));
    std::vector<wchar_t> line(32768);
    probe_begin(probe.get());
    for (int part = 0; part < 2; ++part) {
        if (part == 0)
            build_probe_command(L"ffprobe", section, line.data(), line.size());
        else
            build_probe_streams_command(L"ffprobe", section, line.data(), line.size());
        run.commands.push_back(line.data());
        const auto began = std::chrono::steady_clock::now();
        run_command(line.data(), folder, probe_line, probe.get(), nullptr);
        run.seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
    }

    CutPlan plan;
    plan_cut(probe.get(), &request, section, &plan);
    run.first_reason = plan.reason;
    std::vector<std::wstring> leftovers;
    for (int step = 0; step < plan.step_count; ++step) {
        CutStepInfo info;
        int fitted = build_cut_step(&plan, step, L"ffmpeg", L"ffprobe", fetched.c_str(), line.data(),
                                    line.size(), &info);
        for (int f = 0; f < info.file_count; ++f)
            leftovers.push_back(info.files[f]);
        run.commands.push_back(line.data());
        const auto began = std::chrono::steady_clock::now();
        int code = 0;
        std::string output;
        if (!fitted) {
            code = -1;
        } else if (info.tool == CUT_TOOL_WRITE) {
            std::FILE* f = std::fopen((dir + "/" + to_utf8(info.output)).c_str(), "wb");
            code = f && std::fputs(to_utf8(line.data()).c_str(), f) >= 0 ? 0 : -1;
            if (f)
                std::fclose(f);
        } else if (info.tool == CUT_TOOL_FFPROBE) {
            probe_begin(probe.get());
            code = run_command(line.data(), folder, probe_line, probe.get(), &output);
            wchar_t why[CUT_REASON_CAP];
            if (code == 0 && !judge_cut_result(&plan, probe.get(), why)) {
                run.errors.push_back(to_utf8(why));
                if (plan_fallback(&plan, why)) {
                    step = -1;
                    continue;
                }
                break;
            }
        } else {
            code = run_command(line.data(), folder, nullptr, nullptr, &output);
        }
        run.seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count());
        if (code != 0) {
            run.errors.push_back(to_utf8(line.data()) + "\n" + output);
            if (plan_fallback(&plan, info.failure)) {
                step = -1;  // the fallback's steps, from the first
                continue;
            }
            run.mode = plan.mode;
            run.reason = plan.reason;
            return run;
        }
    }
    run.ok = 1;
    run.mode = plan.mode;
    run.reason = plan.reason;
    if (plan.mode == CUT_AS_FETCHED)
        std::rename((dir + "/" + to_utf8(section)).c_str(), (dir + "/" + fetched_name).c_str());
    for (const std::wstring& name : leftovers)
        std::remove((dir + "/" + to_utf8(name)).c_str());
    return run;
}

int shell_in(const std::string& folder, const std::string& command, std::string* output)
{
    std::string line = "cd '" + folder + "' && " + command + " 2>&1";
    std::FILE* pipe = popen(line.c_str(), "r");
    if (!pipe)
        return -1;
    char buffer[4096];
    size_t n;
    std::string text;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        text.append(buffer, n);
    int status = pclose(pipe);
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
