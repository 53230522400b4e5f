// RebootMoves: file operations that wait for the next restart, for files in
// use. On the NT family the system keeps them (MoveFileExA with
// MOVEFILE_DELAY_UNTIL_REBOOT, which needs administrator rights); Windows
// 95/98 carry them out from the [Rename] section of wininit.ini in the
// Windows folder, which is written through the profile cache and so reaches
// the disk when the cache is flushed.
#ifndef TARV_INSTALL_REBOOTMOVES_H
#define TARV_INSTALL_REBOOTMOVES_H

#include "config/wqString.h"

// Schedules `target` to be replaced by `source` at the next restart: on the
// NT family two delayed moves (delete the target, then move the source onto
// it), whose failures are ignored; otherwise NUL=target and target=source in
// [Rename] of wininit.ini. False when wininit.ini cannot be opened (raised).
[[nodiscard]] bool ReplaceAtReboot(const TStr& source, const TStr& target);

// Schedules `path` to be deleted at the next restart, for a file in use that
// cannot go now. On the NT family MoveFileExA with no new name and
// MOVEFILE_DELAY_UNTIL_REBOOT; it takes an empty folder as well (removed
// then only if still empty), so a folder is scheduled after the files in it.
// On Windows 95/98 the line NUL=<short path> is appended to [Rename] of
// wininit.ini at once, every other byte of that file kept: one file to delete
// is one more NUL line (a profile write would replace the last one), and the
// program that carries the lines out before Windows starts knows only 8.3
// names. Folders cannot be scheduled there. True when scheduled.
bool DeleteAtReboot(const TStr& path);

#endif
