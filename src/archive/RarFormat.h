// RarFormat: the on-disk layout of RAR 2.x archives, shared by the reader in
// the installer and by the packaging tool that writes archives.
//
// An archive is a chain of blocks. Every block starts with the same 7 bytes;
// all numbers are little-endian:
//
//   offset size  field
//   0      2     header CRC  (low 16 bits of the CRC-32 of the header bytes
//                             from offset 2 on, up to crcEnd below)
//   2      1     block type  (0x72 marker, 0x73 main, 0x74 file, ...)
//   3      2     flags       (0x8000: a 32-bit data size follows;
//                             0x4000: readers that do not know the block skip it)
//   5      2     header size (counting from offset 0, at least 7)
//   7      4     data size   (only with flag 0x8000 or for file blocks)
//
// The block's data (packed file bytes, for a file block) follows its header,
// so the next block starts at  block start + header size + data size.
//
//   marker  "Rar!\x1A\x07\x00"  (read as a block: CRC 0x6152, type 0x72)
//   main    type 0x73, 13 bytes: 7 common + 2 + 4 reserved bytes.
//           flags: 0x01 volume, 0x02 comment inside, 0x08 solid archive.
//   file    type 0x74:
//           7   4  packed size (low half; the block's data size)
//           11  4  unpacked size (low half)
//           15  1  host OS (0 MS-DOS, 1 OS/2, 2 Win32, 3 Unix)
//           16  4  CRC-32 of the unpacked data
//           20  4  MS-DOS date and time
//           24  1  unpack version (15, 20, 26, 29 ...)
//           25  1  method 0x30 (stored) .. 0x35 (best)
//           26  2  name length
//           28  4  attributes
//           32  8  high halves of packed and unpacked size (flag 0x100 only)
//           ..  n  name bytes, then optional extras up to the header size
//           flags: 0x01 continued from previous volume, 0x02 continues in
//           next volume, 0x04 encrypted, 0x08 comment inside, 0x10 solid
//           (continues the previous entry's decoder state), 0xE0 dictionary
//           bits (0 = 64 KB .. 4 = 1 MB, 7 = directory), 0x100 64-bit sizes.
//   integrity record (written by our packaging tool right behind the main
//           header; an old-style sub-block, which other readers step over):
//           type 0x77, flags 0xC000, 26 bytes, data size 0:
//           11  2  sub-block type 0x4954 ("TI")
//           13  1  level 0
//           14  8  archive length: from the marker's first byte to the end
//                  of the end-of-archive block
//           22  4  CRC-32 of those bytes with this block's 26 left out
//   end     type 0x7B, flags 0x4000, 7 bytes: nothing of the archive follows
//           (a signature appended to the program may).
//
// Old archives embed a comment block inside the main header (flag 0x02) or
// a file header (flag 0x08); the header CRC then stops where that comment
// starts. Old-style sub-blocks of other kinds count their data into the
// header CRC, so only file, end and integrity headers have their CRC checked.
//
// Every parser here reads through ByteReader, which checks the remaining
// length before each read, so no header field can make it read or allocate
// beyond the buffer the caller handed in.
#ifndef TARV_ARCHIVE_RARFORMAT_H
#define TARV_ARCHIVE_RARFORMAT_H

#include <stddef.h>
#include <stdint.h>

namespace rar {

const size_t kMarkerSize = 7;
// The marker "Rar!" 0x1A 0x07 0x00 at `p` (kMarkerSize bytes there). The
// bytes are compared one by one and never stored together: a program that
// carried them as one constant (the installer does not) would make other
// readers, which take the first marker in a self-extractor, read its code
// as the archive.
inline bool IsMarker(const uint8_t* p) {
    return p[0] == 0x52 && p[1] == 0x61 && p[2] == 0x72 && p[3] == 0x21 && p[4] == 0x1A &&
           p[5] == 0x07 && p[6] == 0x00;
}

enum BlockType {
    kBlockMarker = 0x72,
    kBlockMain = 0x73,
    kBlockFile = 0x74,
    kBlockComment = 0x75,
    kBlockSub = 0x77,
    kBlockEnd = 0x7B
};
// RAR 2.x and its successors up to 4.x use the types 0x72 .. 0x7B only; any
// other type byte means the walk has left the archive's blocks.
inline bool IsKnownBlockType(uint8_t type) { return type >= kBlockMarker && type <= kBlockEnd; }

// Flags of every block.
const uint16_t kFlagLongBlock = 0x8000;
const uint16_t kFlagSkipIfUnknown = 0x4000;

// Main header flags.
const uint16_t kMainVolume = 0x0001;
const uint16_t kMainComment = 0x0002;
const uint16_t kMainSolid = 0x0008;

// File header flags.
const uint16_t kFileSplitBefore = 0x0001;
const uint16_t kFileSplitAfter = 0x0002;
const uint16_t kFileEncrypted = 0x0004;
const uint16_t kFileComment = 0x0008;
const uint16_t kFileSolid = 0x0010;
const uint16_t kFileDictMask = 0x00E0;
const uint16_t kFileDirectory = 0x00E0;
const uint16_t kFileLargeSizes = 0x0100;

const size_t kBlockHeaderSize = 7;
const size_t kLongBlockHeaderSize = 11;
const size_t kMainHeaderSize = 13;
const size_t kFileHeaderFixedSize = 32;
// The longest name the installer takes; a longer stored name is refused,
// never cut (two cut names could land in one file).
const size_t kMaxNameBytes = 259;
// Header sizes are 16-bit, so one buffer of this size holds any header.
const size_t kMaxHeaderSize = 0xFFFF;

// Dictionary bits of a file header: 0 = 64 KB ... 4 = 1 MB; 5 and 6 belong
// to newer formats, 7 marks a directory.
inline unsigned DictionaryBits(uint16_t fileFlags) { return (fileFlags >> 5) & 7; }
inline bool IsDirectory(uint16_t fileFlags) {
    return (fileFlags & kFileDictMask) == kFileDirectory;
}

// ---- CRC-32 (polynomial 0xEDB88320, as in zip) ----

// Continues a CRC-32: start with crc = 0, feed pieces in order.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t size);
inline uint32_t Crc32(const void* data, size_t size) { return Crc32Update(0, data, size); }
// Low 16 bits of the CRC-32 of header[2 .. crcEnd): the header CRC.
uint16_t HeaderCrc16(const uint8_t* header, size_t crcEnd);

// ---- bounded little-endian reader ----

// A cursor over untrusted bytes. A read that does not fit clears `ok`,
// returns zero and leaves the cursor at the end; later reads also fail.
struct ByteReader {
    const uint8_t* p;
    size_t left;
    bool ok;

    ByteReader(const uint8_t* data, size_t size) : p(data), left(size), ok(true) {}
    uint8_t U8();
    uint16_t U16();
    uint32_t U32();
    // Returns the start of `n` bytes and steps over them, or null.
    const uint8_t* Bytes(size_t n);
};

// ---- headers ----

enum ParseStatus {
    kParseOk,
    kParseShort,   // the buffer ends before the header does: read more
    kParseInvalid  // the bytes cannot be this header
};

struct BlockHeader {
    uint16_t headCrc;
    uint8_t type;
    uint16_t flags;
    uint16_t headSize;
    uint32_t dataSize;  // bytes that follow the header (0 for short blocks)
};

struct MainHeader {
    BlockHeader block;
    uint16_t reserved1;
    uint32_t reserved2;
    size_t crcEnd;  // the header CRC covers bytes [2, crcEnd)
};

struct FileHeader {
    BlockHeader block;
    uint64_t packSize;
    uint64_t unpSize;
    uint8_t hostOs;
    uint32_t fileCrc;
    uint32_t dosTime;
    uint8_t unpVer;
    uint8_t method;
    uint16_t nameSize;  // as stored; may exceed kMaxNameBytes
    uint32_t attributes;
    // The first min(nameSize, kMaxNameBytes + 1) name bytes, zero-terminated:
    // a name longer than kMaxNameBytes stays recognisably too long.
    char name[kMaxNameBytes + 2];
    size_t crcEnd;  // the header CRC covers bytes [2, crcEnd)
};

// The 7 (or 11, for long blocks) common bytes at the start of `buf`.
ParseStatus ParseBlockHeader(const uint8_t* buf, size_t size, BlockHeader* out);
// A whole main header; `size` must cover headSize bytes.
ParseStatus ParseMainHeader(const uint8_t* buf, size_t size, MainHeader* out);
// A whole file header; `size` must cover headSize bytes.
ParseStatus ParseFileHeader(const uint8_t* buf, size_t size, FileHeader* out);
// True when the stored header CRC matches the bytes of a parsed header.
inline bool HeaderCrcOk(const uint8_t* header, const BlockHeader& block, size_t crcEnd) {
    return HeaderCrc16(header, crcEnd) == block.headCrc;
}

// ---- integrity record and end of archive ----

const size_t kIntegrityBlockSize = 26;
const uint16_t kSubIntegrity = 0x4954;
const size_t kEndBlockSize = kBlockHeaderSize;

struct IntegrityRecord {
    uint64_t length;  // archive bytes from the marker through the end block
    uint32_t crc;     // CRC-32 of those bytes, the integrity block left out
};

// True when the parsed block is an integrity record (type, size, sub-block
// type); its header CRC is checked apart, with HeaderCrcOk over the whole
// block. `header` holds block.headSize bytes.
bool IsIntegrityBlock(const uint8_t* header, const BlockHeader& block);
IntegrityRecord ParseIntegrityBlock(const uint8_t* header);

// ---- writing (packaging tool) ----
// Each returns the bytes written, or 0 when `cap` is too small or the
// header cannot be represented.

size_t WriteMarker(uint8_t* out, size_t cap);
size_t WriteMainHeader(uint8_t* out, size_t cap, uint16_t flags);
// Writes the header of `h` (block.type, headSize, headCrc and the long-block
// and large-size flags are filled in from the other fields; nameSize bytes
// of `name` are written; nameSize must not exceed kMaxNameBytes).
size_t WriteFileHeader(uint8_t* out, size_t cap, const FileHeader& h);
size_t WriteIntegrityBlock(uint8_t* out, size_t cap, const IntegrityRecord& r);
size_t WriteEndBlock(uint8_t* out, size_t cap);

// ---- finding the archive inside a self-extracting program ----

// How many leading file bytes the search looks at: 7 bytes, then up to
// 0x1FFF0 more.
const size_t kLocateWindow = 7 + 0x1FFF0;
// The last offset at which the search finds an archive (0x1FFED): the
// 7-byte marker and the main header's type byte behind it (at marker + 9)
// must lie within the kLocateWindow bytes looked at. An installer with an
// archive appended must therefore be at most this long.
const size_t kLastMarkerOffset = kLocateWindow - (kMarkerSize + 3);

enum LocateStatus {
    kLocateFound,
    kLocateOldFormat,  // a RAR 1.x archive or self-extractor: refused
    kLocateNone
};

struct LocateResult {
    LocateStatus status;
    uint32_t offset;  // start of the marker block when found
};

// `head` holds the first `size` bytes of the file (only the first
// kLocateWindow of them are looked at).
LocateResult LocateArchive(const uint8_t* head, size_t size);

}  // namespace rar

#endif
