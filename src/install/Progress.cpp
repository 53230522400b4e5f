#include "install/Progress.h"

#include <commctrl.h>

#include "config/wqArithm.h"
#include "system/wqUtils.h"
#include "ui/Resource.h"

static TProgressState progress;

TProgressState& Progress() { return progress; }

void ResetProgress(HWND page) {
    progress = TProgressState();
    progress.Page = page;
    progress.FileBarSent = progress.AllBarSent = -1;
}

int PercentOf(unsigned long long done, unsigned long long total) {
    return total == 0 || done >= total ? 100 : PercentHalfEven(done, total);
}

static void SendBar(int id, int percent, int& sent) {
    if (percent == sent) return;
    sent = percent;
    if (progress.Page) SendDlgItemMessageA(progress.Page, id, PBM_SETPOS, (WPARAM)percent, 0);
}

void UpdateProgressBars() {
    SendBar(IDC_PROGRESS_FILE_BAR, PercentOf(progress.FileDoneBytes, progress.FileBytes), progress.FileBarSent);
    SendBar(IDC_PROGRESS_ALL_BAR, PercentOf(progress.DoneBytes, progress.TotalBytes), progress.AllBarSent);
}

void StartFileProgress(unsigned long long bytes) {
    progress.FileBytes = bytes;
    progress.FileDoneBytes = 0;
    SendBar(IDC_PROGRESS_FILE_BAR, 0, progress.FileBarSent);
}

void AddProgress(unsigned long long bytes) {
    progress.FileDoneBytes += bytes;
    progress.DoneBytes += bytes;
    UpdateProgressBars();
}

void SetProgressStatus(const TStr& text) {
    if (progress.Page) SetDlgItemTextA(progress.Page, IDC_PROGRESS_STATUS, text.c_str());
}

int AskFromProgress(const TStr& caption, const TStr& text, UINT type) {
    return CentredMessageBox(progress.Page, caption, text, type);
}

void ErrorFromProgress(const TStr& text) { AskFromProgress("Error", text, MB_OK | MB_ICONHAND); }

TStr InsertName(const TStr& text, const TStr& name) {
    long at = text.find(TStr("%s"));
    if (at < 0) return text;
    return text.substr(0, (size_t)at) + name + text.substr((size_t)at + 2);
}
