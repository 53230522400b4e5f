#include "install/RebootMoves.h"

#include <windows.h>

#include "config/wqPath.h"
#include "config/wqRegIni.h"
#include "system/wqUtils.h"

bool ReplaceAtReboot(const TStr& source, const TStr& target) {
    TOSKind kind = OSVersion().Kind;
    if (kind == osWinNT || kind == osWin2000) {
        MoveFileExA(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT);
        return true;
    }
    // Windows 95/98 work through [Rename] of wininit.ini before they start:
    // NUL=target deletes the old file, target=source moves the new one in.
    TStr wininit = AddBackslash(GetWindowsFolder()) + "wininit.ini";
    return ProfileWriteString(wininit, "Rename", "NUL", target) &&
           ProfileWriteString(wininit, "Rename", target, source);
}
