// Rar20Audio: the multimedia half of the RAR 2.0 encoder. The decoder
// predicts every byte of a channel from the channel's last byte, its last
// four differences and the previous channel's last difference, with weights
// it adapts every 32 bytes; the packed symbol is the prediction minus the
// real byte. The encoder runs the same predictor to produce those symbols.
#ifndef TARV_TOOLS_TARVPACK_RAR20AUDIO_H
#define TARV_TOOLS_TARVPACK_RAR20AUDIO_H

#include <stdint.h>

#include <vector>

#include "Rar20Codes.h"

namespace tarvpack {
namespace rar20 {

// The decoder's predictor, channel by channel, as it stands between bytes.
struct AudioState {
    rar::AudioChannel ch[kMaxChannels] = {};
    int channelDelta = 0;
    unsigned cur = 0;       // channel of the next byte
    unsigned channels = 1;  // as the last multimedia table block set it

    // What a table block for `n` channels does to the state.
    void SetChannels(unsigned n) {
        channels = n;
        if (cur >= n) cur = 0;
    }
    // The symbol that makes the decoder produce `byte`; advances as the decoder does.
    unsigned Encode(uint8_t byte);
};

// Multimedia symbols with the channel that codes each.
struct AudioToken {
    uint16_t sym;
    uint8_t channel;
};

struct AudioStats {
    unsigned channels = 1;
    uint32_t freq[kMaxChannels][kAudioSymbols] = {};
    void Add(const AudioStats& o);
};

// Code lengths per channel (the new-tables symbol always gets a code),
// laid out as in a table block.
void AudioLengthsFor(const AudioStats& stats, uint8_t* len);
uint64_t AudioCodedBits(const AudioStats& stats, const uint8_t* len);

// Codes `n` bytes with `channels` channels from `state` (which advances).
void EncodeAudio(const uint8_t* data, uint32_t n, unsigned channels, AudioState* state,
                 std::vector<AudioToken>* out, AudioStats* stats);

}  // namespace rar20
}  // namespace tarvpack

#endif
