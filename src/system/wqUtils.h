// wqUtils: the Windows version the installer runs on, the system folders,
// the DLL search path, small screen, window and colour helpers, and the
// message boxes. Only ColorFromText raises an error (wqErrors).
#ifndef TARV_SYSTEM_WQUTILS_H
#define TARV_SYSTEM_WQUTILS_H

#include <windows.h>

#include "config/wqString.h"

// ---- Windows version ----

enum TOSKind : unsigned char { osWin32s, osWin95, osWin98, osWinNT, osWin2000 };

struct TOSVersion {
    TOSKind Kind;
    long Major, Minor;
    TStr VersionText;  // "4.0", "4.10", "5.01": the minor number has two digits unless 0
    long Build;        // Windows 95/98 keep the build in the low 16 bits only
    TStr ServicePack;  // the system's service pack text, often empty
    TStr FullName;     // "Windows 98 4.10.1998", "Windows NT 4.0.1381 Service Pack 6"
};

// The record for the given GetVersionExA answer. Platform 0 is Win32s, 1 the
// Windows 95 family (98 from 4.10 on), anything else the NT family (2000 from
// major version 5 on, so every later Windows counts as 2000).
TOSVersion MakeOSVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build,
                         const TStr& csd);
// Asks the system now (GetVersionExA); a failed call leaves every number 0.
TOSVersion GetOSVersion();
// The version of this process, asked for while the program starts (before
// main, so before any second thread exists) and kept.
const TOSVersion& OSVersion();
// Tests only: replaces the kept record, so code paths for other Windows
// versions can run here. Restore with SetOSVersionForTest(GetOSVersion()).
void SetOSVersionForTest(const TOSVersion& version);

// ---- System folders (no trailing "\" unless the folder is a drive root) ----

TStr GetWindowsFolder();
TStr GetSystemFolder();
// The temporary folder, ending in "\"; it is not created.
TStr GetTempFolder();
// The rule behind GetTempFolder: when the temporary path is the current
// folder (which is what Windows hands out when TEMP is not set), the answer
// is "<windows>\Temp\" on Windows 95/98 and "C:\Temp\" elsewhere; otherwise
// tempPath itself. Both paths end in "\"; letters compare without ASCII case.
TStr ChooseTempFolder(const TStr& tempPath, const TStr& currentFolder, const TOSVersion& os,
                      const TStr& windowsFolder);

// ---- Libraries ----

// Takes the program's own folder and the current folder out of the DLL
// search path, so that a DLL planted beside a downloaded setup program is
// never loaded in place of a system one: LOAD_LIBRARY_SEARCH_SYSTEM32 where
// the system has SetDefaultDllDirectories (looked up at run time), and
// SetDllDirectoryA("") where it has that. Call first thing in the program.
void RestrictDllSearch();
// Loads a system DLL by its full path in the system folder (the name alone,
// such as "version.dll"); null when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* name);

// ---- Screen and windows ----

// Primary screen size in pixels.
SIZE ScreenSize();
inline long RectWidth(const RECT& r) { return r.right - r.left; }
inline long RectHeight(const RECT& r) { return r.bottom - r.top; }
// Moves the rectangle (size kept) back onto a width x height screen: first
// off the right and bottom edges, then off the left and top, so a rectangle
// larger than the screen ends at 0.
void KeepRectOnScreen(RECT& r, long width, long height);
// The same for the primary screen.
void KeepRectOnScreen(RECT& r);
// Centres the window on the screen (kept on it); size and Z order unchanged,
// not activated.
void CentreWindow(HWND window);
// Invalidates the whole window and repaints it before returning.
void RedrawNow(HWND window);

// ---- Colours ----

// A negative value names a system colour (its low byte is the COLOR_ index);
// anything else is already an RGB value.
COLORREF ResolveColor(long color);
// The text by the integer rule (wqArithm TextToInt). Text that does not
// convert raises "'<text>' is not a valid integer value" (color untouched)
// and gives false.
[[nodiscard]] bool ColorFromText(const TStr& text, long& color);

// ---- Message boxes ----
//
// Every box is centred on the screen whatever window owns it, task-modal,
// and carries the flags set with SetMessageBoxFlags (the driver adds
// MB_SETFOREGROUND). Any thread may show one, but only one thread at a time:
// the centring hook lives in a single slot.

// Caption of the three standard boxes; empty (the start) gives "Error",
// "Warning" or "Question". Page starts set it to the program's name.
void SetMessageBoxTitle(const TStr& title);
void SetMessageBoxFlags(UINT flags);
// MessageBoxA(owner, text, caption, flags | MB_TASKMODAL | type), centred;
// returns its answer (IDOK, IDYES, IDNO ...).
int CentredMessageBox(HWND owner, const TStr& caption, const TStr& text, UINT type);
// No owner; the stop, exclamation and question icons; QuestionBox has Yes
// and No and returns IDYES or IDNO.
void ErrorBox(const TStr& text);
void WarningBox(const TStr& text);
int QuestionBox(const TStr& text);

#endif
