// Stand-in for ffmpeg.exe: copy it as ffmpeg.exe into a program folder. It
// reads "ffmpeg.script" from its own folder (see double_script.h) and counts
// its runs in "ffmpeg.count" there. Each run copies its largest input
// ("-i") to its output, the last argument (none for "-"), and writes a
// progress line for time 1 s as "-stats" does. Commands:
//   args <file>   appends the current folder ("cwd <folder>") and the
//                 arguments of every run, an empty line after each
//   sleep <ms>    waits before writing the output, so a step can be kept running
//   fail <n>      the n-th run writes an error line and ends with 1
#include "double_script.h"

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
    if (output != L"-" && !write_bytes(output, bytes, false)) {
        say_error("fake ffmpeg: could not write the output\n");
        return 1;
    }
    return 0;
}
