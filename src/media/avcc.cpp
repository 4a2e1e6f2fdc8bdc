// avcC: version, profile, compatibility, level, length size, then
// 0b111xxxxx SPS count with each SPS as a 16-bit length and the NAL unit,
// then a PPS count and the PPS the same way. The ids are the first
// Exp-Golomb numbers of each set: after profile, constraints and level in
// an SPS, at the very start of a PPS.
#include "media/avcc.h"

namespace {

// Reads bits of one NAL unit's payload, skipping the emulation-prevention
// byte (0x03 after two zero bytes).
struct BitReader {
    const unsigned char* bytes;
    size_t length;
    size_t pos;   // byte
    int bit;      // 7 = the byte's highest bit
    int zeros;    // zero bytes just read
    int failed;
};

int read_bit(BitReader* r)
{
    if (r->bit == 7 && r->pos < r->length && r->zeros >= 2 && r->bytes[r->pos] == 3) {
        r->pos++;
        r->zeros = 0;
    }
    if (r->pos >= r->length) {
        r->failed = 1;
        return 0;
    }
    const unsigned char byte = r->bytes[r->pos];
    const int value = (byte >> r->bit) & 1;
    if (r->bit-- == 0) {
        r->bit = 7;
        r->pos++;
        r->zeros = byte == 0 ? r->zeros + 1 : 0;
    }
    return value;
}

// Unsigned Exp-Golomb; -1 when it runs past the unit or is absurdly long.
long read_ue(BitReader* r)
{
    int leading = 0;
    while (!read_bit(r)) {
        if (r->failed || ++leading > 31)
            return -1;
    }
    long value = 0;
    for (int i = 0; i < leading; ++i)
        value = value * 2 + read_bit(r);
    return r->failed ? -1 : (1L << leading) - 1 + value;
}

// The id of the set in bytes (length): skip is how many bytes come before
// it after the NAL header (3 for an SPS, 0 for a PPS).
long set_id(const unsigned char* bytes, size_t length, size_t skip)
{
    enum { NAL_HEADER = 1 };
    if (length < NAL_HEADER + skip)
        return -1;
    BitReader r = {bytes + NAL_HEADER + skip, length - NAL_HEADER - skip, 0, 7, 0, 0};
    return read_ue(&r);
}

// Reads count sets at *pos into ids (up to AVCC_MAX_SETS); 0 when malformed.
int read_sets(const unsigned char* bytes, size_t length, size_t* pos, int count, size_t skip,
              int* ids, long max_id)
{
    if (count > AVCC_MAX_SETS)
        return 0;
    for (int i = 0; i < count; ++i) {
        if (*pos + 2 > length)
            return 0;
        const size_t size = (size_t)bytes[*pos] << 8 | bytes[*pos + 1];
        *pos += 2;
        if (size == 0 || *pos + size > length)
            return 0;
        const long id = set_id(bytes + *pos, size, skip);
        if (id < 0 || id > max_id)
            return 0;
        ids[i] = (int)id;
        *pos += size;
    }
    return 1;
}

int uses_id(const int* ids, int count, int id)
{
    for (int i = 0; i < count; ++i) {
        if (ids[i] == id)
            return 1;
    }
    return 0;
}

}  // namespace

int read_avcc_ids(const unsigned char* bytes, size_t length, AvccIds* ids)
{
    enum { HEADER = 5, SPS_SKIP = 3, PPS_SKIP = 0, MAX_SPS_ID = 31, MAX_PPS_ID = 255 };
    ids->sps_count = ids->pps_count = 0;
    if (length < HEADER + 1 || bytes[0] != 1)
        return 0;
    size_t pos = HEADER;
    const int sps = bytes[pos++] & 0x1f;
    if (!read_sets(bytes, length, &pos, sps, SPS_SKIP, ids->sps_ids, MAX_SPS_ID))
        return 0;
    if (pos >= length)
        return 0;
    const int pps = bytes[pos++];
    if (!read_sets(bytes, length, &pos, pps, PPS_SKIP, ids->pps_ids, MAX_PPS_ID))
        return 0;
    ids->sps_count = sps;
    ids->pps_count = pps;
    return sps > 0 && pps > 0;
}

int free_parameter_set_id(const AvccIds* ids)
{
    enum { FIRST = 1, LAST = 31 };
    for (int id = FIRST; id <= LAST; ++id) {
        if (!uses_id(ids->sps_ids, ids->sps_count, id) && !uses_id(ids->pps_ids, ids->pps_count, id))
            return id;
    }
    return -1;
}
