// Install: the install run, the step of the setup driver that installs.
//
// In order: the install scripts are read into the work lists (main thread);
// the bytes to install are counted and the installation folder's drive is
// checked for room; the files are installed by a worker thread while the
// modal progress page DLG_PROGRESS shows two bars and offers Cancel; then,
// on the main thread again, COM servers, registry values, INI values,
// fonts, shortcuts and programs (install/Actions), each framed by its text
// in the message window; last the uninstaller is copied into the Windows
// folder and registered. Every change is recorded in the install log
// (install/Log), which is written to the disk after the file pass and after
// each later step, so an installation killed at any moment leaves a log of
// what its finished steps changed.
//
// Threads: the worker (InstallWorker) is created suspended and resumed by
// the page when it opens; the page ends on the worker's final command 102.
// The worker touches the page only through install/Progress; the main thread
// touches no profile document while the worker runs.
#ifndef TARV_INSTALL_INSTALL_H
#define TARV_INSTALL_INSTALL_H

#include <windows.h>

#include "config/wqString.h"

// Runs the installation; true when it finished. False when: the free space
// is too small (localised string 4 shown, nothing installed); the
// installation folder is refused (it holds "," or a double quote, or is no
// path: box shown, nothing created); the archive is damaged (box shown); the
// progress page could not be shown or the worker failed or was cancelled
// (its errors, raised ones too, shown here once the worker has ended); a
// post-install step failed (its box shown). An error raised on the main
// thread outside the file pass is left pending (wqErrors) for the driver.
// Side effects: InstallPath becomes its expanded, absolute form; the work
// lists are filled and consumed; RebootNeeded may become true; the log is
// started with the expanded [Config] LogFile.
[[nodiscard]] bool InstallRun();

// The worker thread: the file pass, then command 102 to the page. Exit code
// 1 when the pass completed, 0 otherwise.
DWORD WINAPI InstallWorker(void* unused);
// The dialog procedure of DLG_PROGRESS; FALSE for every message. The close
// box and Alt+F4 do nothing; Cancel and Esc (a hot key while the page is
// active) ask the worker to stop.
INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// The installation folder as the run uses it: expanded, made absolute
// against the current folder. False (with `folder` unchanged) for a path
// holding "," or a double quote, which the work lists and the uninstall
// command line could not carry, or one that is no path at all.
bool ResolveInstallFolder(const TStr& stored, TStr& folder);

// The uninstall registration (under the Uninstall key, ProgramName):
// UnTarv.exe from the temporary folder copied into the Windows folder
// unless a newer one is there, DisplayName, UninstallString (the copy and
// the log path in double quotes) and the key logged in CreateKeys; then
// DisplayIcon ([Config] DisplayIcon, expanded), DisplayVersion and Publisher
// ([Config]), InstallLocation and EstimatedSize (KB, `installedBytes`), each
// only when its source is present and logged in AddReg when it is new.
// Skipped with an error box when ProgramName is empty or holds "\". False
// when the copy failed ("Uninstall program copy error!") or the log raised.
[[nodiscard]] bool RegisterUninstaller(unsigned long long installedBytes);

#endif
