// wqPath: path text, the one place that knows where a path's folder part
// ends. Pure text work (no file system access), so it builds and is tested
// natively as well.
//
// A path's folder part is everything up to and including its last "\" or ":"
// ("C:\App\a.txt" -> "C:\App\", "C:a.txt" -> "C:"); the name part is the
// rest. Registry paths, stored archive names and file paths all split there.
#ifndef TARV_CONFIG_WQPATH_H
#define TARV_CONFIG_WQPATH_H

#include <stddef.h>

#include "config/wqString.h"

// Appends "\" unless the path is empty or already ends in one.
TStr AddBackslash(const TStr& path);
// Drops a final "\" unless the path is one character or a drive root "X:\".
TStr RemoveBackslash(const TStr& path);
// True for "X:\" with a letter X in either case.
bool IsDriveRoot(const TStr& path);
// True for "X:" (two characters, ":" second): a bare drive, never a folder
// to create or remove.
bool IsBareDrive(const TStr& path);

// Length of the folder part: the position after the last "\" or ":" (0 when
// the path has neither).
size_t FolderPartLength(const TStr& path);
// The folder part, with its final "\" or ":".
TStr FolderPart(const TStr& path);
// The name part: what follows the last "\" or ":".
TStr FileNamePart(const TStr& path);
// The path with the extension of its name part (from its last ".") replaced
// by `ext` (given with its dot); a name without a dot gets `ext` appended.
TStr ChangeFileExt(const TStr& path, const TStr& ext);
// "C:" of "C:\...", "\\server\share" of a UNC path, else empty.
TStr DrivePart(const TStr& path);

#endif
