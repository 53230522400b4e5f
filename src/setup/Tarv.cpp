// Tarv: the installer's entry point and the setup driver's run.
//
// So far the run creates its private temporary folder, and removes it with
// everything in it on the way out; the pre-setup stage, the pages and the
// install run take their places between those two steps as they arrive.
// Between its steps the driver checks for a raised error (wqErrors): the
// step that raised has stopped, the clean-up runs, and the message is shown
// last.
#include <windows.h>

#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "system/wqFileUtils.h"
#include "system/wqUtils.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything can load a library: a setup program runs from a
    // downloads folder that may hold a planted DLL.
    RestrictDllSearch();
    SetMessageBoxFlags(MB_SETFOREGROUND);
    // The folder is made new, never adopted: nothing another process
    // prepared under that name is used by an elevated installer.
    TStr tempDir = CreateUniqueFolder(GetTempFolder());
    if (tempDir.empty()) return 0;
    // From here on the clean-up below runs on every path.
    TStr error = TakeError();
    if (!ProfileFlushAll() && error.empty()) error = TakeError();
    DeleteTree(tempDir, true);
    if (!error.empty()) ErrorBox(error);
    return 0;
}
