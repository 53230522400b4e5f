#include "install/Progress.h"

#include <commctrl.h>

#include "config/wqArithm.h"
#include "system/wqUtils.h"
#include "ui/Resource.h"

static TProgressState progress;

TProgressState& Progress() { return progress; }

void ResetProgress(HWND page) {
    DropPendingStatus();
    progress = TProgressState();
    progress.Page = page;
    progress.FileBar = page ? GetDlgItem(page, IDC_PROGRESS_FILE_BAR) : nullptr;
    progress.AllBar = page ? GetDlgItem(page, IDC_PROGRESS_ALL_BAR) : nullptr;
    progress.FileBarSent = progress.AllBarSent = -1;
}

int PercentOf(unsigned long long done, unsigned long long total) {
    return total == 0 || done >= total ? 100 : PercentHalfEven(done, total);
}

static void PostBar(HWND bar, int percent, int& sent) {
    if (percent == sent) return;
    sent = percent;
    if (bar) PostMessageA(bar, PBM_SETPOS, (WPARAM)percent, 0);
}

void UpdateProgressBars() {
    PostBar(progress.FileBar, PercentOf(progress.FileDoneBytes, progress.FileBytes), progress.FileBarSent);
    PostBar(progress.AllBar, PercentOf(progress.DoneBytes, progress.TotalBytes), progress.AllBarSent);
}

void StartFileProgress(unsigned long long bytes) {
    progress.FileBytes = bytes;
    progress.FileDoneBytes = 0;
    PostBar(progress.FileBar, 0, progress.FileBarSent);
}

void AddProgress(unsigned long long bytes) {
    progress.FileDoneBytes += bytes;
    progress.DoneBytes += bytes;
    UpdateProgressBars();
}

// The status text waiting for the page; null once the page has taken it.
static TStr* volatile pendingStatus = nullptr;

static TStr* TakeStatus(TStr* replacement) {
    return (TStr*)InterlockedExchangePointer((void* volatile*)&pendingStatus, replacement);
}

void SetProgressStatus(const TStr& text) {
    if (!progress.Page) return;
    TStr* waiting = TakeStatus(new TStr(text));
    if (waiting)
        delete waiting;  // not shown yet: its notification is still on the way
    else
        PostMessageA(progress.Page, WM_PROGRESS_STATUS, 0, 0);
}

void ShowPendingStatus() {
    TStr* text = TakeStatus(nullptr);
    if (!text) return;
    SetDlgItemTextA(progress.Page, IDC_PROGRESS_STATUS, text->c_str());
    delete text;
}

void DropPendingStatus() { delete TakeStatus(nullptr); }

int AskFromProgress(const TStr& caption, const TStr& text, UINT type) {
    return CentredMessageBox(progress.Page, caption, text, type);
}

void ErrorFromProgress(const TStr& text) { AskFromProgress("Error", text, MB_OK | MB_ICONHAND); }

TStr InsertName(const TStr& text, const TStr& name) {
    long at = text.find(TStr("%s"));
    if (at < 0) return text;
    return text.substr(0, (size_t)at) + name + text.substr((size_t)at + 2);
}
