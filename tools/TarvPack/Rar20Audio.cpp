// Rar20Audio: the decoder's byte predictor, run forwards.
#include "Rar20Audio.h"

#include <string.h>

#include <algorithm>

namespace tarvpack {
namespace rar20 {

namespace {

inline int Abs(int v) { return v < 0 ? -v : v; }

}  // namespace

// Mirrors the decoder step for step: shift the differences, predict, take
// the symbol, then account the error each weight change would have made and
// move the best weight every 32 bytes.
unsigned AudioState::Encode(uint8_t byte) {
    Channel& v = ch[cur];
    v.byteCount++;
    v.d[3] = v.d[2];
    v.d[2] = v.d[1];
    v.d[1] = v.lastDelta - v.d[0];
    v.d[0] = v.lastDelta;
    int predicted = 8 * v.lastChar + v.k[0] * v.d[0] + v.k[1] * v.d[1] + v.k[2] * v.d[2] +
                    v.k[3] * v.d[3] + v.k[4] * channelDelta;
    unsigned delta = (((unsigned)predicted >> 3) - byte) & 0xFF;

    int err = (int)(int8_t)(uint8_t)delta * 8;
    const int ref[5] = {v.d[0], v.d[1], v.d[2], v.d[3], channelDelta};
    v.dif[0] += (unsigned)Abs(err);
    for (int i = 0; i < 5; ++i) {
        v.dif[1 + 2 * i] += (unsigned)Abs(err - ref[i]);
        v.dif[2 + 2 * i] += (unsigned)Abs(err + ref[i]);
    }
    channelDelta = v.lastDelta = (int8_t)(uint8_t)(byte - (unsigned)v.lastChar);
    v.lastChar = byte;
    if ((v.byteCount & 0x1F) == 0) {
        unsigned best = 0;
        for (unsigned i = 1; i < 11; ++i)
            if (v.dif[i] < v.dif[best]) best = i;
        memset(v.dif, 0, sizeof v.dif);
        if (best) {
            int& k = v.k[(best - 1) / 2];
            if (best & 1) {
                if (k >= -16) --k;
            } else if (k < 16) {
                ++k;
            }
        }
    }
    if (++cur == channels) cur = 0;
    return delta;
}

void AudioStats::Add(const AudioStats& o) {
    for (unsigned c = 0; c < kMaxChannels; ++c)
        for (unsigned s = 0; s < kAudioSymbols; ++s) freq[c][s] += o.freq[c][s];
}

void AudioLengthsFor(const AudioStats& stats, uint8_t* len) {
    for (unsigned c = 0; c < stats.channels; ++c) {
        uint32_t freq[kAudioSymbols];
        std::copy(stats.freq[c], stats.freq[c] + kAudioSymbols, freq);
        freq[kAudioNewTables] = std::max<uint32_t>(freq[kAudioNewTables], 1);
        BuildCodeLengths(freq, kAudioSymbols, kMaxCodeLength, len + c * kAudioSymbols);
    }
}

uint64_t AudioCodedBits(const AudioStats& stats, const uint8_t* len) {
    uint64_t bits = 0;
    for (unsigned c = 0; c < stats.channels; ++c) {
        uint64_t b = CodedBits(stats.freq[c], len + c * kAudioSymbols, kAudioSymbols);
        if (b == kNoCode) return kNoCode;
        bits += b;
    }
    return bits;
}

void EncodeAudio(const uint8_t* data, uint32_t n, unsigned channels, AudioState* state,
                 std::vector<AudioToken>* out, AudioStats* stats) {
    state->SetChannels(channels);
    stats->channels = channels;
    for (uint32_t i = 0; i < n; ++i) {
        unsigned c = state->cur;
        unsigned sym = state->Encode(data[i]);
        out->push_back(AudioToken{(uint16_t)sym, (uint8_t)c});
        stats->freq[c][sym]++;
    }
}

}  // namespace rar20
}  // namespace tarvpack
