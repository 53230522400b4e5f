// wqUtils2: restarting the computer, registering a COM server, reading a
// file's version, and the newer-file rule the installation follows before it
// replaces a file.
//
// Versions are the fixed file version of a file's version resource (not the
// product version) as two words: MS = major << 16 | minor, LS = release << 16
// | build. They are compared as signed 32-bit numbers, so a major version of
// 32768 or more counts as older than version 1. Dates are last-write times in
// local time in MS-DOS form (two-second steps, date in the high word), which
// order correctly as unsigned numbers.
//
// version.dll is not a known DLL: it is loaded at run time by its full path in
// the system folder, never imported, so a copy planted beside the setup
// program is not used.
#ifndef TARV_SYSTEM_WQUTILS2_H
#define TARV_SYSTEM_WQUTILS2_H

#include <windows.h>

#include "config/wqString.h"

// ExitWindowsEx(flags). On the NT family, for a shutdown, reboot or power-off,
// the shutdown privilege is enabled first; when it cannot be enabled the
// request is not made (false). True when the system accepted the request.
bool RestartWindows(UINT flags);
// Mode 0: EWX_REBOOT; mode 1: EWX_REBOOT | EWX_FORCE.
bool RestartComputer(int mode);

// Loads the library and calls its DllRegisterServer. True only when the
// library loaded, exports the function and the function reported success
// (an HRESULT that is not a failure); false for a missing file, a missing
// export and a failing registration alike.
bool RegisterServer(const TStr& path);

// The file's fixed file version; false (ms, ls untouched) when the file has
// no version resource or it cannot be read.
bool GetFileVersion(const TStr& path, DWORD& ms, DWORD& ls);
// A version text "w1.w2.w3.w4": words between dots (runs of dots are one
// separator, missing words are 0), each by the integer rule (0 when it does
// not convert); MS = w1 * 65536 + w2, LS = w3 * 65536 + w4, wrapping in 32 bits.
void VersionFromText(const TStr& text, DWORD& ms, DWORD& ls);
// Last-write time of the file in local time, MS-DOS form; 0 when it has none.
DWORD FileDosTime(const TStr& path);

// B exists and is strictly newer than A: by version when both have one, by
// date otherwise. Equal is never newer.
bool IsFileNewer(const TStr& a, const TStr& b);
// The existing file is strictly newer than what is about to be installed:
// with a non-empty version text and a versioned existing file by version
// alone; otherwise by date against `sourceDosTime` (MS-DOS form, local time).
// False when the existing file is missing.
bool IsInstalledFileNewer(const TStr& versionText, const TStr& existing, DWORD sourceDosTime);

#endif
