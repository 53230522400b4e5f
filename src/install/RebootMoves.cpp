#include "install/RebootMoves.h"

#include <windows.h>

#include "config/wqErrors.h"
#include "config/wqPath.h"
#include "install/IniEdit.h"
#include "system/wqFileUtils.h"
#include "system/wqUtils.h"

static bool IsNTFamily() {
    TOSKind kind = OSVersion().Kind;
    return kind == osWinNT || kind == osWin2000;
}

// The 8.3 form of an existing path (Windows 95/98 process wininit.ini in
// real mode, before long names exist); empty when there is none.
static TStr ShortPath(const TStr& path) {
    char buffer[MAX_PATH];
    DWORD length = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
    return length && length < MAX_PATH ? TStr(buffer, length) : TStr();
}

// Appends the lines to [Rename] of wininit.ini in one write, every other
// byte of the file kept: each pending operation is one more line (a profile
// write would replace the last NUL line).
static bool AppendRenameLines(const TStrList& lines) {
    return AppendIniFileLines(AddBackslash(GetWindowsFolder()) + "wininit.ini", "Rename", lines);
}

TRebootMove ReplaceAtReboot(const TStr& source, const TStr& target) {
    if (IsNTFamily())
        return MoveFileExA(source.c_str(), target.c_str(),
                           MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)
                   ? rmScheduled
                   : rmRefused;
    TStr shortSource = ShortPath(source), shortTarget = ShortPath(target);
    if (shortSource.empty() || shortTarget.empty()) return rmRefused;
    // NUL=target deletes the old file, target=source moves the new one in.
    TStrList lines;
    lines.Add("NUL=" + shortTarget);
    lines.Add(shortTarget + "=" + shortSource);
    if (AppendRenameLines(lines)) return rmScheduled;
    return ErrorPending() ? rmRaised : rmRefused;
}

bool DeleteAtReboot(const TStr& path) {
    if (IsNTFamily()) return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
    if (IsDirectory(path)) return false;
    TStr shortPath = ShortPath(path);
    TStrList lines;
    lines.Add("NUL=" + (shortPath.empty() ? path : shortPath));
    return AppendRenameLines(lines);
}
