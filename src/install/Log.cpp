#include "install/Log.h"

#include "config/wqRegIni.h"

const char* const LogSectionNames[8] = {"CopyFiles",  "AddReg",     "AddIni",     "Shortcuts",
                                        "CreateDirs", "CreateKeys", "RegServers", "RegFonts"};

TStr LogFileName;
bool LogStarted = false;

bool IsLogActive() { return LogStarted && !LogFileName.empty(); }

bool LogEntry(TLogSection section, const TStr& key, const TStr& value) {
    if (!IsLogActive()) return false;
    return ProfileWriteString(LogFileName, LogSectionNames[section], key, value);
}
