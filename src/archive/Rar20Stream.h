// Rar20Stream: the alphabet of RAR 2.0 compressed data, shared by the
// decoder (archive/Unpack20) and the packaging tool's encoder, so that the
// two can never disagree on a table or on the multimedia predictor.
//
// LZ mode codes with three tables: the main table (literals 0..255, then
// commands), distances and repeated-match lengths. A match length or
// distance is a slot's base plus that many extra bits. Multimedia mode codes
// each byte as the difference to a prediction made from the channel's
// recent bytes; encoder and decoder run the same predictor step by step.
#ifndef TARV_ARCHIVE_RAR20STREAM_H
#define TARV_ARCHIVE_RAR20STREAM_H

#include <stdint.h>
#include <string.h>

namespace rar {

const unsigned kMainSymbols = 298;
const unsigned kDistSymbols = 48;
const unsigned kRepSymbols = 28;
const unsigned kPreSymbols = 19;
const unsigned kAudioSymbols = 257;
const unsigned kLzTableSize = kMainSymbols + kDistSymbols + kRepSymbols;
const unsigned kMaxAudioChannels = 4;

// Main-table symbols.
const unsigned kSymRepeatLast = 256;  // the previous match again
const unsigned kSymOldDist = 257;     // 257..260: one of the last four distances
const unsigned kSymShortDist = 261;   // 261..268: length 2, short distance
const unsigned kSymNewTables = 269;
const unsigned kSymLongMatch = 270;   // 270..297: length code, then a distance
const unsigned kAudioNewTables = 256;

inline constexpr uint8_t kLenBase[kRepSymbols] = {0,  1,  2,  3,  4,  5,  6,   7,   8,   10,
                                                  12, 14, 16, 20, 24, 28, 32,  40,  48,  56,
                                                  64, 80, 96, 112, 128, 160, 192, 224};
inline constexpr uint8_t kLenBits[kRepSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                                  2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
inline constexpr uint32_t kDistBase[kDistSymbols] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,
    32,     48,     64,     96,     128,    192,    256,    384,    512,    768,
    1024,   1536,   2048,   3072,   4096,   6144,   8192,   12288,  16384,  24576,
    32768,  49152,  65536,  98304,  131072, 196608, 262144, 327680, 393216, 458752,
    524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
inline constexpr uint8_t kDistBits[kDistSymbols] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,
                                                    5,  5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
                                                    11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16,
                                                    16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
inline constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
inline constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// One channel of the multimedia predictor. All zero at the start of a
// stream.
struct AudioChannel {
    int k[5];          // weights of the last byte's deltas and the other channel's
    int d[4];          // the channel's last deltas
    int lastDelta;
    unsigned dif[11];  // summed error of each possible weight change
    unsigned byteCount;
    int lastChar;
};

// Before a byte of the channel: shifts its deltas and returns the predicted
// byte. The predictor mixes the last byte and the last four deltas of the
// channel and the last delta of the previous channel (`channelDelta`).
inline unsigned AudioPredict(AudioChannel& v, int channelDelta) {
    v.byteCount++;
    v.d[3] = v.d[2];
    v.d[2] = v.d[1];
    v.d[1] = v.lastDelta - v.d[0];
    v.d[0] = v.lastDelta;
    int predicted = 8 * v.lastChar + v.k[0] * v.d[0] + v.k[1] * v.d[1] + v.k[2] * v.d[2] +
                    v.k[3] * v.d[3] + v.k[4] * channelDelta;
    // Bits 3..10 are the same for an arithmetic and a logical shift.
    return ((unsigned)predicted >> 3) & 0xFF;
}

// After it: `delta` is the coded difference (predicted - byte) and `byte`
// the byte itself. Accounts the error each weight change would have made
// and, every 32 bytes, moves the weight whose change would have erred least
// by one (within -17..16).
inline void AudioLearn(AudioChannel& v, int& channelDelta, unsigned delta, unsigned byte) {
    auto abs = [](int x) { return x < 0 ? -x : x; };
    int err = (int)(int8_t)(uint8_t)delta * 8;
    const int ref[5] = {v.d[0], v.d[1], v.d[2], v.d[3], channelDelta};
    v.dif[0] += (unsigned)abs(err);
    for (int i = 0; i < 5; ++i) {
        v.dif[1 + 2 * i] += (unsigned)abs(err - ref[i]);
        v.dif[2 + 2 * i] += (unsigned)abs(err + ref[i]);
    }
    channelDelta = v.lastDelta = (int8_t)(uint8_t)(byte - (unsigned)v.lastChar);
    v.lastChar = (int)byte;
    if ((v.byteCount & 0x1F) != 0) return;
    unsigned best = 0;
    for (unsigned i = 1; i < 11; ++i)
        if (v.dif[i] < v.dif[best]) best = i;
    memset(v.dif, 0, sizeof v.dif);
    if (!best) return;
    int& k = v.k[(best - 1) / 2];
    if (best & 1) {
        if (k >= -16) --k;
    } else if (k < 16) {
        ++k;
    }
}

}  // namespace rar

#endif
