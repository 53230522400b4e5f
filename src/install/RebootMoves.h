// RebootMoves: file operations that wait for the next restart, for files in
// use. On the NT family the system keeps them (MoveFileExA with
// MOVEFILE_DELAY_UNTIL_REBOOT); Windows 95/98 carry them out from the
// [Rename] section of wininit.ini in the Windows folder before they start,
// in line order, by short (8.3) names.
#ifndef TARV_INSTALL_REBOOTMOVES_H
#define TARV_INSTALL_REBOOTMOVES_H

#include "config/wqString.h"

enum TRebootMove {
    rmScheduled,  // the move waits for the restart
    rmRefused,    // the system refused it (no rights, no short name): nothing
                  // was scheduled
    rmRaised      // a cached wininit.ini could not be written back (raised)
};

// Schedules `target` (the file in use) to be replaced by `source` (the
// complete new file) at the next restart. On the NT family one delayed move
// that replaces the target, so no failure can leave the old file scheduled
// for deletion alone. On Windows 95/98 the lines NUL=target and
// target=source (short names) are appended to [Rename] of wininit.ini, on
// disk at once, every other line of the file kept: an earlier pending
// replacement, ours or another program's, stays.
[[nodiscard]] TRebootMove ReplaceAtReboot(const TStr& source, const TStr& target);

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
