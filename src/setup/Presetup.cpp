#include "setup/Presetup.h"

#include <windows.h>
#include <commctrl.h>

#include "archive/Extraction.h"
#include "archive/Unrar.h"
#include "config/RunState.h"
#include "config/wqArithm.h"
#include "config/wqPath.h"
#include "config/wqStrUtils.h"
#include "system/wqFileUtils.h"
#include "system/wqUtils.h"
#include "ui/PageNames.h"

namespace {

const int kBarId = 101;  // the progress bar of DLG_PRESETUP (100 is its icon)
const char kPresetupMask[] = "Presetup\\*.*";

HWND presetupWindow = 0;
unsigned long long presetupTotal = 0;  // unpacked bytes of the setup files
unsigned long long presetupDone = 0;   // of those, written so far

void ShowPosition() {
    SendDlgItemMessageA(presetupWindow, kBarId, PBM_SETPOS,
                        (WPARAM)PercentHalfEven(presetupDone, presetupTotal), 0);
}

// The count of the setup files; false (reported) when the stage cannot go on.
bool CountSetupFiles() {
    TArchiveCount count = ArchiveFilesSize(kPresetupMask, nullptr, true);
    presetupTotal = count.Total;
    switch (count.Status) {
    case csCounted: return true;
    // The count goes on with what it has: opening for extraction reports a
    // missing archive again, and the unpacking checks every entry anyway.
    case csOpenFailed: ErrorBox(kArchiveOpenError); return true;
    case csEntryFailed: ErrorBox(kFileExtractingError); return true;
    case csDamaged: break;
    }
    ErrorBox(kDamagedSetupMessage);
    return false;
}

bool EnoughFreeSpace(const TStr& folder) {
    if (FreeDiskSpaceKB(folder) >= DivRoundHalfEven(presetupTotal, 1024)) return true;
    ErrorBox("Insufficient free disk space!");
    return false;
}

// Unpacks the leading Presetup\ entries; false (reported) on the first that
// cannot be written or turns out damaged.
bool UnpackSetupFiles(TArchiveHandle archive, const TStr& folder) {
    TRARHeader header;
    int walk;
    while ((walk = ReadFileHeaderResult(archive, header)) == rarSuccess) {
        if (!MaskMatch(header.FileName, kPresetupMask, true)) return true;
        TStr target = folder + FileNamePart(header.FileName);
        unsigned long long before = presetupDone;
        if (!ProcessFile(archive, 1, TStr(), PresetupProgress, target)) {
            ErrorBox("Cannot install file " + target);
            return false;
        }
        // Stored entries report no progress of their own.
        presetupDone = before + UnpSize64(header);
        ShowPosition();
    }
    if (walk == rarEndArchive) return true;
    ErrorBox(kDamagedSetupMessage);
    return false;
}

bool RunStage(const TStr& folder) {
    SendDlgItemMessageA(presetupWindow, kBarId, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageA(presetupWindow, kBarId, PBM_SETSTEP, 1, 0);
    const TStr& exe = RunState().ExeName;
    if (VerifyArchive(exe) == rarBadData) {
        ErrorBox(kDamagedSetupMessage);
        return false;
    }
    if (!CountSetupFiles() || !EnoughFreeSpace(folder)) return false;
    TArchiveHandle archive = OpenArchive(exe, 1);
    if (!archive) {
        ErrorBox(kArchiveOpenError);
        return false;
    }
    ShowWindow(presetupWindow, SW_SHOW);
    RedrawNow(presetupWindow);
    presetupDone = 0;
    bool unpacked = UnpackSetupFiles(archive, folder);
    CloseArchive(archive);
    return unpacked;
}

}  // namespace

void PresetupProgress(const char*, int bytes, int extracting) {
    if (extracting != 1) return;
    presetupDone += (unsigned)bytes;
    ShowPosition();
}

bool RunPresetup(const TStr& folder) {
    presetupWindow = CreateDialogParamA(RunState().Instance, "DLG_PRESETUP", 0, nullptr, 0);
    if (!presetupWindow) {
        ErrorBox("Cannot create init window!");
        return false;
    }
    TagTemplateWindow(presetupWindow, "DLG_PRESETUP");
    bool result = RunStage(folder);
    UntagTemplateWindow(presetupWindow);
    DestroyWindow(presetupWindow);
    presetupWindow = 0;
    return result;
}
