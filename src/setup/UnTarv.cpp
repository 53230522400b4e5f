// UnTarv: the uninstaller. The install run copies it into the Windows folder
// and registers it with the path of the install log as its only argument,
// quoted or not; every program installed with a log shares that one copy.
//
// It checks the log, asks once (naming the program, as registered, or else
// the log's file name), undoes the installation (install/Uninstall.h) and
// closes with a box that says what is left, if anything. No changes nothing.
#include <windows.h>

#include "config/wqErrors.h"
#include "config/wqPath.h"
#include "config/wqRegIni.h"
#include "install/Uninstall.h"
#include "system/wqFileUtils.h"
#include "system/wqUtils.h"

namespace {

// The closing box lists this many entries at most; the log holds them all.
const int kListedAtMost = 15;

TStr ListOfRemaining(const TStrList& remaining) {
    TStr list;
    for (int i = 0; i < remaining.Count() && i < kListedAtMost; ++i) list += remaining[i] + "\r\n";
    if (remaining.Count() > kListedAtMost)
        list += Format("... and %d more\r\n", remaining.Count() - kListedAtMost);
    return list;
}

void ShowClosingBox(const TStr& name, const TInstallLog& log, const TUndoReport& report,
                    bool logWritten) {
    TStr restart = report.RestartNeeded
                       ? TStr("\r\n\r\nSome files are in use: restart Windows to finish, they are "
                              "deleted then.")
                       : TStr();
    if (report.Remaining.Count() == 0 && logWritten) {
        CentredMessageBox(nullptr, name, name + " has been removed from this computer." + restart,
                          MB_ICONINFORMATION);
        return;
    }
    TStr text = name + " has been removed, except for these items:\r\n\r\n" +
                ListOfRemaining(report.Remaining);
    if (logWritten)
        text += "\r\nThey stay listed in " + log.FileName +
                "; running the uninstaller again retries them.";
    else
        text += "\r\nThe install log could not be updated: " + TakeError();
    WarningBox(text + restart);
}

void Uninstall(const TStr& logArgument) {
    SetMessageBoxTitle("Uninstall");
    if (logArgument.empty()) {
        ErrorBox("No install log was given. Usage: UnTarv.exe \"<install log>\"");
        return;
    }
    TInstallLog log;
    if (!FileExists(logArgument)) {
        ErrorBox("The install log " + logArgument + " does not exist. Nothing was changed.");
        return;
    }
    if (!ReadInstallLog(logArgument, log)) {
        ErrorBox(TakeError());
        return;
    }
    if (LogEntryCount(log) == 0) {
        ErrorBox(log.FileName + " is no install log, or one with nothing left to remove. "
                                "Nothing was changed.");
        return;
    }
    // Folders the log names are removed below: this program must not stand
    // in one of them (the log's path is a full path by now).
    SetCurrentDirectoryA(GetWindowsFolder().c_str());
    TStr name = ProgramNamesOfLog(log.FileName);
    if (name.empty()) name = FileNamePart(log.FileName);
    SetMessageBoxTitle(name);
    if (QuestionBox("Do you want to remove " + name +
                    " and everything its installation added from this computer?") != IDYES)
        return;
    TUndoReport report;
    bool logWritten = UndoInstallLog(log, report);
    ShowClosingBox(name, log, report, logWritten);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The servers it unloads are loaded by full path; nothing else may come
    // from the folder it was started in.
    RestrictDllSearch();
    SetMessageBoxFlags(MB_SETFOREGROUND);
    Uninstall(LogPathOfCommand(GetCommandLineA()));
    if (!ProfileFlushAll()) ErrorBox(TakeError());
    return 0;
}
