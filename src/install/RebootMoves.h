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

#endif
