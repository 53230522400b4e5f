// RarReader: walks a RAR 2.x archive and produces the unpacked data of its
// file entries. Shared by the installer (through Unrar, on Win32 files) and
// by the packaging tool (on host files); it touches no file itself.
//
// The caller supplies the bytes through VolumeIo (read at an offset of the
// open volume; open another volume of a set in its place) and takes the
// output through EntrySink (write a piece; report progress). Creating,
// timing and deleting output files stays with the caller.
//
// Calling order:
//
//   RarReader* r = ...;                  // large (header buffer, decoder)
//   r->AllocateWindow();                 // once, before the first decode
//   r->Open(io, path);                   // locate the archive, main header
//   while (r->ReadFileHeader(&h))        // next file entry (not directories)
//       r->ProcessFile(mode, sink);      // exactly once per reported entry
//
// Memory is fixed: the object itself (64 KB header/copy buffer plus the
// decoder), the decoder's 1 MB window, and a 128 KB scan buffer that lives
// only during Open. No header field sizes an allocation; every header is
// read whole (at most 0xFFFF bytes) into the fixed buffer and parsed there.
//
// Positions are 64-bit and every block moves the walk forward by at least
// its 7-byte header, so a walk over any bytes ends.
#ifndef TARV_ARCHIVE_RARREADER_H
#define TARV_ARCHIVE_RARREADER_H

#include <stddef.h>
#include <stdint.h>

#include "archive/RarFormat.h"
#include "archive/Unpack20.h"
#include "config/wqString.h"

namespace rar {

// Access to the archive's files. readAt returns how many bytes it placed in
// buf (fewer at the end of the file, 0 on failure). openVolume opens the
// named file in place of the open one and returns true; on failure the open
// one stays as it was.
struct VolumeIo {
    void* ctx;
    size_t (*readAt)(void* ctx, uint64_t offset, uint8_t* buf, size_t size);
    bool (*openVolume)(void* ctx, const char* path);
};

// Where unpacked data goes. write returns the bytes it took (fewer means the
// output failed: the entry then ends with a CRC mismatch). progress may be
// null; it gets the entry's name, the bytes produced since the last call and
// whether the data is being extracted (true) or only decoded.
struct EntrySink {
    void* ctx;
    size_t (*write)(void* ctx, const uint8_t* data, size_t size);
    void (*progress)(void* ctx, const char* name, uint32_t bytes, bool extracting);
};

enum OpenStatus {
    kOpenOk,
    kOpenNoArchive,   // no RAR 2.x marker within the search window, or no main header
    kOpenOldFormat,   // a RAR 1.x archive or self-extractor: refused
};

enum ProcessMode {
    kProcessList,     // move on without reading data
    kProcessSkip,     // move on; in a solid archive decode and discard
    kProcessExtract,  // decode into the sink
};

// Result codes of one entry's data pass (callers add their own for outputs
// they cannot create).
enum ExtractResult {
    kExtractOk = 0,
    kExtractBadCrc = 3,  // the produced data is short or does not match the stored CRC
};

// Opening the next volume is tried this often before the entry fails.
const int kVolumeOpenAttempts = 3;
// Stored data is copied, and decoded data taken, in pieces of this size.
const size_t kCopyBufferSize = 0x8000;
// Progress is reported once at least this many bytes were produced.
const uint32_t kProgressStep = 1024;

// The name rule of old-style volume sets: "arc.rar" -> "arc.r00" -> "arc.r01"
// ... "arc.r99" -> "arc.rA0". A name without an extension gets ".rar" first,
// an empty or "exe" extension becomes "rar"; an extension whose second and
// third characters are not both digits gets "00" there.
TStr NextVolumeName(const TStr& name);

// Makes a stored name relative, in place: "/" becomes "\", then (each once,
// in this order) a drive "X:" is dropped, a leading "." before "\" is
// dropped, a leading ".." before "\" is dropped, one leading "\" is dropped.
// Only one level is removed: "..\..\x" stays "..\x".
void NormaliseName(char* name);
// False for a name that must never be joined to a destination folder: empty,
// starting with "\", holding a ":" (a drive or a stream), or with a ".."
// path component. Normalisation alone leaves such names in hostile archives.
bool IsSafeName(const char* name);

class RarReader {
public:
    RarReader();
    RarReader(const RarReader&) = delete;
    RarReader& operator=(const RarReader&) = delete;

    // Allocates the decoder's 1 MB window; false when that fails.
    bool AllocateWindow() { return decoder_.SetWindow(nullptr); }

    // Finds the archive in the volume that `io` has open (a plain archive, or
    // one behind a program within the first 0x1FFF6 bytes) and reads its main
    // header. `path` names that volume; later volumes are derived from it.
    OpenStatus Open(const VolumeIo& io, const char* path);
    bool Solid() const { return (mainFlags_ & kMainSolid) != 0; }

    // The next file entry from the current position, passing over other
    // blocks and directory entries. The name is cut at 259 bytes and
    // normalised; a host code above 3 is reported as 0 with the attributes
    // 0x20. False at the end of the archive or at a broken header. The
    // position stays at this entry until ProcessFile.
    bool ReadFileHeader(FileHeader* out);
    // False when the stored header CRC of the last reported entry differs
    // (the entry is still reported: old archivers wrote such headers).
    bool HeaderCrcMatched() const { return headerCrcOk_; }

    // Handles the reported entry and positions the reader at the next one,
    // whatever the result. Stored data is copied without progress calls;
    // packed data is decoded with progress every >= 1024 bytes and for the
    // remainder. An entry continued in later volumes is followed into them
    // (for every mode, so listing also walks the whole set). Returns
    // kExtractOk or kExtractBadCrc.
    int ProcessFile(ProcessMode mode, const EntrySink& sink);

private:
    OpenStatus OpenVolume();
    bool ReadHeaderAt(uint64_t pos, BlockHeader* block);
    bool NextVolume();
    void SkipRemainingParts();
    int Pass(bool extract, const EntrySink& sink);
    size_t ReadPacked(uint8_t* buf, size_t max);
    static size_t ReadPackedFn(void* ctx, uint8_t* buf, size_t max);

    VolumeIo io_;
    TStr volumeName_;
    uint16_t mainFlags_;
    uint64_t pos_;       // the next block to read, or the reported entry's header
    bool ended_;         // a volume change failed half-way: no further entries
    bool haveEntry_;
    bool headerCrcOk_;
    FileHeader cur_;     // the reported entry; fileCrc/flags follow its last part
    uint64_t dataPos_;   // next packed byte of the current part
    uint64_t dataLeft_;  // packed bytes left in the current part
    uint64_t nextPos_;   // the block after the current part
    uint8_t buf_[kMaxHeaderSize];  // one header at a time, or one copy piece
    Unpack20 decoder_;
};

}  // namespace rar

#endif
