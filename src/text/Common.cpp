#include "text/Common.h"

#include "config/wqArithm.h"
#include "config/wqRegIni.h"
#include "config/wqStrUtils.h"
#include "setup/RunState.h"
#include "system/wqFileUtils.h"
#include "system/wqShell.h"
#include "system/wqUtils.h"
#include "text/Expand.h"
#include "ui/Msg.h"

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

void BuildVariableTable() {
    TRunState& run = RunState();
    run.Variables.Clear();
    AddPredefinedVariables();
    ProfileReadSection(run.IniFileName, "Variables", run.Variables);
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

// The folder of a file path, without its final "\" unless it is a drive root.
TStr FolderOf(const TStr& path) {
    return RemoveBackslash(path.substr(0, (size_t)(path.rfind('\\') + 1)));
}

// "C:" of "C:\...", "\\server\share" of a UNC path, else empty.
TStr DrivePart(const TStr& path) {
    if (path.length() >= 2 && path[1] == ':') return path.substr(0, 2);
    if (path.length() < 2 || path[0] != '\\' || path[1] != '\\') return TStr();
    long share = path.find('\\', 2);
    if (share < 0) return path;
    long end = path.find('\\', (size_t)share + 1);
    return end < 0 ? path : path.substr(0, (size_t)end);
}

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
    AddVariable("SourcePath", FolderOf(run.ExeName));
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

TStr GetString(int number) {
    const TRunState& run = RunState();
    TStr key = IntToStr(number);
    TStr text = ProfileReadString(run.LngFileName, "Strings", key, "");
    text = ProfileReadString(run.LngFileName, "Strings." + run.Language, key, text);
    return ExpandVariables(text);
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

void ApplyControlTexts(HWND page, const TStr& section) {
    TStrList lines;
    ProfileReadSection(RunState().LngFileName, section, lines);
    for (int i = 0; i < lines.Count(); ++i)
        SetItemText(page, (int)TextToIntDef(NamePart(lines[i]), 0), ValuePart(lines[i]));
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

void ApplyPageTexts(HWND page, const TStr& suffix) {
    TRunState& run = RunState();
    const TStr& lng = run.LngFileName;
    TStr dialogs = "Dialogs" + suffix;
    TStr ownSection = run.CurrentDialog + suffix;

    TStr caption = ProfileReadString(lng, dialogs, "Caption", "");
    caption = ExpandVariables(ProfileReadString(lng, ownSection, "Caption", caption));
    if (!caption.empty()) SetWindowTextA(page, caption.c_str());

    // The band control keeps its own text; only DialogTitle is painted.
    TStr title = ProfileReadString(lng, dialogs, "Title", GetItemText(page, 100));
    run.DialogTitle = ExpandVariables(ProfileReadString(lng, ownSection, "Title", title));

    ApplyControlTexts(page, dialogs);
    ApplyControlTexts(page, ownSection);
    EnumChildWindows(page, ExpandChildText, 0);
}

void StartPage(HWND page) {
    TRunState& run = RunState();
    BuildVariableTable();
    ApplyPageTexts(page, "");
    ApplyPageTexts(page, "." + run.Language);
    TStr previous = run.ProgramName;
    run.ProgramName = ExpandVariables("%ProgramName%");
    if (!run.MainWindow) return;
    SetWindowTextA(run.MainWindow, run.ProgramName.c_str());
    if (run.ProgramName != previous) RedrawNow(run.MainWindow);
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
