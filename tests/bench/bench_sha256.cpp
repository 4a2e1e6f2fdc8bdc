// How long checking a download takes: the SHA-256 of a file as large as the
// ffmpeg archive (~100 MB), just written and so read from the file cache, as
// a download that has just finished is. Prints each of a few rounds.
#include <windows.h>
#include <stdio.h>
#include <string>
#include "support/programs.h"
#include "win/sha256.h"

namespace {

const size_t FILE_BYTES = 100u * 1000u * 1000u;
const int ROUNDS = 3;

}  // namespace

int main()
{
    std::wstring dir = make_scratch_dir(L"bench-sha256");
    std::wstring path = dir + L"\\archive.zip";
    if (dir.empty() || !write_file(path, std::string(FILE_BYTES, 'z'))) {
        fprintf(stderr, "bench_sha256: cannot write %zu bytes\n", FILE_BYTES);
        return 1;
    }
    int status = 0;
    for (int round = 1; round <= ROUNDS; round++) {
        char hex[SHA256_HEX_CAP];
        double start = now_seconds();
        int ok = sha256_file(path.c_str(), hex);
        double seconds = now_seconds() - start;
        printf("round %d: %zu bytes in %.3f s (%.1f MB/s) %s\n", round, FILE_BYTES, seconds,
               FILE_BYTES / seconds / 1e6, ok ? hex : "FAILED");
        status |= !ok;
    }
    remove_tree(dir);
    return status;
}
