// PageHost <folder> <pages> [confirm=0|1] [reboot=0|1] [language=CODE]
//          [message=TEXT] [template=NAME]
//
// Runs the wizard pages the way the setup driver does, for the GUI driver to
// act on: the folder holds the setup files (Tarv.ini, Tarv.lng, bitmaps,
// license and readme texts) and stands for the temporary folder; <pages> is
// the page sequence, comma-separated, upper-cased as the driver does. The
// background window is made, and shown when Tarv.ini says so. message= shows
// the message window until the pages start; template= first shows windows
// that are no pages (DLG_PRESETUP, DLG_PROGRESS; comma-separated), each until
// it is closed, the pre-setup window near the top of the screen.
// Afterwards <folder>\outcome.txt holds what the run left:
//   result=1|0  InstallPath=...  Language=...  RebootNeeded=1|0  error=...
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <stdio.h>
#include <string.h>

#include "config/RunState.h"
#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "config/wqStrUtils.h"
#include "setup/Languages.h"
#include "system/wqUtils.h"
#include "text/Common.h"
#include "ui/Dialogs.h"
#include "ui/Main.h"
#include "ui/Msg.h"
#include "ui/PageNames.h"
#include "ui/Resource.h"

namespace {

TStr Option(int argc, char** argv, const char* name, const char* fallback) {
    const size_t length = strlen(name);
    for (int i = 3; i < argc; ++i)
        if (strncmp(argv[i], name, length) == 0 && argv[i][length] == '=') return argv[i] + length + 1;
    return fallback;
}

// The installation folder from Tarv.ini; the titles as the driver's
// defaults have them, with shadows.
bool ReadSettings(TRunState& run) {
    TFontSpec main, dialog;
    if (!ProfileReadString(run.IniFileName, "Config", "DefaultInstallPath", "Test", run.InstallPath) ||
        !ParseFontSpec("Times New Roman,30,$FF0000,B", main) || !ParseFontSpec("Times New Roman,20,$FF5C5C,B", dialog))
        return false;
    run.MainTitleShadow = run.DialogTitleShadow = true;
    run.MainTitleShadowColor = run.DialogTitleShadowColor = 0xC0C0C0;
    run.MainTitleColor = (COLORREF)main.Color;
    run.MainTitleFont = CreateSpecFont(main.FaceName, main.Size, main.Style);
    run.DialogTitleColor = (COLORREF)dialog.Color;
    run.DialogTitleFont = CreateSpecFont(dialog.FaceName, dialog.Size, dialog.Style);
    return true;
}

HBITMAP templateBitmap = nullptr;

// Just enough for a look at a window that is no page: it starts like a
// page, paints its band, and closes on Cancel or Close.
INT_PTR CALLBACK TemplateProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        TagTemplateWindow(window, RunState().CurrentDialog.c_str());
        if (RunState().CurrentDialog == "DLG_PRESETUP")  // clear of the message window
            SetWindowPos(window, nullptr, 300, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        SendDlgItemMessageA(window, IDC_PRESETUP_BAR, PBM_SETPOS, 40, 0);
        SendDlgItemMessageA(window, IDC_PROGRESS_FILE_BAR, PBM_SETPOS, 70, 0);
        SendDlgItemMessageA(window, IDC_PROGRESS_ALL_BAR, PBM_SETPOS, 30, 0);
        // The pre-setup window comes before Tarv.lng exists: no page texts.
        if (RunState().CurrentDialog != "DLG_PRESETUP" && !StartPage(window)) EndDialog(window, prStopped);
        break;
    case WM_PAINT:
        PaintPageHeader(window, templateBitmap);
        break;
    case WM_DRAWITEM:
        PaintPageHeader(window, templateBitmap);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CANCEL || LOWORD(wParam) == IDCANCEL) EndDialog(window, prCancel);
        break;
    case WM_CLOSE:
        EndDialog(window, prCancel);
        return TRUE;
    case WM_DESTROY:
        UntagTemplateWindow(window);
        break;
    }
    return 0;
}

bool ShowTemplate(const TStr& name) {
    TRunState& run = RunState();
    run.CurrentDialog = name;
    if (!LoadPageBitmap(name, templateBitmap)) return false;
    DialogBoxParamA(run.Instance, name.c_str(), nullptr, TemplateProc, 0);
    if (templateBitmap) DeleteObject(templateBitmap);
    return !ErrorPending();
}

bool RunPages(const TStr& folder, const TStr& pages, int argc, char** argv) {
    TRunState& run = RunState();
    run.TempDir = folder + "\\";
    run.IniFileName = run.TempDir + "Tarv.ini";
    run.LngFileName = run.TempDir + "Tarv.lng";
    run.ConfirmCancel = Option(argc, argv, "confirm", "1") == "1";
    run.RebootNeeded = Option(argc, argv, "reboot", "0") == "1";
    bool showMain = false;
    if (!ReadSettings(run) || !BuildLanguageList() ||
        !ProfileReadBool(run.IniFileName, "Display", "ShowMainWindow", false, showMain))
        return false;
    TStr language = Option(argc, argv, "language", "");
    if (!language.empty()) run.Language = language;
    run.MainWindow = RegisterMainWindow();
    if (!run.MainWindow) return false;
    if (showMain) ShowWindow(run.MainWindow, SW_SHOWMAXIMIZED);
    TStr message = Option(argc, argv, "message", "");
    if (!message.empty()) ShowMessageWindow(message, 0);
    const TCharSet comma(",");
    const TStr templates = Option(argc, argv, "template", "");
    for (int i = 1; i <= CountWords(templates, comma); ++i)
        if (!ShowTemplate(GetWord(i, templates, comma))) return false;
    HideMessageWindow();
    for (int i = 1; i <= CountWords(pages, comma); ++i) run.DialogSequence.Add(UpperText(GetWord(i, pages, comma)));
    return RunDialogSequence();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: PageHost <folder> <pages> [name=value...]\n");
        return 2;
    }
    InitCommonControls();
    CoInitialize(nullptr);  // the folder chooser's shell objects, as in the installer
    SetMessageBoxFlags(MB_SETFOREGROUND);
    TRunState& run = RunState();
    run.Instance = GetModuleHandleA(nullptr);
    const TStr folder = argv[1];
    const bool result = RunPages(folder, argv[2], argc, argv);
    DestroyMessageWindow();
    if (run.MainWindow) DestroyWindow(run.MainWindow);
    const TStr outcome = Format("result=%d\r\nInstallPath=%s\r\nLanguage=%s\r\nRebootNeeded=%d\r\nerror=%s\r\n",
                                result ? 1 : 0, run.InstallPath.c_str(), run.Language.c_str(),
                                run.RebootNeeded ? 1 : 0, TakeError().c_str());
    FILE* out = fopen((folder + "\\outcome.txt").c_str(), "wb");
    if (!out) return 2;
    fwrite(outcome.c_str(), 1, outcome.length(), out);
    fclose(out);
    return 0;
}
