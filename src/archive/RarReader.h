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
//   r->VerifyIntegrity();                // optional: the whole volume at once
//   while (r->NextEntry(&h) == kWalkEntry)   // next file or directory entry
//       r->ProcessFile(mode, sink);      // exactly once per reported entry
//   // kWalkEnd: a clean end; kWalkDamaged: the archive is damaged
//
// Memory is fixed: the object itself (64 KB header/copy buffer plus the
// decoder), the decoder's 1 MB window, and a 128 KB scan buffer that lives
// only during Open. No header field sizes an allocation; every header is
// read whole (at most 0xFFFF bytes) into the fixed buffer and parsed there.
//
// Only a clean block boundary ends the archive: the end of the file right
// behind a block, an end-of-archive block, or the end that the integrity
// record gives. A header that is cut, lies about its sizes, has an unknown
// type or runs past the end makes the walk report a damaged archive, and it
// stays so. Positions are 64-bit and every block moves the walk forward by
// at least the header it read, so a walk over any bytes ends; a volume set
// is followed through each volume name at most once.
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
// output failed: the entry then ends as damaged data). progress may be null;
// it gets the entry's name, the bytes produced since the last call and
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

enum WalkStatus {
    kWalkEntry,    // the next entry was reported
    kWalkEnd,      // the archive ended at a clean block boundary
    kWalkDamaged,  // the archive is damaged (DamagedAt, DamageText tell where and how)
};

enum IntegrityStatus {
    kIntegrityAbsent,   // no integrity record: an archive made by another archiver
    kIntegrityOk,       // length and CRC-32 match the record
    kIntegrityDamaged,  // the record's header, the length or the CRC do not match
};

enum ProcessMode {
    kProcessList,     // move on without reading data
    kProcessSkip,     // move on; in a solid archive decode and discard
    kProcessExtract,  // decode into the sink
};

// Result codes of one entry (the installer's Unrar passes them on unchanged
// and adds its own for outputs it cannot create). Every code but kExtractOk
// means that no byte of the entry reached the sink, except kExtractBadData
// after a partial output, which the caller deletes.
enum ExtractResult {
    kExtractOk = 0,
    kExtractBadData = 3,                // CRC mismatch, damaged header, or data cut short
    kExtractUnsafeName = 12,            // IsSafeName refuses the name
    kExtractEncrypted = 13,             // file flag 0x04: no password can be given
    kExtractUnsupportedVersion = 14,    // packed with a format other than 2.0 (unpack version not 20/26)
    kExtractUnsupportedMethod = 15,     // method byte outside 0x30 .. 0x35
    kExtractUnsupportedDictionary = 16  // dictionary bits 5 or 6 (above 1 MB)
};

// The text for an entry's result: "OK", "CRC failed", "unsafe name: a
// Windows device name" (NameProblemText), "encrypted", "unsupported version
// 2.9", "unsupported method 0x36", "unsupported dictionary 2048 KB" (figures
// from the entry's header).
TStr ResultText(int result, const FileHeader& h);

// Opening the next volume is tried this often before the entry fails.
const int kVolumeOpenAttempts = 3;
// Stored data is copied, and decoded data taken, in pieces of this size.
const size_t kCopyBufferSize = 0x8000;
// Progress is reported once at least this many bytes were produced.
const uint32_t kProgressStep = 1024;

// The name rule of old-style volume sets: "arc.rar" -> "arc.r00" -> "arc.r01"
// ... "arc.r99" -> "arc.rA0". A name without an extension gets ".rar" first,
// an empty or "exe" extension becomes "rar"; an extension whose second and
// third characters are not both digits gets "00" there. (So the names wrap:
// "arc.rA0" -> "arc.r00"; the reader opens no name twice.)
TStr NextVolumeName(const TStr& name);

// Makes a stored name relative, in place: "/" becomes "\", then (each once,
// in this order) a drive "X:" is dropped, a leading "." before "\" is
// dropped, a leading ".." before "\" is dropped, one leading "\" is dropped.
// Only one level is removed: "..\..\x" stays "..\x".
void NormaliseName(char* name);

// Why a (normalised) name must not be joined to a destination folder.
enum NameProblem {
    kNameSafe,
    kNameEmpty,
    kNameTooLong,         // longer than kMaxNameBytes
    kNameAbsolute,        // starts with "\" or "/", or holds ":" (a drive or a stream)
    kNameParent,          // a ".." component (also with blanks or more dots)
    kNameTrailingDot,     // a component ends in "." or " ", which Windows drops
    kNameDevice,          // a component is a Windows device name
};
// The one name rule of the installer and the packaging tool. Device names
// are CON, PRN, AUX, NUL, COM0-9, LPT0-9 (also with the superscript digits
// 1, 2, 3 of the Windows code pages), CONIN$ and CONOUT$ in any case, alone
// or with an extension, also followed by blanks before it: Windows opens the
// device for "nul.txt" or "Aux .log" in any folder.
NameProblem CheckName(const char* name);
inline bool IsSafeName(const char* name) { return CheckName(name) == kNameSafe; }
// "too long", "absolute", "a Windows device name" ...
const char* NameProblemText(NameProblem problem);

class RarReader {
public:
    RarReader();
    RarReader(const RarReader&) = delete;
    RarReader& operator=(const RarReader&) = delete;

    // Allocates the decoder's 1 MB window; false when that fails.
    bool AllocateWindow() { return decoder_.SetWindow(nullptr); }

    // Finds the archive in the volume that `io` has open (a plain archive, or
    // one behind a program, its marker at most at kLastMarkerOffset) and
    // reads its main header and the integrity record behind it, if any.
    // `path` names that volume; later volumes are derived from it.
    OpenStatus Open(const VolumeIo& io, const char* path);
    bool Solid() const { return (mainFlags_ & kMainSolid) != 0; }

    // Reads the whole volume once against its integrity record (after Open,
    // before the walk), in 60 KB pieces through the header buffer. A volume
    // that ends at or inside the place of the record (right behind a 13-byte
    // main header) counts as damaged: a cut can hide the record itself.
    IntegrityStatus VerifyIntegrity();

    // The next file entry from the current position, directories included,
    // passing over other blocks. The name is normalised; a host code above 3
    // is reported as 0 with the attributes 0x20 (0x10 for a directory). The
    // position stays at this entry until ProcessFile.
    WalkStatus NextEntry(FileHeader* out);
    // False when the stored header CRC of the last reported entry differs:
    // the entry is damaged data and is never written.
    bool HeaderCrcMatched() const { return headerCrcOk_; }
    // Where and why the walk found the archive damaged (valid after kWalkDamaged).
    uint64_t DamagedAt() const { return damagedAt_; }
    const char* DamageText() const { return damageText_; }

    // Whether the reported entry may be extracted at all, before any output
    // is made for it: kExtractOk, kExtractBadData (header CRC), one of the
    // unsupported results, or kExtractUnsafeName. Directories get kExtractOk
    // unless their header is damaged or their name unsafe.
    int CheckEntry() const;

    // Handles the reported entry and positions the reader at the next one,
    // whatever the result. Listing always gives kExtractOk. Extracting an
    // entry that CheckEntry refuses gives its result without any write; in a
    // solid archive it (like every skip there) is still decoded so the
    // entries after it keep their decoder state, unless it cannot be.
    // Stored data is copied without progress calls; packed data is decoded
    // with progress every >= 1024 bytes and for the remainder. An entry
    // continued in later volumes is followed into them (for every mode, so
    // listing also walks the whole set).
    int ProcessFile(ProcessMode mode, const EntrySink& sink);

private:
    OpenStatus OpenVolume();
    void FindRecord();
    const char* ReadHeaderAt(uint64_t pos, BlockHeader* block);
    bool HasByteAt(uint64_t pos);
    WalkStatus Damaged(uint64_t pos, const char* why);
    bool NextVolume();
    void SkipRemainingParts();
    int Unsupported() const;
    int Pass(bool extract, const EntrySink& sink);
    size_t ReadPacked(uint8_t* buf, size_t max);
    static size_t ReadPackedFn(void* ctx, uint8_t* buf, size_t max);

    VolumeIo io_;
    TStr volumeName_;
    TStrList volumesSeen_;  // every volume name of this walk, for the cycle check
    uint16_t mainFlags_;
    uint64_t archiveStart_;  // the marker's offset in the open volume
    bool haveRecord_;        // the open volume carries a sound integrity record
    bool recordDamaged_;     // it carries one whose header CRC fails
    uint64_t recordPos_;
    IntegrityRecord record_;
    uint64_t pos_;       // the next block to read, or the reported entry's header
    bool haveEntry_;
    bool headerCrcOk_;
    bool damaged_;       // the walk met damage: it reports nothing more
    uint64_t damagedAt_;
    const char* damageText_;
    FileHeader cur_;     // the reported entry; fileCrc/flags follow its last part
    uint64_t dataPos_;   // next packed byte of the current part
    uint64_t dataLeft_;  // packed bytes left in the current part
    uint64_t nextPos_;   // the block after the current part
    uint8_t buf_[kMaxHeaderSize];  // one header at a time, or one copy piece
    Unpack20 decoder_;
};

}  // namespace rar

#endif
