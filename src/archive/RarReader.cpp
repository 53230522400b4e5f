// RarReader: locating, header walk, integrity check and data pass over a VolumeIo.
#include "archive/RarReader.h"

#include <stdlib.h>
#include <string.h>

namespace rar {

namespace {

// The locating step reads this much of a volume's head (kLocateWindow fits).
const size_t kScanBufferSize = 0x20000;
// No archive is this large: a size beyond it is a lie, and positions built
// from sizes below it cannot wrap around.
const uint64_t kMaxArchiveSize = 1ull << 62;
// The integrity check reads in pieces of whole 4 KB pages of the header buffer.
const size_t kVerifyPiece = kMaxHeaderSize & ~(size_t)0xFFF;

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

// The first n characters of s equal the upper-case ASCII word, ignoring case.
bool IsWord(const char* s, size_t n, const char* word) {
    if (strlen(word) != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char c = s[i] >= 'a' && s[i] <= 'z' ? (char)(s[i] - 'a' + 'A') : s[i];
        if (c != word[i]) return false;
    }
    return true;
}

// Windows opens a device for these names whatever follows the first dot,
// and with blanks before that dot.
bool IsDeviceName(const char* s, size_t n) {
    const char* dot = static_cast<const char*>(memchr(s, '.', n));
    size_t base = dot ? (size_t)(dot - s) : n;
    while (base > 0 && s[base - 1] == ' ') --base;
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* word : kDevices)
        if (IsWord(s, base, word)) return true;
    if (base != 4 || !(IsWord(s, 3, "COM") || IsWord(s, 3, "LPT"))) return false;
    unsigned char digit = (unsigned char)s[3];
    // Superscript 1, 2 and 3 of the Windows code pages count as digits too.
    return IsDigit((char)digit) || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

TStr ResultText(int result, const FileHeader& h) {
    switch (result) {
    case kExtractOk:
        return "OK";
    case kExtractBadData:
        return "CRC failed";
    case kExtractUnsafeName:
        return TStr("unsafe name: ") + NameProblemText(CheckName(h.name));
    case kExtractEncrypted:
        return "encrypted";
    case kExtractUnsupportedVersion:
        return Format("unsupported version %u.%u", h.unpVer / 10u, h.unpVer % 10u);
    case kExtractUnsupportedMethod:
        return Format("unsupported method 0x%x", (unsigned)h.method);
    case kExtractUnsupportedDictionary:
        return Format("unsupported dictionary %u KB", 64u << DictionaryBits(h.block.flags));
    default:
        return Format("error %d", result);
    }
}

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

NameProblem CheckName(const char* name) {
    if (!name[0]) return kNameEmpty;
    if (strlen(name) > kMaxNameBytes) return kNameTooLong;
    if (name[0] == '\\' || name[0] == '/' || strchr(name, ':')) return kNameAbsolute;
    const char* start = name;
    for (const char* p = name;; ++p) {
        if (*p == '\\' || *p == '/' || *p == 0) {
            size_t n = (size_t)(p - start);
            if (IsParentComponent(start, n)) return kNameParent;
            if (n && (start[n - 1] == '.' || start[n - 1] == ' ')) return kNameTrailingDot;
            if (IsDeviceName(start, n)) return kNameDevice;
            if (*p == 0) return kNameSafe;
            start = p + 1;
        }
    }
}

const char* NameProblemText(NameProblem problem) {
    switch (problem) {
    case kNameSafe: return "safe";
    case kNameEmpty: return "empty";
    case kNameTooLong: return "longer than 259 characters";
    case kNameAbsolute: return "absolute, or names a drive or a stream";
    case kNameParent: return "climbs out of its folder";
    case kNameTrailingDot: return "a part of it ends in a dot or a blank";
    case kNameDevice: return "a Windows device name";
    }
    return "unsafe";
}

RarReader::RarReader()
    : io_(), mainFlags_(0), archiveStart_(0), haveRecord_(false), recordDamaged_(false), recordPos_(0),
      record_(), pos_(0), haveEntry_(false), headerCrcOk_(true), damaged_(false), damagedAt_(0),
      damageText_(""), cur_(), dataPos_(0), dataLeft_(0), nextPos_(0) {}

OpenStatus RarReader::Open(const VolumeIo& io, const char* path) {
    io_ = io;
    volumeName_ = path;
    volumesSeen_.Clear();
    volumesSeen_.Add(volumeName_);
    haveEntry_ = false;
    damaged_ = false;
    damageText_ = "";
    return OpenVolume();
}

// Locates the archive in the open volume, reads its main header and notes
// its integrity record; the walk then starts behind the main header. A
// mismatching main header CRC is accepted.
OpenStatus RarReader::OpenVolume() {
    uint8_t* head = static_cast<uint8_t*>(malloc(kScanBufferSize));
    if (!head) return kOpenNoArchive;
    size_t got = io_.readAt(io_.ctx, 0, head, kLocateWindow);
    LocateResult at = LocateArchive(head, got);
    free(head);
    if (at.status == kLocateOldFormat) return kOpenOldFormat;
    if (at.status != kLocateFound) return kOpenNoArchive;
    archiveStart_ = at.offset;
    uint64_t mainPos = archiveStart_ + kMarkerSize;
    BlockHeader block;
    MainHeader main;
    if (ReadHeaderAt(mainPos, &block) || ParseMainHeader(buf_, block.headSize, &main) != kParseOk)
        return kOpenNoArchive;
    mainFlags_ = main.block.flags;
    pos_ = mainPos + main.block.headSize;
    FindRecord();
    return kOpenOk;
}

// The packaging tool writes a 13-byte main header and the record right
// behind it; it is looked for there whatever the main header says of its
// size, so a damaged size cannot hide it. A file that ends there or inside
// a block of the record's type was cut: its record counts as damaged.
void RarReader::FindRecord() {
    recordPos_ = archiveStart_ + kMarkerSize + kMainHeaderSize;
    size_t got = io_.readAt(io_.ctx, recordPos_, buf_, kIntegrityBlockSize);
    BlockHeader block;
    bool whole = got == kIntegrityBlockSize && ParseBlockHeader(buf_, got, &block) == kParseOk;
    bool isRecord = whole && IsIntegrityBlock(buf_, block);
    record_ = isRecord ? ParseIntegrityBlock(buf_) : IntegrityRecord();
    haveRecord_ = isRecord && HeaderCrcOk(buf_, block, block.headSize) && record_.length <= kMaxArchiveSize;
    recordDamaged_ = isRecord ? !haveRecord_ : got < kIntegrityBlockSize && (got < 3 || buf_[2] == kBlockSub);
}

IntegrityStatus RarReader::VerifyIntegrity() {
    if (recordDamaged_) return kIntegrityDamaged;
    if (!haveRecord_) return kIntegrityAbsent;
    uint64_t recordEnd = recordPos_ + kIntegrityBlockSize;
    uint64_t end = archiveStart_ + record_.length;
    if (end < recordEnd) return kIntegrityDamaged;
    uint32_t crc = 0;
    for (uint64_t from = archiveStart_; from < end;) {
        if (from == recordPos_) from = recordEnd;
        uint64_t to = from < recordPos_ ? recordPos_ : end;
        size_t want = to - from < kVerifyPiece ? (size_t)(to - from) : kVerifyPiece;
        size_t got = io_.readAt(io_.ctx, from, buf_, want);
        if (got == 0 || got > want) return kIntegrityDamaged;  // the file ends early
        crc = Crc32Update(crc, buf_, got);
        from += got;
    }
    return crc == record_.crc ? kIntegrityOk : kIntegrityDamaged;
}

// Reads the whole header of the block at `pos` into buf_. Null when it did;
// otherwise why it could not.
const char* RarReader::ReadHeaderAt(uint64_t pos, BlockHeader* block) {
    size_t got = io_.readAt(io_.ctx, pos, buf_, kLongBlockHeaderSize);
    ParseStatus st = ParseBlockHeader(buf_, got, block);
    if (st == kParseInvalid) return "a block header is smaller than its fields";
    if (st != kParseOk || io_.readAt(io_.ctx, pos, buf_, block->headSize) != block->headSize)
        return "a block header is cut short";
    return nullptr;
}

bool RarReader::HasByteAt(uint64_t pos) {
    uint8_t b;
    return io_.readAt(io_.ctx, pos, &b, 1) == 1;
}

WalkStatus RarReader::Damaged(uint64_t pos, const char* why) {
    haveEntry_ = false;
    damaged_ = true;
    damagedAt_ = pos;
    damageText_ = why;
    return kWalkDamaged;
}

WalkStatus RarReader::NextEntry(FileHeader* out) {
    if (haveEntry_) {
        *out = cur_;
        return kWalkEntry;
    }
    if (damaged_) return kWalkDamaged;
    uint64_t recordedEnd = haveRecord_ ? archiveStart_ + record_.length : 0;
    for (;;) {
        if (haveRecord_ && pos_ >= recordedEnd)
            return pos_ == recordedEnd ? kWalkEnd : Damaged(pos_, "a block runs past the archive's recorded end");
        BlockHeader block;
        if (const char* why = ReadHeaderAt(pos_, &block)) {
            // Nothing at all here: the end, if the file ends right behind the last block.
            if (!HasByteAt(pos_)) {
                if (!haveRecord_ && HasByteAt(pos_ - 1)) return kWalkEnd;
                why = haveRecord_ ? "the file ends before the archive's recorded end"
                                  : "a block runs past the end of the file";
            }
            return Damaged(pos_, why);
        }
        if (!IsKnownBlockType(block.type)) return Damaged(pos_, "a block of unknown type");
        if (IsIntegrityBlock(buf_, block) && !HeaderCrcOk(buf_, block, block.headSize))
            return Damaged(pos_, "the integrity record is damaged");
        if (block.type == kBlockEnd) {
            if (!HeaderCrcOk(buf_, block, block.headSize))
                return Damaged(pos_, "the end-of-archive block is damaged");
            if (haveRecord_ && pos_ + block.headSize != recordedEnd)
                return Damaged(pos_, "the archive ends before its recorded end");
            return kWalkEnd;
        }
        uint64_t dataSize = block.dataSize;
        if (block.type == kBlockFile) {
            if (ParseFileHeader(buf_, block.headSize, &cur_) != kParseOk)
                return Damaged(pos_, "a file header is smaller than its fields");
            dataSize = cur_.packSize;
        }
        if (dataSize > kMaxArchiveSize) return Damaged(pos_, "a block claims more data than any file holds");
        uint64_t next = pos_ + block.headSize + dataSize;
        if (block.type == kBlockFile) {
            headerCrcOk_ = HeaderCrcOk(buf_, block, cur_.crcEnd);
            if (cur_.hostOs > 3) {
                cur_.hostOs = 0;
                cur_.attributes = IsDirectory(cur_.block.flags) ? 0x10 : 0x20;
            }
            // A name too long to keep whole stays so, to be refused.
            if (strlen(cur_.name) <= kMaxNameBytes) NormaliseName(cur_.name);
            dataPos_ = pos_ + block.headSize;
            dataLeft_ = cur_.packSize;
            nextPos_ = next;
            haveEntry_ = true;
            *out = cur_;
            return kWalkEntry;
        }
        pos_ = next;
    }
}

int RarReader::Unsupported() const {
    if (cur_.block.flags & kFileEncrypted) return kExtractEncrypted;
    if (cur_.method == 0x30) return kExtractOk;  // stored bytes are the same in every version
    if (cur_.unpVer != 20 && cur_.unpVer != 26) return kExtractUnsupportedVersion;
    if (cur_.method < 0x30 || cur_.method > 0x35) return kExtractUnsupportedMethod;
    if (DictionaryBits(cur_.block.flags) > 4) return kExtractUnsupportedDictionary;
    return kExtractOk;
}

int RarReader::CheckEntry() const {
    if (!headerCrcOk_) return kExtractBadData;
    if (!IsDirectory(cur_.block.flags)) {
        int unsupported = Unsupported();
        if (unsupported != kExtractOk) return unsupported;
    }
    return IsSafeName(cur_.name) ? kExtractOk : kExtractUnsafeName;
}

int RarReader::ProcessFile(ProcessMode mode, const EntrySink& sink) {
    if (!haveEntry_) return kExtractOk;
    int result = kExtractOk;
    bool decoded = false;
    if (mode != kProcessList) {
        result = mode == kProcessExtract ? CheckEntry() : headerCrcOk_ ? kExtractOk : kExtractBadData;
        bool extract = mode == kProcessExtract && result == kExtractOk;
        if (!IsDirectory(cur_.block.flags) && (extract || Solid())) {
            int unsupported = Unsupported();
            if (unsupported == kExtractOk) {
                int passed = Pass(extract, sink);
                decoded = true;
                if (result == kExtractOk) result = passed;
            } else if (result == kExtractOk) {
                result = unsupported;
            }
        }
    }
    // A packed entry passed over leaves the decoder behind its stream: a
    // solid entry after it must not continue from there.
    if (!decoded && cur_.method != 0x30) decoder_.BreakChain();
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
// entry from its first file header. On failure the entry cannot continue
// (its "continues" flag is cleared so no caller asks again) and the walk is
// damaged: a volume is missing, holds something else, or its name was
// opened before in this walk (the names wrap around after "rA0").
bool RarReader::NextVolume() {
    cur_.block.flags &= ~kFileSplitAfter;
    dataLeft_ = 0;
    TStr name = NextVolumeName(volumeName_);
    if (volumesSeen_.IndexOf(name) >= 0) {
        Damaged(0, "the volume names run in a circle");
        return false;
    }
    volumesSeen_.Add(name);
    bool opened = false;
    for (int attempt = 0; attempt < kVolumeOpenAttempts && !opened; ++attempt)
        opened = io_.openVolume(io_.ctx, name.c_str());
    if (!opened) {
        Damaged(0, "the next volume cannot be opened");
        return false;
    }
    volumeName_ = name;
    if (OpenVolume() != kOpenOk) {
        Damaged(0, "the next volume holds no archive");
        return false;
    }
    for (;;) {
        BlockHeader block;
        if (const char* why = ReadHeaderAt(pos_, &block)) {
            Damaged(pos_, why);
            return false;
        }
        if (!IsKnownBlockType(block.type)) {
            Damaged(pos_, "a block of unknown type");
            return false;
        }
        if (block.type == kBlockFile) {
            FileHeader part;
            if (ParseFileHeader(buf_, block.headSize, &part) != kParseOk ||
                !(part.block.flags & kFileSplitBefore) || part.packSize > kMaxArchiveSize) {
                Damaged(pos_, "the next volume does not continue the entry");
                return false;
            }
            cur_.block.flags = part.block.flags;
            cur_.fileCrc = part.fileCrc;  // the last part holds the whole file's CRC
            dataPos_ = pos_ + block.headSize;
            dataLeft_ = part.packSize;
            nextPos_ = dataPos_ + part.packSize;
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
    return complete && crc == cur_.fileCrc ? kExtractOk : kExtractBadData;
}

}  // namespace rar
