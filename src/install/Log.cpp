#include "install/Log.h"

#include "config/wqRegIni.h"
#include "system/wqFileUtils.h"

const char* const LogSectionNames[8] = {"CopyFiles",  "AddReg",     "AddIni",     "Shortcuts",
                                        "CreateDirs", "CreateKeys", "RegServers", "RegFonts"};

static TStr logFileName;
static bool logStarted = false;

void StartLog(const TStr& fileName) {
    logFileName = fileName;
    logStarted = true;
}

void StopLog() {
    logStarted = false;
    logFileName.clear();
}

bool IsLogActive() { return logStarted && !logFileName.empty(); }

const TStr& LogFileName() { return logFileName; }

bool LogEntry(TLogSection section, const TStr& key, const TStr& value) {
    if (!IsLogActive()) return true;
    return ProfileWriteString(logFileName, LogSectionNames[section], key, value);
}

bool LogFlush() { return !IsLogActive() || ProfileWriteBack(logFileName); }

static bool LogCreatedFolder(void*, const TStr& folder) {
    return LogEntry(lsCreateDirs, folder, TStr());
}

bool ForceFolderPath(const TStr& path) { return CreateFolderPath(path, LogCreatedFolder, nullptr); }
