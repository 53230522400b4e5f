#include "install/RebootMoves.h"

#include <windows.h>

#include "config/wqErrors.h"
#include "config/wqPath.h"
#include "install/IniEdit.h"
#include "system/wqUtils.h"

// Windows 95/98 process wininit.ini in real mode, before long names exist.
static bool ShortName(const TStr& path, TStr& shortPath) {
    DWORD n = GetShortPathNameA(path.c_str(), shortPath.buffer(MAX_PATH), MAX_PATH);
    shortPath.resize(n > 0 && n < MAX_PATH ? n : 0);
    return !shortPath.empty();
}

TRebootMove ReplaceAtReboot(const TStr& source, const TStr& target) {
    TOSKind kind = OSVersion().Kind;
    if (kind == osWinNT || kind == osWin2000)
        return MoveFileExA(source.c_str(), target.c_str(),
                           MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING)
                   ? rmScheduled
                   : rmRefused;
    TStr shortSource, shortTarget;
    if (!ShortName(source, shortSource) || !ShortName(target, shortTarget)) return rmRefused;
    // NUL=target deletes the old file, target=source moves the new one in.
    TStr wininit = AddBackslash(GetWindowsFolder()) + "wininit.ini";
    TStrList lines;
    lines.Add("NUL=" + shortTarget);
    lines.Add(shortTarget + "=" + shortSource);
    if (AppendIniFileLines(wininit, "Rename", lines)) return rmScheduled;
    return ErrorPending() ? rmRaised : rmRefused;
}
