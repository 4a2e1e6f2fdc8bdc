#include "fetch_run.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>

#include "media/fetch_info.h"
#include "media/frag_steps.h"
#include "run_cut.h"

namespace {

const wchar_t NAME_TEMPLATE[] = L"%(title).80s [%(id)s].%(ext)s";

std::string read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_bytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

struct NameCatcher {
    std::wstring name;
};

void catch_name(void* ctx, const wchar_t* line)
{
    std::wstring text(line);
    std::wstring mark(RESOLVED_NAME_MARK);
    if (text.compare(0, mark.size(), mark) == 0)
        ((NameCatcher*)ctx)->name = text.substr(mark.size());
}

int run(FetchRun* fetch, const char* folder, const wchar_t* line, void (*on_line)(void*, const wchar_t*) = nullptr,
        void* ctx = nullptr)
{
    fetch->commands.push_back(line);
    return run_command(line, folder, on_line, ctx, &fetch->output);
}

// The fetched file of format i in a run of kind.
std::string fetched_name(const FetchInfo* info, int i, const char* kind)
{
    return std::string(kind) + "." + FETCH_IDS[i] + "." + info->formats[i].ext;
}

}  // namespace

FetchRun run_fragment_fetch(const char* folder, const std::wstring& source, int from_file,
                            const std::vector<std::wstring>& options, double start, double end)
{
    FetchRun fetch{};
    fetch.duration = -1;
    const std::string dir(folder);
    std::vector<wchar_t> line(32768);
    std::vector<const wchar_t*> args;
    for (const std::wstring& o : options)
        args.push_back(o.c_str());
    NameCatcher caught;
    build_resolve_command(L"yt-dlp", source.c_str(), from_file, args.data(), (int)args.size(), NAME_TEMPLATE,
                          L"none", line.data(), line.size());
    if (run(&fetch, folder, line.data(), catch_name, &caught) != 0) {
        fetch.reason = L"resolving failed";
        return fetch;
    }
    fetch.name = caught.name;
    const std::string info_path = dir + "/" + to_utf8(RESOLVED_INFO) + ".info.json";
    const std::string json = read_bytes(info_path);
    std::remove(info_path.c_str());
    std::unique_ptr<FetchInfo> info(new FetchInfo());
    wchar_t reason[FRAG_REASON_CAP];
    if (!read_fetch_info(json.data(), json.size(), info.get(), reason)) {
        fetch.reason = reason;
        return fetch;
    }
    fetch.duration = info->duration;
    // The heads, asked once more where an index is longer.
    std::vector<std::unique_ptr<FragIndex>> indexes;
    FetchPart parts[FETCH_MAX_FORMATS];
    const wchar_t* ids = info->count == 2 ? L"p0,p1" : L"p0";
    long long head_bytes = FETCH_HEAD_BYTES;
    for (int round = 0; round < 2 && indexes.size() < (size_t)info->count; ++round) {
        for (int i = 0; i < info->count; ++i)
            parts[i] = FetchPart{head_bytes, nullptr, nullptr};
        std::string text(fetch_info_size(json.size(), info.get(), parts), '\0');
        text.resize(write_fetch_info(json.data(), info.get(), parts, &text[0], text.size()));
        write_bytes(dir + "/head.json", text);
        build_fetch_command(L"yt-dlp", L"head.json", ids, L"head", 4 * head_bytes, L"none", nullptr, line.data(),
                            line.size());
        run(&fetch, folder, line.data());
        long long more = 0;
        indexes.clear();
        for (int i = 0; i < info->count; ++i) {
            const std::string head = read_bytes(dir + "/" + fetched_name(info.get(), i, "head"));
            std::remove((dir + "/" + fetched_name(info.get(), i, "head")).c_str());
            if ((long long)head.size() > head_bytes) {
                fetch.reason = L"the server answers a piece with the whole file";
                return fetch;
            }
            std::unique_ptr<FragIndex> index(new FragIndex());
            long long need = 0;
            int read = read_frag_index((const unsigned char*)head.data(), head.size(), info->formats[i].filesize,
                                       index.get(), &need, reason);
            if (read == FRAG_READ_NONE || (read == FRAG_READ_MORE && (long long)head.size() < head_bytes)) {
                fetch.reason = read == FRAG_READ_NONE ? reason : L"the head could not be fetched";
                return fetch;
            }
            if (read == FRAG_READ_MORE && need > more)
                more = need;
            indexes.push_back(std::move(index));
        }
        if (more > 0) {
            head_bytes = more;
            indexes.clear();
        }
    }
    if (indexes.size() != (size_t)info->count) {
        fetch.reason = L"the index is longer than asked twice";
        return fetch;
    }
    FragPlan plans[FETCH_MAX_FORMATS];
    for (int i = 0; i < info->count; ++i) {
        if (!plan_fragments(indexes[i].get(), start, end, &plans[i])) {
            fetch.reason = L"no plan";
            return fetch;
        }
        parts[i] = FetchPart{0, indexes[i].get(), &plans[i]};
        fetch.planned += plans[i].bytes;
    }
    std::string text(fetch_info_size(json.size(), info.get(), parts), '\0');
    text.resize(write_fetch_info(json.data(), info.get(), parts, &text[0], text.size()));
    write_bytes(dir + "/fetch.json", text);
    build_fetch_command(L"yt-dlp", L"fetch.json", ids, L"fetch", 0, L"none", nullptr, line.data(), line.size());
    int code = run(&fetch, folder, line.data());
    std::remove((dir + "/head.json").c_str());
    std::remove((dir + "/fetch.json").c_str());
    if (code != 0) {
        fetch.reason = L"the fetch failed";
        return fetch;
    }
    std::wstring files[FETCH_MAX_FORMATS];
    CutInput inputs[FETCH_MAX_FORMATS];
    for (int i = 0; i < info->count; ++i) {
        const std::string name = fetched_name(info.get(), i, "fetch");
        files[i] = from_utf8(name);
        inputs[i] = CutInput{files[i].c_str(), plans[i].seek};
        if (indexes[i]->kind == FRAG_WEBM) {
            std::string bytes = read_bytes(dir + "/" + name);
            webm_fix_head((unsigned char*)&bytes[0], bytes.size(), indexes[i].get(), &plans[i]);
            write_bytes(dir + "/" + name, bytes);
        }
    }
    const std::wstring ext = from_utf8(info->ext);
    build_fragment_cut_command(L"ffmpeg", inputs, info->count, start, end, muxer_for_extension(ext.c_str()),
                               fetch.name.c_str(), line.data(), line.size());
    code = run(&fetch, folder, line.data());
    for (int i = 0; i < info->count; ++i)
        std::remove((dir + "/" + to_utf8(files[i])).c_str());
    fetch.fragments = code == 0;
    if (code != 0)
        fetch.reason = L"the cut failed";
    return fetch;
}
