// wqShellLink: shortcut files (".lnk") written through the shell's link
// object, and the process's COM initialisation, which this module owns.
//
// Calling order: StartComLibrary once when the program starts (on the main
// thread, before any shortcut is saved), EndComLibrary once when it ends.
// Shortcuts are saved on that thread only.
#ifndef TARV_SYSTEM_WQSHELLLINK_H
#define TARV_SYSTEM_WQSHELLLINK_H

#include <windows.h>

#include "config/wqString.h"

// CoInitialize for the calling thread; false when COM could not be started
// (shortcuts then cannot be saved; nothing else depends on it).
bool StartComLibrary();
// Releases what StartComLibrary started (nothing when it had failed).
void EndComLibrary();

// The properties of one shortcut. ShowMode 1 stores "minimised, not
// activated", 2 "maximised", anything else "normal".
class TwqShellLink {
public:
    TStr LinkFile;
    TStr Target;
    TStr Arguments;
    TStr WorkingDirectory;
    TStr Description;
    TStr IconFile;
    unsigned char ShowMode = 0;
    WORD HotKey = 0;  // virtual key in the low byte, modifiers in the high byte
    long IconIndex = 0;

    // Writes LinkFile (its folder must exist). The properties are set in
    // the order path, arguments, working folder, show command, hot key,
    // description, icon, each only while all before answered S_OK; empty
    // texts are passed as empty texts. False when any call did not answer
    // S_OK; false with an error raised (wqErrors) when the shell's link
    // object or its file interface is not available.
    [[nodiscard]] bool Save();
    [[nodiscard]] bool SaveAs(const TStr& linkFile);
};

// A shortcut with target, arguments, working folder and show mode; every
// other property empty (the shell shows the target's own icon). Results as
// TwqShellLink::Save.
[[nodiscard]] bool CreateShortcutFile(const TStr& linkFile, const TStr& target,
                                      const TStr& arguments, const TStr& workingFolder,
                                      unsigned char showMode);

#endif
