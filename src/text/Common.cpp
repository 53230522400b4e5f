#include "text/Common.h"

#include "config/RunState.h"
#include "config/wqArithm.h"
#include "config/wqPath.h"
#include "config/wqRegIni.h"
#include "config/wqStrUtils.h"
#include "system/wqFileUtils.h"
#include "system/wqShell.h"
#include "system/wqUtils.h"
#include "text/Expand.h"

// ---- Variables ----

void AddVariable(const TStr& name, const TStr& value) {
    RunState().Variables.Add(Format("%s=%s", name.c_str(), RemoveBackslash(value).c_str()));
}

TStr ExpandVariables(const TStr& text) {
    TStr result;
    if (!ExpandText(text, RunState().Variables, result))
        ErrorBox(Format("Infinite reference in the string \"%s\"!", text.c_str()));
    return result;
}

bool BuildVariableTable() {
    TRunState& run = RunState();
    run.Variables.Clear();
    AddPredefinedVariables();
    return ProfileReadSection(run.IniFileName, "Variables", run.Variables) &&
           ProfileReadSection(run.IniFileName, "Variables." + run.Language, run.Variables);
}

namespace {

#define WINDOWS_KEY "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\"
#define SHELL_FOLDERS WINDOWS_KEY "Explorer\\Shell Folders\\"

// Registry folders; a default is expanded against the rows before it, so the
// all-users folders fall back to the user's own ones (single-user Windows 95
// has no common folders).
const struct {
    const char* Name;
    const char* Path;
    const char* Default;
} kRegistryFolders[] = {
    {"ProgramFiles", WINDOWS_KEY "ProgramFilesDir", ""},
    {"CommonFiles", WINDOWS_KEY "CommonFilesDir", ""},
    {"CommonDesktop", SHELL_FOLDERS "Common Desktop", ""},
    {"CommonProgramsMenu", SHELL_FOLDERS "Common Programs", "%ProgramsMenu%"},
    {"CommonStartMenu", SHELL_FOLDERS "Common Start Menu", "%StartMenu%"},
    {"CommonStartupMenu", SHELL_FOLDERS "Common Startup", "%StartupMenu%"},
};

const char kDelphiKey[] = "HKLM\\SOFTWARE\\Borland\\Delphi";

// RootDir of the newest version registered under the Delphi key ("5.0" sorts
// after "4.0"); "C:" when none is.
TStr NewestDelphiRoot() {
    TStrList versions;
    RegEnumSubKeys(kDelphiKey, versions);
    if (versions.Count() == 0) return "C:";
    versions.Sort();
    TStr path = Format("%s\\%s\\RootDir", kDelphiKey, versions[versions.Count() - 1].c_str());
    return RemoveBackslash(RegReadString(path, ""));
}

}  // namespace

void AddPredefinedVariables() {
    const TRunState& run = RunState();
    AddVariable("SourcePath", RemoveBackslash(FolderPart(run.ExeName)));
    AddVariable("InstallPath", run.InstallPath);
    AddVariable("Presetup", run.TempDir);
    AddVariable("BootDrive", DrivePart(RegReadString(WINDOWS_KEY "Setup\\BootDir", "")));
    AddVariable("Windows", GetWindowsFolder());
    AddVariable("System", GetSystemFolder());
    for (int i = 0; i < kSpecialFolderCount; ++i)
        AddVariable(SpecialFolderTable[i].Variable, GetSpecialFolder(i));
    for (const auto& row : kRegistryFolders)
        AddVariable(row.Name, RegReadString(row.Path, ExpandVariables(row.Default)));
    RunState().Variables.Add("Delphi=" + NewestDelphiRoot());
}

// ---- Texts of Tarv.lng ----

bool GetString(int number, TStr& text) {
    const TRunState& run = RunState();
    TStr key = IntToStr(number), common;
    if (!ProfileReadString(run.LngFileName, "Strings", key, "", common) ||
        !ProfileReadString(run.LngFileName, "Strings." + run.Language, key, common, text))
        return false;
    text = ExpandVariables(text);
    return true;
}

void SetItemText(HWND window, int id, const TStr& text) {
    SendDlgItemMessageA(window, id, WM_SETTEXT, 0, (LPARAM)text.c_str());
    SendDlgItemMessageA(window, id, EM_SETSEL, 0, (LPARAM)text.length());
}

TStr GetItemText(HWND window, int id) {
    char buffer[1024];
    LRESULT n = SendDlgItemMessageA(window, id, WM_GETTEXT, sizeof buffer, (LPARAM)buffer);
    return TStr(buffer, n > 0 && n < (LRESULT)sizeof buffer ? (size_t)n : 0);
}

bool ApplyControlTexts(HWND page, const TStr& section) {
    TStrList lines;
    if (!ProfileReadSection(RunState().LngFileName, section, lines)) return false;
    for (int i = 0; i < lines.Count(); ++i)
        SetItemText(page, (int)TextToIntDef(NamePart(lines[i]), 0), ValuePart(lines[i]));
    return true;
}

// Page texts may hold variables whether Tarv.lng set them or the template
// did; every child window (children of children too) is expanded in place.
static BOOL CALLBACK ExpandChildText(HWND child, LPARAM) {
    char buffer[1024];
    int n = GetWindowTextA(child, buffer, sizeof buffer);
    TStr text(buffer, n > 0 ? (size_t)n : 0);
    TStr expanded = ExpandVariables(text);
    if (expanded != text) {
        SetWindowTextA(child, expanded.c_str());
        SendMessageA(child, EM_SETSEL, 0, (LPARAM)expanded.length());
    }
    return TRUE;
}

bool ApplyPageTexts(HWND page, const TStr& suffix) {
    TRunState& run = RunState();
    const TStr& lng = run.LngFileName;
    TStr dialogs = "Dialogs" + suffix;
    TStr ownSection = run.CurrentDialog + suffix;

    TStr common, caption;
    if (!ProfileReadString(lng, dialogs, "Caption", "", common) ||
        !ProfileReadString(lng, ownSection, "Caption", common, caption))
        return false;
    caption = ExpandVariables(caption);
    if (!caption.empty()) SetWindowTextA(page, caption.c_str());

    // The band control keeps its own text; only DialogTitle is painted.
    TStr title;
    if (!ProfileReadString(lng, dialogs, "Title", GetItemText(page, 100), common) ||
        !ProfileReadString(lng, ownSection, "Title", common, title))
        return false;
    run.DialogTitle = ExpandVariables(title);

    if (!ApplyControlTexts(page, dialogs) || !ApplyControlTexts(page, ownSection)) return false;
    EnumChildWindows(page, ExpandChildText, 0);
    return true;
}

bool StartPage(HWND page) {
    TRunState& run = RunState();
    if (!BuildVariableTable() || !ApplyPageTexts(page, "") ||
        !ApplyPageTexts(page, "." + run.Language))
        return false;
    TStr previous = run.ProgramName;
    run.ProgramName = ExpandVariables("%ProgramName%");
    SetMessageBoxTitle(run.ProgramName);
    if (!run.MainWindow) return true;
    SetWindowTextA(run.MainWindow, run.ProgramName.c_str());
    if (run.ProgramName != previous) RedrawNow(run.MainWindow);
    return true;
}

TStr ReadTextFile(const TStr& fileName) {
    HANDLE file = OpenFileHandle(fileName, GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL,
                                 OPEN_EXISTING);
    if (!IsValidHandle(file)) return TStr();
    TStr text;
    DWORD size = GetFileSize(file, nullptr);
    DWORD got = 0;
    if (size != INVALID_FILE_SIZE && ReadFile(file, text.buffer(size), size, &got, nullptr))
        text.resize(got);
    else
        text.clear();
    CloseFileHandle(file);
    return text;
}
