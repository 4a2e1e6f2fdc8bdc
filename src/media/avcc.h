// The parameter-set ids an H.264 sample entry (avcC) defines, read from its
// bytes, so that a re-encoded head can be given ids of its own.
#pragma once
#include <cstddef>

enum { AVCC_MAX_SETS = 32 };  // of each kind; a sample entry with more is not read

struct AvccIds {
    int sps_count, pps_count;
    int sps_ids[AVCC_MAX_SETS];  // seq_parameter_set_id of each SPS
    int pps_ids[AVCC_MAX_SETS];  // pic_parameter_set_id of each PPS
};

// 1 when bytes (length) is a well-formed avcC whose sets' ids were all read;
// 0 for anything else (too short, a set's length past the end, more sets
// than AVCC_MAX_SETS, an id that cannot be decoded).
int read_avcc_ids(const unsigned char* bytes, size_t length, AvccIds* ids);

// The smallest id from 1 to 31 that no SPS and no PPS of ids uses (x264's
// "sps-id" numbers both its SPS and its PPS with it); -1 when all are taken.
int free_parameter_set_id(const AvccIds* ids);
