// Rar20Encoder: packs entries of a RAR 2.x archive with the RAR 2.0
// compression (unpack version 20, methods 0x31..0x35), as one solid stream
// or entry by entry. See docs/rar20-encoder.md for how it works.
//
// Calling order, per entry:
//
//   Encoder enc(options);                  // once per archive
//   enc.BeginEntry(size, sink);            // sink receives packed bytes as they are made
//   enc.Feed(data, n) ...                  // the entry's bytes, in pieces
//   EntryOutcome o = enc.EndEntry();
//
// The outcome says how to write the entry's header. When it says `stored`,
// the entry does not shrink (or is empty): whatever the sink received for it
// is void and the entry must be written stored (method 0x30). Feed returns
// false once the encoder has seen enough to know the entry will be stored;
// the rest of its bytes need not be fed. EndEntry codes the bytes that were
// fed.
//
// In a solid archive (options.solid) a compressed entry continues the
// stream of the compressed entry right before it (file flag 0x10); the
// first compressed entry, and the first one after a stored entry, start a
// new stream. Each entry's packed data starts on a byte boundary. Memory:
// about 3 window sizes of input buffer plus the match finder (up to ~25 MB
// at level 5 with a 1 MB window).
#ifndef TARV_TOOLS_TARVPACK_RAR20ENCODER_H
#define TARV_TOOLS_TARVPACK_RAR20ENCODER_H

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <memory>
#include <vector>

namespace tarvpack {
namespace rar20 {

struct EncoderOptions {
    int level = 5;               // 1 = method 0x31 (fastest) .. 5 = 0x35 (best)
    uint32_t window = 0x100000;  // dictionary: 64 KB .. 1 MB, a power of two
    bool solid = true;
    bool multimedia = true;      // try the multimedia mode where the data looks like it pays
};

// Whether the options can be used; `why` explains a refusal.
bool ValidOptions(const EncoderOptions& options, const char** why);

struct EntryOutcome {
    bool stored = true;          // write the entry stored; the packed bytes are void
    bool solid = false;          // file flag 0x10: continues the previous compressed entry
    uint64_t packedSize = 0;     // bytes the sink received (when not stored)
    uint8_t method = 0x30;       // 0x30 stored, else 0x30 + level
    unsigned dictionaryBits = 0; // file flags bits 5..7: 0 = 64 KB .. 4 = 1 MB
};

class Encoder {
public:
    typedef std::function<void(const uint8_t* data, size_t size)> Sink;

    // The options must pass ValidOptions.
    explicit Encoder(const EncoderOptions& options);
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    void BeginEntry(uint64_t size, Sink sink);
    bool Feed(const uint8_t* data, size_t size);
    EntryOutcome EndEntry();

    // One whole entry from memory; `packed` receives the packed bytes (empty
    // when the outcome is stored).
    EntryOutcome Encode(const uint8_t* data, size_t size, std::vector<uint8_t>* packed);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rar20
}  // namespace tarvpack

#endif
