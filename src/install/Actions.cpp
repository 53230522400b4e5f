#include "install/Actions.h"

#include <windows.h>
#include <shellapi.h>

#include "config/RunState.h"
#include "config/wqArithm.h"
#include "config/wqErrors.h"
#include "config/wqPath.h"
#include "config/wqRegIni.h"
#include "config/wqStrUtils.h"
#include "install/IniEdit.h"
#include "install/Log.h"
#include "ui/Msg.h"
#include "install/Script.h"
#include "system/wqFileUtils.h"
#include "system/wqShell.h"
#include "system/wqShellLink.h"
#include "system/wqUtils.h"
#include "system/wqUtils2.h"
#include "text/Common.h"

namespace {

const DWORD kMessageMinTime = 750;

// A failed step: an error that was raised is the run's to show; otherwise
// the step's own message.
bool StepFailed(const char* message) {
    if (!ErrorPending()) ErrorBox(message);
    return false;
}

bool NotLogged(const TStr& value, int flagsField) { return (ScriptNumber(value, flagsField) & 1) != 0; }

// Everything before the last "\" (the key of a value path).
TStr KeyPartOf(const TStr& path) {
    long slash = path.rfind('\\');
    return slash < 0 ? TStr() : path.substr(0, (size_t)slash);
}

bool IsNT() {
    TOSKind kind = OSVersion().Kind;
    return kind == osWinNT || kind == osWin2000;
}

}  // namespace

// ---- Registry ----

bool CreateKeyPath(const TStr& pathIn) {
    if (pathIn.empty()) return true;
    TStr path = pathIn.last() == '\\' ? pathIn.substr(0, pathIn.length() - 1) : pathIn;
    if (RegKeyExists(path)) return true;
    TStr parent = KeyPartOf(path);
    if (!parent.empty() && !CreateKeyPath(parent)) return false;
    HKEY root, key;
    TStr subKey, valueName;
    // A root alone ("HKLM") does not split: it is never created or logged.
    if (!RegSplitPath(path + "\\", root, subKey, valueName) || subKey.empty() ||
        RegCreateKeyA(root, subKey.c_str(), &key) != ERROR_SUCCESS)
        return true;
    RegCloseKey(key);
    return LogEntry(lsCreateKeys, path, TStr());
}

bool ApplyRegValues() {
    const TStrList& list = RunState().RegValueList;
    for (int i = 0; i < list.Count(); ++i) {
        TStr path = NamePart(list[i]), value = ValuePart(list[i]);
        TStr data = ScriptField(value, 1);
        bool notLogged = NotLogged(value, 2);
        bool existed = RegValueExists(path);
        if (!notLogged && !CreateKeyPath(KeyPartOf(path))) return false;
        bool written = data[0] == '#' ? RegWriteInteger(path, TextToIntDef(data.substr(1), 0))
                                      : RegWriteString(path, data);
        if (!written) return StepFailed("Error on changing registry data!");
        if (!existed && !notLogged && !LogEntry(lsAddReg, path, data)) return false;
    }
    return true;
}

// ---- INI files and shortcuts ----

bool ApplyIniValues() {
    const TStrList& list = RunState().IniValueList;
    for (int i = 0; i < list.Count(); ++i) {
        TStr name = NamePart(list[i]), value = ValuePart(list[i]);
        TStr text = ScriptField(value, 1);
        if (!SetIniFileValue(ScriptField(name, 1), ScriptField(name, 2), ScriptField(name, 3), text))
            return StepFailed("Error on changing ini-file!");
        if (!NotLogged(value, 2) && !LogEntry(lsAddIni, name, text)) return false;
    }
    return true;
}

bool CreateShortcuts() {
    const TStrList& list = RunState().ShortcutList;
    for (int i = 0; i < list.Count(); ++i) {
        TStr name = NamePart(list[i]), value = ValuePart(list[i]);
        bool notLogged = NotLogged(value, 4);
        if (notLogged)
            CreatePath(FolderPart(name));
        else if (!ForceFolderPath(FolderPart(name)))
            return false;
        if (!CreateShortcutFile(name + ".lnk", ScriptField(value, 1), ScriptField(value, 2),
                                ScriptField(value, 3), 0))
            return StepFailed("Error on creating shortcut!");
        if (!notLogged && !LogEntry(lsShortcuts, name, TStr())) return false;
    }
    return true;
}

// ---- COM servers ----

static const char kRunOnceKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\";

TStr RunOnceValueName(const TStr& serverPath) {
    TStr name = serverPath;
    for (size_t i = 0; i < name.length(); ++i)
        if (name[i] == '\\' || name[i] == ':') name.at(i) = '_';
    return name;
}

bool RegisterServers() {
    const TStrList& list = RunState().ServerList;
    for (int i = 0; i < list.Count(); ++i) {
        TStr path = NamePart(list[i]), value = ValuePart(list[i]);
        if (ScriptNumber(value, 1) == 1) {
            if (!RegisterServer(path))
                ErrorBox("Cannot register OLE server!\r\rAfter install try to register it manually:\r"
                         "regsvr32.exe \"" + path + "\"");
        } else {
            // The file is in place only after the restart: register it then.
            TStr command = RemoveBackslash(GetSystemFolder()) + "\\regsvr32.exe /s \"" + path + "\"";
            RegWriteString(kRunOnceKey + RunOnceValueName(path), command);
        }
        if (ScriptNumber(value, 2) == 1 && !LogEntry(lsRegServers, path, TStr())) return false;
    }
    return true;
}

// ---- Fonts ----

TStr FontsRegistryKey() {
    return IsNT() ? "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts\\"
                  : "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts\\";
}

bool RegisterFonts() {
    const TStrList& list = RunState().FontList;
    TStr fonts = AddBackslash(ExpandVariables("%Fonts%"));
    for (int i = 0; i < list.Count(); ++i) {
        TStr path = NamePart(list[i]);
        AddFontResourceA(path.c_str());
        // NT finds the fonts of its fonts folder by itself; Windows 95/98
        // and fonts elsewhere need the registry value.
        if (!SameText(FolderPart(path), fonts) || !IsNT()) {
            TStr valuePath = FontsRegistryKey() + FileNamePart(path);
            if (RegWriteString(valuePath, path) && !LogEntry(lsAddReg, valuePath, TStr())) return false;
        }
        if (!LogEntry(lsRegFonts, path, TStr())) return false;
    }
    // A window that does not answer must not hold the installation up.
    DWORD_PTR ignored;
    SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
    return true;
}

// ---- Programs ----

static int ShowCommandFor(long mode) {
    switch (mode) {
    case 0: return SW_HIDE;
    case 2: return SW_SHOWMAXIMIZED;
    case 3: return SW_SHOWMINIMIZED;
    default: return SW_SHOW;
    }
}

bool RunPrograms() {
    const TRunState& run = RunState();
    for (int i = 0; i < run.RunList.Count(); ++i) {
        const TStr& item = run.RunList[i];
        TStr file = Unquote(ScriptField(item, 1), '"');
        TStr parameters = ScriptField(item, 2), folder = ScriptField(item, 3);
        int show = ShowCommandFor(TextToIntDef(ScriptField(item, 4), 1));
        TStr message = Unquote(ScriptField(item, 5), '"');
        if (!message.empty()) ShowMessageWindow(message, kMessageMinTime);
        if (TextToIntDef(ScriptField(item, 6), 1) != 0)
            RunAndWait(run.MainWindow, file, parameters, folder, show);
        else
            ShellExecuteA(run.MainWindow, nullptr, file.c_str(), parameters.c_str(), folder.c_str(), show);
        if (IsDirectory(file)) Sleep(300);
        HideMessageWindow();
    }
    return true;
}
