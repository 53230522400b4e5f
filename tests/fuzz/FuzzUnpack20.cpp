// libFuzzer entry for the RAR 2.0 decoder. The first bytes choose the
// settings, the rest is packed data:
//   [0] bits 0-2 dictionary bits (5..7 must be refused), bit 3: split the
//       data into two entries, the second one solid
//   [1] input piece size, [2] output piece size
//   [3..4] unpacked size / 17 of each entry (so up to ~1.1 MB: wraps the window)
//   [5] where the data is split for the solid case
// Whatever the data, the decoder must end, deliver no more than the
// unpacked size, and never take more than the packed size from its source.
#include "archive/Unpack20.h"

#include <stdlib.h>
#include <string.h>

using namespace rar;

namespace {

struct Source {
    const uint8_t* p;
    size_t left;
    size_t piece;
};

size_t ReadPiece(void* ctx, uint8_t* buf, size_t max) {
    Source* s = static_cast<Source*>(ctx);
    size_t n = s->left < max ? s->left : max;
    if (n > s->piece) n = s->piece;
    memcpy(buf, s->p, n);
    s->p += n;
    s->left -= n;
    return n;
}

void DecodeEntry(Unpack20& dec, const uint8_t* data, size_t size, const UnpackEntry& base,
                 size_t inPiece, size_t outPiece) {
    Source src = {data, size, inPiece};
    UnpackEntry e = base;
    e.packedSize = size;
    e.read = ReadPiece;
    e.readCtx = &src;
    bool started = dec.Begin(e);
    if (e.dictionaryBits > 4 && started) abort();
    uint64_t total = 0;
    const uint8_t* piece;
    size_t n;
    while ((n = dec.Read(&piece, outPiece)) > 0) {
        if (n > outPiece) abort();
        total += n;
        // Touch every byte so the sanitizer sees reads outside the window.
        volatile uint8_t sink = piece[0] ^ piece[n - 1];
        (void)sink;
    }
    if (total > e.unpackedSize) abort();
    if (dec.Done() && total != e.unpackedSize) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Unpack20* dec = nullptr;
    if (!dec) {
        dec = new Unpack20;
        if (!dec->SetWindow(nullptr)) abort();
    }
    if (size < 6) return 0;
    unsigned dictBits = data[0] & 7;
    bool twoEntries = (data[0] & 8) != 0;
    size_t inPiece = 1 + data[1] * 37;
    size_t outPiece = 1 + data[2] * 259;
    uint64_t unpacked = (uint64_t)(data[3] | data[4] << 8) * 17;
    size_t split = data[5];
    data += 6;
    size -= 6;
    if (!twoEntries) split = size;
    if (split > size) split = size;
    UnpackEntry e = {0, unpacked, dictBits, false, nullptr, nullptr};
    DecodeEntry(*dec, data, split, e, inPiece, outPiece);
    if (twoEntries) {
        e.solid = true;
        DecodeEntry(*dec, data + split, size - split, e, inPiece, outPiece);
    }
    return 0;
}
