// libFuzzer entry for the RAR 2.0 encoder: whatever the input, every entry
// the encoder does not store must decode with our decoder to exactly the
// bytes that went in. The first bytes choose the settings, the rest is split
// into entries:
//   [0] bits 0-2 level 1..5, bit 3 solid, bit 4 multimedia mode,
//       bits 5-7 window 64 KB << (0..2) (the larger windows only cost setup
//       time here; the tests cover them)
//   [1] feed piece size, [2] number of entries (1..4)
//   [3..] the data; entry k gets an equal share, the last one the rest.
// Short inputs are stretched by repeating them (with a counter mixed in) so
// that matches, long runs and the multimedia trials come into play.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "Rar20Encoder.h"
#include "archive/Unpack20.h"

using namespace tarvpack::rar20;

namespace {

struct Source {
    const uint8_t* p;
    size_t left;
};

size_t ReadSource(void* ctx, uint8_t* buf, size_t max) {
    Source* s = static_cast<Source*>(ctx);
    size_t n = s->left < max ? s->left : max;
    memcpy(buf, s->p, n);
    s->p += n;
    s->left -= n;
    return n;
}

void CheckEntry(rar::Unpack20& dec, const std::vector<uint8_t>& data, const std::vector<uint8_t>& packed,
                const EntryOutcome& o) {
    if (o.stored) return;
    if (o.packedSize != packed.size() || packed.size() >= data.size()) abort();
    Source src = {packed.data(), packed.size()};
    rar::UnpackEntry e = {packed.size(), data.size(), o.dictionaryBits, o.solid, ReadSource, &src};
    if (!dec.Begin(e)) abort();
    std::vector<uint8_t> got;
    const uint8_t* piece;
    size_t n;
    while ((n = dec.Read(&piece, 1 << 16)) > 0) got.insert(got.end(), piece, piece + n);
    if (!dec.Done() || got != data) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    static rar::Unpack20* dec = nullptr;
    if (!dec) {
        dec = new rar::Unpack20;
        if (!dec->SetWindow(nullptr)) abort();
    }
    if (size < 4) return 0;
    EncoderOptions options;
    options.level = 1 + (input[0] & 7) % 5;
    options.solid = (input[0] & 8) != 0;
    options.multimedia = (input[0] & 16) != 0;
    options.window = 0x10000u << ((input[0] >> 5) % 3);
    size_t piece = 1 + input[1] * 97u;
    unsigned entries = 1 + input[2] % 4;
    std::vector<uint8_t> body(input + 3, input + size);
    for (uint32_t round = 1; body.size() < 20000 && body.size() < 40 * (size - 3); ++round)
        for (size_t i = 0; i < size - 3; ++i) body.push_back((uint8_t)(input[3 + i] + (i % 7 == 0 ? round : 0)));

    Encoder enc(options);
    size_t share = body.size() / entries, at = 0;
    for (unsigned k = 0; k < entries; ++k) {
        size_t n = k + 1 == entries ? body.size() - at : share;
        std::vector<uint8_t> data(body.begin() + (ptrdiff_t)at, body.begin() + (ptrdiff_t)(at + n));
        at += n;
        std::vector<uint8_t> packed;
        enc.BeginEntry(data.size(), [&](const uint8_t* p, size_t m) { packed.insert(packed.end(), p, p + m); });
        for (size_t off = 0; off < data.size(); off += piece)
            if (!enc.Feed(data.data() + off, data.size() - off < piece ? data.size() - off : piece)) break;
        CheckEntry(*dec, data, packed, enc.EndEntry());
    }
    return 0;
}
