// libFuzzer entry for the archive format layer: the locating step on the
// input as the head of a file, then a walk over the blocks from there, the
// way a reader would go, with every parsed file header written back and
// parsed again (the two must agree), and every integrity record written back
// and read again.
#include "archive/RarFormat.h"

#include <stdlib.h>
#include <string.h>

using namespace rar;

namespace {

void CheckRoundTrip(const FileHeader& h) {
    if (h.nameSize > kMaxNameBytes || (h.block.flags & kFileComment)) return;
    uint8_t buf[kFileHeaderFixedSize + 8 + kMaxNameBytes];
    size_t n = WriteFileHeader(buf, sizeof buf, h);
    FileHeader again;
    if (n == 0 || ParseFileHeader(buf, n, &again) != kParseOk) abort();
    if (!HeaderCrcOk(buf, again.block, again.crcEnd)) abort();
    if (again.packSize != h.packSize || again.unpSize != h.unpSize ||
        again.fileCrc != h.fileCrc || again.nameSize != h.nameSize ||
        memcmp(again.name, h.name, h.nameSize) != 0)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LocateResult at = LocateArchive(data, size);
    if (at.status != kLocateFound) return 0;
    if (at.offset + kMarkerSize > size) abort();
    size_t pos = at.offset + kMarkerSize;
    while (pos < size) {
        const uint8_t* p = data + pos;
        size_t left = size - pos;
        BlockHeader b;
        if (ParseBlockHeader(p, left, &b) != kParseOk) return 0;
        if (b.headSize < kBlockHeaderSize) abort();
        if (b.type == kBlockMain) {
            MainHeader m;
            if (ParseMainHeader(p, left, &m) == kParseOk) {
                if (m.crcEnd > left) abort();
                HeaderCrcOk(p, m.block, m.crcEnd);
            }
        } else if (b.type == kBlockFile) {
            FileHeader f;
            if (ParseFileHeader(p, left, &f) == kParseOk) {
                if (f.crcEnd > left || f.crcEnd > f.block.headSize) abort();
                if (strlen(f.name) > kMaxNameBytes + 1) abort();
                HeaderCrcOk(p, f.block, f.crcEnd);
                CheckRoundTrip(f);
            }
        }
        if (b.headSize <= left && IsIntegrityBlock(p, b)) {
            IntegrityRecord r = ParseIntegrityBlock(p), back;
            uint8_t again[kIntegrityBlockSize];
            BlockHeader ab;
            if (WriteIntegrityBlock(again, sizeof again, r) != kIntegrityBlockSize ||
                ParseBlockHeader(again, sizeof again, &ab) != kParseOk || !IsIntegrityBlock(again, ab) ||
                !HeaderCrcOk(again, ab, ab.headSize))
                abort();
            back = ParseIntegrityBlock(again);
            if (back.length != r.length || back.crc != r.crc) abort();
        }
        if (b.headSize > left || b.dataSize > left - b.headSize) return 0;
        pos += b.headSize + b.dataSize;
    }
    return 0;
}
