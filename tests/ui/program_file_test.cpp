// What Tarnvik.exe carries besides its code, read back from the file: the
// manifest, the icon, the version block and the DLLs it imports.
#include <gtest/gtest.h>
#include <windows.h>
#include <algorithm>
#include <fstream>
#include <iterator>
#include "support/programs.h"

namespace {

const std::wstring PROGRAM = bin_program(L"Tarnvik.exe");

std::string resource(int id, LPCWSTR type)
{
    HMODULE exe = LoadLibraryExW(PROGRAM.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    HRSRC found = exe ? FindResourceW(exe, MAKEINTRESOURCEW(id), type) : nullptr;
    HGLOBAL data = found ? LoadResource(exe, found) : nullptr;
    std::string bytes = data ? std::string((const char*)LockResource(data), SizeofResource(exe, found)) : "";
    FreeLibrary(exe);
    return bytes;
}

TEST(ProgramFile, ManifestAsksForVisualStylesAndPerMonitorScaling)
{
    std::string manifest = resource(1, RT_MANIFEST);
    for (const char* part : {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                             ">PerMonitorV2, PerMonitor</dpiAwareness>", ">true</dpiAware>",
                             "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>", "level=\"asInvoker\""})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

// Each image the icon's directory lists must also load as an icon of its size.
TEST(ProgramFile, IconComesInEverySizeFrom16To256)
{
    std::string group = resource(1, RT_GROUP_ICON);
    std::vector<LONG> sizes;
    for (size_t entry = 6; entry + 14 <= group.size(); entry += 14) {
        std::string image = resource(*(const WORD*)&group[entry + 12], RT_ICON);
        HICON icon = CreateIconFromResourceEx((BYTE*)image.data(), (DWORD)image.size(), TRUE, 0x00030000, 0, 0, 0);
        ICONINFO info = {};
        BITMAP bitmap = {};
        if (icon && GetIconInfo(icon, &info) && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap))
            sizes.push_back(bitmap.bmWidth);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    EXPECT_EQ(sizes, (std::vector<LONG>{16, 20, 24, 32, 40, 48, 64, 256}));
}

TEST(ProgramFile, VersionBlockCarriesTheProjectVersion)
{
    std::vector<BYTE> block(GetFileVersionInfoSizeW(PROGRAM.c_str(), nullptr) + 1);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(GetFileVersionInfoW(PROGRAM.c_str(), 0, (DWORD)block.size(), block.data()));
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", (void**)&fixed, &length));
    wchar_t numbers[64];
    swprintf(numbers, 64, L"%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
             HIWORD(fixed->dwFileVersionLS));
    EXPECT_STREQ(numbers, TARNVIK_VERSION);
}


// The names of the DLLs the program file's import table lists, lower case.
std::vector<std::string> imported_dlls()
{
    std::ifstream file(PROGRAM.c_str(), std::ios::binary);
    std::string image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto* nt = (const IMAGE_NT_HEADERS64*)&image[((const IMAGE_DOS_HEADER*)image.data())->e_lfanew];
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    auto at = [&](DWORD rva) -> const char* {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; i++)
            if (rva >= sections[i].VirtualAddress && rva < sections[i].VirtualAddress + sections[i].SizeOfRawData)
                return &image[rva - sections[i].VirtualAddress + sections[i].PointerToRawData];
        return nullptr;
    };
    std::vector<std::string> names;
    auto* entry = (const IMAGE_IMPORT_DESCRIPTOR*)at(
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress);
    for (; entry && entry->Name; entry++) {
        std::string name = at(entry->Name);
        std::transform(name.begin(), name.end(), name.begin(), ::tolower);
        names.push_back(name);
    }
    return names;
}

// What the window needs after it is shown is loaded then: a DLL imported
// here loads (and initialises) before the first paint.
TEST(ProgramFile, ImportsOnlyWhatTheWindowNeedsToAppear)
{
    std::vector<std::string> names = imported_dlls();
    EXPECT_NE(std::find(names.begin(), names.end(), "user32.dll"), names.end());
    for (const char* later : {"bcrypt.dll", "version.dll", "ole32.dll", "shell32.dll", "winhttp.dll"})
        EXPECT_EQ(std::find(names.begin(), names.end(), later), names.end()) << later;
}

}  // namespace
