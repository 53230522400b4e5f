// Unpack20 on the reference archives (every entry equals etalon.bin), in
// pieces of many sizes, and on streams built here bit by bit to reach the
// window edges and the error paths.
#include "archive/Unpack20.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <memory>
#include <string>

#include "support/PortableArchiveSupport.h"

using namespace rar;

namespace {

// Packed bytes handed out in pieces of at most `piece` bytes.
struct PieceSource {
    const uint8_t* p;
    size_t left;
    size_t piece;
    size_t calls;
};

size_t ReadPiece(void* ctx, uint8_t* buf, size_t max) {
    PieceSource* s = static_cast<PieceSource*>(ctx);
    size_t n = std::min(std::min(s->left, max), s->piece);
    memcpy(buf, s->p, n);
    s->p += n;
    s->left -= n;
    s->calls++;
    return n;
}

struct Result {
    Bytes out;
    bool done;
    UnpackError error;
    size_t maxPiece;
    size_t consumed;  // packed bytes taken from the source
};

// `available` may exceed e.packedSize: the decoder must not read past it.
Result Decode(Unpack20& dec, const uint8_t* packed, size_t available, UnpackEntry e,
              size_t inPiece = 65536, size_t outPiece = 1 << 20) {
    PieceSource src = {packed, available, inPiece, 0};
    e.read = ReadPiece;
    e.readCtx = &src;
    Result r = {Bytes(), false, kUnpackNoError, 0, 0};
    if (dec.Begin(e)) {
        const uint8_t* piece;
        while (size_t n = dec.Read(&piece, outPiece)) {
            r.out.insert(r.out.end(), piece, piece + n);
            r.maxPiece = std::max(r.maxPiece, n);
        }
    }
    r.done = dec.Done();
    r.error = dec.Error();
    r.consumed = available - src.left;
    return r;
}

UnpackEntry EntryOf(const FileHeader& h) {
    return UnpackEntry{h.packSize, h.unpSize, DictionaryBits(h.block.flags),
                       (h.block.flags & kFileSolid) != 0, nullptr, nullptr};
}

Result DecodeEntry(Unpack20& dec, const Bytes& file, const ArchiveEntry& en, size_t inPiece = 65536,
                   size_t outPiece = 1 << 20) {
    return Decode(dec, file.data() + en.dataOffset, en.h.packSize, EntryOf(en.h), inPiece, outPiece);
}

std::unique_ptr<Unpack20> NewDecoder() {
    std::unique_ptr<Unpack20> dec(new Unpack20);
    EXPECT_TRUE(dec->SetWindow(nullptr));
    return dec;
}

// ---- reference archives ----

TEST(Unpack20Archives, EveryMethodGivesTheReferenceBytesInAnyPieces) {
    Bytes etalon = LoadRarFixture("v20/etalon.bin");
    ASSERT_EQ(16384u, etalon.size());
    const struct {
        const char* file;
        std::vector<uint8_t> methods;  // p0 .. p5, pMM (multimedia); solid: p5, p5_solid
    } archives[] = {{"v20/test_v2.rar", {0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x33}},
                    {"v20/test_v2solid5.rar", {0x35, 0x35}}};
    const struct {
        size_t in, out;
    } pieces[] = {{65536, 1 << 20}, {1, 1}, {3, 4099}, {7, 1}, {4093, 3}};
    auto dec = NewDecoder();
    for (const auto& a : archives) {
        Bytes file = LoadRarFixture(a.file);
        std::vector<ArchiveEntry> entries = FileEntries(file);
        ASSERT_EQ(a.methods.size(), entries.size()) << a.file;
        for (const auto& pc : pieces) {
            for (const ArchiveEntry& en : entries) {
                SCOPED_TRACE(std::string(a.file) + " " + en.h.name + " in " + std::to_string(pc.in) +
                             " out " + std::to_string(pc.out));
                EXPECT_EQ(a.methods[&en - &entries[0]], en.h.method);
                if (en.h.method == 0x30) continue;
                Result r = DecodeEntry(*dec, file, en, pc.in, pc.out);
                EXPECT_TRUE(r.done) << r.error;
                EXPECT_TRUE(r.out == etalon);
                EXPECT_LE(r.maxPiece, pc.out);
            }
        }
        // A smaller unpacked size gives exactly that prefix, and the rest of
        // the archive behind the entry's data is never read.
        for (const ArchiveEntry& en : entries) {
            if (en.h.method == 0x30 || (en.h.block.flags & kFileSolid)) continue;
            for (size_t want : {1, 16383}) {
                UnpackEntry e = EntryOf(en.h);
                e.unpackedSize = want;
                Result r = Decode(*dec, file.data() + en.dataOffset, file.size() - en.dataOffset, e, 5, 333);
                EXPECT_TRUE(r.done && r.out == Bytes(etalon.begin(), etalon.begin() + want))
                    << en.h.name << " " << want;
                EXPECT_LE(r.consumed, en.h.packSize) << en.h.name;
            }
        }
    }
}

TEST(Unpack20Archives, BrokenChainsAndCutDataFail) {
    Bytes file = LoadRarFixture("v20/test_v2solid5.rar");
    std::vector<ArchiveEntry> entries = FileEntries(file);
    ASSERT_EQ(2u, entries.size());
    auto dec = NewDecoder();
    // A solid entry alone, or after a failed predecessor, cannot be decoded.
    EXPECT_EQ(kUnpackBadCall, DecodeEntry(*dec, file, entries[1]).error);
    ArchiveEntry cut = entries[0];
    cut.h.packSize = 100;
    EXPECT_EQ(kUnpackTruncated, DecodeEntry(*dec, file, cut).error);
    EXPECT_EQ(kUnpackBadCall, DecodeEntry(*dec, file, entries[1]).error);
    EXPECT_TRUE(DecodeEntry(*dec, file, entries[0]).done);
    EXPECT_TRUE(DecodeEntry(*dec, file, entries[1]).done);
    // Cut data, or a source that gives up early, is reported as truncated.
    file = LoadRarFixture("v20/test_v2.rar");
    entries = FileEntries(file);
    ASSERT_EQ(7u, entries.size());
    for (size_t i : {3, 6}) {  // an LZ entry and the multimedia entry
        const ArchiveEntry& en = entries[i];
        for (size_t keep : {0, 20, 5000}) {
            UnpackEntry e = EntryOf(en.h);
            e.packedSize = keep;
            EXPECT_EQ(kUnpackTruncated, Decode(*dec, file.data() + en.dataOffset, keep, e).error)
                << en.h.name << " keep " << keep;
        }
        Result r = Decode(*dec, file.data() + en.dataOffset, en.h.packSize / 2, EntryOf(en.h));
        EXPECT_EQ(kUnpackTruncated, r.error) << en.h.name;
    }
}

// ---- streams built here ----

// RAR 2.0 bit streams with flat codes: every symbol of a table has the same
// length, so a symbol's code is its number in that many bits.
class StreamWriter {
public:
    void Bits(uint32_t value, unsigned n) {
        for (unsigned i = n; i-- > 0;) {
            cur_ = (uint8_t)(cur_ << 1 | ((value >> i) & 1));
            if (++used_ == 8) {
                bytes_.push_back(cur_);
                used_ = 0;
            }
        }
    }
    // Mode bit, "no previous lengths", then all 19 pre-code lengths 5 bits,
    // so every table length is sent as its own 5-bit value.
    void PreCode(bool audio, unsigned channels, unsigned preLength = 5) {
        Bits(audio, 1);
        Bits(0, 1);
        if (audio) Bits(channels - 1, 2);
        for (int i = 0; i < 19; ++i) Bits(preLength, 4);
    }
    // LZ: main 298 symbols of 9 bits, distance 48 of 6, repeat lengths 28 of 5.
    void LzTables() {
        PreCode(false, 0);
        for (unsigned i = 0; i < 298 + 48 + 28; ++i) Bits(i < 298 ? 9 : i < 346 ? 6 : 5, 5);
    }
    void AudioTables(unsigned channels) {
        PreCode(true, channels);
        for (unsigned i = 0; i < 257 * channels; ++i) Bits(9, 5);
    }
    void Literal(uint8_t b) { Bits(b, 9); }
    // Length code 270 + lc with its extra bits, then a distance code and its extra bits.
    void Match(unsigned lc, uint32_t lenExtra, unsigned lenBits, unsigned dc, uint32_t distExtra,
               unsigned distBits) {
        Bits(270 + lc, 9);
        Bits(lenExtra, lenBits);
        Bits(dc, 6);
        Bits(distExtra, distBits);
    }
    Bytes Finish() {
        Bytes out = bytes_;
        if (used_) out.push_back((uint8_t)(cur_ << (8 - used_)));
        return out;
    }

private:
    Bytes bytes_;
    uint8_t cur_ = 0;
    unsigned used_ = 0;
};

Result DecodeStream(Unpack20& dec, const Bytes& packed, uint64_t unpacked, unsigned dictBits = 4,
                    bool solid = false, size_t outPiece = 1 << 20) {
    return Decode(dec, packed.data(), packed.size(),
                  UnpackEntry{packed.size(), unpacked, dictBits, solid, nullptr, nullptr}, 65536,
                  outPiece);
}

void Copy(Bytes& expect, uint32_t dist, uint32_t len) {
    for (uint32_t k = 0; k < len; ++k) expect.push_back(expect[expect.size() - dist]);
}

TEST(Unpack20Streams, MatchesAcrossTheWindowEndAndAtFullDistance) {
    // 1.5 MB: literals 0..255, then matches of length 258 (code 27, 31 extra)
    // at distance 256 (code 15, extra 63); every 4096th reaches back exactly
    // 1 MB (code 47, extra 65535) and gets length 260 with the bonus.
    StreamWriter w;
    w.LzTables();
    Bytes expect;
    for (int i = 0; i < 256; ++i) {
        w.Literal((uint8_t)i);
        expect.push_back((uint8_t)i);
    }
    for (unsigned n = 1; expect.size() + 300 < 1536 * 1024; ++n) {
        bool far = n % 4096 == 0;
        w.Match(27, 31, 5, far ? 47 : 15, far ? 65535 : 63, far ? 16 : 6);
        Copy(expect, far ? 0x100000 : 256, far ? 260 : 258);
    }
    Bytes packed = w.Finish();
    auto dec = NewDecoder();
    for (size_t outPiece : {(size_t)1 << 20, (size_t)4097}) {
        Result r = DecodeStream(*dec, packed, expect.size(), 4, false, outPiece);
        EXPECT_TRUE(r.done) << r.error;
        EXPECT_TRUE(r.out == expect) << outPiece;
    }
}

TEST(Unpack20Streams, DistancesBeyondHistoryOrDictionaryFail) {
    const struct {
        size_t literals;
        unsigned distCode;
        uint32_t distExtra;
        unsigned distBits;
        unsigned dictBits;
        UnpackError expect;
    } cases[] = {
        {10, 3, 0, 0, 4, kUnpackNoError},              // distance 4 inside 10 bytes
        {3, 3, 0, 0, 4, kUnpackBadDistance},           // distance 4 > 3 bytes of history
        {75000, 32, 5000, 15, 0, kUnpackBadDistance},  // 70537 > 64 KB dictionary
        {75000, 32, 5000, 15, 1, kUnpackNoError},      // fits a 128 KB one
    };
    auto dec = NewDecoder();
    for (const auto& c : cases) {
        StreamWriter w;
        w.LzTables();
        for (size_t i = 0; i < c.literals; ++i) w.Literal((uint8_t)i);
        w.Match(0, 0, 0, c.distCode, c.distExtra, c.distBits);
        Result r = DecodeStream(*dec, w.Finish(), c.literals + 3, c.dictBits);
        EXPECT_EQ(c.expect, r.error) << c.literals << " dict " << c.dictBits;
        EXPECT_EQ(c.expect == kUnpackNoError, r.done);
    }
}

TEST(Unpack20Streams, RepeatCodesUseTheDistanceHistory) {
    // Fresh literals before each repeat code make every distance give other bytes.
    StreamWriter w;
    w.LzTables();
    Bytes expect;
    auto literals = [&](const std::string& text) {
        for (char ch : text) {
            w.Literal((uint8_t)ch);
            expect.push_back((uint8_t)ch);
        }
    };
    literals("ABCDEFGHIJKLMNOP");
    w.Match(0, 0, 0, 5, 1, 1);  // distance 6 + 1 + 1 = 8, length 3
    Copy(expect, 8, 3);
    w.Match(1, 0, 0, 3, 0, 0);  // distance 4, length 4
    Copy(expect, 4, 4);
    w.Match(0, 0, 0, 1, 0, 0);  // distance 2, length 3
    Copy(expect, 2, 3);
    w.Match(0, 0, 0, 4, 0, 1);  // distance 4 + 1 = 5, length 3; history 8, 4, 2, 5
    Copy(expect, 5, 3);
    literals("qrstuvwx");
    w.Bits(260, 9);  // four back: 8; repeat length code 2 gives 4; history 4, 2, 5, 8
    w.Bits(2, 5);
    Copy(expect, 8, 4);
    literals("yz012345");
    w.Bits(258, 9);  // two back: 5; length code 0 gives 2
    w.Bits(0, 5);
    Copy(expect, 5, 2);
    literals("6789!@#$");
    w.Bits(256, 9);  // the last match again
    Copy(expect, 5, 2);
    w.Bits(263, 9);  // short distance code 2: 8 + 1 + 5 (3 extra bits) = 14
    w.Bits(5, 3);
    Copy(expect, 14, 2);
    auto dec = NewDecoder();
    Result r = DecodeStream(*dec, w.Finish(), expect.size());
    EXPECT_TRUE(r.done) << r.error;
    EXPECT_EQ(std::string(expect.begin(), expect.end()), std::string(r.out.begin(), r.out.end()));
}

TEST(Unpack20Streams, NewTablesAtTheEndServeTheNextSolidEntry) {
    // Entry 1 ends with code 269 and audio tables; entry 2 (solid) is audio
    // symbols only. A fresh predictor predicts 0, so delta 5 gives 251.
    StreamWriter w1;
    w1.LzTables();
    for (int i = 0; i < 5; ++i) w1.Literal('x');
    w1.Bits(269, 9);
    w1.AudioTables(1);
    StreamWriter w2;
    w2.Bits(5, 9);  // as a literal under the LZ tables this would be byte 5
    for (int i = 1; i < 40; ++i) w2.Bits(0, 9);
    auto dec = NewDecoder();
    Result r1 = DecodeStream(*dec, w1.Finish(), 5);
    EXPECT_TRUE(r1.done) << r1.error;
    EXPECT_EQ("xxxxx", std::string(r1.out.begin(), r1.out.end()));
    Result r2 = DecodeStream(*dec, w2.Finish(), 40, 4, true);
    EXPECT_TRUE(r2.done) << r2.error;
    ASSERT_EQ(40u, r2.out.size());
    EXPECT_EQ(251, r2.out[0]);
}

TEST(Unpack20Streams, MalformedTablesAndCodesFailForGood) {
    const struct {
        const char* what;
        unsigned preLength;  // of every pre-code symbol; 0 writes no tables at all
        uint32_t first;      // the bits that follow the pre-code (or the LZ tables)
        unsigned firstBits;
        bool lzTables;
        UnpackError expect;
    } cases[] = {
        {"repeat previous length first", 5, 16, 5, false, kUnpackBadTables},
        {"unassigned pre-code symbol", 5, 25, 5, false, kUnpackBadSymbol},
        {"over-subscribed pre-code", 4, 0, 5, false, kUnpackBadSymbol},
        {"empty pre-code", 0, 0, 16, false, kUnpackBadSymbol},
        {"unassigned main symbol", 5, 300, 9, true, kUnpackBadSymbol},
        {"unassigned distance symbol", 5, 1u << 15 | 270u << 6 | 50, 24, true, kUnpackBadSymbol},
    };
    auto dec = NewDecoder();
    for (const auto& c : cases) {
        StreamWriter w;
        if (c.lzTables) w.LzTables();
        else if (c.preLength) w.PreCode(false, 0, c.preLength);
        w.Bits(c.first, c.firstBits);
        for (int i = 0; i < 6; ++i) w.Bits(0, 16);
        Result r = DecodeStream(*dec, w.Finish(), 100);
        EXPECT_FALSE(r.done) << c.what;
        EXPECT_EQ(c.expect, r.error) << c.what;
        const uint8_t* p;
        EXPECT_EQ(0u, dec->Read(&p, 100)) << c.what;
    }
}

TEST(Unpack20Calls, EmptyEntriesAndBadParameters) {
    auto dec = NewDecoder();
    PieceSource src = {nullptr, 0, 1, 0};
    UnpackEntry e = {0, 0, 4, false, ReadPiece, &src};
    const uint8_t* p;
    ASSERT_TRUE(dec->Begin(e));  // empty: done at once, the source is never asked
    EXPECT_EQ(0u, dec->Read(&p, 10));
    EXPECT_TRUE(dec->Done());
    EXPECT_EQ(0u, src.calls);
    e.unpackedSize = 1;
    for (unsigned bits : {5, 7, 0}) {  // newer dictionaries, a directory, no source
        e.dictionaryBits = bits;
        e.read = bits ? ReadPiece : nullptr;
        EXPECT_FALSE(dec->Begin(e)) << bits;
        EXPECT_EQ(kUnpackBadCall, dec->Error());
        EXPECT_EQ(0u, dec->Read(&p, 10));
    }
}

}  // namespace
