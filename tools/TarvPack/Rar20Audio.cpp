// Rar20Audio: the decoder's byte predictor, run forwards.
#include "Rar20Audio.h"

#include <string.h>

#include <algorithm>

namespace tarvpack {
namespace rar20 {

unsigned AudioState::Encode(uint8_t byte) {
    rar::AudioChannel& v = ch[cur];
    unsigned delta = (rar::AudioPredict(v, channelDelta) - byte) & 0xFF;
    rar::AudioLearn(v, channelDelta, delta, byte);
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
