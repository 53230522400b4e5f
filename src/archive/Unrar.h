// Unrar: the installer's access to the RAR archive appended to its own
// program file (or to any RAR 2.x archive file).
//
// One archive is open at a time, held in module-wide state; the reader is
// not reentrant and has no locks. Each successful ReadFileHeader must be
// followed by exactly one ProcessFile, which moves to the next entry whether
// it succeeds or not:
//
//   if (VerifyArchive(path) == rarBadData) ... kDamagedSetupMessage, stop
//   TArchiveHandle a = OpenArchive(path, 1);
//   TRARHeader h;
//   int walk;
//   while ((walk = ReadFileHeaderResult(a, h)) == rarSuccess)
//       ProcessFile(a, 1, TStr(), callback, destination + h.FileName);
//   CloseArchive(a);
//   // walk == rarBadData: the archive is damaged after the entries seen
//
// Nothing here shows a message: callers turn a failed OpenArchive into
// "Archive open error!", a damaged archive into kDamagedSetupMessage, and
// report failed entries in their own way (ResultText says why).
#ifndef TARV_ARCHIVE_UNRAR_H
#define TARV_ARCHIVE_UNRAR_H

#include <windows.h>

#include "config/wqString.h"

// One file entry. FileName is the stored name made relative ("\" separated,
// at most 259 characters; a longer stored name is reported by its first 260
// and refused with rarUnsafeName); the other fields are the file header's,
// sizes split into the 32-bit halves.
struct TRARHeader {
    TStr FileName;
    DWORD Flags;     // the header's 16-bit flags
    DWORD PackSize;
    DWORD UnpSize;
    DWORD HostOS;    // 0 MS-DOS, 1 OS/2, 2 Win32, 3 Unix (larger codes read as 0)
    DWORD FileCRC;
    DWORD FileTime;  // MS-DOS date (high word) and time (low word), local time
    DWORD UnpVer;
    DWORD Method;    // 0x30 stored .. 0x35 best
    DWORD FileAttr;
    DWORD PackSizeHigh;
    DWORD UnpSizeHigh;
};

// The whole unpacked size of an entry.
inline unsigned long long UnpSize64(const TRARHeader& h) {
    return (unsigned long long)h.UnpSizeHigh << 32 | h.UnpSize;
}

// Called while an entry is unpacked: the entry's stored name, the bytes
// produced since the previous call (at least 1024, or the remainder at the
// end), and 1 when extracting or 0 when only decoding (a skip in a solid
// archive). Stored entries produce no calls.
typedef void (*ProgressCallback)(const char* name, int bytes, int extracting);

typedef struct TArchiveState* TArchiveHandle;

// Result codes (of entries, of the walk and of the integrity check).
enum {
    rarSuccess = 0,
    rarBadData = 3,                 // damaged data: CRC mismatch, damaged header, data cut
                                    // short; for the walk and VerifyArchive: a damaged archive
    rarCreateError = 6,             // the output file cannot be created
    rarEndArchive = 10,             // the walk reached the archive's clean end
    rarOpenError = 11,              // the file cannot be opened or holds no RAR 2.x archive
    rarUnsafeName = 12,             // the name is absolute, climbs with "..", is longer than
                                    // 259, a Windows device name, or has a part ending in
                                    // a dot or a blank: never written
    rarEncrypted = 13,              // encrypted: no password can be given
    rarUnsupportedVersion = 14,     // packed in a format other than RAR 2.0 (version 20, 26)
    rarUnsupportedMethod = 15,      // method byte above 0x35 (or below 0x30)
    rarUnsupportedDictionary = 16,  // dictionary larger than 1 MB
};

// The one message for a setup file that fails VerifyArchive.
extern const char kDamagedSetupMessage[];

// Checks the whole file against the integrity record that the packaging
// tool writes behind the archive's main header (the archive's length and
// CRC-32), before anything is unpacked; reads the file once. Results:
//   rarSuccess    the archive matches its record, or carries none (archives
//                 made by other archivers are checked entry by entry later)
//   rarBadData    the file is damaged or incomplete: show kDamagedSetupMessage
//   rarOpenError  the file cannot be opened, or holds no RAR 2.x archive
//                 where OpenArchive looks (OpenArchive fails the same way)
// Independent of the open archive (it may be called while one is open).
int VerifyArchive(const TStr& path);

// Mode 0 lists only (ProcessFile then never reads data or touches the disk),
// mode 1 allows extraction. Null when the file cannot be opened, holds no
// RAR 2.x archive (marker at most at offset 0x1FFED, kLastMarkerOffset of
// archive/RarFormat.h), holds a 1.x archive, when the 1 MB window cannot be
// allocated, or while another archive is open.
TArchiveHandle OpenArchive(const TStr& path, int mode);
// Closes the file and frees the window.
void CloseArchive(TArchiveHandle archive);
// The next file entry (directory entries and other blocks are passed over,
// except a directory entry whose header is damaged: it is reported, and
// processing it gives rarBadData). rarSuccess with `header` filled in;
// rarEndArchive at the clean end; rarBadData when the archive is damaged
// there (a header cut, lying about its sizes or past the end, a missing or
// circular volume): the walk stops and every later call says so again.
// On a null or closed handle rarOpenError.
int ReadFileHeaderResult(TArchiveHandle archive, TRARHeader& header);
// ReadFileHeaderResult folded: true for an entry; false at the end and for
// a damaged archive alike.
inline bool ReadFileHeader(TArchiveHandle archive, TRARHeader& header) {
    return ReadFileHeaderResult(archive, header) == rarSuccess;
}

// Operation 1 extracts the current entry to `destName` or, when that is
// empty, to `destFolder` + "\" + FileName, creating the folders along the
// path; any other operation skips it (decoding it in a solid archive). The
// file gets the entry's time as its last-write time and its attributes; a
// file whose data turns out damaged is deleted. Before any file is created
// the entry is checked: a damaged header (rarBadData), an entry the decoder
// does not understand (rarEncrypted, rarUnsupported...) or an unsafe name
// (rarUnsafeName) is never written, whatever `destName` says; it is still
// decoded in a solid archive when it can be, so later entries keep their
// state. Listing mode gives rarSuccess. Returns the result code.
int ProcessFileResult(TArchiveHandle archive, int operation, const TStr& destFolder,
                      ProgressCallback callback, const TStr& destName);
// ProcessFileResult folded to success (rarSuccess) or failure.
inline bool ProcessFile(TArchiveHandle archive, int operation, const TStr& destFolder,
                        ProgressCallback callback, const TStr& destName) {
    return ProcessFileResult(archive, operation, destFolder, callback, destName) == rarSuccess;
}

// A short English text for a result of the entry last reported on this
// archive: "OK", "CRC failed", "unsupported version 2.9", "encrypted",
// "unsafe name: a Windows device name", "cannot create the file", "damaged
// archive" ...
TStr ResultText(TArchiveHandle archive, int result);

#endif
