// Log: the install log, the record of every change an installation made, for
// the uninstaller (which reads it; this file format is the contract with it).
//
// The log is an INI-syntax file with eight sections, written through the
// profile cache: within a section a key occurs once (writing it again replaces
// the line in place), sections appear in the order they first receive an
// entry, entries in the order they were first written. The file reaches the
// disk when its document is written back (the install run does that after
// each step, the driver's final flush in any case); an earlier log at the
// same path is extended.
#ifndef TARV_INSTALL_LOG_H
#define TARV_INSTALL_LOG_H

#include "config/wqString.h"

enum TLogSection {
    lsCopyFiles = 0,   // installed file, full path (its final name)
    lsAddReg = 1,      // registry value path = data as written in the script
    lsAddIni = 2,      // "file,section,key" = value written
    lsShortcuts = 3,   // shortcut path without ".lnk"
    lsCreateDirs = 4,  // created folder, no trailing "\", outermost first
    lsCreateKeys = 5,  // created registry key, no trailing "\"
    lsRegServers = 6,  // COM server file
    lsRegFonts = 7     // font file
};

extern const char* const LogSectionNames[8];

// Starts recording into `fileName` (the install run passes the expanded
// [Config] LogFile; an empty name keeps the log off). Nothing is recorded
// before, or after StopLog.
void StartLog(const TStr& fileName);
void StopLog();
// Started, with a file name.
bool IsLogActive();
// The log's path (empty until StartLog).
const TStr& LogFileName();

// Records key=value in the section when the log is active; an inactive log
// records nothing and answers true. False only when the entry could not be
// recorded: the log file cannot be opened ("Cannot open file %s" raised).
[[nodiscard]] bool LogEntry(TLogSection section, const TStr& key, const TStr& value);
// Writes the log's document back to the disk now, so that an installation
// that is killed later still leaves a log of what it changed so far. True
// when the log is inactive; false with "Cannot write file %s" raised.
[[nodiscard]] bool LogFlush();

// Creates the missing folders of the path, outermost first, and records each
// folder it created in CreateDirs (drives "C:" and existing folders are left
// alone; a folder that cannot be created is not reported: the file that
// needs it fails later). False when the log could not record a folder.
[[nodiscard]] bool ForceFolderPath(const TStr& path);

#endif
