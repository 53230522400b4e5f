// Tarv: the installer's entry point and the setup driver's run.
//
// So far the run creates its private temporary folder, and removes it with
// everything in it on the way out; the pre-setup stage, the pages and the
// install run take their places between those two steps as they arrive.
#include <windows.h>

#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "system/wqFileUtils.h"
#include "system/wqUtils.h"

namespace {

// The system temporary folder plus an eight-character name made from the
// local date and time, with a final "\"; created with any missing parents
// (an existing folder of that name is reused).
TStr CreatePrivateTempFolder() {
    TStr temp = GetTempFolder();
    TStr folder = AddBackslash(temp + UniqueTimeName(temp));
    CreatePath(folder);
    return folder;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    TStr tempDir = CreatePrivateTempFolder();
    // From here on the clean-up below runs on every path.
    ProfileFlushAll();
    DeleteTree(tempDir, true);
    if (ErrorPending()) MessageBoxA(0, TakeError().c_str(), "Setup", MB_ICONERROR | MB_SETFOREGROUND);
    return 0;
}
