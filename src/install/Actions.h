// Actions: the post-install steps of the install run that carry out the
// queued registry values, INI values, shortcuts, COM servers, fonts and
// programs. They run on the main thread after the file pass, each only when
// its list is not empty and every earlier step succeeded (install/Install).
//
// Each step answers true when it finished. False stops the run: the step has
// shown its own box ("Error on changing registry data!", "Error on changing
// ini-file!", "Error on creating shortcut!"), or an error was raised
// (wqErrors: the log or an INI file could not be opened) and is pending for
// the run to show. Items done before a failure stay done and logged.
#ifndef TARV_INSTALL_ACTIONS_H
#define TARV_INSTALL_ACTIONS_H

#include "config/wqString.h"

// RegValueList: "#n" data as REG_DWORD (the integer rule, 0 when it does
// not convert), anything else as REG_SZ with its quotes. Missing keys are
// created and logged (CreateKeyPath) and a value that did not exist before
// is logged in AddReg, unless flag 1.
[[nodiscard]] bool ApplyRegValues();
// Creates the missing keys of the key path, outermost first, logging each
// in CreateKeys; a key that cannot be created is not reported (the value
// write that follows fails). A root alone is never created or logged.
[[nodiscard]] bool CreateKeyPath(const TStr& path);
// IniValueList: "file,section,key = value,flags", set in the file on disk
// changing nothing else of it (install/IniEdit); logged in AddIni unless
// flag 1.
[[nodiscard]] bool ApplyIniValues();
// ShortcutList: "path = target,arguments,folder,flags": the folder is made
// (logged unless flag 1), then path + ".lnk" (install/../wqShellLink).
[[nodiscard]] bool CreateShortcuts();

// ServerList: "path = now,logged". now 1: DllRegisterServer at once (a
// failure shows "Cannot register OLE server!" with the regsvr32 command and
// goes on); now 0 (the file waits for the restart): a RunOnce value runs
// regsvr32 /s at the next start. Logged in RegServers when logged is 1.
[[nodiscard]] bool RegisterServers();
// The RunOnce value name for a server path: the path with "\" and ":" made
// "_" (a name with "\" would name a sub-key, which RunOnce never runs).
TStr RunOnceValueName(const TStr& serverPath);
// FontList: every font added to the system, its registry value written when
// it lies outside the fonts folder or on Windows 95/98 (under the Windows NT
// key on the NT family), logged in AddReg and RegFonts; one WM_FONTCHANGE
// broadcast at the end.
[[nodiscard]] bool RegisterFonts();
// The Fonts key of this platform, with a final "\".
TStr FontsRegistryKey();
// RunList: "file,parameters,folder,show,message,wait": started through the
// shell (show 0 hidden, 2 maximised, 3 minimised, else normal), with the
// message in the message window; waited for unless wait is 0; a folder gets
// 300 ms to open. Nothing is reported.
[[nodiscard]] bool RunPrograms();

#endif
