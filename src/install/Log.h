// Log: the install log, the record of every change an installation made, for
// the uninstaller (which reads it; this file format is the contract with it).
//
// The log is an INI-syntax file with eight sections, written through the
// profile cache: within a section a key occurs once (writing it again replaces
// the line in place), sections appear in the order they first receive an
// entry, entries in the order they were first written. The file reaches the
// disk when the profile cache is flushed at the end of the run; an earlier
// log at the same path is extended.
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

// Set by the install run when it starts: the expanded [Config] LogFile, then
// LogStarted. Nothing is logged before.
extern TStr LogFileName;
extern bool LogStarted;

// LogStarted and a log file name.
bool IsLogActive();
// False when the log is not active; otherwise writes key=value into the
// section (true). A log file that cannot be opened raises
// "Cannot open file %s" through the profile layer.
bool LogEntry(TLogSection section, const TStr& key, const TStr& value);

inline bool LogCopyFile(const TStr& path) { return LogEntry(lsCopyFiles, path, TStr()); }
inline bool LogAddReg(const TStr& path, const TStr& data) { return LogEntry(lsAddReg, path, data); }
inline bool LogAddIni(const TStr& key, const TStr& value) { return LogEntry(lsAddIni, key, value); }
inline bool LogShortcut(const TStr& path) { return LogEntry(lsShortcuts, path, TStr()); }
inline bool LogCreateDir(const TStr& path) { return LogEntry(lsCreateDirs, path, TStr()); }
inline bool LogCreateKey(const TStr& path) { return LogEntry(lsCreateKeys, path, TStr()); }
inline bool LogRegServer(const TStr& path) { return LogEntry(lsRegServers, path, TStr()); }
inline bool LogRegFont(const TStr& path) { return LogEntry(lsRegFonts, path, TStr()); }

#endif
