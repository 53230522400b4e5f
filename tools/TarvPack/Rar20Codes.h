// Rar20Codes: the coding layer of the RAR 2.0 encoder: the format's symbol
// alphabets and length/distance slots, length-limited Huffman code lengths,
// canonical codes, an MSB-first bit writer, and the table blocks that send
// code lengths (see docs/rar20-format.md for the format, docs/rar20-encoder.md
// for the encoder).
#ifndef TARV_TOOLS_TARVPACK_RAR20CODES_H
#define TARV_TOOLS_TARVPACK_RAR20CODES_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "archive/Rar20Stream.h"

namespace tarvpack {
namespace rar20 {

// The format's alphabet and code tables, as the decoder knows them.
using rar::kMainSymbols;
using rar::kDistSymbols;
using rar::kRepSymbols;
using rar::kPreSymbols;
using rar::kAudioSymbols;
using rar::kLzTableSize;
using rar::kSymRepeatLast;
using rar::kSymOldDist;
using rar::kSymShortDist;
using rar::kSymNewTables;
using rar::kSymLongMatch;
using rar::kAudioNewTables;
using rar::kLenBase;
using rar::kLenBits;
using rar::kDistBase;
using rar::kDistBits;
using rar::kShortBase;
using rar::kShortBits;
const unsigned kMaxChannels = rar::kMaxAudioChannels;
// The decoder remembers this many code lengths between table blocks.
const unsigned kRememberedSize = kMaxChannels * kAudioSymbols;
const unsigned kMaxCodeLength = 15;

// Longest match the format can express (length 255 + 3 + two distance
// bonuses, or 255 + 2 + three for an old distance).
const uint32_t kMaxMatch = 260;
const uint32_t kMaxDistance = 0x100000;

// Slot of a length value 0..255 (the part of a length that a length symbol
// and its extra bits carry).
unsigned LengthSlot(unsigned value);

// Slot of a distance 1..kMaxDistance.
inline unsigned DistSlot(uint32_t dist) {
    uint32_t d = dist - 1;
    if (d < 4) return d;
    if (d >= 0x40000) return 36 + ((d - 0x40000) >> 16);
    unsigned top = 31 - (unsigned)__builtin_clz(d);
    return 2 * top + ((d >> (top - 1)) & 1);
}

// Slot of a length-2 match at distance 1..256.
inline unsigned ShortSlot(uint32_t dist) {
    uint32_t d = dist - 1;
    if (d < 8) return d >> 2;
    unsigned top = 31 - (unsigned)__builtin_clz(d);
    return d >= 192 ? 7 : top - 1;
}

// What a distance adds to the coded length of a new match, and of a match
// at one of the last four distances.
inline unsigned LongBonus(uint32_t dist) { return (dist >= 0x2000) + (dist >= 0x40000); }
inline unsigned RepBonus(uint32_t dist) { return (dist >= 0x101) + LongBonus(dist); }

// ---- Huffman codes ----

// Code lengths (0..maxLength) for the frequencies: optimal prefix code
// lengths, limited to maxLength. Unused symbols get 0. When fewer than two
// symbols are used, a second symbol is given a length too, so the code is
// always complete (some readers reject a one-symbol code).
void BuildCodeLengths(const uint32_t* freq, unsigned n, unsigned maxLength, uint8_t* lengths);

// Canonical codes: shorter codes first, equal lengths in symbol order.
void BuildCodes(const uint8_t* lengths, unsigned n, uint16_t* codes);

// Bits that coding the frequencies with these lengths takes; a used symbol
// without a code makes it kNoCode.
const uint64_t kNoCode = ~(uint64_t)0 >> 2;
uint64_t CodedBits(const uint32_t* freq, const uint8_t* lengths, unsigned n);

// ---- bit output ----

// Writes bits most significant first into a byte vector.
class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>* out) : out_(out) {}
    // n = 0..25 bits of `value` (higher bits must be clear).
    void Put(uint32_t value, unsigned n) {
        acc_ = acc_ << n | value;
        count_ += n;
        total_ += n;
        if (count_ >= 32) Drain();
    }
    // Pads with zero bits to the next byte and writes everything out.
    void AlignToByte();
    // Bits put so far (the owner may empty the vector in between).
    uint64_t BitsWritten() const { return total_; }

private:
    void Drain();
    std::vector<uint8_t>* out_;
    uint64_t acc_ = 0;
    unsigned count_ = 0;
    uint64_t total_ = 0;
};

// ---- table blocks ----

// What the decoder remembers of the code lengths between table blocks.
struct RememberedLengths {
    uint8_t len[kRememberedSize] = {};
};

// A table block's contents: the mode, and `count` code lengths (the LZ
// tables, or 257 per multimedia channel).
struct TableSet {
    bool audio = false;
    unsigned channels = 1;  // multimedia channels, 1..4
    uint8_t len[kRememberedSize] = {};
    unsigned Count() const { return audio ? channels * kAudioSymbols : kLzTableSize; }
};

// Bits the table block for `tables` takes after `remembered`, choosing the
// cheapest way (changes against the remembered lengths or from zero).
uint32_t TableBlockBits(const TableSet& tables, const RememberedLengths& remembered);
// Writes that cheapest table block and updates `remembered` as the decoder does.
void WriteTableBlock(BitWriter* out, const TableSet& tables, RememberedLengths* remembered);

}  // namespace rar20
}  // namespace tarvpack

#endif
