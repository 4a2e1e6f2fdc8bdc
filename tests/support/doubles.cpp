// Script files, recorded arguments and installed places of the test doubles.
#include "support/doubles.h"
#include <windows.h>
#include <ctype.h>
#include "proc/tools.h"
#include "support/programs.h"
#include "win/sha256.h"

const wchar_t SYSTEM_CURL_SCRIPT[] = L"C:\\Windows\\System32\\curl.script";
const wchar_t SYSTEM_TAR_SCRIPT[] = L"C:\\Windows\\System32\\tar.script";

std::string utf8_of(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), NULL, 0, NULL, NULL);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], n, NULL, NULL);
    return out;
}

std::wstring wide_of_utf8(const std::string& bytes)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), NULL, 0);
    std::wstring out(n > 0 ? n : 0, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), &out[0], n);
    return out;
}

bool write_lines(const std::wstring& path, const TextLines& lines)
{
    std::wstring text;
    for (const std::wstring& line : lines)
        text += line + L"\n";
    return write_file(path, utf8_of(text));
}

TextLines read_lines(const std::wstring& path)
{
    TextLines lines;
    std::string bytes;
    if (!read_file(path, &bytes))
        return lines;
    std::wstring text = wide_of_utf8(bytes);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(L'\n', pos);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        lines.push_back(line);
        pos = end + 1;
    }
    return lines;
}

std::vector<TextLines> read_runs(const std::wstring& path)
{
    std::vector<TextLines> runs(1);
    for (const std::wstring& line : read_lines(path)) {
        if (line.empty())
            runs.emplace_back();
        else
            runs.back().push_back(line);
    }
    runs.pop_back();  // the empty run after the last separator
    return runs;
}

static std::string sum_of(const std::wstring& path)
{
    char hex[SHA256_HEX_CAP] = "";
    sha256_file(path.c_str(), hex);
    return hex;
}

static std::string upper(std::string text)
{
    for (char& c : text)
        c = (char)toupper((unsigned char)c);
    return text;
}

// Windows PowerShell's own redirection: UTF-16 LE with a byte-order mark.
static std::string utf16le(const std::string& ascii)
{
    std::string bytes = "\xFF\xFE";
    for (char c : ascii)
        bytes += std::string(1, c) + '\0';
    return bytes;
}

const wchar_t PINNED_FFMPEG_ASSET[] = L"ffmpeg-n8.0.1-48-gabcdef0123-win64-gpl-8.0.zip";
const wchar_t LATEST_FFMPEG_ASSET[] = L"ffmpeg-n8.1-latest-win64-gpl-8.1.zip";

TextLines publish_tools(const std::wstring& folder)
{
    const std::string other(SHA256_HEX_DIGITS, 'a');
    const std::string ffmpeg = sum_of(folder + L"\\ffmpeg.list");
    write_file(folder + L"\\SHA2-256SUMS",
               other + "  yt-dlp_x86.exe\n" + sum_of(folder + L"\\yt-dlp.payload") + "  yt-dlp.exe\n");
    // Each of the ffmpeg builds' releases lists every build of every line.
    write_file(folder + L"\\pinned.sha256",
               other + "  ffmpeg-N-122000-g0a1b2c3d4e-win64-gpl.zip\n" + other +
                   "  ffmpeg-n8.0.1-48-gabcdef0123-win64-gpl-shared-8.0.zip\n" + other +
                   "  ffmpeg-n8.0.1-48-gabcdef0123-win64-lgpl-8.0.zip\n" + ffmpeg + "  " + utf8_of(PINNED_FFMPEG_ASSET) +
                   "\n" + other + "  ffmpeg-n7.1.3-20-g5c4d3e2f1a-win64-gpl-7.1.zip\n");
    write_file(folder + L"\\latest.sha256",
               other + "  ffmpeg-master-latest-win64-gpl.zip\n" + other + "  ffmpeg-n7.1-latest-win64-gpl-7.1.zip\n" +
                   ffmpeg + "  " + utf8_of(LATEST_FFMPEG_ASSET) + "\n" + other +
                   "  ffmpeg-n8.1-latest-win64-gpl-shared-8.1.zip\n");
    write_file(folder + L"\\deno.sha256sum",
               utf16le("\r\nAlgorithm : SHA256\r\nHash      : " + upper(sum_of(folder + L"\\deno.list")) +
                       "\r\nPath      : D:\\a\\deno\\deno\\target\\release\\deno-x86_64-pc-windows-msvc.zip"
                       "\r\n\r\n\r\n"));
    return {L"serve /yt-dlp.exe " + folder + L"\\yt-dlp.payload",
            L"serve /SHA2-256SUMS " + folder + L"\\SHA2-256SUMS",
            std::wstring(L"serve /") + PINNED_FFMPEG_ASSET + L" " + folder + L"\\ffmpeg.list",
            std::wstring(L"serve /") + LATEST_FFMPEG_ASSET + L" " + folder + L"\\ffmpeg.list",
            L"serve /autobuild-2026-02-28-12-59/checksums.sha256 " + folder + L"\\pinned.sha256",
            L"serve /latest/checksums.sha256 " + folder + L"\\latest.sha256",
            L"serve /deno-x86_64-pc-windows-msvc.zip " + folder + L"\\deno.list",
            L"serve /deno-x86_64-pc-windows-msvc.zip.sha256sum " + folder + L"\\deno.sha256sum"};
}

std::wstring system_folder_file(const wchar_t* name)
{
    wchar_t folder[MAX_PATH] = L"";
    GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder) + L"\\" + name;
}

static bool copy_program(const wchar_t* double_name, const std::wstring& target)
{
    return CopyFileW(bin_program(double_name).c_str(), target.c_str(), FALSE) != 0;
}

bool install_fake_ytdlp(const std::wstring& folder)
{
    return copy_program(L"fake_ytdlp.exe", folder + L"\\yt-dlp.exe");
}

bool install_fake_ffmpeg(const std::wstring& folder)
{
    DeleteFileW((folder + L"\\ffmpeg.count").c_str());
    DeleteFileW((folder + L"\\ffprobe.count").c_str());
    return copy_program(L"fake_ffmpeg.exe", folder + L"\\ffmpeg.exe") &&
           copy_program(L"fake_ffprobe.exe", folder + L"\\ffprobe.exe");
}

bool install_system_fakes()
{
    DeleteFileW(SYSTEM_CURL_SCRIPT);
    DeleteFileW(SYSTEM_TAR_SCRIPT);
    return copy_program(L"fake_curl.exe", system_folder_file(CURL_EXE)) &&
           copy_program(L"fake_tar.exe", system_folder_file(TAR_EXE));
}

bool file_exists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool folder_exists(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
