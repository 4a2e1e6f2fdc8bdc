#include "win/sha256.h"
#include "win/dyn_calls.h"

enum { READ_BLOCK = 65536, DIGEST_BYTES = 32 };

// Feeds the whole file, block by block, then takes the digest.
static int hash_blocks(const HashCalls* bcrypt, HANDLE file, BCRYPT_HASH_HANDLE hash,
                       unsigned char (&digest)[DIGEST_BYTES])
{
    unsigned char* block = (unsigned char*)HeapAlloc(GetProcessHeap(), 0, READ_BLOCK);
    if (!block)
        return 0;
    int ok = 1;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, block, READ_BLOCK, &got, NULL) ||
            (got > 0 && !BCRYPT_SUCCESS(bcrypt->hash_data(hash, block, got, 0)))) {
            ok = 0;
            break;
        }
        if (got == 0)
            break;
    }
    ok = ok && BCRYPT_SUCCESS(bcrypt->finish_hash(hash, digest, DIGEST_BYTES, 0));
    HeapFree(GetProcessHeap(), 0, block);
    return ok;
}

static void to_hex(const unsigned char (&digest)[DIGEST_BYTES], char (&hex)[SHA256_HEX_CAP])
{
    static const char DIGITS[] = "0123456789abcdef";
    for (int i = 0; i < DIGEST_BYTES; i++) {
        hex[2 * i] = DIGITS[digest[i] >> 4];
        hex[2 * i + 1] = DIGITS[digest[i] & 15];
    }
    hex[SHA256_HEX_DIGITS] = '\0';
}

int sha256_file(const wchar_t* path, char (&hex)[SHA256_HEX_CAP])
{
    hex[0] = '\0';
    const HashCalls* bcrypt = hash_calls();
    if (!bcrypt)
        return 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    BCRYPT_ALG_HANDLE algorithm = NULL;
    BCRYPT_HASH_HANDLE hash = NULL;
    unsigned char digest[DIGEST_BYTES];
    int ok = BCRYPT_SUCCESS(bcrypt->open_algorithm(&algorithm, BCRYPT_SHA256_ALGORITHM, NULL, 0)) &&
             BCRYPT_SUCCESS(bcrypt->create_hash(algorithm, &hash, NULL, 0, NULL, 0, 0)) &&
             hash_blocks(bcrypt, file, hash, digest);
    if (hash)
        bcrypt->destroy_hash(hash);
    if (algorithm)
        bcrypt->close_algorithm(algorithm, 0);
    CloseHandle(file);
    if (ok)
        to_hex(digest, hex);
    return ok;
}
