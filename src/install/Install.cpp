#include "install/Install.h"

#include <commctrl.h>

#include "archive/Extraction.h"
#include "archive/Unrar.h"
#include "config/RunState.h"
#include "config/wqArithm.h"
#include "config/wqErrors.h"
#include "config/wqPath.h"
#include "config/wqRegIni.h"
#include "install/Actions.h"
#include "install/FileInstall.h"
#include "install/Log.h"
#include "install/Progress.h"
#include "install/Script.h"
#include "system/wqFileUtils.h"
#include "system/wqUtils.h"
#include "system/wqUtils2.h"
#include "text/Common.h"
#include "ui/Dialogs.h"
#include "ui/Main.h"
#include "ui/Msg.h"
#include "ui/PageNames.h"
#include "ui/Resource.h"

namespace {

const DWORD kMessageMinTime = 750;

// The run's page state.
HANDLE workerThread = nullptr;
HBITMAP pageBitmap = nullptr;
volatile LONG workerResumed = 0;
volatile LONG workerAbandoned = 0;  // the page never opened: the worker ends at once
unsigned long long totalBytes = 0;  // the run's count, the lower bar's 100 %

// Shows the localised string in the message window; false when Tarv.lng
// could not be opened (raised).
bool ShowStringWindow(int number) {
    TStr text;
    if (!GetString(number, text)) return false;
    ShowMessageWindow(text, kMessageMinTime);
    return true;
}

// The scripts, framed by string 2.
bool ReadScripts() {
    if (!ShowStringWindow(2)) return false;
    bool read = ReadInstallScripts();
    HideMessageWindow();
    return read;
}

// The bytes to install, framed by string 3; false for a damaged archive.
bool CountBytes(unsigned long long& total) {
    if (!ShowStringWindow(3)) return false;
    TArchiveCount count = ArchiveFilesSize("Data\\*.*", &RunState().ArchiveFileList, false);
    total = count.Total + LocalFilesSize();
    HideMessageWindow();
    switch (count.Status) {
    case csOpenFailed: ErrorBox(kArchiveOpenError); break;
    case csEntryFailed: ErrorBox(kFileExtractingError); break;
    case csDamaged: ErrorBox(kDamagedSetupMessage); return false;
    default: break;
    }
    return true;
}

// The installation folder, expanded and absolute, stored back before the
// scripts are read, so that every path they make from %InstallPath% is
// absolute too (the uninstaller resolves nothing against its own folder).
bool TakeInstallFolder() {
    TRunState& run = RunState();
    TStr folder;
    if (!BuildVariableTable()) return false;
    if (!ResolveInstallFolder(run.InstallPath, folder)) {
        ErrorBox("The installation folder \"" + ExpandVariables(run.InstallPath) +
                 "\" cannot be used: it must be a folder path without \",\" or a double quote.");
        return false;
    }
    run.InstallPath = folder;
    return BuildVariableTable();
}

// The folder is created (and logged) and large enough.
bool PrepareInstallFolder(unsigned long long bytes) {
    const TStr& folder = RunState().InstallPath;
    if (!ForceFolderPath(folder)) return false;
    if (FreeDiskSpaceKB(folder) < DivRoundHalfEven(bytes, 1024)) {
        TStr text;
        if (GetString(4, text)) ErrorBox(text);
        return false;
    }
    return true;
}

// Runs the page with the worker behind it; true when the worker completed
// the file pass. Errors of the worker (and of the page start) are shown here.
bool RunFilePass() {
    TRunState& run = RunState();
    run.CurrentDialog = "DLG_PROGRESS";
    if (!LoadPageBitmap(run.CurrentDialog, pageBitmap)) return false;
    workerResumed = workerAbandoned = 0;
    DWORD id;  // Windows 95/98 need somewhere to put it
    workerThread = CreateThread(nullptr, 0, InstallWorker, nullptr, CREATE_SUSPENDED, &id);
    if (!workerThread) {
        DeleteObject(pageBitmap);
        pageBitmap = nullptr;
        ErrorBox("Cannot start the installation!");
        return false;
    }
    HWND owner = run.MainWindow && IsWindowVisible(run.MainWindow) ? run.MainWindow : nullptr;
    INT_PTR shown = DialogBoxParamA(run.Instance, "DLG_PROGRESS", owner, ProgressPageProc, 0);
    if (pageBitmap) DeleteObject(pageBitmap);
    pageBitmap = nullptr;
    if (run.MainWindow) RedrawNow(run.MainWindow);
    if (!workerResumed) {
        // The page never started the worker: let it end without working.
        workerAbandoned = 1;
        ResumeThread(workerThread);
    }
    WaitForSingleObject(workerThread, INFINITE);
    DWORD code = 0;
    GetExitCodeThread(workerThread, &code);
    CloseHandle(workerThread);
    workerThread = nullptr;
    bool ok = workerResumed && (code & 0xFF) != 0;
    if (ErrorPending()) {
        ErrorBox(TakeError());
        ok = false;
    } else if (shown == -1 || !workerResumed) {
        ErrorBox("Cannot show the installation progress page!");
        ok = false;
    }
    return ok;
}

typedef bool (*TStep)();
struct TPostInstallStep {
    TStrList TRunState::*List;
    int Text;  // localised string in the message window, 0: none
    TStep Step;
};
const TPostInstallStep kPostInstallSteps[] = {
    {&TRunState::ServerList, 8, RegisterServers}, {&TRunState::RegValueList, 5, ApplyRegValues},
    {&TRunState::IniValueList, 6, ApplyIniValues}, {&TRunState::FontList, 9, RegisterFonts},
    {&TRunState::ShortcutList, 7, CreateShortcuts}, {&TRunState::RunList, 0, RunPrograms},
};

// The steps in their order while they succeed; the log reaches the disk
// after each.
bool RunPostInstallSteps() {
    TRunState& run = RunState();
    for (const TPostInstallStep& s : kPostInstallSteps) {
        if ((run.*s.List).Count() == 0) continue;
        if (s.Text && !ShowStringWindow(s.Text)) return false;
        bool ok = s.Step();
        if (s.Text) HideMessageWindow();
        if (!LogFlush() || !ok) return false;
    }
    return true;
}

const char kUninstallKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// A value of the uninstall key beyond the two that always are: written when
// its source is present, logged when it is new.
bool WriteExtraValue(const TStr& key, const char* name, const TStr& text) {
    if (text.empty()) return true;
    TStr path = key + "\\" + name;
    bool existed = RegValueExists(path);
    return !RegWriteString(path, text) || existed || LogEntry(lsAddReg, path, text);
}

bool WriteSizeValue(const TStr& key, unsigned long long bytes) {
    TStr path = key + "\\EstimatedSize";
    bool existed = RegValueExists(path);
    long kb = (long)DivRoundHalfEven(bytes, 1024);
    return !RegWriteInteger(path, kb) || existed || LogEntry(lsAddReg, path, "#" + IntToStr(kb));
}

}  // namespace

bool ResolveInstallFolder(const TStr& stored, TStr& folder) {
    TStr expanded = ExpandVariables(stored);
    if (expanded.empty() || expanded.find(',') >= 0 || expanded.find('"') >= 0) return false;
    TStr full;
    DWORD n = GetFullPathNameA(expanded.c_str(), MAX_PATH, full.buffer(MAX_PATH), nullptr);
    if (n == 0 || n >= MAX_PATH) return false;
    full.resize(n);
    folder = RemoveBackslash(full);
    return true;
}

bool RegisterUninstaller(unsigned long long installedBytes) {
    const TRunState& run = RunState();
    if (run.ProgramName.empty() || run.ProgramName.find('\\') >= 0) {
        ErrorBox("The uninstaller is not registered: the program name \"" + run.ProgramName +
                 "\" is empty or holds \"\\\".");
        return true;
    }
    TStr source = run.TempDir + "UnTarv.exe";
    TStr destination = AddBackslash(GetWindowsFolder()) + "UnTarv.exe";
    if (!FileExists(source)) return true;
    if (!IsFileNewer(source, destination)) {
        ForceDeleteFile(destination);
        if (!CopyFileA(source.c_str(), destination.c_str(), FALSE)) {
            ErrorBox("Uninstall program copy error!");
            return false;
        }
    }
    TStr key = Format("%s\\%s", kUninstallKey, run.ProgramName.c_str());
    RegWriteString(key + "\\DisplayName", run.ProgramName);
    RegWriteString(key + "\\UninstallString", destination + " \"" + LogFileName() + "\"");
    if (!LogEntry(lsCreateKeys, key, TStr())) return false;
    // The values the system's list of programs shows, from [Config], with
    // variables expanded as in every text of Tarv.ini.
    static const char* const kConfigValues[] = {"DisplayIcon", "DisplayVersion", "Publisher"};
    for (const char* name : kConfigValues) {
        TStr text;
        if (!ProfileReadString(run.IniFileName, "Config", name, "", text) ||
            !WriteExtraValue(key, name, ExpandVariables(text)))
            return false;
    }
    return WriteExtraValue(key, "InstallLocation", run.InstallPath) && WriteSizeValue(key, installedBytes) &&
           LogFlush();
}

bool InstallRun() {
    TRunState& run = RunState();
    ResetProgress(nullptr);
    if (!TakeInstallFolder()) return false;
    TStr logFile;
    if (!ProfileReadString(run.IniFileName, "Config", "LogFile", "", logFile)) return false;
    StartLog(ExpandVariables(logFile));
    totalBytes = 0;
    if (!ReadScripts() || !CountBytes(totalBytes) || !PrepareInstallFolder(totalBytes)) return false;
    bool ok = RunFilePass() && LogFlush() && RunPostInstallSteps();
    if (ok && run.UninstallEnabled && IsLogActive()) ok = RegisterUninstaller(totalBytes);
    return ok;
}

DWORD WINAPI InstallWorker(void*) {
    if (workerAbandoned) return 0;
    HWND page = Progress().Page;
    static const int bars[] = {IDC_PROGRESS_FILE_BAR, IDC_PROGRESS_ALL_BAR};
    for (int bar : bars) {
        SendDlgItemMessageA(page, bar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
        SendDlgItemMessageA(page, bar, PBM_SETSTEP, 1, 0);
    }
    bool ok = InstallFiles();
    Sleep(100);
    PostMessageA(page, WM_COMMAND, IDC_NEXT, 0);
    return ok ? 1 : 0;
}

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM) {
    TProgressState& progress = Progress();
    switch (message) {
    case WM_INITDIALOG:
        TagTemplateWindow(page, "DLG_PROGRESS");
        if (!StartPage(page)) {
            EndDialog(page, IDCANCEL);  // the worker is never started
            break;
        }
        InterlockedExchange(&progress.CancelRequested, 0);
        ResetProgress(page);
        progress.TotalBytes = totalBytes;
        SetTimer(page, kProgressTimer, kProgressInterval, nullptr);
        workerResumed = 1;
        ResumeThread(workerThread);
        break;
    case WM_TIMER:
        if (wParam == kProgressTimer) ShowProgress();
        break;
    case WM_PAINT:
    case WM_MOVE:
    case WM_SIZE:
        PaintPageHeader(page, pageBitmap);
        break;
    case WM_DRAWITEM:
        if (wParam == IDC_HEADER) PaintPageHeader(page, pageBitmap);
        break;
    case WM_ACTIVATE:
    case WM_HOTKEY:
        HandleEscapeKey(page, message, wParam);
        break;
    case WM_DESTROY:
        HandleEscapeKey(page, message, wParam);
        KillTimer(page, kProgressTimer);
        UntagTemplateWindow(page);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_NEXT) {
            ShowProgress();  // the pass's last state, for the moment the page still shows
            EndDialog(page, IDC_NEXT);
        }
        if (LOWORD(wParam) == IDC_CANCEL) InterlockedExchange(&progress.CancelRequested, 1);
        break;  // IDCANCEL (close box, Alt+F4) and the rest: nothing
    }
    return FALSE;
}
