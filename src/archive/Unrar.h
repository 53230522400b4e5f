// Unrar: the installer's access to the RAR archive appended to its own
// program file (or to any RAR 2.x archive file).
//
// One archive is open at a time, held in module-wide state; the reader is
// not reentrant and has no locks. Each successful ReadFileHeader must be
// followed by exactly one ProcessFile, which moves to the next entry whether
// it succeeds or not:
//
//   TArchiveHandle a = OpenArchive(path, 1);
//   TRARHeader h;
//   while (ReadFileHeader(a, h))
//       ProcessFile(a, 1, TStr(), callback, destination + h.FileName);
//   CloseArchive(a);
//
// Nothing here shows a message: callers turn a failed OpenArchive into
// "Archive open error!" and report failed entries in their own way.
#ifndef TARV_ARCHIVE_UNRAR_H
#define TARV_ARCHIVE_UNRAR_H

#include <windows.h>

#include "config/wqString.h"

// One file entry. FileName is the stored name made relative ("\" separated,
// at most 259 characters); the other fields are the file header's.
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
};

// Called while an entry is unpacked: the entry's stored name, the bytes
// produced since the previous call (at least 1024, or the remainder at the
// end), and 1 when extracting or 0 when only decoding (a skip in a solid
// archive). Stored entries produce no calls.
typedef void (*ProgressCallback)(const char* name, int bytes, int extracting);

typedef struct TArchiveState* TArchiveHandle;

// Mode 0 lists only (ProcessFile then never reads data or touches the disk),
// mode 1 allows extraction. Null when the file cannot be opened, holds no
// RAR 2.x archive (within its first 0x1FFF6 bytes), holds a 1.x archive,
// when the 1 MB window cannot be allocated, or while another archive is open.
TArchiveHandle OpenArchive(const TStr& path, int mode);
// Closes the file and frees the window.
void CloseArchive(TArchiveHandle archive);
// The next file entry (directory entries and other blocks are passed over);
// false at the end of the archive.
bool ReadFileHeader(TArchiveHandle archive, TRARHeader& header);

// Result codes of one entry.
enum {
    rarSuccess = 0,
    rarBadCrc = 3,       // the data does not match its CRC (also: not decodable); no file is left
    rarCreateError = 6,  // the output file cannot be created, or the name is unsafe
};

// Operation 1 extracts the current entry to `destName` or, when that is
// empty, to `destFolder` + "\" + FileName, creating the folders along the
// path; any other operation skips it (decoding it in a solid archive). The
// file gets the entry's time as its last-write time and its attributes; a
// file whose CRC fails is deleted. An entry whose name is absolute or climbs
// with ".." is never written (rarCreateError). Returns the result code.
int ProcessFileResult(TArchiveHandle archive, int operation, const TStr& destFolder,
                      ProgressCallback callback, const TStr& destName);
// ProcessFileResult folded to success (rarSuccess) or failure.
inline bool ProcessFile(TArchiveHandle archive, int operation, const TStr& destFolder,
                        ProgressCallback callback, const TStr& destName) {
    return ProcessFileResult(archive, operation, destFolder, callback, destName) == rarSuccess;
}

#endif
