// RarReader: locating, header walk and data pass over a VolumeIo.
#include "archive/RarReader.h"

#include <stdlib.h>
#include <string.h>

namespace rar {

namespace {

// The locating step reads this much of a volume's head (kLocateWindow fits).
const size_t kScanBufferSize = 0x20000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A path component that Win32 path handling could turn into "..": two or
// more dots, possibly with blanks, which Windows strips at a component's end.
bool IsParentComponent(const char* s, size_t n) {
    size_t dots = 0;
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == '.') ++dots;
        else if (s[i] != ' ') return false;
    }
    return dots >= 2;
}

}  // namespace

TStr NextVolumeName(const TStr& name) {
    long sep = name.rfind('\\');
    long slash = name.rfind('/');
    if (slash > sep) sep = slash;
    long dot = name.rfind('.');
    TStr next = name;
    if (dot <= sep) {
        dot = (long)next.length();
        next += ".rar";
    }
    size_t ext = (size_t)dot + 1;
    TStr extension = next.substr(ext);
    if (extension.empty() || SameText(extension, "exe")) {
        next.resize(ext);
        next += "rar";
    }
    if (next.length() >= ext + 3 && IsDigit(next[ext + 1]) && IsDigit(next[ext + 2])) {
        char& high = next.at(ext + 1);
        char& low = next.at(ext + 2);
        if (low < '9') {
            ++low;
        } else {
            low = '0';
            high = high < '9' ? (char)(high + 1) : 'A';
        }
        return next;
    }
    TStr tail = next.length() > ext + 3 ? next.substr(ext + 3) : TStr();
    return next.substr(0, ext + 1) + "00" + tail;
}

void NormaliseName(char* name) {
    size_t n = strlen(name);
    for (size_t i = 0; i < n; ++i)
        if (name[i] == '/') name[i] = '\\';
    auto drop = [name, &n](size_t k) {
        memmove(name, name + k, n - k + 1);
        n -= k;
    };
    if (n >= 2 && name[1] == ':') drop(2);
    if (n >= 2 && name[0] == '.' && name[1] == '\\') drop(1);
    if (n >= 3 && name[0] == '.' && name[1] == '.' && name[2] == '\\') drop(2);
    if (n >= 1 && name[0] == '\\') drop(1);
}

bool IsSafeName(const char* name) {
    if (!name[0] || name[0] == '\\' || name[0] == '/' || strchr(name, ':')) return false;
    const char* start = name;
    for (const char* p = name;; ++p) {
        if (*p == '\\' || *p == '/' || *p == 0) {
            if (IsParentComponent(start, (size_t)(p - start))) return false;
            if (*p == 0) return true;
            start = p + 1;
        }
    }
}

RarReader::RarReader()
    : io_(), mainFlags_(0), pos_(0), ended_(false), haveEntry_(false), headerCrcOk_(true), cur_(), dataPos_(0),
      dataLeft_(0), nextPos_(0) {}

OpenStatus RarReader::Open(const VolumeIo& io, const char* path) {
    io_ = io;
    volumeName_ = path;
    haveEntry_ = false;
    ended_ = false;
    return OpenVolume();
}

// Locates the archive in the open volume and reads its main header; the walk
// then starts behind that header. A mismatching main header CRC is accepted.
OpenStatus RarReader::OpenVolume() {
    uint8_t* head = static_cast<uint8_t*>(malloc(kScanBufferSize));
    if (!head) return kOpenNoArchive;
    size_t got = io_.readAt(io_.ctx, 0, head, kLocateWindow);
    LocateResult at = LocateArchive(head, got);
    free(head);
    if (at.status == kLocateOldFormat) return kOpenOldFormat;
    if (at.status != kLocateFound) return kOpenNoArchive;
    uint64_t mainPos = (uint64_t)at.offset + kMarkerSize;
    BlockHeader block;
    MainHeader main;
    if (!ReadHeaderAt(mainPos, &block) || ParseMainHeader(buf_, block.headSize, &main) != kParseOk)
        return kOpenNoArchive;
    mainFlags_ = main.block.flags;
    pos_ = mainPos + main.block.headSize;
    return kOpenOk;
}

// Reads the whole header of the block at `pos` into buf_. False at the end
// of the volume or when the bytes cannot start a block.
bool RarReader::ReadHeaderAt(uint64_t pos, BlockHeader* block) {
    size_t got = io_.readAt(io_.ctx, pos, buf_, kLongBlockHeaderSize);
    if (ParseBlockHeader(buf_, got, block) != kParseOk) return false;
    return io_.readAt(io_.ctx, pos, buf_, block->headSize) == block->headSize;
}

bool RarReader::ReadFileHeader(FileHeader* out) {
    if (haveEntry_) {
        *out = cur_;
        return true;
    }
    if (ended_) return false;
    for (;;) {
        BlockHeader block;
        if (!ReadHeaderAt(pos_, &block)) return false;
        uint64_t next = pos_ + block.headSize + block.dataSize;
        if (block.type == kBlockFile) {
            if (ParseFileHeader(buf_, block.headSize, &cur_) != kParseOk) return false;
            // Large entries keep the high half of their size after the name;
            // a 64-bit size can wrap the position around, which ends the walk.
            next = pos_ + block.headSize + cur_.packSize;
            if (next <= pos_) return false;
            if (!IsDirectory(block.flags)) {
                headerCrcOk_ = HeaderCrcOk(buf_, block, cur_.crcEnd);
                if (cur_.hostOs > 3) {
                    cur_.hostOs = 0;
                    cur_.attributes = 0x20;
                }
                NormaliseName(cur_.name);
                dataPos_ = pos_ + block.headSize;
                dataLeft_ = cur_.packSize;
                nextPos_ = next;
                haveEntry_ = true;
                *out = cur_;
                return true;
            }
        }
        pos_ = next;
    }
}

int RarReader::ProcessFile(ProcessMode mode, const EntrySink& sink) {
    if (!haveEntry_) return kExtractOk;
    int result = kExtractOk;
    if (mode == kProcessExtract || (mode == kProcessSkip && Solid()))
        result = Pass(mode == kProcessExtract, sink);
    SkipRemainingParts();
    pos_ = nextPos_;
    haveEntry_ = false;
    return result;
}

// Follows the current entry through the volumes that still hold parts of it
// without reading their data.
void RarReader::SkipRemainingParts() {
    while ((cur_.block.flags & kFileSplitAfter) && NextVolume()) {
    }
}

// Opens the next volume of the set and takes the continuation of the current
// entry from its first file header. On failure the entry cannot continue:
// its "continues" flag is cleared so no caller asks again.
bool RarReader::NextVolume() {
    cur_.block.flags &= ~kFileSplitAfter;
    TStr name = NextVolumeName(volumeName_);
    bool opened = false;
    for (int attempt = 0; attempt < kVolumeOpenAttempts && !opened; ++attempt)
        opened = io_.openVolume(io_.ctx, name.c_str());
    if (!opened) return false;
    volumeName_ = name;
    // Until its continuation is found, nothing in the new file belongs to
    // this entry, and the walk cannot go on from the old position.
    dataLeft_ = 0;
    ended_ = true;
    if (OpenVolume() != kOpenOk) return false;
    for (;;) {
        BlockHeader block;
        if (!ReadHeaderAt(pos_, &block)) return false;
        if (block.type == kBlockFile) {
            FileHeader part;
            if (ParseFileHeader(buf_, block.headSize, &part) != kParseOk ||
                !(part.block.flags & kFileSplitBefore))
                return false;
            cur_.block.flags = part.block.flags;
            cur_.fileCrc = part.fileCrc;  // the last part holds the whole file's CRC
            dataPos_ = pos_ + block.headSize;
            dataLeft_ = part.packSize;
            nextPos_ = dataPos_ + part.packSize;
            if (nextPos_ < dataPos_) return false;
            ended_ = false;
            return true;
        }
        pos_ += block.headSize + block.dataSize;
    }
}

size_t RarReader::ReadPacked(uint8_t* buf, size_t max) {
    while (dataLeft_ == 0)
        if (!(cur_.block.flags & kFileSplitAfter) || !NextVolume()) return 0;
    size_t want = dataLeft_ < max ? (size_t)dataLeft_ : max;
    size_t got = io_.readAt(io_.ctx, dataPos_, buf, want);
    if (got == 0 || got > want) {
        dataLeft_ = 0;  // a read failure ends the data: the entry falls short
        cur_.block.flags &= ~kFileSplitAfter;
        return 0;
    }
    dataPos_ += got;
    dataLeft_ -= got;
    return got;
}

size_t RarReader::ReadPackedFn(void* ctx, uint8_t* buf, size_t max) {
    return static_cast<RarReader*>(ctx)->ReadPacked(buf, max);
}

// The data pass: every piece goes to the sink (when extracting) and into the
// running CRC; only bytes the sink took count, so a failed write shows up as
// a CRC mismatch.
int RarReader::Pass(bool extract, const EntrySink& sink) {
    uint32_t crc = 0;
    bool complete;
    if (cur_.method == 0x30) {
        uint64_t left = cur_.unpSize;
        while (left) {
            size_t want = left < kCopyBufferSize ? (size_t)left : kCopyBufferSize;
            size_t got = ReadPacked(buf_, want);
            if (got == 0) break;
            size_t put = extract ? sink.write(sink.ctx, buf_, got) : got;
            crc = Crc32Update(crc, buf_, put);
            left -= put;
            if (put < got) break;
        }
        complete = left == 0;
    } else {
        // A split entry's packed size is the sum over its volumes, known only
        // at the end: its source ends when the last part does.
        UnpackEntry entry = {(cur_.block.flags & kFileSplitAfter) ? ~(uint64_t)0 : cur_.packSize,
                             cur_.unpSize,
                             DictionaryBits(cur_.block.flags),
                             (cur_.block.flags & kFileSolid) != 0,
                             ReadPackedFn,
                             this};
        complete = decoder_.Begin(entry);
        uint32_t unreported = 0;
        const uint8_t* piece;
        size_t n;
        while (complete && (n = decoder_.Read(&piece, kCopyBufferSize)) > 0) {
            size_t put = extract ? sink.write(sink.ctx, piece, n) : n;
            crc = Crc32Update(crc, piece, put);
            unreported += (uint32_t)put;
            if (unreported >= kProgressStep && sink.progress) {
                sink.progress(sink.ctx, cur_.name, unreported, extract);
                unreported = 0;
            }
            if (put < n) complete = false;
        }
        if (unreported && sink.progress) sink.progress(sink.ctx, cur_.name, unreported, extract);
        complete = complete && decoder_.Done();
    }
    // The CRC decides; a decoder failure that happened to match still fails.
    return complete && crc == cur_.fileCrc ? kExtractOk : kExtractBadCrc;
}

}  // namespace rar
