// RarFormat: CRC-32, header parsing against real archives, the write/parse
// round trip, cut or lying headers, and locating the archive in
// self-extracting programs.
#include "archive/RarFormat.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <string>

#include "support/PortableArchiveSupport.h"

using namespace rar;

namespace {

TEST(RarCrc, KnownValuesAndPieces) {
    const struct {
        const char* text;
        uint32_t crc;
    } cases[] = {{"", 0}, {"a", 0xE8B7BE43}, {"123456789", 0xCBF43926},
                 {"The quick brown fox jumps over the lazy dog", 0x414FA339}};
    for (const auto& c : cases) {
        size_t n = strlen(c.text);
        EXPECT_EQ(c.crc, Crc32(c.text, n)) << c.text;
        for (size_t cut = 0; cut <= n; ++cut)  // splits that misalign the four-byte steps too
            EXPECT_EQ(c.crc, Crc32Update(Crc32(c.text, cut), c.text + cut, n - cut)) << cut;
    }
}

FileHeader MakeHeader(uint64_t pack, uint64_t unp, const std::string& name, uint16_t flags) {
    FileHeader h = {};
    h.block.flags = flags;
    h.packSize = pack;
    h.unpSize = unp;
    h.hostOs = 2;
    h.fileCrc = 0xDEADBEEF;
    h.dosTime = 0x5A21634B;
    h.unpVer = 20;
    h.method = 0x33;
    h.nameSize = (uint16_t)name.size();
    h.attributes = 0x20;
    memcpy(h.name, name.data(), name.size());
    return h;
}

TEST(RarHeaders, WriteThenParseRoundTrip) {
    const struct {
        uint64_t pack, unp;
        size_t nameLen;
        uint16_t flags;
    } cases[] = {
        {0, 0, 1, 0},
        {12345, 67890, 8, kFileSolid | 4 << 5},
        {0xFFFFFFFFu, 0xFFFFFFFFu, 259, 2 << 5},
        {0x100000000ull, 5, 3, 0},  // 64-bit sizes add 8 bytes and their flag
        {7, 0x123456789ABull, 20, kFileDirectory},
    };
    uint8_t buf[400];
    for (const auto& c : cases) {
        SCOPED_TRACE(c.nameLen);
        std::string name(c.nameLen, 'n');
        FileHeader in = MakeHeader(c.pack, c.unp, name, c.flags), out;
        size_t n = WriteFileHeader(buf, sizeof buf, in);
        bool large = (c.pack | c.unp) >> 32 != 0;
        ASSERT_EQ(32 + (large ? 8 : 0) + c.nameLen, n);
        EXPECT_EQ(0u, WriteFileHeader(buf, n - 1, in));
        ASSERT_EQ(kParseOk, ParseFileHeader(buf, n, &out));
        EXPECT_TRUE(HeaderCrcOk(buf, out.block, out.crcEnd));
        EXPECT_EQ(n, out.block.headSize);
        EXPECT_EQ(c.pack, out.packSize);
        EXPECT_EQ(c.unp, out.unpSize);
        EXPECT_EQ((uint32_t)c.pack, out.block.dataSize);
        EXPECT_EQ(c.flags | kFlagLongBlock | (large ? kFileLargeSizes : 0), out.block.flags);
        EXPECT_EQ(in.fileCrc, out.fileCrc);
        EXPECT_EQ(in.dosTime, out.dosTime);
        EXPECT_EQ(in.attributes, out.attributes);
        EXPECT_EQ(in.method, out.method);
        EXPECT_EQ(name, std::string(out.name));
        buf[n - 1] ^= 1;
        EXPECT_FALSE(HeaderCrcOk(buf, out.block, out.crcEnd));
    }
    // Too long a name, or an embedded comment, cannot be written.
    FileHeader h = MakeHeader(1, 1, "x", 0);
    h.nameSize = 260;
    EXPECT_EQ(0u, WriteFileHeader(buf, sizeof buf, h));
    h = MakeHeader(1, 1, "x", kFileComment);
    EXPECT_EQ(0u, WriteFileHeader(buf, sizeof buf, h));
    // The main header of a solid archive, byte for byte as the archiver writes it.
    ASSERT_EQ(13u, WriteMainHeader(buf, sizeof buf, kMainSolid));
    const uint8_t solidMain[13] = {0x3B, 0xD0, 0x73, 0x08, 0, 0x0D, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, memcmp(solidMain, buf, 13));
    EXPECT_EQ(0u, WriteMainHeader(buf, 12, 0));
    EXPECT_EQ(7u, WriteMarker(buf, 7));
    EXPECT_TRUE(IsMarker(buf));
    // The integrity record and the end block, as other readers see them: an
    // old-style sub-block to skip (long, "skip if unknown", no data) and a
    // plain end block.
    ASSERT_EQ(26u, WriteIntegrityBlock(buf, sizeof buf, IntegrityRecord{0x1122334455667788ull, 0xAABBCCDD}));
    const uint8_t record[24] = {0x77, 0x00, 0xC0, 26, 0, 0, 0, 0, 0, 0x54, 0x49, 0,
                                0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 0xDD, 0xCC, 0xBB, 0xAA};
    EXPECT_EQ(0, memcmp(record, buf + 2, 24));
    BlockHeader b;
    ASSERT_EQ(kParseOk, ParseBlockHeader(buf, 26, &b));
    EXPECT_TRUE(IsIntegrityBlock(buf, b) && HeaderCrcOk(buf, b, b.headSize));
    EXPECT_EQ(0x1122334455667788ull, ParseIntegrityBlock(buf).length);
    EXPECT_EQ(0xAABBCCDDu, ParseIntegrityBlock(buf).crc);
    buf[11] ^= 1;
    EXPECT_FALSE(IsIntegrityBlock(buf, b));
    ASSERT_EQ(7u, WriteEndBlock(buf, 7));
    ASSERT_EQ(kParseOk, ParseBlockHeader(buf, 7, &b));
    EXPECT_TRUE(b.type == kBlockEnd && b.flags == kFlagSkipIfUnknown && HeaderCrcOk(buf, b, 7));
}

TEST(RarHeaders, CutOrLyingHeadersAreRefused) {
    uint8_t buf[64];
    size_t n = WriteFileHeader(buf, sizeof buf, MakeHeader(100, 200, "name.txt", 0));
    ASSERT_EQ(40u, n);
    FileHeader out;
    for (size_t cut = 0; cut < n; ++cut) EXPECT_EQ(kParseShort, ParseFileHeader(buf, cut, &out)) << cut;
    const struct {
        const char* what;
        size_t at;
        uint8_t value;
    } patches[] = {
        {"header size below 7", 5, 6},
        {"file header below 32", 5, 31},
        {"name runs past the header", 26, 9},
        {"64-bit sizes without room", 4, 0x81},
        {"not a file block", 2, kBlockMain},
    };
    for (const auto& p : patches) {
        uint8_t copy[64];
        memcpy(copy, buf, n);
        copy[p.at] = p.value;
        EXPECT_EQ(kParseInvalid, ParseFileHeader(copy, n, &out)) << p.what;
    }
    // A long block needs room for its data size.
    const uint8_t longTooSmall[] = {0, 0, 0x7A, 0x00, 0x80, 10, 0, 0, 0, 0, 0};
    BlockHeader b;
    EXPECT_EQ(kParseInvalid, ParseBlockHeader(longTooSmall, sizeof longTooSmall, &b));
    const uint8_t longBlock[] = {0, 0, 0x7A, 0x00, 0x80, 11, 0, 0x78, 0x56, 0x34, 0x12};
    ASSERT_EQ(kParseOk, ParseBlockHeader(longBlock, sizeof longBlock, &b));
    EXPECT_EQ(0x12345678u, b.dataSize);
    EXPECT_EQ(kParseShort, ParseBlockHeader(longBlock, 10, &b));
    // A failed read leaves the cursor failed.
    ByteReader r(buf, 3);
    EXPECT_EQ(buf[0] | buf[1] << 8, r.U16());
    EXPECT_EQ(0u, r.U16());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(nullptr, r.Bytes(0));
}

// A file image of `size` decoy 'R' bytes with strings placed in it (cut at its end).
Bytes Image(size_t size, std::initializer_list<std::pair<size_t, std::string>> parts) {
    Bytes b(size, 0x52);
    for (const auto& p : parts)
        memcpy(&b[p.first], p.second.data(), std::min(p.second.size(), size - p.first));
    return b;
}

TEST(RarLocate, SyntheticImages) {
    const std::string mark("Rar!\x1A\x07\x00", 7), markMain = mark + std::string("\x00\x00\x73", 3);
    const std::string old("RE~^", 4);
    const struct {
        const char* what;
        Bytes image;
        LocateStatus status;
        uint32_t offset;
    } cases[] = {
        {"archive at 0", Image(100, {{0, mark}}), kLocateFound, 0},
        {"RAR 1.x archive", Image(100, {{0, old + "xyz"}}), kLocateOldFormat, 0},
        {"too short", Image(6, {}), kLocateNone, 0},
        {"the search starts behind the first 7 bytes", Image(100, {{1, markMain}}), kLocateNone, 0},
        {"marker without a main header is passed",
         Image(5000, {{0, "MZ"}, {100, mark}, {4000, markMain}}), kLocateFound, 4000},
        {"RAR 1.x self-extractor", Image(5000, {{0, "MZ"}, {28, "RSFX"}, {3000, old}, {4000, markMain}}),
         kLocateOldFormat, 3000},
        {"RE~^ without RSFX is no hit", Image(5000, {{0, "MZ"}, {3000, old}, {4000, markMain}}),
         kLocateFound, 4000},
        {"first hit wins", Image(5000, {{0, "MZ"}, {28, "RSFX"}, {2000, markMain}, {3000, old}}),
         kLocateFound, 2000},
        {"last place that fits the window", Image(0x20100, {{0, "MZ"}, {kLastMarkerOffset, markMain}}),
         kLocateFound, 0x1FFED},
        {"just beyond the window", Image(0x20100, {{0, "MZ"}, {kLastMarkerOffset + 1, markMain}}),
         kLocateNone, 0},
        {"cut by the end of the buffer", Image(1009, {{0, "MZ"}, {1000, markMain}}), kLocateNone, 0},
    };
    for (const auto& c : cases) {
        LocateResult r = LocateArchive(c.image.data(), c.image.size());
        EXPECT_EQ(c.status, r.status) << c.what;
        EXPECT_EQ(c.offset, r.offset) << c.what;
    }
}

TEST(RarLocate, RealSelfExtractors) {
    const struct {
        const char* file;
        LocateStatus status;
        uint32_t offset;
    } cases[] = {
        {"sfx/testfile.rar3.wingui.sfx.exe", kLocateFound, 0x16A00},
        {"sfx/test_read_format_rar_sfx.exe", kLocateFound, 0x18200},
        {"sfx/testfile.rar3.dos_sfx.exe", kLocateNone, 0},  // marker at 0x33600
    };
    for (const auto& c : cases) {
        Bytes file = LoadRarFixture(c.file);
        LocateResult r = LocateArchive(file.data(), file.size());  // only the window counts
        EXPECT_EQ(c.status, r.status) << c.file;
        EXPECT_EQ(c.offset, r.offset) << c.file;
    }
}

}  // namespace
