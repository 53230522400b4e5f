// wqFileUtils: file and folder operations on top of the Win32 file interface.
//
// Paths are 8-bit ANSI strings; a folder path may or may not end in "\" unless
// an operation says otherwise. Nothing here shows a message; failures come
// back as false, 0 or -1; nothing is raised. Path text (backslashes, folder
// and name parts) is in config/wqPath.h.
#ifndef TARV_SYSTEM_WQFILEUTILS_H
#define TARV_SYSTEM_WQFILEUTILS_H

#include <windows.h>

#include "config/wqPath.h"
#include "config/wqString.h"

// ---- Raw handles. A closed handle is 0; callers treat 0 or less
// (INVALID_HANDLE_VALUE is -1) as "no handle". ----

// CreateFileA(path, access, share, no security, disposition, attributes).
HANDLE OpenFileHandle(const TStr& path, DWORD access, DWORD share, DWORD attributes,
                      DWORD disposition);
inline bool IsValidHandle(HANDLE h) { return h != 0 && h != INVALID_HANDLE_VALUE; }
// Closes the handle if valid and sets it to 0.
void CloseFileHandle(HANDLE& handle);
DWORD FilePosition(HANDLE handle);
// The position has reached or passed the file size.
bool AtEndOfFile(HANDLE handle);
// Next line: lines end at a carriage return; line feeds are dropped wherever
// they stand (so a file with line feeds only is one line). Reads 100 bytes at
// a time and seeks back to just after the carriage return.
TStr ReadTextLine(HANDLE handle);
// The text followed by "\r\n" in one write; errors are ignored.
void WriteTextLine(HANDLE handle, const TStr& text);

// ---- Files and folders ----

bool IsDirectory(const TStr& path);
// A file (not a folder) of that name exists.
bool FileExists(const TStr& path);
// Size (low 32 bits) of the first entry a directory search for the expanded
// path finds, any attributes; -1 when nothing is found.
long FileSizeOf(const TStr& path);
// Eight characters (three base-32 digits of a day number, five of the time of
// day in hundredths of a second) naming no existing file in `folder` (a
// folder of that name does not count). Waits for the clock to move on while
// the name is taken.
TStr UniqueTimeName(const TStr& folder);
// Same name for a given local time (the rule behind UniqueTimeName).
TStr TimeNameFor(const SYSTEMTIME& localTime);
// Called for every folder that CreateFolderPath created, outermost first;
// false stops the creation there.
typedef bool (*TFolderCreated)(void* context, const TStr& folder);
// The one way a folder path comes into being: creates the folder and every
// missing parent, outermost first, reporting each folder it really created
// (not those that existed). A final "\" is ignored; paths of two characters
// or fewer (a bare drive "C:") and existing folders are left alone; the
// parent is the text up to the last "\" or ":". A folder that cannot be
// created is not reported (callers test for the folder afterwards where it
// matters); false only when `created` stopped it.
bool CreateFolderPath(const TStr& folder, TFolderCreated created, void* context);
// CreateFolderPath without reports.
inline void CreatePath(const TStr& folder) { CreateFolderPath(folder, nullptr, nullptr); }
// Creates a new folder inside `parent` (created first when missing) named by
// UniqueTimeName, and returns its path with a final "\". A name that is
// already taken by anything, folder or file, is never adopted: the next name
// is tried, so the folder is this process's alone. Empty when no folder can
// be made (the parent cannot be created or written to).
TStr CreateUniqueFolder(const TStr& parent);
// Deletes the folder's contents, read-only, hidden and system entries and
// names starting with "." included (and the folder itself when removeFolder
// is set, unless it is a bare drive "X:"); true when everything could be
// deleted. Goes on after failures; false for a path that is not a folder.
// A junction or symbolic link met on the way is removed itself; the walk
// never descends through it, so nothing outside the tree is touched. A
// `folder` that is itself such a link is only unlinked (with removeFolder).
bool DeleteTree(const TStr& folder, bool removeFolder);
// What DeleteTree does with one entry of a folder, by its attributes and
// name (the rule on its own, so it can be checked without a file system).
enum TTreeEntryAction { teSkip, teUnlink, teDescend, teDeleteFile };
TTreeEntryAction TreeEntryAction(DWORD attributes, const char* name);
// Attributes to FILE_ATTRIBUTE_NORMAL, then delete; true on success.
bool ForceDeleteFile(const TStr& path);

// Free space available to the caller in KiB; 0 when it cannot be determined
// (a file, a missing folder). 64 bits: volumes above 4 TiB do not wrap.
// Uses GetDiskFreeSpaceExA where the system has it (by OSVersion(): Windows
// 98, NT, or a Windows 95 build from 1111 on), the cluster count otherwise.
unsigned long long FreeDiskSpaceKB(const TStr& folder);

// Called after every copied block with the bytes of this block and the total
// so far; false stops the copy.
typedef bool (*TCopyProgress)(void* context, const TStr& source, const TStr& dest,
                              DWORD blockBytes, DWORD copiedBytes);
// Copies in 128 KiB blocks, flushing each before reporting it, then gives the
// destination the source's last-write time and attributes. False when the
// copy did not complete (a destination left incomplete stays on disk),
// including a source that shrinks while it is copied.
bool CopyFileWithTimes(const TStr& source, const TStr& dest, TCopyProgress progress,
                       void* context);

// ---- Editing a small text file in place ----

// Changes a file's whole text in place; answers whether it changed it.
typedef bool (*TTextEdit)(void* context, TStr& text);
enum TFileEditResult {
    feUnchanged,  // read; the edit changed nothing, nothing was written
    feWritten,    // the edited text replaced the file's contents
    feMissing,    // no such file (and `create` was off): nothing done
    feFailed      // cannot be opened, read or written, or above 16 MiB
};
// Reads the whole file (created empty first when missing and `create` is
// set) under one handle that shares reading only, so no other program writes
// in between, lets `edit` change the text and writes it back when it did.
// For configuration files such as INI files, whose other bytes must stay as
// they are.
TFileEditResult EditFileText(const TStr& path, bool create, TTextEdit edit, void* context);

#endif
