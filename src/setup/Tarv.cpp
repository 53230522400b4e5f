// Tarv: the installer's entry point and the setup driver's run.
//
// The run, in its fixed order: the private temporary folder; the pre-setup
// stage, which unpacks the setup files into it; the configuration of
// Tarv.ini and the language list; the administrator check when asked for;
// the background window and the title fonts; the pre-install pages; the
// install run; the post-install pages (with DLG_REBOOT when a file waits for
// the restart); the final page; then the clean-up, which runs on every path:
// documents written back, fonts and windows released, the temporary folder
// deleted, and the restart when it was chosen.
//
// Errors raised on the way (wqErrors: a file that cannot be opened or
// written, a number that does not convert) stop the step that met them; the
// run then goes on to the final-page decision and the clean-up, and shows
// the message last. The process exit code is 0 whatever the outcome.
#include <windows.h>
#include <commctrl.h>

#include "config/RunState.h"
#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "config/wqStrUtils.h"
#include "install/Install.h"
#include "setup/Languages.h"
#include "setup/Presetup.h"
#include "system/wqFileUtils.h"
#include "system/wqNTSecurity.h"
#include "system/wqShellLink.h"
#include "system/wqUtils.h"
#include "system/wqUtils2.h"
#include "text/Common.h"
#include "ui/Dialogs.h"
#include "ui/Main.h"
#include "ui/Msg.h"

namespace {

const long kDefaultShadowColor = 12632256;  // light grey, $C0C0C0

// Steps 8 to 13: the keys read at start, in their order, and the languages.
[[nodiscard]] bool ReadConfiguration() {
    TRunState& run = RunState();
    run.IniFileName = run.TempDir + "Tarv.ini";
    run.LngFileName = run.TempDir + "Tarv.lng";
    const TStr& ini = run.IniFileName;
    long mainShadow = 0, dialogShadow = 0;
    if (!ProfileReadString(ini, "Config", "DefaultInstallPath", "Test", run.InstallPath) ||
        !ProfileReadBool(ini, "Config", "Uninstall", false, run.UninstallEnabled) ||
        !ProfileReadBool(ini, "Config", "CheckAdminRights", false, run.CheckAdminRights))
        return false;
    run.ProgramName = "Setup";
    if (!ProfileReadBool(ini, "Display", "MainTitleShadow", false, run.MainTitleShadow) ||
        !ProfileReadInteger(ini, "Display", "MainTitleShadowColor", kDefaultShadowColor, mainShadow) ||
        !ProfileReadBool(ini, "Display", "DialogTitleShadow", true, run.DialogTitleShadow) ||
        !ProfileReadInteger(ini, "Display", "DialogTitleShadowColor", kDefaultShadowColor, dialogShadow))
        return false;
    run.MainTitleShadowColor = (COLORREF)mainShadow;
    run.DialogTitleShadowColor = (COLORREF)dialogShadow;
    run.ConfirmCancel = true;
    return BuildLanguageList();
}

// Step 14. False when the run ends here: the refusal shown, or an error
// raised while reading its text.
[[nodiscard]] bool RightsAllowTheRun() {
    if (!RunState().CheckAdminRights || IsAdmin()) return true;
    TStr refusal;
    if (GetString(10, refusal)) WarningBox(refusal);
    return false;
}

// A title font of [Display] (steps 17 and 18); false when its colour is no
// number (the conversion error raised).
[[nodiscard]] bool CreateTitleFont(const char* key, const char* fallback, HFONT& font, COLORREF& color) {
    TStr text;
    TFontSpec fields;
    if (!ProfileReadString(RunState().IniFileName, "Display", key, fallback, text) ||
        !ParseFontSpec(text, fields))
        return false;
    color = (COLORREF)fields.Color;
    font = CreateSpecFont(fields.FaceName, fields.Size, fields.Style);
    return true;
}

// Steps 15 to 18: the background window, shown when asked for, and the two
// title fonts. False when the run ends here.
[[nodiscard]] bool CreateInterface() {
    TRunState& run = RunState();
    run.MainWindow = RegisterMainWindow();
    if (!run.MainWindow) return false;
    bool show = false;
    if (!ProfileReadBool(run.IniFileName, "Display", "ShowMainWindow", false, show)) return false;
    if (show) ShowWindow(run.MainWindow, SW_SHOWMAXIMIZED);
    return CreateTitleFont("MainTitleFont", "Times New Roman,30,$FF0000,B", run.MainTitleFont,
                           run.MainTitleColor) &&
           CreateTitleFont("DialogTitleFont", "Times New Roman,20,$FF5C5C,B", run.DialogTitleFont,
                           run.DialogTitleColor);
}

// Puts the words of a sequence key into DialogSequence: separated by commas
// only, empty words skipped, blanks kept, upper-cased (plain ASCII).
[[nodiscard]] bool FillSequence(const char* key) {
    TRunState& run = RunState();
    run.DialogSequence.Clear();
    TStr words;
    if (!ProfileReadString(run.IniFileName, "Config", key, "", words)) return false;
    const TCharSet comma(",");
    for (int i = 1, n = CountWords(words, comma); i <= n; ++i) {
        TStr name = GetWord(i, words, comma);
        for (size_t c = 0; c < name.length(); ++c)
            if (name[c] >= 'a' && name[c] <= 'z') name.at(c) = (char)(name[c] - 32);
        run.DialogSequence.Add(name);
    }
    return true;
}

// A page sequence from a key of [Config]; true when it ran to its end.
bool RunSequenceOf(const char* key, bool withRebootPage) {
    if (!FillSequence(key)) return false;
    if (withRebootPage && RunState().RebootNeeded) RunState().DialogSequence.Add("DLG_REBOOT");
    return RunDialogSequence();
}

// Steps 20 to 23: the pages and the installation. True when the run
// succeeded. A raised error ends the step that met it; `error` takes it
// before the final page, which must still be shown.
bool RunWizard(TStr& error) {
    TRunState& run = RunState();
    bool result = RunSequenceOf("PreInstallDialogSequence", false);
    if (result && !ErrorPending()) result = InstallRun();
    if (result && !ErrorPending()) result = RunSequenceOf("PostInstallDialogSequence", true);
    if (ErrorPending()) {
        error = TakeError();
        result = false;
    }
    if (!run.RebootNeeded) {
        run.ConfirmCancel = false;
        run.DialogSequence.Clear();
        run.DialogSequence.Add(result ? "DLG_FINISH" : "DLG_NOTFINISH");
        RunDialogSequence();
        TStr late = TakeError();
        if (error.empty()) error = late;
    }
    return result;
}

// Steps 25 to 27: what the interface set-up made, released.
void ReleaseInterface() {
    TRunState& run = RunState();
    run.ArchiveFileList.Clear();
    run.LocalFileList.Clear();
    run.RegValueList.Clear();
    run.IniValueList.Clear();
    run.ShortcutList.Clear();
    run.RunList.Clear();
    run.ServerList.Clear();
    run.FontList.Clear();
    run.Variables.Clear();
    run.Languages.Clear();
    if (run.DialogTitleFont) DeleteObject(run.DialogTitleFont);
    if (run.MainTitleFont) DeleteObject(run.MainTitleFont);
    run.DialogTitleFont = run.MainTitleFont = 0;
    run.DialogSequence.Clear();
    DestroyMessageWindow();
    if (run.MainWindow) {
        ShowWindow(run.MainWindow, SW_HIDE);
        DestroyWindow(run.MainWindow);
        run.MainWindow = 0;
    }
}

// Everything from the configuration to the end of the pages; true when the
// installation succeeded. `error` receives a raised error's message.
bool RunSetup(TStr& error) {
    TRunState& run = RunState();
    bool result = false;
    if (ReadConfiguration() && RightsAllowTheRun() && CreateInterface()) {
        run.Variables.Clear();
        run.DialogSequence.Clear();
        result = RunWizard(error);
    }
    TStr raised = TakeError();
    if (error.empty()) error = raised;
    if (!ProfileFlushAll() && error.empty()) error = TakeError();
    ReleaseInterface();
    return result;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything can load a library: a setup program runs from a
    // downloads folder that may hold a planted DLL.
    RestrictDllSearch();
    TRunState& run = RunState();
    char exe[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, exe, MAX_PATH);
    run.ExeName = TStr(exe, length < MAX_PATH ? length : 0);
    InitCommonControls();
    SetMessageBoxFlags(MB_SETFOREGROUND);
    run.Instance = GetModuleHandleA(nullptr);
    run.MainIcon = LoadIconA(run.Instance, "MAINICON");
    bool com = StartComLibrary();
    // The folder is made new, never adopted: nothing another process
    // prepared under that name is used by an elevated installer.
    run.TempDir = CreateUniqueFolder(GetTempFolder());
    if (run.TempDir.empty()) {
        ErrorBox("Cannot create temporary folder!");
    } else {
        run.RebootNeeded = false;
        TStr error;
        bool result = RunPresetup(run.TempDir) && RunSetup(error);
        DeleteTree(run.TempDir, true);
        if (!error.empty()) ErrorBox(error);
        if (result && run.RebootNeeded) RestartComputer(0);
    }
    if (com) EndComLibrary();
    return 0;
}
