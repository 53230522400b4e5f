// FileInstall: the file pass of the install run, the body of the install
// worker. First every entry of the archive behind the installer (in archive
// order: solid archives can only be read that way), then the disk files of
// LocalFileList. For each file: is it selected (FindFileEntry over the work
// list), does the newer-file rule keep an existing file (with the 110/111
// question unless flag 16), may it be replaced (flag 32); then it is
// extracted or copied, a destination in use is installed under a temporary
// name and replaced at the next restart, the file is logged (unless flag 1)
// and queued for COM or font registration (flags 4, 8).
//
// Worker thread only, while the main thread runs the progress page
// (install/Progress). A single file that cannot be installed is reported
// ("Cannot install file <path>") and skipped; the pass goes on.
#ifndef TARV_INSTALL_FILEINSTALL_H
#define TARV_INSTALL_FILEINSTALL_H

#include <windows.h>

#include "config/wqString.h"

// The archive pass, then (when it completed) the local pass. False when the
// archive could not be opened ("Archive open error!" shown), when cancelling
// was confirmed, or when an error was raised (the log or Tarv.lng could not
// be opened: pending in wqErrors for the run to show).
[[nodiscard]] bool InstallFiles();
[[nodiscard]] bool InstallArchiveFiles();
[[nodiscard]] bool InstallLocalFiles();

// Called for every file a local pattern names.
typedef bool (*TLocalFileVisitor)(void* context, const TStr& path);
// A path without wildcards is visited as it is. A pattern visits every file
// (no folders, no volume labels) of its folder that matches its last part,
// then walks every sub-folder whose name matches that same part (so "*.*"
// and "*" reach every sub-folder) with the same last part. Stops when the
// visitor answers false or cancelling was confirmed; false then.
bool WalkLocalPattern(const TStr& pattern, TLocalFileVisitor visitor, void* context);
// Bytes of every existing file the LocalFileList items name (the walk above).
unsigned long long LocalFilesSize();
// The size of a file, all 64 bits; 0 when it cannot be found.
unsigned long long FileSize64(const TStr& path);

#endif
