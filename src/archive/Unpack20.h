// Unpack20: decoder for RAR 2.0 packed data (unpack versions 20 and 26,
// methods 0x31..0x35, including the multimedia mode and solid archives).
//
// Memory is fixed: one 1 MB window (given by the caller or allocated once)
// plus the decoder object itself (about 40 KB of tables and input buffer).
// Nothing a header or the bit stream claims changes that.
//
// Calling order, per entry:
//
//   Unpack20 dec;                      // once (heap or static: it is large)
//   dec.SetWindow(nullptr);            // once; or hand in a 1 MB buffer
//   dec.Begin(entry);                  // sizes, dictionary, solid flag, source
//   while ((n = dec.Read(&p, max)))    // output pieces of at most `max` bytes,
//       consume(p, n);                 //   valid until the next call
//   ok = dec.Done();                   // else dec.Error() tells why
//
// Input is pulled through entry.read; the decoder never asks it for more
// than entry.packedSize bytes in total, and output stops at exactly
// entry.unpackedSize bytes. Bad data puts the decoder in a sticky error
// state: Read returns 0 from then on. A solid entry (file flag 0x10)
// continues the window, tables and history of the previous entry, which must
// have been decoded to its end without error; otherwise it fails too.
#ifndef TARV_ARCHIVE_UNPACK20_H
#define TARV_ARCHIVE_UNPACK20_H

#include <stddef.h>
#include <stdint.h>

#include "archive/Rar20Stream.h"

namespace rar {

// Reads up to `max` packed bytes into `buf`; returns how many, 0 when the
// source has no more (a short source makes the entry fail as truncated).
typedef size_t (*PackedReadFn)(void* ctx, uint8_t* buf, size_t max);

const size_t kUnpackWindowSize = 0x100000;

enum UnpackError {
    kUnpackNoError = 0,
    kUnpackBadCall,      // bad entry parameters, or a solid entry without its predecessor
    kUnpackNoMemory,     // the window could not be allocated
    kUnpackBadTables,    // a code-length table is malformed
    kUnpackBadSymbol,    // a bit pattern that no code of the current table assigns
    kUnpackBadDistance,  // a match reaching before the data or beyond the dictionary
    kUnpackTruncated     // the packed data ended before the output did
};

struct UnpackEntry {
    uint64_t packedSize;
    uint64_t unpackedSize;
    unsigned dictionaryBits;  // (file flags >> 5) & 7: 0 = 64 KB ... 4 = 1 MB
    bool solid;               // file flag 0x10
    PackedReadFn read;
    void* readCtx;
};

class Unpack20 {
public:
    Unpack20();
    ~Unpack20();
    Unpack20(const Unpack20&) = delete;
    Unpack20& operator=(const Unpack20&) = delete;

    // Uses `window` (kUnpackWindowSize bytes, owned by the caller) or, when
    // null, allocates one. False when that allocation fails.
    bool SetWindow(uint8_t* window);
    // Starts an entry; false (and Error() set) when it cannot be decoded.
    bool Begin(const UnpackEntry& entry);
    // Points *out at the next piece of output, at most maxOut bytes, and
    // returns its size; 0 at the end of the entry or on error.
    size_t Read(const uint8_t** out, size_t maxOut);
    // True once every unpacked byte has been returned by Read.
    bool Done() const;
    UnpackError Error() const { return error_; }
    // Ends any solid chain, so the next solid entry fails (kUnpackBadCall):
    // for a caller that passes over a packed entry without decoding it.
    void BreakChain() { started_ = false; }

    // Building blocks, public only so the implementation file can name them.
    static const unsigned kQuickBits = 10;
    static const unsigned kMaxSymbols = 298;
    struct HuffTable {
        uint16_t quick[1u << kQuickBits];  // symbol << 4 | code length; 0 = look further
        uint32_t limit[16];   // left-aligned 16-bit end of the codes of each length
        uint16_t first[16];   // index in `sorted` of the first code of each length
        uint16_t sorted[kMaxSymbols];
    };
    struct BitState {
        uint64_t buf;         // next bits of the stream, most significant first
        unsigned count;       // valid bits in buf
        const uint8_t* p;     // next input byte
        const uint8_t* end;   // end of the buffered input
        unsigned zeroBits;    // bits of zero padding appended after the data
        bool overrun;         // padding bits were consumed
    };

private:
    void ResetStream();
    bool Fail(UnpackError e);
    void Run();
    uint32_t RunLz(uint32_t budget);
    uint32_t RunAudio(uint32_t budget);
    bool ReadTables();
    void Finish();
    BitState SlowRefill(BitState s);
    void Refill();
    uint32_t GetBits(unsigned n);
    unsigned Symbol(const HuffTable& t);
    uint8_t AudioByte(unsigned delta);
    uint64_t Pending() const;

    static const size_t kInputSize = 16384;

    uint8_t* win_;
    bool ownWindow_;
    UnpackError error_;
    bool started_;
    bool finished_;

    // Per entry.
    PackedReadFn read_;
    void* readCtx_;
    uint64_t packedLeft_;  // not yet requested from the source
    uint64_t unpacked_;
    uint64_t produced_;    // decoded into the window (a match may pass unpacked_)
    uint64_t delivered_;
    uint32_t dictSize_;
    BitState bits_;

    // Kept across solid entries.
    uint32_t pos_;         // window write position
    uint32_t filled_;      // bytes of history in the window, at most its size
    bool tablesRead_;
    bool audio_;
    unsigned channels_;
    unsigned curChannel_;
    int channelDelta_;
    uint32_t oldDist_[4];
    unsigned oldDistPtr_;
    uint32_t lastDist_;
    uint32_t lastLen_;
    AudioChannel audioState_[4];
    uint8_t oldLengths_[4 * 257];
    HuffTable main_, dist_, rep_, pre_;
    HuffTable audioTables_[4];

    uint8_t in_[kInputSize];
};

}  // namespace rar

#endif
