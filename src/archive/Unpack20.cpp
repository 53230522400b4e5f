// Unpack20: RAR 2.0 decoder. See docs/rar20-format.md for the format.
//
// Shape: Read() hands out window bytes that are already decoded; when none
// are left it runs the decoder for one batch (at most kBatch bytes, so a
// batch never overwrites window bytes the caller has not received yet).
// The bit reader keeps 56..63 bits in a 64-bit buffer, refilled with one
// 8-byte load while the input buffer holds 8 bytes; near the end of the
// buffer it tops the buffer up from the source, and past the end of the
// packed data it appends zero bits and counts them, so that consuming any
// of them is detected as truncation instead of reading out of bounds.
#include "archive/Unpack20.h"

#include <stdlib.h>
#include <string.h>

namespace rar {

namespace {

const uint32_t kWindowMask = kUnpackWindowSize - 1;
// Longest match: length base 224 + 5 extra bits + 3 + 2 distance bonuses.
const uint32_t kMaxMatch = 260;
const uint32_t kBatch = 0x40000;
static_assert(kBatch + kMaxMatch <= kUnpackWindowSize, "a batch must fit the window");

const unsigned kLzLengths = kLzTableSize;
// What Symbol() returns for a bit pattern the table does not assign; it is
// out of range for every table, so each caller's range check catches it.
const unsigned kBadSymbol = 0xFFF;

inline uint64_t Load64BigEndian(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v = v << 8 | p[i];
    return v;
}

// Tops the bit buffer up to at least 56 bits from 8 readable input bytes.
// Bits below the valid ones may already hold the same stream bits, so OR-ing
// them in again is harmless.
inline void FastRefill(Unpack20::BitState& s) {
    s.buf |= Load64BigEndian(s.p) >> s.count;
    s.p += (63 - s.count) >> 3;
    s.count |= 56;
}

// Takes n (0..16) bits; the double shift keeps n = 0 well defined.
inline uint32_t TakeBits(Unpack20::BitState& s, unsigned n) {
    uint32_t v = (uint32_t)((s.buf >> 1) >> (63 - n));
    s.buf <<= n;
    s.count -= n;
    return v;
}

// Finds codes longer than the quick table covers; returns symbol << 4 | length,
// or kBadSymbol << 4 (length 0) for an unassigned pattern.
unsigned LongCode(const Unpack20::HuffTable& t, uint32_t top) {
    for (unsigned len = Unpack20::kQuickBits + 1; len <= 15; ++len) {
        if (top < t.limit[len]) {
            unsigned index = t.first[len] + ((top - t.limit[len - 1]) >> (16 - len));
            return (unsigned)t.sorted[index] << 4 | len;
        }
    }
    return kBadSymbol << 4;
}

inline unsigned DecodeSymbol(const Unpack20::HuffTable& t, Unpack20::BitState& s) {
    uint32_t top = (uint32_t)(s.buf >> 48);
    unsigned e = t.quick[top >> (16 - Unpack20::kQuickBits)];
    if (!(e & 15)) e = LongCode(t, top);
    unsigned len = e & 15;
    s.buf <<= len;
    s.count -= len;
    return e >> 4;
}

// Canonical code: shorter codes first, equal lengths in symbol order. An
// over-subscribed length set leaves the table empty, so any use of it fails.
void BuildTable(Unpack20::HuffTable& t, const uint8_t* lengths, unsigned n) {
    unsigned count[16] = {0};
    for (unsigned i = 0; i < n; ++i) count[lengths[i]]++;
    memset(t.quick, 0, sizeof t.quick);
    memset(t.limit, 0, sizeof t.limit);
    int room = 1;
    for (unsigned len = 1; len <= 15; ++len) {
        room = room * 2 - (int)count[len];
        if (room < 0) return;
    }
    unsigned next[16];
    uint32_t code = 0;
    unsigned index = 0;
    for (unsigned len = 1; len <= 15; ++len) {
        t.first[len] = (uint16_t)index;
        next[len] = index;
        index += count[len];
        code += count[len] << (16 - len);
        t.limit[len] = code;
    }
    for (unsigned sym = 0; sym < n; ++sym)
        if (lengths[sym]) t.sorted[next[lengths[sym]]++] = (uint16_t)sym;
    const unsigned q = Unpack20::kQuickBits;
    for (unsigned len = 1; len <= q; ++len) {
        for (unsigned k = 0; k < count[len]; ++k) {
            uint16_t entry = (uint16_t)(t.sorted[t.first[len] + k] << 4 | len);
            unsigned start = (t.limit[len - 1] + (k << (16 - len))) >> (16 - q);
            for (unsigned j = 0; j < (1u << (q - len)); ++j) t.quick[start + j] = entry;
        }
    }
}

// Copies a match of `len` bytes from `dist` back. Inside the window's bounds
// it copies 8 bytes per step when the source is at least 8 bytes away (each
// load then reads bytes that are final); otherwise byte by byte, which also
// repeats short patterns the way the format requires.
inline void CopyMatch(uint8_t* win, uint32_t pos, uint32_t dist, uint32_t len) {
    uint32_t src = (pos - dist) & kWindowMask;
    if (pos + len > kUnpackWindowSize || src + len > kUnpackWindowSize) {
        for (uint32_t i = 0; i < len; ++i)
            win[(pos + i) & kWindowMask] = win[(src + i) & kWindowMask];
        return;
    }
    uint8_t* d = win + pos;
    const uint8_t* s = win + src;
    if (dist == 1) {
        memset(d, s[0], len);
        return;
    }
    if (dist >= 8) {
        for (; len >= 8; len -= 8, d += 8, s += 8) {
            uint64_t chunk;
            memcpy(&chunk, s, 8);
            memcpy(d, &chunk, 8);
        }
    }
    for (; len; --len) *d++ = *s++;
}


}  // namespace

Unpack20::Unpack20()
    : win_(nullptr), ownWindow_(false), error_(kUnpackNoError), started_(false),
      finished_(false) {
    ResetStream();
}

Unpack20::~Unpack20() {
    if (ownWindow_) free(win_);
}

bool Unpack20::SetWindow(uint8_t* window) {
    if (ownWindow_) free(win_);
    ownWindow_ = window == nullptr;
    win_ = window ? window : static_cast<uint8_t*>(malloc(kUnpackWindowSize));
    started_ = false;  // a new window breaks any solid chain
    return win_ != nullptr;
}

void Unpack20::ResetStream() {
    pos_ = 0;
    filled_ = 0;
    tablesRead_ = false;
    audio_ = false;
    channels_ = 1;
    curChannel_ = 0;
    channelDelta_ = 0;
    memset(oldDist_, 0, sizeof oldDist_);
    oldDistPtr_ = 0;
    lastDist_ = 0;
    lastLen_ = 0;
    memset(audioState_, 0, sizeof audioState_);
    memset(oldLengths_, 0, sizeof oldLengths_);
}

bool Unpack20::Fail(UnpackError e) {
    if (error_ == kUnpackNoError) error_ = e;
    return false;
}

bool Unpack20::Begin(const UnpackEntry& e) {
    bool chainIntact = started_ && finished_ && error_ == kUnpackNoError;
    error_ = kUnpackNoError;
    finished_ = false;
    read_ = e.read;
    readCtx_ = e.readCtx;
    packedLeft_ = e.packedSize;
    unpacked_ = e.unpackedSize;
    produced_ = 0;
    delivered_ = 0;
    dictSize_ = 0x10000u << (e.dictionaryBits & 7);
    bits_ = BitState{0, 0, in_, in_, 0, false};
    if (!win_ && !SetWindow(nullptr)) return Fail(kUnpackNoMemory);
    started_ = true;
    if (!e.read || e.dictionaryBits > 4 || (e.solid && !chainIntact)) return Fail(kUnpackBadCall);
    if (!e.solid) ResetStream();
    if (unpacked_ == 0) finished_ = true;
    return true;
}

bool Unpack20::Done() const {
    return started_ && finished_ && error_ == kUnpackNoError && delivered_ == unpacked_;
}

uint64_t Unpack20::Pending() const {
    return (produced_ < unpacked_ ? produced_ : unpacked_) - delivered_;
}

size_t Unpack20::Read(const uint8_t** out, size_t maxOut) {
    *out = nullptr;
    if (!started_ || error_ != kUnpackNoError) return 0;
    if (Pending() == 0) {
        if (finished_) return 0;
        Run();
        if (error_ != kUnpackNoError) return 0;
    }
    // Undelivered bytes end at pos_, followed only by a match's overshoot.
    uint32_t start = (pos_ - (uint32_t)(produced_ - delivered_)) & kWindowMask;
    uint64_t n = Pending();
    if (n > maxOut) n = maxOut;
    if (n > kUnpackWindowSize - start) n = kUnpackWindowSize - start;
    *out = win_ + start;
    delivered_ += n;
    return (size_t)n;
}

// ---- bit input ----

Unpack20::BitState Unpack20::SlowRefill(BitState s) {
    size_t have = s.end - s.p;
    if (have < 8 && packedLeft_ > 0) {
        memmove(in_, s.p, have);
        s.p = in_;
        s.end = in_ + have;
        while (s.end - s.p < 8 && packedLeft_ > 0) {
            size_t room = kInputSize - (s.end - in_);
            size_t want = packedLeft_ < room ? (size_t)packedLeft_ : room;
            size_t got = read_(readCtx_, const_cast<uint8_t*>(s.end), want);
            if (got == 0 || got > want) {
                packedLeft_ = 0;  // the source is exhausted or broken
                break;
            }
            packedLeft_ -= got;
            s.end += got;
        }
    }
    if (s.end - s.p >= 8) {
        FastRefill(s);
        return s;
    }
    if (s.count < s.zeroBits) s.overrun = true;
    for (; s.count <= 56; s.count += 8) {
        if (s.p < s.end)
            s.buf |= (uint64_t)*s.p++ << (56 - s.count);
        else
            s.zeroBits += 8;
    }
    return s;
}

void Unpack20::Refill() {
    if (bits_.end - bits_.p >= 8)
        FastRefill(bits_);
    else
        bits_ = SlowRefill(bits_);
}

uint32_t Unpack20::GetBits(unsigned n) { return TakeBits(bits_, n); }

unsigned Unpack20::Symbol(const HuffTable& t) { return DecodeSymbol(t, bits_); }

// ---- tables ----

// Block start: 1 bit audio mode, 1 bit "add to the previous lengths", for
// audio 2 bits channel count - 1; then 19 four-bit lengths of the code that
// transmits the table lengths, then the lengths themselves, coded as deltas
// (mod 16) against the previous ones, with run codes 16 (repeat the
// previous length 3..6 times), 17 (3..10 zeros) and 18 (11..138 zeros).
bool Unpack20::ReadTables() {
    Refill();
    bool audio = GetBits(1) != 0;
    if (!GetBits(1)) memset(oldLengths_, 0, sizeof oldLengths_);
    unsigned count = kLzLengths;
    if (audio) {
        channels_ = GetBits(2) + 1;
        if (curChannel_ >= channels_) curChannel_ = 0;
        count = channels_ * kAudioSymbols;
    }
    uint8_t pre[kPreSymbols];
    for (unsigned i = 0; i < kPreSymbols; ++i) {
        if (i % 8 == 0) Refill();
        pre[i] = (uint8_t)GetBits(4);
    }
    BuildTable(pre_, pre, kPreSymbols);

    uint8_t lengths[sizeof oldLengths_];
    for (unsigned i = 0; i < count;) {
        Refill();
        if (bits_.overrun) return Fail(kUnpackTruncated);
        unsigned sym = Symbol(pre_);
        unsigned run;
        uint8_t value = 0;
        if (sym < 16) {
            lengths[i] = (uint8_t)((sym + oldLengths_[i]) & 15);
            ++i;
            continue;
        } else if (sym == 16) {
            if (i == 0) return Fail(kUnpackBadTables);
            run = GetBits(2) + 3;
            value = lengths[i - 1];
        } else if (sym == 17) {
            run = GetBits(3) + 3;
        } else if (sym == 18) {
            run = GetBits(7) + 11;
        } else {
            return Fail(kUnpackBadSymbol);
        }
        for (; run && i < count; --run) lengths[i++] = value;
    }
    if (bits_.count < bits_.zeroBits) return Fail(kUnpackTruncated);

    audio_ = audio;
    if (audio) {
        for (unsigned c = 0; c < channels_; ++c)
            BuildTable(audioTables_[c], lengths + c * kAudioSymbols, kAudioSymbols);
    } else {
        BuildTable(main_, lengths, kMainSymbols);
        BuildTable(dist_, lengths + kMainSymbols, kDistSymbols);
        BuildTable(rep_, lengths + kMainSymbols + kDistSymbols, kRepSymbols);
    }
    memcpy(oldLengths_, lengths, count);
    tablesRead_ = true;
    return true;
}

// ---- decoding ----

void Unpack20::Run() {
    if (!tablesRead_ && !ReadTables()) return;
    uint64_t left = unpacked_ - produced_;
    uint32_t budget = left < kBatch ? (uint32_t)left : kBatch;
    for (;;) {
        uint32_t done = audio_ ? RunAudio(budget) : RunLz(budget);
        produced_ += done;
        uint64_t history = (uint64_t)filled_ + done;
        filled_ = history > kUnpackWindowSize ? (uint32_t)kUnpackWindowSize : (uint32_t)history;
        if (error_ != kUnpackNoError) return;
        if (done >= budget) break;
        budget -= done;
        // The run stopped at a new-tables code.
        if (!ReadTables()) return;
    }
    if (produced_ >= unpacked_) Finish();
}

// Decodes LZ symbols until `budget` bytes are out (the last match may go
// past it), a new-tables code, or an error. Returns the bytes produced.
// The bit state and window position live in locals: window stores could
// otherwise alias them and force reloads in every step.
uint32_t Unpack20::RunLz(uint32_t budget) {
    BitState s = bits_;
    uint8_t* const win = win_;
    uint32_t pos = pos_;
    int32_t left = (int32_t)budget;
    const uint32_t history = filled_;
    while (left > 0) {
        if (s.end - s.p >= 8) {
            FastRefill(s);
        } else {
            s = SlowRefill(s);
            if (s.overrun) {
                Fail(kUnpackTruncated);
                break;
            }
        }
        unsigned sym = DecodeSymbol(main_, s);
        if (sym < 256) {
            win[pos] = (uint8_t)sym;
            pos = (pos + 1) & kWindowMask;
            --left;
            continue;
        }
        uint32_t len, dist;
        if (sym >= kSymLongMatch) {
            sym -= kSymLongMatch;
            if (sym >= kRepSymbols) {
                Fail(kUnpackBadSymbol);
                break;
            }
            len = kLenBase[sym] + 3 + TakeBits(s, kLenBits[sym]);
            unsigned d = DecodeSymbol(dist_, s);
            if (d >= kDistSymbols) {
                Fail(kUnpackBadSymbol);
                break;
            }
            dist = kDistBase[d] + 1 + TakeBits(s, kDistBits[d]);
            len += (dist >= 0x2000) + (dist >= 0x40000);
        } else if (sym == kSymNewTables) {
            break;
        } else if (sym == kSymRepeatLast) {
            len = lastLen_;
            dist = lastDist_;
        } else if (sym < kSymShortDist) {
            dist = oldDist_[(oldDistPtr_ - 1 - (sym - kSymOldDist)) & 3];
            unsigned r = DecodeSymbol(rep_, s);
            if (r >= kRepSymbols) {
                Fail(kUnpackBadSymbol);
                break;
            }
            len = kLenBase[r] + 2 + TakeBits(s, kLenBits[r]);
            len += (dist >= 0x101) + (dist >= 0x2000) + (dist >= 0x40000);
        } else {
            sym -= kSymShortDist;
            dist = kShortBase[sym] + 1 + TakeBits(s, kShortBits[sym]);
            len = 2;
        }
        oldDist_[oldDistPtr_] = dist;
        oldDistPtr_ = (oldDistPtr_ + 1) & 3;
        lastDist_ = dist;
        lastLen_ = len;
        if (len == 0) continue;  // "repeat last" before any match: nothing to copy
        uint32_t reach = history + (budget - (uint32_t)left);
        if (reach > dictSize_) reach = dictSize_;
        if (dist - 1 >= reach) {
            Fail(kUnpackBadDistance);
            break;
        }
        CopyMatch(win, pos, dist, len);
        pos = (pos + len) & kWindowMask;
        left -= (int32_t)len;
    }
    bits_ = s;
    pos_ = pos;
    return budget - (uint32_t)left;
}

// Multimedia mode: every symbol is the difference between a predicted byte
// and the real one, per channel (channels interleave byte by byte).
uint32_t Unpack20::RunAudio(uint32_t budget) {
    uint32_t done = 0;
    while (done < budget) {
        Refill();
        if (bits_.overrun) {
            Fail(kUnpackTruncated);
            break;
        }
        unsigned sym = Symbol(audioTables_[curChannel_]);
        if (sym == kAudioNewTables) break;
        if (sym > kAudioNewTables) {
            Fail(kUnpackBadSymbol);
            break;
        }
        win_[pos_] = AudioByte(sym);
        pos_ = (pos_ + 1) & kWindowMask;
        ++done;
        if (++curChannel_ == channels_) curChannel_ = 0;
    }
    return done;
}

uint8_t Unpack20::AudioByte(unsigned delta) {
    AudioChannel& v = audioState_[curChannel_];
    unsigned ch = (AudioPredict(v, channelDelta_) - delta) & 0xFF;
    AudioLearn(v, channelDelta_, delta, ch);
    return (uint8_t)ch;
}

// The packer may end an entry with a new-tables code that belongs to the
// next solid entry; it is there when at least 5 bytes of the entry remain
// (counted from the byte holding the next bit).
void Unpack20::Finish() {
    uint64_t bitsLeft = (packedLeft_ + (uint64_t)(bits_.end - bits_.p)) * 8 + bits_.count;
    bitsLeft = bitsLeft > bits_.zeroBits ? bitsLeft - bits_.zeroBits : 0;
    if (bitsLeft > 32) {
        Refill();
        BitState peek = bits_;
        unsigned sym = DecodeSymbol(audio_ ? audioTables_[curChannel_] : main_, peek);
        if (sym == (audio_ ? kAudioNewTables : kSymNewTables)) {
            bits_ = peek;
            if (!ReadTables()) return;
        }
    }
    if (bits_.overrun || bits_.count < bits_.zeroBits) {
        Fail(kUnpackTruncated);
        return;
    }
    finished_ = true;
}

}  // namespace rar
