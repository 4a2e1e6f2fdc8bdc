// Decodes one picture with the picture worker's own command line and
// Debian's ffmpeg, for tests/bench/pictures.py (not a test):
//   frame_picture FOLDER INPUT at|before|last SECONDS WIDTH HEIGHT [HEADERS]
// writes FOLDER/frame.bmp and prints the seconds it took, then the command.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "media/frame_grab.h"
#include "run_cut.h"

int main(int argc, char** argv)
{
    if (argc < 7) {
        std::fprintf(stderr, "usage: frame_picture FOLDER INPUT at|before|last SECONDS WIDTH HEIGHT [HEADERS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const std::wstring input = from_utf8(argv[2]), output = from_utf8(folder + "/frame.bmp");
    const std::wstring headers = from_utf8(argc > 7 ? argv[7] : "");
    const int which = std::strcmp(argv[3], "at") == 0 ? FRAME_AT : std::strcmp(argv[3], "before") == 0 ? FRAME_BEFORE
                                                                                                      : FRAME_LAST;
    FrameRequest request = {input.c_str(), headers.c_str(), which, std::atof(argv[4]), std::atoi(argv[5]),
                            std::atoi(argv[6]), output.c_str()};
    static wchar_t line[16384];
    if (!build_frame_command(&request, L"ffmpeg", line, 16384))
        return 2;
    std::remove((folder + "/frame.bmp").c_str());
    const auto began = std::chrono::steady_clock::now();
    std::string output_text;
    int code = run_command(line, folder.c_str(), nullptr, nullptr, &output_text);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    // The headers' line breaks shown as the escapes they are.
    std::string shown = to_utf8(line);
    for (size_t at = shown.find("\r\n"); at != std::string::npos; at = shown.find("\r\n", at))
        shown.replace(at, 2, "\\r\\n");
    std::printf("%.3f\n%s\n%s", seconds, shown.c_str(), output_text.c_str());
    return code;
}
