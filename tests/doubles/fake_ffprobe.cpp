// Stand-in for ffprobe.exe: copy it as ffprobe.exe into a program folder.
// It reads "ffprobe.script" from its own folder (see double_script.h) and
// counts its runs in "ffprobe.count" there. Without a script it writes
// nothing and ends with 0. Commands:
//   args <file>        appends the current folder ("cwd <folder>") and the
//                      arguments of every run, an empty line after each
//   transcript <file>  the n-th such line is the file the n-th run writes to
//                      standard output (the last one again for later runs)
//   sleep <ms>         waits before ending, so a step can be kept running
//   fail <n>           the n-th run writes an error line and ends with 1
#include "double_script.h"

int wmain(int argc, wchar_t** argv)
{
    std::vector<ScriptLine> script;
    int run = start_counted_run(L"ffprobe", argc, argv, script);
    if (fails_in(script, run)) {
        say_error("section.mp4: Invalid data found when processing input\n");
        return 1;
    }
    std::string bytes;
    if (const ScriptLine* transcript = nth_line(script, L"transcript", run))
        if (read_bytes(resolve_in(own_folder(), transcript->rest), bytes))
            say_out(bytes);
    return 0;
}
