#include "ui/Dialogs.h"

#include "config/RunState.h"
#include "config/wqStrUtils.h"
#include "system/wqShell.h"
#include "system/wqUtils.h"
#include "text/Common.h"
#include "ui/Main.h"
#include "ui/PageNames.h"
#include "ui/Resource.h"

// The page on screen: its place in the sequence and its header picture.
static int currentIndex = 0;
static HBITMAP pageBitmap = nullptr;

static bool IsPage(const char* name) { return RunState().CurrentDialog == name; }

// A page of the program whose template is there to be made.
static bool IsShowable(const TStr& name) {
    return IsPageName(name.c_str()) && FindResourceA(RunState().Instance, name.c_str(), RT_DIALOG);
}

static bool AnyShowableBefore(int index) {
    for (int i = 0; i < index; ++i)
        if (IsShowable(RunState().DialogSequence[i])) return true;
    return false;
}

// ---- Page behaviour ----

// A work-list item is "destination,version,flags", split at commas, and
// quotes group fields: a folder with either character would scatter the
// payload and lose its flags.
static bool BreaksWorkLists(const TStr& folder) { return folder.find(',') >= 0 || folder.find('"') >= 0; }

// License and readme: "<base>.<language>" from the setup files, else
// "<base>.txt"; shown as they are.
static void ShowTextFile(HWND page, int id, const char* base) {
    const TRunState& run = RunState();
    TStr text = ReadTextFile(run.TempDir + base + "." + run.Language);
    if (text.empty()) text = ReadTextFile(run.TempDir + base + ".txt");
    SetItemText(page, id, text);
    // Setting the text selected all of it and so scrolled to its end: a
    // license is read from its first line.
    SendDlgItemMessageA(page, id, EM_SETSEL, 0, 0);
    SendDlgItemMessageA(page, id, EM_SCROLLCARET, 0, 0);
}

static void Focus(HWND page, int id) { SetFocus(GetDlgItem(page, id)); }

static void InitOwnControls(HWND page) {
    TRunState& run = RunState();
    if (IsPage("DLG_DIR")) {
        SetItemText(page, IDC_DIR_EDIT, ExpandVariables(run.InstallPath));
        Focus(page, IDC_DIR_EDIT);
    } else if (IsPage("DLG_LANGUAGE")) {
        for (int i = 0; i < run.Languages.Count(); ++i) {
            SendDlgItemMessageA(page, IDC_LANGUAGE_LIST, LB_ADDSTRING, 0,
                                (LPARAM)ValuePart(run.Languages[i]).c_str());
            if (SameText(NamePart(run.Languages[i]), run.Language))
                SendDlgItemMessageA(page, IDC_LANGUAGE_LIST, LB_SETCURSEL, i, 0);
        }
        Focus(page, IDC_LANGUAGE_LIST);
    } else if (IsPage("DLG_LICENSE")) {
        ShowTextFile(page, IDC_LICENSE_TEXT, "License");
        Focus(page, IDC_LICENSE_YES);
    } else if (IsPage("DLG_README")) {
        ShowTextFile(page, IDC_README_TEXT, "Readme");
    } else if (IsPage("DLG_REBOOT")) {
        CheckDlgButton(page, run.RebootNeeded ? IDC_REBOOT_NOW : IDC_REBOOT_LATER, BST_CHECKED);
    } else if (IsPage("DLG_FINISH") || IsPage("DLG_NOTFINISH")) {
        Focus(page, IDC_FINISH_OK);
    }
}

static void InitPage(HWND page) {
    const TRunState& run = RunState();
    TagTemplateWindow(page, run.CurrentDialog.c_str());
    // Back leads nowhere before the first page that can be shown.
    if (!AnyShowableBefore(currentIndex)) ShowWindow(GetDlgItem(page, IDC_BACK), SW_HIDE);
    // The page's own icon, not the dialog class's: that one is every
    // dialog's of the process, message boxes included.
    SendMessageA(page, WM_SETICON, ICON_BIG, (LPARAM)LoadIconA(run.Instance, "MAINICON"));
    if (!StartPage(page)) {
        EndDialog(page, prStopped);
        return;
    }
    Focus(page, IDC_NEXT);
    InitOwnControls(page);
}

// The page's own part of Back and Next; false keeps the page.
static bool LeavePage(HWND page, int button) {
    TRunState& run = RunState();
    if (IsPage("DLG_DIR")) {
        TStr folder = GetItemText(page, IDC_DIR_EDIT);
        if (button == prNext && BreaksWorkLists(ExpandVariables(folder))) {
            WarningBox("The installation folder must not contain a comma (,) or a double quote (\").");
            SendDlgItemMessageA(page, IDC_DIR_EDIT, EM_SETSEL, 0, -1);
            Focus(page, IDC_DIR_EDIT);
            return false;
        }
        run.InstallPath = folder;
    } else if (IsPage("DLG_LANGUAGE")) {
        LRESULT selected = SendDlgItemMessageA(page, IDC_LANGUAGE_LIST, LB_GETCURSEL, 0, 0);
        if (selected >= 0 && selected < run.Languages.Count())
            run.Language = NamePart(run.Languages[(int)selected]);
    } else if (IsPage("DLG_REBOOT")) {
        run.RebootNeeded = IsDlgButtonChecked(page, IDC_REBOOT_NOW) == BST_CHECKED;
    }
    return true;
}

static void BrowseForFolder(HWND page) {
    TRunState& run = RunState();
    run.InstallPath = GetItemText(page, IDC_DIR_EDIT);
    TStr title, folder = run.InstallPath;
    if (!GetString(150, title)) {
        EndDialog(page, prStopped);
        return;
    }
    switch (BrowseForInstallFolder(page, title, folder)) {
    case brChosen:
        run.InstallPath = folder;
        SetItemText(page, IDC_DIR_EDIT, folder);
        Focus(page, IDC_DIR_EDIT);
        break;
    case brCancelled:
        break;
    case brFailed:
        EndDialog(page, prStopped);
        break;
    }
}

// Buttons of one page only; the same numbers are other controls elsewhere.
static void OwnCommand(HWND page, int id) {
    if (IsPage("DLG_DIR") && id == IDC_DIR_BROWSE) {
        BrowseForFolder(page);
    } else if (IsPage("DLG_LICENSE") && (id == IDC_LICENSE_YES || id == IDC_LICENSE_NO)) {
        // No declines the license: the run ends without the cancel question.
        EndDialog(page, id == IDC_LICENSE_YES ? prNext : prCancel);
    } else if ((IsPage("DLG_FINISH") || IsPage("DLG_NOTFINISH")) && id == IDC_FINISH_OK) {
        EndDialog(page, prNext);
    }
}

static void Command(HWND page, int id) {
    switch (id) {
    case IDC_BACK:
    case IDC_NEXT:
        if (LeavePage(page, id)) EndDialog(page, id);
        break;
    case IDC_CANCEL:
    case IDCANCEL:  // Esc through the dialog manager, when another program holds the Esc hot key
        CancelPage(page);
        break;
    default:
        OwnCommand(page, id);
    }
}

void CancelPage(HWND page) {
    if (RunState().ConfirmCancel) {
        TStr question;
        if (!GetString(1, question)) {
            EndDialog(page, prStopped);
            return;
        }
        if (QuestionBox(question) != IDYES) return;
    }
    EndDialog(page, prCancel);
}

void HandleEscapeKey(HWND page, UINT message, WPARAM wParam) {
    if (message == WM_HOTKEY) {
        if (wParam == IDC_CANCEL) PostMessageA(page, WM_COMMAND, IDC_CANCEL, 0);
    } else if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
        RegisterHotKey(page, IDC_CANCEL, 0, VK_ESCAPE);
    } else {
        UnregisterHotKey(page, IDC_CANCEL);
    }
}

INT_PTR CALLBACK PageDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOVE:
    case WM_SIZE:
    case WM_PAINT:
        PaintPageHeader(page, pageBitmap);
        break;
    case WM_DRAWITEM:  // the band repainting itself
        if (wParam != IDC_HEADER) break;
        PaintPageHeader(page, pageBitmap);
        return TRUE;
    case WM_ACTIVATE:
    case WM_HOTKEY:
        HandleEscapeKey(page, message, wParam);
        break;
    case WM_CLOSE:
        CancelPage(page);
        return TRUE;  // handled: the dialog manager would add a Cancel of its own
    case WM_INITDIALOG:
        InitPage(page);
        break;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) Command(page, LOWORD(wParam));
        break;
    case WM_DESTROY:
        HandleEscapeKey(page, message, wParam);
        UntagTemplateWindow(page);
        break;
    }
    return 0;
}

// ---- Sequences ----

const INT_PTR kPassedOver = 0;

// Shows the page at `index` until it ends; kPassedOver when it cannot be
// shown.
static INT_PTR ShowPage(int index) {
    TRunState& run = RunState();
    run.CurrentDialog = run.DialogSequence[index];
    if (!IsShowable(run.CurrentDialog)) return kPassedOver;
    HWND owner = run.MainWindow && IsWindowVisible(run.MainWindow) ? run.MainWindow : nullptr;
    if (!LoadPageBitmap(run.CurrentDialog, pageBitmap)) return prStopped;
    currentIndex = index;
    INT_PTR result = DialogBoxParamA(run.Instance, run.CurrentDialog.c_str(), owner, PageDialogProc, 0);
    if (pageBitmap) DeleteObject(pageBitmap);
    pageBitmap = nullptr;
    if (run.MainWindow) RedrawNow(run.MainWindow);
    return result > 0 ? result : kPassedOver;  // -1: the dialog could not be made
}

bool RunDialogSequence() {
    const int count = RunState().DialogSequence.Count();
    int index = 0, step = 1;
    while (index < count) {
        switch (ShowPage(index)) {
        case prBack:
            step = -1;
            index = index > 0 ? index - 1 : 0;
            break;
        case prNext:
            step = 1;
            ++index;
            break;
        case prCancel:
        case prStopped:
            return false;
        case kPassedOver:
            index += step;
            // Passing over backwards ran out of pages: the first page that
            // can be shown shows again.
            if (index < 0) {
                index = 0;
                step = 1;
            }
            break;
        }
    }
    return true;
}
