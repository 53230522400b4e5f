// Unpack20 against real archives (every entry's CRC-32 is the outside
// truth), in pieces of many sizes, and on streams built here bit by bit to
// reach the window edges and the error paths.
#include "archive/RarFormat.h"
#include "archive/Unpack20.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <memory>
#include <string>
#include <vector>

using namespace rar;

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes LoadFixture(const std::string& name) {
    std::string path = std::string(TARV_FIXTURES_DIR) + "/rar/" + name;
    Bytes data;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "missing fixture " << path;
        return data;
    }
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data.insert(data.end(), buf, buf + n);
    fclose(f);
    return data;
}

// ---- test-only archive walk ----

struct Entry {
    FileHeader h;
    size_t dataOffset;
};

// Walks the blocks of an archive held in memory. False when a header is
// cut, malformed or fails its CRC, or a block's data runs past the end.
bool WalkArchive(const Bytes& file, std::vector<Entry>* entries) {
    LocateResult at = LocateArchive(file.data(), file.size());
    if (at.status != kLocateFound) return false;
    size_t pos = at.offset + kMarkerSize;
    while (pos < file.size()) {
        const uint8_t* p = file.data() + pos;
        size_t left = file.size() - pos;
        BlockHeader b;
        if (ParseBlockHeader(p, left, &b) != kParseOk || b.headSize > left) return false;
        if (b.type == kBlockFile) {
            Entry e;
            if (ParseFileHeader(p, left, &e.h) != kParseOk || !HeaderCrcOk(p, b, e.h.crcEnd))
                return false;
            e.dataOffset = pos + b.headSize;
            entries->push_back(e);
        } else if (b.type == kBlockMain) {
            MainHeader m;
            if (ParseMainHeader(p, left, &m) != kParseOk || !HeaderCrcOk(p, b, m.crcEnd))
                return false;
        }
        if (b.dataSize > left - b.headSize) return false;
        pos += b.headSize + b.dataSize;
    }
    return true;
}

// Packed bytes handed out in pieces of at most `piece` bytes.
struct PieceSource {
    const uint8_t* p;
    size_t left;
    size_t piece;
    size_t calls;
};

size_t ReadPiece(void* ctx, uint8_t* buf, size_t max) {
    PieceSource* s = static_cast<PieceSource*>(ctx);
    size_t n = s->left < max ? s->left : max;
    if (n > s->piece) n = s->piece;
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

// Decodes packed bytes with input and output cut in the given piece sizes.
// `available` may exceed packedSize: the decoder must not read past it.
Result Decode(Unpack20& dec, const uint8_t* packed, size_t available, const UnpackEntry& base,
              size_t inPiece = 65536, size_t outPiece = 1 << 20) {
    PieceSource src = {packed, available, inPiece, 0};
    UnpackEntry e = base;
    e.read = ReadPiece;
    e.readCtx = &src;
    Result r = {Bytes(), false, kUnpackNoError, 0, 0};
    if (dec.Begin(e)) {
        const uint8_t* piece;
        size_t n;
        while ((n = dec.Read(&piece, outPiece)) > 0) {
            r.out.insert(r.out.end(), piece, piece + n);
            if (n > r.maxPiece) r.maxPiece = n;
        }
    }
    r.done = dec.Done();
    r.error = dec.Error();
    r.consumed = available - src.left;
    return r;
}

UnpackEntry EntryFor(const FileHeader& h) {
    UnpackEntry e = {h.packSize, h.unpSize, DictionaryBits(h.block.flags),
                     (h.block.flags & kFileSolid) != 0, nullptr, nullptr};
    return e;
}

// Extracts one entry: stored ones are copied, packed ones decoded.
Result Extract(Unpack20& dec, const Bytes& file, const Entry& en, size_t inPiece = 65536,
               size_t outPiece = 1 << 20) {
    const uint8_t* data = file.data() + en.dataOffset;
    if (en.h.method == 0x30) {
        Result r = {Bytes(data, data + en.h.packSize), true, kUnpackNoError, 0, 0};
        return r;
    }
    return Decode(dec, data, en.h.packSize, EntryFor(en.h), inPiece, outPiece);
}

bool CrcMatches(const Result& r, const FileHeader& h) {
    return r.done && r.out.size() == h.unpSize && Crc32(r.out.data(), r.out.size()) == h.fileCrc;
}

std::unique_ptr<Unpack20> NewDecoder() {
    std::unique_ptr<Unpack20> dec(new Unpack20);
    EXPECT_TRUE(dec->SetWindow(nullptr));
    return dec;
}

// ---- real archives ----

TEST(Unpack20Archives, EveryVersion20EntryMatchesItsCrc) {
    struct Case {
        const char* file;
        size_t files;  // entries that carry data (not directories)
    };
    const Case cases[] = {
        {"v20/test_v2.rar", 7},
        {"v20/test_v2solid5.rar", 2},
        {"v20/rar2-unix-owner.rar", 1},
        {"v20/rar202-comment-nopsw.rar", 2},
        {"v20/test_read_format_rar.rar", 3},
        {"v20/test_read_format_rar_windows.rar", 3},
        {"v20/test_read_format_rar_subblock.rar", 1},
    };
    auto dec = NewDecoder();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Bytes file = LoadFixture(c.file);
        std::vector<Entry> entries;
        ASSERT_TRUE(WalkArchive(file, &entries));
        size_t checked = 0;
        for (const Entry& en : entries) {
            if (IsDirectory(en.h.block.flags)) continue;
            SCOPED_TRACE(en.h.name);
            EXPECT_EQ(20, en.h.unpVer);
            EXPECT_TRUE(CrcMatches(Extract(*dec, file, en), en.h));
            ++checked;
        }
        EXPECT_EQ(c.files, checked);
    }
}

TEST(Unpack20Archives, AllMethodsAndMultimediaGiveTheReferenceBytes) {
    Bytes etalon = LoadFixture("v20/etalon.bin");
    ASSERT_EQ(16384u, etalon.size());
    const struct {
        const char* file;
        const char* names[7];
        uint8_t methods[7];
    } cases[] = {
        {"v20/test_v2.rar",
         {"p0.bin", "p1.bin", "p2.bin", "p3.bin", "p4.bin", "p5.bin", "pMM.bin"},
         {0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x33}},
        {"v20/test_v2solid5.rar", {"p5.bin", "p5_solid.bin"}, {0x35, 0x35}},
    };
    auto dec = NewDecoder();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Bytes file = LoadFixture(c.file);
        std::vector<Entry> entries;
        ASSERT_TRUE(WalkArchive(file, &entries));
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& en = entries[i];
            ASSERT_STREQ(c.names[i], en.h.name);
            EXPECT_EQ(c.methods[i], en.h.method);
            Result r = Extract(*dec, file, en);
            EXPECT_TRUE(r.done) << en.h.name << " error " << r.error;
            EXPECT_TRUE(r.out == etalon) << en.h.name;
        }
    }
}

TEST(Unpack20Archives, SolidEntryNeedsItsPredecessor) {
    Bytes file = LoadFixture("v20/test_v2solid5.rar");
    std::vector<Entry> entries;
    ASSERT_TRUE(WalkArchive(file, &entries));
    ASSERT_EQ(2u, entries.size());
    ASSERT_TRUE(entries[1].h.block.flags & kFileSolid);
    auto dec = NewDecoder();
    // Alone, on a fresh decoder, and after a failed predecessor.
    Result alone = Extract(*dec, file, entries[1]);
    EXPECT_FALSE(alone.done);
    EXPECT_EQ(kUnpackBadCall, alone.error);
    Entry broken = entries[0];
    broken.h.packSize = 100;  // cut: the first entry fails
    EXPECT_FALSE(Extract(*dec, file, broken).done);
    EXPECT_FALSE(Extract(*dec, file, entries[1]).done);
    // The proper order still works on the same decoder.
    EXPECT_TRUE(CrcMatches(Extract(*dec, file, entries[0]), entries[0].h));
    EXPECT_TRUE(CrcMatches(Extract(*dec, file, entries[1]), entries[1].h));
}

TEST(Unpack20Archives, PiecesOfAnySizeGiveTheSameBytes) {
    Bytes etalon = LoadFixture("v20/etalon.bin");
    const struct {
        const char* file;
        size_t entry;
    } targets[] = {{"v20/test_v2.rar", 3}, {"v20/test_v2.rar", 6}, {"v20/test_v2solid5.rar", 1}};
    const struct {
        size_t in, out;
    } pieces[] = {{1, 1}, {1, 1024}, {2, 7}, {3, 4099}, {7, 1}, {8, 13}, {9, 65536}, {4093, 3}};
    auto dec = NewDecoder();
    for (const auto& t : targets) {
        Bytes file = LoadFixture(t.file);
        std::vector<Entry> entries;
        ASSERT_TRUE(WalkArchive(file, &entries));
        for (const auto& pc : pieces) {
            SCOPED_TRACE(std::string(t.file) + " entry " + std::to_string(t.entry) + " in " +
                         std::to_string(pc.in) + " out " + std::to_string(pc.out));
            // A solid entry is decoded after its predecessor, with the same pieces.
            for (size_t i = (entries[t.entry].h.block.flags & kFileSolid) ? 0 : t.entry;
                 i <= t.entry; ++i) {
                Result r = Extract(*dec, file, entries[i], pc.in, pc.out);
                EXPECT_TRUE(r.done);
                EXPECT_TRUE(r.out == etalon);
                EXPECT_LE(r.maxPiece, pc.out);
            }
        }
    }
}

TEST(Unpack20Archives, NeverReadsPastPackedSizeAndStopsAtUnpackedSize) {
    Bytes file = LoadFixture("v20/test_v2.rar");
    Bytes etalon = LoadFixture("v20/etalon.bin");
    std::vector<Entry> entries;
    ASSERT_TRUE(WalkArchive(file, &entries));
    auto dec = NewDecoder();
    for (size_t i = 1; i < entries.size(); ++i) {
        const Entry& en = entries[i];
        SCOPED_TRACE(en.h.name);
        const uint8_t* data = file.data() + en.dataOffset;
        size_t available = file.size() - en.dataOffset;  // the rest of the archive follows
        Result whole = Decode(*dec, data, available, EntryFor(en.h), 5);
        EXPECT_TRUE(whole.done);
        EXPECT_LE(whole.consumed, en.h.packSize);
        // Asking for less output gives exactly that prefix.
        for (size_t want : {1, 1000, 16383}) {
            UnpackEntry e = EntryFor(en.h);
            e.unpackedSize = want;
            Result part = Decode(*dec, data, en.h.packSize, e, 64, 333);
            EXPECT_TRUE(part.done) << want;
            EXPECT_TRUE(part.out == Bytes(etalon.begin(), etalon.begin() + want)) << want;
        }
    }
}

TEST(Unpack20Archives, CutPackedDataIsReportedAsTruncated) {
    Bytes file = LoadFixture("v20/test_v2.rar");
    std::vector<Entry> entries;
    ASSERT_TRUE(WalkArchive(file, &entries));
    auto dec = NewDecoder();
    for (size_t i : {3, 6}) {  // an LZ entry and the multimedia entry
        const Entry& en = entries[i];
        for (size_t keep : {0, 1, 20, 1000, 5000}) {
            SCOPED_TRACE(std::string(en.h.name) + " keep " + std::to_string(keep));
            UnpackEntry e = EntryFor(en.h);
            e.packedSize = keep;
            Result r = Decode(*dec, file.data() + en.dataOffset, keep, e);
            EXPECT_FALSE(r.done);
            EXPECT_EQ(kUnpackTruncated, r.error);
        }
        // A source that gives up early is the same as cut data.
        UnpackEntry e = EntryFor(en.h);
        Result r = Decode(*dec, file.data() + en.dataOffset, en.h.packSize / 2, e);
        EXPECT_EQ(kUnpackTruncated, r.error);
    }
}

TEST(Unpack20Archives, OtherVersionsFailWithoutHarm) {
    // Version 15 and 29 data is not RAR 2.0 data: the decoder either stops
    // with an error or produces bytes whose CRC does not match.
    const char* files[] = {"older/rar15-comment.rar", "v29/rar3-solid.rar", "v29/seektest.rar",
                           "v29/test_read_format_rar_compress_normal.rar",
                           "v29/test_read_format_rar_multi_lzss_blocks.rar"};
    auto dec = NewDecoder();
    size_t tried = 0;
    for (const char* name : files) {
        SCOPED_TRACE(name);
        Bytes file = LoadFixture(name);
        std::vector<Entry> entries;
        ASSERT_TRUE(WalkArchive(file, &entries));
        for (const Entry& en : entries) {
            if (en.h.unpVer == 20 || en.h.method == 0x30 || IsDirectory(en.h.block.flags))
                continue;
            Entry e = en;
            e.h.block.flags &= ~kFileSolid;  // try each entry on its own
            if (DictionaryBits(e.h.block.flags) > 4) e.h.block.flags &= ~kFileDictMask;
            Result r = Extract(*dec, file, e);
            EXPECT_FALSE(CrcMatches(r, en.h)) << en.h.name;
            EXPECT_LE(r.out.size(), en.h.unpSize);
            ++tried;
        }
    }
    EXPECT_EQ(8u, tried);
}

TEST(Unpack20Archives, MalformedArchivesAreRejectedOrFail) {
    const struct {
        const char* file;
        bool walkOk;         // the block chain itself is sound
        size_t goodEntries;  // entries whose CRC matches (an empty one's CRC is 0)
    } cases[] = {
        {"malformed/test_read_format_rar_endarc_huge.rar", false, 0},
        {"malformed/test_read_format_rar_invalid1.rar", false, 0},
        {"malformed/test_read_format_rar_newsub_huge.rar", true, 0},
        {"malformed/test_read_format_rar_noeof.rar", true, 1},
        {"malformed/test_read_format_rar_overflow.rar", true, 0},
        {"malformed/test_read_format_rar_ppmd_use_after_free.rar", false, 0},
        {"malformed/test_read_format_rar_symlink_huge.rar", true, 1},
        {"malformed/test_read_format_rar_unbound_staticdata.rar", true, 0},
    };
    auto dec = NewDecoder();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Bytes file = LoadFixture(c.file);
        std::vector<Entry> entries;
        EXPECT_EQ(c.walkOk, WalkArchive(file, &entries));
        size_t good = 0;
        for (const Entry& en : entries) {
            // Whatever the header claims, hand the data to the decoder.
            Entry e = en;
            e.h.block.flags &= ~(kFileSolid | kFileDictMask);
            if (e.h.method < 0x30 || e.h.method > 0x35) e.h.method = 0x33;
            if (e.h.packSize > file.size() - e.dataOffset) e.h.packSize = file.size() - e.dataOffset;
            Result r = Extract(*dec, file, e, 3, 1000);
            EXPECT_LE(r.out.size(), en.h.unpSize);
            if (CrcMatches(r, en.h)) ++good;
        }
        EXPECT_EQ(c.goodEntries, good);
    }
}

// ---- streams built here ----

// Writes RAR 2.0 bit streams with flat codes: every symbol of a table gets
// the same length, so a symbol's code is its number in that many bits.
class StreamWriter {
public:
    void Bits(uint32_t value, unsigned n) {
        for (unsigned i = n; i-- > 0;) {
            cur_ = (uint8_t)(cur_ << 1 | ((value >> i) & 1));
            if (++used_ == 8) Flush();
        }
    }
    // LZ tables: main 9 bits, distance 6, repeat lengths 5.
    void LzTables() {
        Header(false, 0);
        for (unsigned i = 0; i < 298; ++i) Bits(9, 5);
        for (unsigned i = 0; i < 48; ++i) Bits(6, 5);
        for (unsigned i = 0; i < 28; ++i) Bits(5, 5);
    }
    // Audio tables: 257 symbols of 9 bits per channel.
    void AudioTables(unsigned channels) {
        Header(true, channels);
        for (unsigned i = 0; i < 257 * channels; ++i) Bits(9, 5);
    }
    void Literal(uint8_t b) { Bits(b, 9); }
    // A match with a length code (270 + lc) and a distance code.
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
    // Mode bits, "no previous lengths", then a flat pre-code: all 19 length
    // symbols 5 bits long, so each length is sent as its own 5-bit value.
    void Header(bool audio, unsigned channels) {
        Bits(audio, 1);
        Bits(0, 1);
        if (audio) Bits(channels - 1, 2);
        for (int i = 0; i < 19; ++i) Bits(5, 4);
    }
    void Flush() {
        bytes_.push_back(cur_);
        cur_ = 0;
        used_ = 0;
    }
    Bytes bytes_;
    uint8_t cur_ = 0;
    unsigned used_ = 0;
};

UnpackEntry Synthetic(size_t packed, uint64_t unpacked, unsigned dictBits = 4, bool solid = false) {
    UnpackEntry e = {packed, unpacked, dictBits, solid, nullptr, nullptr};
    return e;
}

TEST(Unpack20Streams, MatchesAcrossTheWindowEndAndAtFullDistance) {
    // 1.5 MB: literals 0..255, then distance-256 matches of length 258
    // (code 27: 224 + 31 extra + 3, no bonus below 0x2000) repeat the
    // pattern; every 4096 matches, one match reaches back exactly 1 MB
    // (distance code 47, extra 65535), length 224 + 31 + 3 + 2 bonus = 260.
    StreamWriter w;
    w.LzTables();
    Bytes expect;
    for (int i = 0; i < 256; ++i) {
        w.Literal((uint8_t)i);
        expect.push_back((uint8_t)i);
    }
    const uint64_t total = 1536 * 1024;
    unsigned n = 0;
    while (expect.size() + 300 < total) {
        uint32_t dist, len;
        if (++n % 4096 == 0) {
            w.Match(27, 31, 5, 47, 65535, 16);
            dist = 0x100000;
            len = 224 + 31 + 3 + 2;
        } else {
            w.Match(27, 31, 5, 15, 63, 6);  // distance 192 + 1 + 63 = 256
            dist = 256;
            len = 258;
        }
        for (uint32_t k = 0; k < len; ++k) expect.push_back(expect[expect.size() - dist]);
    }
    Bytes packed = w.Finish();
    auto dec = NewDecoder();
    for (size_t outPiece : {(size_t)1 << 20, (size_t)4097}) {
        Result r = Decode(*dec, packed.data(), packed.size(), Synthetic(packed.size(), expect.size()),
                          65536, outPiece);
        EXPECT_TRUE(r.done) << r.error;
        EXPECT_TRUE(r.out == expect);
    }
}

TEST(Unpack20Streams, DistancesBeyondHistoryOrDictionaryFail) {
    struct Case {
        size_t literals;
        unsigned distCode;
        uint32_t distExtra;
        unsigned distBits;
        unsigned dictBits;
        UnpackError expect;
    };
    const Case cases[] = {
        {10, 3, 0, 0, 4, kUnpackNoError},         // distance 4 inside 10 bytes
        {10, 9, 0, 3, 4, kUnpackBadDistance},     // distance 25 > 10 bytes of history
        {3, 3, 0, 0, 4, kUnpackBadDistance},      // distance 4 > 3
        {75000, 32, 5000, 15, 0, kUnpackBadDistance},  // 70537 > 64 KB dictionary
        {75000, 32, 5000, 15, 1, kUnpackNoError},      // fits a 128 KB one
    };
    auto dec = NewDecoder();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.literals);
        StreamWriter w;
        w.LzTables();
        for (size_t i = 0; i < c.literals; ++i) w.Literal((uint8_t)i);
        w.Match(0, 0, 0, c.distCode, c.distExtra, c.distBits);
        Bytes packed = w.Finish();
        Result r = Decode(*dec, packed.data(), packed.size(),
                          Synthetic(packed.size(), c.literals + 3, c.dictBits));
        EXPECT_EQ(c.expect, r.error);
        EXPECT_EQ(c.expect == kUnpackNoError, r.done);
    }
}

TEST(Unpack20Streams, RepeatCodesUseTheDistanceHistory) {
    // Literals "abcdefgh", matches at distances 8, 4 and 2, then each kind
    // of repeat code; the expected bytes follow the history step by step.
    StreamWriter w;
    w.LzTables();
    Bytes expect;
    for (char ch : std::string("abcdefgh")) {
        w.Literal((uint8_t)ch);
        expect.push_back((uint8_t)ch);
    }
    auto copy = [&](uint32_t dist, uint32_t len) {
        for (uint32_t k = 0; k < len; ++k) expect.push_back(expect[expect.size() - dist]);
    };
    w.Match(0, 0, 0, 5, 1, 1);  // distance 6 + 1 + 1 = 8, length 3
    copy(8, 3);
    w.Match(1, 0, 0, 3, 0, 0);  // distance 4, length 4
    copy(4, 4);
    w.Match(0, 0, 0, 1, 0, 0);  // distance 2, length 3
    copy(2, 3);
    w.Bits(256, 9);  // last match again: distance 2, length 3; history 8,4,2,2
    copy(2, 3);
    w.Bits(260, 9);  // four back: distance 8; repeat length code 2 -> 2+2 = 4
    w.Bits(2, 5);
    copy(8, 4);
    w.Bits(258, 9);  // history 4,2,2,8: two back is 2; length code 0 -> 2
    w.Bits(0, 5);
    copy(2, 2);
    w.Bits(263, 9);  // short distance code 2: base 8 + 1 + 3 extra bits (5) = 14
    w.Bits(5, 3);
    copy(14, 2);
    Bytes packed = w.Finish();
    auto dec = NewDecoder();
    Result r = Decode(*dec, packed.data(), packed.size(), Synthetic(packed.size(), expect.size()));
    EXPECT_TRUE(r.done) << r.error;
    EXPECT_EQ(std::string(expect.begin(), expect.end()), std::string(r.out.begin(), r.out.end()));
}

TEST(Unpack20Streams, NewTablesAtTheEndServeTheNextSolidEntry) {
    // Entry 1: literals, then code 269 and a table block for audio mode
    // after its last byte. Entry 2 (solid) starts directly with audio
    // symbols: it only decodes if the trailing tables were taken in.
    StreamWriter w1;
    w1.LzTables();
    for (int i = 0; i < 5; ++i) w1.Literal('x');
    w1.Bits(269, 9);
    w1.AudioTables(1);
    Bytes p1 = w1.Finish();
    StreamWriter w2;
    w2.Bits(5, 9);  // LZ tables would read a literal 5; audio a delta of 5
    for (int i = 1; i < 40; ++i) w2.Bits(0, 9);
    Bytes p2 = w2.Finish();
    auto dec = NewDecoder();
    Result r1 = Decode(*dec, p1.data(), p1.size(), Synthetic(p1.size(), 5));
    EXPECT_TRUE(r1.done) << r1.error;
    EXPECT_EQ("xxxxx", std::string(r1.out.begin(), r1.out.end()));
    Result r2 = Decode(*dec, p2.data(), p2.size(), Synthetic(p2.size(), 40, 4, true));
    EXPECT_TRUE(r2.done) << r2.error;
    // A fresh predictor predicts 0, so the first byte is 0 - 5.
    ASSERT_EQ(40u, r2.out.size());
    EXPECT_EQ(251, r2.out[0]);
}

TEST(Unpack20Streams, MalformedTablesAndCodesFail) {
    struct Case {
        const char* what;
        Bytes packed;
        UnpackError expect;
    };
    std::vector<Case> cases;
    {
        StreamWriter w;  // "repeat previous length" as the very first length
        w.Bits(0, 2);
        for (int i = 0; i < 19; ++i) w.Bits(5, 4);
        w.Bits(16, 5);
        w.Bits(0, 16);
        cases.push_back({"repeat first", w.Finish(), kUnpackBadTables});
    }
    {
        StreamWriter w;  // pre-code symbols 19..31 are unassigned with 19 of 32 codes used
        w.Bits(0, 2);
        for (int i = 0; i < 19; ++i) w.Bits(5, 4);
        w.Bits(25, 5);
        w.Bits(0, 16);
        cases.push_back({"unassigned pre-code", w.Finish(), kUnpackBadSymbol});
    }
    {
        StreamWriter w;  // main symbols 298..511 are unassigned
        w.LzTables();
        w.Bits(300, 9);
        w.Bits(0, 16);
        cases.push_back({"unassigned main code", w.Finish(), kUnpackBadSymbol});
    }
    {
        StreamWriter w;  // distance symbols 48..63 are unassigned
        w.LzTables();
        w.Literal(1);
        w.Match(0, 0, 0, 50, 0, 0);
        w.Bits(0, 16);
        cases.push_back({"unassigned distance code", w.Finish(), kUnpackBadSymbol});
    }
    {
        StreamWriter w;  // all-zero pre-code lengths: nothing can be decoded
        for (int i = 0; i < 6; ++i) w.Bits(0, 16);
        cases.push_back({"empty pre-code", w.Finish(), kUnpackBadSymbol});
    }
    {
        StreamWriter w;  // over-subscribed pre-code: 19 codes of 4 bits
        w.Bits(0, 2);
        for (int i = 0; i < 19; ++i) w.Bits(4, 4);
        w.Bits(0, 16);
        cases.push_back({"over-subscribed", w.Finish(), kUnpackBadSymbol});
    }
    auto dec = NewDecoder();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Result r = Decode(*dec, c.packed.data(), c.packed.size(), Synthetic(c.packed.size(), 100));
        EXPECT_FALSE(r.done);
        EXPECT_EQ(c.expect, r.error);
        // Sticky: further reads give nothing.
        const uint8_t* p;
        EXPECT_EQ(0u, dec->Read(&p, 100));
    }
}

TEST(Unpack20Calls, ParametersAndWindowOwnership) {
    static uint8_t window[kUnpackWindowSize];
    Unpack20 dec;
    ASSERT_TRUE(dec.SetWindow(window));
    StreamWriter w;
    w.LzTables();
    w.Literal('q');
    Bytes packed = w.Finish();
    PieceSource src = {packed.data(), packed.size(), 1, 0};
    UnpackEntry e = {packed.size(), 1, 4, false, ReadPiece, &src};
    ASSERT_TRUE(dec.Begin(e));
    const uint8_t* p;
    ASSERT_EQ(1u, dec.Read(&p, 10));
    EXPECT_TRUE(p >= window && p < window + kUnpackWindowSize);
    EXPECT_EQ('q', *p);
    EXPECT_TRUE(dec.Done());

    // Empty entry: done at once, the source is never asked.
    src.calls = 0;
    e.unpackedSize = 0;
    ASSERT_TRUE(dec.Begin(e));
    EXPECT_EQ(0u, dec.Read(&p, 10));
    EXPECT_TRUE(dec.Done());
    EXPECT_EQ(0u, src.calls);

    const struct {
        unsigned dictBits;
        PackedReadFn read;
    } bad[] = {{5, ReadPiece}, {7, ReadPiece}, {0, nullptr}};
    for (const auto& b : bad) {
        e.unpackedSize = 1;
        e.dictionaryBits = b.dictBits;
        e.read = b.read;
        EXPECT_FALSE(dec.Begin(e));
        EXPECT_EQ(kUnpackBadCall, dec.Error());
        EXPECT_EQ(0u, dec.Read(&p, 10));
    }
}

}  // namespace
