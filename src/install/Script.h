// Script: the install scripts (".ins", ".nt", ".9x"), read into the install
// work lists of the run state before anything is installed.
//
// A script is an INI-syntax file read through the profile cache with quote
// stripping off, so double quotes stay in its values. Five top sections
// (each also with a language suffix, CopyFiles.ENU ...): CopyFiles, AddReg,
// Shortcuts and AddIni hold lines "group=parameter" naming a group section
// (by its name as written) whose lines are handled with the expanded
// parameter; RunApp holds lines "label=command". Names and values are
// expanded for variables when read. Items made:
//   CopyFiles  ArchiveFileList "Data\"+source (LocalFileList: source, flag 64)
//              = folder\ + target + the value from its first ","; a later
//              line for the same source replaces the value in place
//   AddReg     RegValueList  folder\ + value name = value   } a later line for
//   Shortcuts  ShortcutList  folder\ + link name = value    } the same name
//   AddIni     IniValueList  file + "," + section,key = value } moves to the end
//   RunApp     RunList       the value (every line kept, in reading order)
// where folder\ is the parameter with a "\" added unless empty or ending in
// one. The reader only appends; it shows nothing. Every operation returns
// false only when a file could not be opened (the error is raised).
#ifndef TARV_INSTALL_SCRIPT_H
#define TARV_INSTALL_SCRIPT_H

#include "config/wqString.h"

// The flag bits of a CopyFiles line (field 3 of its value).
enum : long {
    cfNotLogged = 1,   // permanent: no log entry, no folder logged
    cfNoVersionTest = 2,
    cfRegisterServer = 4,
    cfRegisterFont = 8,
    cfKeepNewer = 16,  // an existing newer file stays without a question
    cfNeverReplace = 32,
    cfLocalSource = 64  // the source is a file on disk
};

// Handlers of ReadTwoLevelSection: a top line (expanded name and value), a
// group line (expanded name and value, and the expanded group parameter).
typedef void (*TLineHandler)(const TStr& name, const TStr& value);
typedef void (*TGroupLineHandler)(const TStr& name, const TStr& value, const TStr& parameter);

// For every word of [Config] InsFiles of Tarv.ini (words between commas;
// blanks belong to the word): TempDir + word with its extension replaced by
// ".ins", then by ".nt" on the NT family or ".9x" on Windows 95/98. Quote
// stripping is off while the scripts load and on again afterwards, also
// after a failure.
[[nodiscard]] bool ReadInstallScripts();
// The script's base sections, then those with "." + the language code; a
// missing file adds nothing.
[[nodiscard]] bool ReadInstallScript(const TStr& path);
// CopyFiles, AddReg, Shortcuts, AddIni and RunApp, each + suffix.
[[nodiscard]] bool ReadScriptSections(const TStr& path, const TStr& suffix);
// The generic two-level reader: for each line of `section`, the line
// handler (when given) and then, for each line of the group section named
// by the line's name as written, the group-line handler (when given).
[[nodiscard]] bool ReadTwoLevelSection(const TStr& path, const TStr& section,
                                       TLineHandler lineHandler,
                                       TGroupLineHandler groupHandler);

// Field n (1-based) of a script value: fields end at commas outside double
// quotes, quotes stay, empty fields count.
TStr ScriptField(const TStr& value, int n);
// A flags or number field by the integer rule; 0 when empty or not a number.
long ScriptNumber(const TStr& value, int n);

#endif
