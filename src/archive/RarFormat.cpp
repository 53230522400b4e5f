// RarFormat: CRC-32, header parsing and writing, locating the archive.
#include "archive/RarFormat.h"

#include <string.h>

namespace rar {


namespace {

// Eight tables let the CRC loop fold in eight bytes per step (t[s][i] is the
// CRC of byte i followed by s zero bytes). They are built when the module is
// initialised, before main and before any thread exists: 8 KB of zeroed
// memory that the installer file does not carry, and no race on first use.
// Nothing computes a CRC during static initialisation.
#if defined(_WIN32) && defined(__GNUC__)
// With -fdata-sections, mingw's compiler gives zeroed arrays sections of
// initialised data, which the linker keeps in the file; .bss keeps them out.
__attribute__((section(".bss")))
#endif
uint32_t kCrcTable[8][256];

struct CrcTableBuilder {
    CrcTableBuilder() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
            kCrcTable[0][i] = c;
        }
        for (int i = 0; i < 256; ++i)
            for (int s = 1; s < 8; ++s)
                kCrcTable[s][i] = (kCrcTable[s - 1][i] >> 8) ^ kCrcTable[0][kCrcTable[s - 1][i] & 0xFF];
    }
} g_buildCrcTable;

uint32_t Get32(const uint8_t* p) {
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

void Put16(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
    Put16(p, v);
    Put16(p + 2, v >> 16);
}

void Put64(uint8_t* p, uint64_t v) {
    Put32(p, (uint32_t)v);
    Put32(p + 4, (uint32_t)(v >> 32));
}

// The 7 common bytes with a zero CRC; the caller adds the CRC last.
void PutBlockStart(uint8_t* out, uint8_t type, uint16_t flags, size_t size) {
    Put16(out, 0);
    out[2] = type;
    Put16(out + 3, flags);
    Put16(out + 5, (uint32_t)size);
}

// "RE~^": the signature of RAR 1.x archives.
bool IsOldSignature(const uint8_t* p) {
    return p[0] == 0x52 && p[1] == 0x45 && p[2] == 0x7E && p[3] == 0x5E;
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    uint32_t c = ~crc;
    for (; size >= 8; p += 8, size -= 8) {
        c ^= Get32(p);
        uint32_t next = Get32(p + 4);
        c = kCrcTable[7][c & 0xFF] ^ kCrcTable[6][(c >> 8) & 0xFF] ^ kCrcTable[5][(c >> 16) & 0xFF] ^
            kCrcTable[4][c >> 24] ^ kCrcTable[3][next & 0xFF] ^ kCrcTable[2][(next >> 8) & 0xFF] ^
            kCrcTable[1][(next >> 16) & 0xFF] ^ kCrcTable[0][next >> 24];
    }
    for (; size; --size) c = (c >> 8) ^ kCrcTable[0][(c ^ *p++) & 0xFF];
    return ~c;
}

uint16_t HeaderCrc16(const uint8_t* header, size_t crcEnd) {
    if (crcEnd < 2) return 0;
    return (uint16_t)Crc32(header + 2, crcEnd - 2);
}

uint8_t ByteReader::U8() {
    const uint8_t* b = Bytes(1);
    return b ? b[0] : 0;
}

uint16_t ByteReader::U16() {
    const uint8_t* b = Bytes(2);
    return b ? (uint16_t)(b[0] | b[1] << 8) : 0;
}

uint32_t ByteReader::U32() {
    const uint8_t* b = Bytes(4);
    return b ? Get32(b) : 0;
}

const uint8_t* ByteReader::Bytes(size_t n) {
    if (!ok || n > left) {
        ok = false;
        p += left;
        left = 0;
        return nullptr;
    }
    const uint8_t* start = p;
    p += n;
    left -= n;
    return start;
}

ParseStatus ParseBlockHeader(const uint8_t* buf, size_t size, BlockHeader* out) {
    ByteReader r(buf, size);
    out->headCrc = r.U16();
    out->type = r.U8();
    out->flags = r.U16();
    out->headSize = r.U16();
    out->dataSize = 0;
    if (!r.ok) return kParseShort;
    // File blocks always carry their packed size where long blocks keep the
    // data size, whatever their flags say.
    bool hasData = (out->flags & kFlagLongBlock) || out->type == kBlockFile;
    if (out->headSize < (hasData ? kLongBlockHeaderSize : kBlockHeaderSize)) return kParseInvalid;
    if (hasData) {
        out->dataSize = r.U32();
        if (!r.ok) return kParseShort;
    }
    return kParseOk;
}

ParseStatus ParseMainHeader(const uint8_t* buf, size_t size, MainHeader* out) {
    ParseStatus st = ParseBlockHeader(buf, size, &out->block);
    if (st != kParseOk) return st;
    if (out->block.type != kBlockMain || out->block.headSize < kMainHeaderSize) return kParseInvalid;
    if (size < out->block.headSize) return kParseShort;
    ByteReader r(buf + kBlockHeaderSize, out->block.headSize - kBlockHeaderSize);
    out->reserved1 = r.U16();
    out->reserved2 = r.U32();
    out->crcEnd = (out->block.flags & kMainComment) ? kMainHeaderSize : out->block.headSize;
    return kParseOk;
}

ParseStatus ParseFileHeader(const uint8_t* buf, size_t size, FileHeader* out) {
    ParseStatus st = ParseBlockHeader(buf, size, &out->block);
    if (st != kParseOk) return st;
    const BlockHeader& b = out->block;
    if (b.type != kBlockFile || b.headSize < kFileHeaderFixedSize) return kParseInvalid;
    if (size < b.headSize) return kParseShort;
    ByteReader r(buf + kBlockHeaderSize, b.headSize - kBlockHeaderSize);
    uint32_t packLow = r.U32();
    uint32_t unpLow = r.U32();
    out->hostOs = r.U8();
    out->fileCrc = r.U32();
    out->dosTime = r.U32();
    out->unpVer = r.U8();
    out->method = r.U8();
    out->nameSize = r.U16();
    out->attributes = r.U32();
    uint32_t packHigh = 0, unpHigh = 0;
    if (b.flags & kFileLargeSizes) {
        packHigh = r.U32();
        unpHigh = r.U32();
    }
    const uint8_t* name = r.Bytes(out->nameSize);
    if (!r.ok) return kParseInvalid;  // the header is whole but too small for its fields
    out->packSize = (uint64_t)packHigh << 32 | packLow;
    out->unpSize = (uint64_t)unpHigh << 32 | unpLow;
    size_t keep = out->nameSize <= kMaxNameBytes ? out->nameSize : kMaxNameBytes + 1;
    memcpy(out->name, name, keep);
    out->name[keep] = 0;
    out->crcEnd = (b.flags & kFileComment) ? (size_t)(name - buf) + out->nameSize : b.headSize;
    return kParseOk;
}

size_t WriteMarker(uint8_t* out, size_t cap) {
    if (cap < kMarkerSize) return 0;
    out[0] = 0x52;  // "Rar!"
    out[1] = 0x61;
    out[2] = 0x72;
    out[3] = 0x21;
    out[4] = 0x1A;
    out[5] = 0x07;
    out[6] = 0x00;
    return kMarkerSize;
}

size_t WriteMainHeader(uint8_t* out, size_t cap, uint16_t flags) {
    // An embedded comment would need its own layout; this writer has none.
    if (cap < kMainHeaderSize || (flags & (kMainComment | kFlagLongBlock))) return 0;
    memset(out, 0, kMainHeaderSize);
    PutBlockStart(out, kBlockMain, flags, kMainHeaderSize);
    Put16(out, HeaderCrc16(out, kMainHeaderSize));
    return kMainHeaderSize;
}

size_t WriteFileHeader(uint8_t* out, size_t cap, const FileHeader& h) {
    if (h.nameSize > kMaxNameBytes || (h.block.flags & kFileComment)) return 0;
    bool large = (h.packSize | h.unpSize) >> 32 != 0;
    size_t size = kFileHeaderFixedSize + (large ? 8 : 0) + h.nameSize;
    if (cap < size) return 0;
    uint16_t flags = (uint16_t)((h.block.flags & ~kFileLargeSizes) | kFlagLongBlock |
                                (large ? kFileLargeSizes : 0));
    PutBlockStart(out, kBlockFile, flags, size);
    Put32(out + 7, (uint32_t)h.packSize);
    Put32(out + 11, (uint32_t)h.unpSize);
    out[15] = h.hostOs;
    Put32(out + 16, h.fileCrc);
    Put32(out + 20, h.dosTime);
    out[24] = h.unpVer;
    out[25] = h.method;
    Put16(out + 26, h.nameSize);
    Put32(out + 28, h.attributes);
    uint8_t* name = out + kFileHeaderFixedSize;
    if (large) {
        Put32(name, (uint32_t)(h.packSize >> 32));
        Put32(name + 4, (uint32_t)(h.unpSize >> 32));
        name += 8;
    }
    memcpy(name, h.name, h.nameSize);
    Put16(out, HeaderCrc16(out, size));
    return size;
}

bool IsIntegrityBlock(const uint8_t* header, const BlockHeader& block) {
    return block.type == kBlockSub && block.headSize == kIntegrityBlockSize &&
           (block.flags & kFlagLongBlock) && header[11] == (uint8_t)kSubIntegrity &&
           header[12] == (uint8_t)(kSubIntegrity >> 8);
}

IntegrityRecord ParseIntegrityBlock(const uint8_t* header) {
    IntegrityRecord r;
    r.length = (uint64_t)Get32(header + 18) << 32 | Get32(header + 14);
    r.crc = Get32(header + 22);
    return r;
}

size_t WriteIntegrityBlock(uint8_t* out, size_t cap, const IntegrityRecord& r) {
    if (cap < kIntegrityBlockSize) return 0;
    PutBlockStart(out, kBlockSub, kFlagLongBlock | kFlagSkipIfUnknown, kIntegrityBlockSize);
    Put32(out + 7, 0);
    Put16(out + 11, kSubIntegrity);
    out[13] = 0;
    Put64(out + 14, r.length);
    Put32(out + 22, r.crc);
    Put16(out, HeaderCrc16(out, kIntegrityBlockSize));
    return kIntegrityBlockSize;
}

size_t WriteEndBlock(uint8_t* out, size_t cap) {
    if (cap < kEndBlockSize) return 0;
    PutBlockStart(out, kBlockEnd, kFlagSkipIfUnknown, kEndBlockSize);
    Put16(out, HeaderCrc16(out, kEndBlockSize));
    return kEndBlockSize;
}

LocateResult LocateArchive(const uint8_t* head, size_t size) {
    LocateResult r = {kLocateNone, 0};
    if (size > kLocateWindow) size = kLocateWindow;
    if (size < kMarkerSize) return r;
    if (IsOldSignature(head)) {
        r.status = kLocateOldFormat;
        return r;
    }
    if (IsMarker(head)) {
        r.status = kLocateFound;
        return r;
    }
    // RAR 1.x self-extractors carry "RSFX" at offset 28 of the program.
    bool oldSfx = size >= 32 && memcmp(head + 28, "RSFX", 4) == 0;
    const uint8_t* end = head + size;
    for (const uint8_t* p = head + kMarkerSize; p < end; ++p) {
        p = static_cast<const uint8_t*>(memchr(p, 'R', end - p));
        if (!p) break;
        size_t left = end - p;
        if (oldSfx && left >= 4 && IsOldSignature(p)) {
            r.status = kLocateOldFormat;
        } else if (left >= kMarkerSize + 3 && IsMarker(p) &&
                   p[kMarkerSize + 2] == kBlockMain) {
            r.status = kLocateFound;
        } else {
            continue;
        }
        r.offset = (uint32_t)(p - head);
        return r;
    }
    return r;
}

}  // namespace rar
