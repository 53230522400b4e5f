// Uninstall: undoing an installation from its install log (install/Log.h
// describes the log; it is all the uninstaller knows about the installation).
//
// The undo runs in the reverse order of the install run, section by section,
// and within a section from the last entry to the first:
//   Shortcuts   the file path + ".lnk" is deleted
//   RegFonts    RemoveFontResourceA, the font's value under a Fonts key (an
//               AddReg entry), then one WM_FONTCHANGE broadcast
//   AddReg      the value is deleted
//   AddIni      the key's line goes, only while it still holds the logged
//               value (a value the user changed since stays)
//   RegServers  DllUnregisterServer, where the server exports it
//   CopyFiles   the file is deleted; one in use is deleted at the next restart
//   CreateKeys  a key goes when it holds nothing, deepest first
//   CreateDirs  a folder goes when it is empty, deepest first
// Last, when nothing else is left, the program's uninstall registration (the
// created Uninstall key whose UninstallString names this log, with its
// values), then the log itself and the created folders that held only it.
// Until then the program stays registered, so it can be uninstalled again.
//
// Safety, because the log is a text file anyone may have edited:
//   - only what the log names is removed, and only an entry of the kind its
//     section says (a CopyFiles entry naming a folder is refused);
//   - paths must be full local or network paths below a drive root or a
//     share ("C:\", "\\server\share", relative paths, ".." steps, wildcards,
//     stream names and device paths are refused); registry paths must name a
//     key below a root ("HKLM\" alone is refused);
//   - folders are removed only when empty (never a tree), keys only when they
//     hold no value and no subkey; a created folder that is now a junction or
//     symbolic link is refused, and so is every entry reached through it;
//   - the uninstaller never deletes itself nor the shared UnTarv.exe in the
//     Windows folder (several programs use that one copy);
//   - an entry already undone (by an earlier run or by hand) is skipped
//     silently, so a second run on the same log finishes cleanly.
// What is left is listed in the report and kept in the log, which then holds
// only those entries, so a later run can retry them.
//
// Nothing here shows a window: the uninstaller program asks and reports.
#ifndef TARV_INSTALL_UNINSTALL_H
#define TARV_INSTALL_UNINSTALL_H

#include "config/wqString.h"
#include "install/Log.h"

// The log, read: each section's "key=value" lines in file order, values
// exactly as written (quotes kept).
struct TInstallLog {
    TStr FileName;  // full path
    TStrList Entries[8];  // by TLogSection
};

// Reads the eight sections of the log (full path made from `fileName`). A
// missing file, or one without those sections, reads as no entries. False,
// with "Cannot open file %s" raised, when the file exists but cannot be read.
[[nodiscard]] bool ReadInstallLog(const TStr& fileName, TInstallLog& log);
int LogEntryCount(const TInstallLog& log);

// The names of the programs registered with this log (DisplayName, or the
// key's name, of each Uninstall key whose UninstallString names the log),
// joined with ", "; empty when none is.
TStr ProgramNamesOfLog(const TStr& logFileName);

struct TUndoReport {
    TStrList Remaining;  // entries left, each "key (reason)", in undo order
    bool RestartNeeded = false;  // files wait for the restart to be deleted
    bool LogRemoved = false;     // everything was undone; the log is gone
};

// Undoes the log as described above. Afterwards the log file is gone, or it
// holds exactly the entries that are left. False, with the profile error
// raised, only when the log could not be rewritten; the report is complete
// either way.
[[nodiscard]] bool UndoInstallLog(const TInstallLog& log, TUndoReport& report);

// ---- The rules on their own ----

// A full path below a drive root ("C:\x") or a share ("\\server\share\x"),
// with no empty, "." or ".." step, no "/", no wildcard, no character the file
// system forbids, no ":" past the drive, shorter than MAX_PATH.
bool IsSafeFilePath(const TStr& path);
// A registry path with a root the registry paths know and a key below it
// (`isKey`: the whole path names the key), without empty steps.
bool IsSafeRegistryPath(const TStr& path, bool isKey);
// The argument of a command line (program, blanks, argument): the text in
// double quotes when it starts with one, otherwise the rest without its
// final blanks. A program path with unquoted blanks before a quoted argument
// ends in that argument: the last quoted text counts.
TStr LogPathOfCommand(const TStr& commandLine);

#endif
