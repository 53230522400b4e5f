// wqShell: the folder chooser, starting a program and waiting for it, and
// the paths of the shell's special folders.
//
// Main thread only: the chooser keeps its preselection in one module-wide
// value, and RunAndWait dispatches the calling thread's messages.
#ifndef TARV_SYSTEM_WQSHELL_H
#define TARV_SYSTEM_WQSHELL_H

#include <windows.h>

#include "config/wqString.h"

enum TBrowseResult {
    brChosen,     // `path` holds the chosen folder
    brCancelled,  // the user cancelled; `path` unchanged
    brFailed      // the root or the chosen item has no path: the system's error
                  // text is raised (wqErrors); `path` unchanged
};
// Opens the shell's folder chooser rooted at the special folder `root` (a
// CSIDL value) with the BROWSEINFO `flags`, preselecting `path`. With
// BIF_BROWSEFORCOMPUTER the result is the display name.
[[nodiscard]] TBrowseResult BrowseForFolder(HWND owner, const TStr& title, int root, UINT flags,
                                            TStr& path);
// The chooser as the installation folder page uses it: rooted at My Computer,
// file-system folders only; the result loses a trailing "\" unless it is a
// drive root.
[[nodiscard]] TBrowseResult BrowseForInstallFolder(HWND owner, const TStr& title, TStr& path);

// Starts the file (a program, or a document through its association) and
// waits for the started process to end, dispatching this thread's messages
// meanwhile so that its windows keep painting. Returns the exit code; -1
// when the file could not be started, when the shell started no process of
// its own (no handle to wait on), or when WM_QUIT arrived while waiting (the
// message is consumed). The shell reports a file it cannot start in a box of
// its own.
long RunAndWait(HWND owner, const TStr& file, const TStr& parameters, const TStr& folder,
                int show);

// The ten special folders the predefined variables are made from.
struct TSpecialFolder {
    int Csidl;
    const char* Variable;
};
const int kSpecialFolderCount = 10;
extern const TSpecialFolder SpecialFolderTable[kSpecialFolderCount];
// The path of SpecialFolderTable[index]; empty when the system has no such
// folder or the index is out of range.
TStr GetSpecialFolder(int index);

#endif
