// Stand-in for ffmpeg.exe: copy it as ffmpeg.exe into a program folder. It
// reads "ffmpeg.script" from its own folder (see double_script.h) and counts
// its runs in "ffmpeg.count" there. Each run copies its largest input
// ("-i") to its output, the last argument (none for "-"), and writes a
// progress line for time 1 s as "-stats" does. An output ending in ".bmp"
// (a picture of one frame) is instead a 16:9 picture that fits the box of
// its "scale=W:H" filter: a sky, ground, and in the middle a square of
// fake_frame_color for the frame's time (-ss, plus -t for the last frame
// before a time; -sseof for the video's last frame). Commands:
//   args <file>   appends the current folder ("cwd <folder>") and the
//                 arguments of every run, an empty line after each
//   sleep <ms>    waits before writing the output, so a step can be kept running
//   fail <n>      the n-th run writes an error line and ends with 1
#include <cstdlib>
#include "double_script.h"

static double number_after(int argc, wchar_t** argv, const wchar_t* option, double otherwise)
{
    std::wstring value = option_value(argc, argv, option);
    return value.empty() ? otherwise : _wtof(value.c_str());
}

static void put_u32(std::string& out, unsigned long value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += (char)(value >> (8 * i) & 0xFF);
}

static std::string frame_picture(int argc, wchar_t** argv)
{
    std::wstring filter = option_value(argc, argv, L"-vf");
    int box_w = 160, box_h = 90;
    swscanf(filter.c_str(), L"scale=%d:%d", &box_w, &box_h);
    int width = box_w, height = box_w * 9 / 16;
    if (height > box_h) {
        height = box_h;
        width = box_h * 16 / 9;
    }
    double seconds = has_option(argc, argv, L"-sseof")
                         ? -1
                         : number_after(argc, argv, L"-ss", 0) + number_after(argc, argv, L"-t", 0);
    unsigned long color = fake_frame_color(seconds);
    size_t stride = ((size_t)width * 3 + 3) / 4 * 4;
    std::string bmp = "BM";
    put_u32(bmp, (unsigned long)(54 + stride * height), 4);
    put_u32(bmp, 0, 4);
    put_u32(bmp, 54, 4);
    for (unsigned long field : {40ul, (unsigned long)width, (unsigned long)height})
        put_u32(bmp, field, 4);
    put_u32(bmp, 1, 2);
    put_u32(bmp, 24, 2);
    for (int i = 0; i < 6; ++i)
        put_u32(bmp, 0, 4);
    for (int y = 0; y < height; ++y) {  // bottom row first
        std::string row;
        for (int x = 0; x < width; ++x) {
            bool middle = abs(2 * x - width) < height / 2 && abs(2 * y - height) < height / 2;
            int sky = 255 * y / height;
            unsigned long rgb = middle ? color : y < height / 3 ? RGB(60, 120 + y, 50) : RGB(sky / 2, sky / 2 + 60, 230);
            row += {(char)GetBValue(rgb), (char)GetGValue(rgb), (char)GetRValue(rgb)};
        }
        row.resize(stride, '\0');
        bmp += row;
    }
    return bmp;
}

int wmain(int argc, wchar_t** argv)
{
    std::vector<ScriptLine> script;
    int run = start_counted_run(L"ffmpeg", argc, argv, script);
    say_out("frame=   10 fps=0.0 q=-1.0 size=       1KiB time=00:00:01.00 bitrate=   8.2kbits/s speed=2x\r");
    if (fails_in(script, run)) {
        say_error("[h264 @ 0000] error while decoding MB 3 5\n");
        return 1;
    }
    std::wstring output = argc > 1 ? argv[argc - 1] : L"-";
    std::string bytes = "fake ffmpeg output\n", input;
    for (int i = 1; i + 1 < argc; i++)
        if (wcscmp(argv[i], L"-i") == 0 && read_bytes(argv[i + 1], input) && input.size() > bytes.size())
            bytes = input;
    if (ends_with(output, L".bmp"))
        bytes = frame_picture(argc, argv);
    if (output != L"-" && !write_bytes(output, bytes, false)) {
        say_error("fake ffmpeg: could not write the output\n");
        return 1;
    }
    return 0;
}
