#include "install/Progress.h"

#include <commctrl.h>

#include "system/wqUtils.h"

static TProgressState progress;

TProgressState& Progress() { return progress; }

void ResetProgress(HWND page) {
    progress = TProgressState();
    progress.Page = page;
    progress.FileBarSent = progress.AllBarSent = -1;
}

int PercentOf(unsigned long long done, unsigned long long total) {
    if (total == 0 || done >= total) return 100;
    unsigned long long scaled = done * 100;
    unsigned long long q = scaled / total, r = scaled % total;
    if (2 * r > total || (2 * r == total && (q & 1))) ++q;
    return (int)q;
}

static void SendBar(int id, int percent, int& sent) {
    if (percent == sent) return;
    sent = percent;
    if (progress.Page) SendDlgItemMessageA(progress.Page, id, PBM_SETPOS, (WPARAM)percent, 0);
}

void UpdateProgressBars() {
    SendBar(idProgressFileBar, PercentOf(progress.FileDoneBytes, progress.FileBytes), progress.FileBarSent);
    SendBar(idProgressAllBar, PercentOf(progress.DoneBytes, progress.TotalBytes), progress.AllBarSent);
}

void StartFileProgress(unsigned long long bytes) {
    progress.FileBytes = bytes;
    progress.FileDoneBytes = 0;
    SendBar(idProgressFileBar, 0, progress.FileBarSent);
}

void AddProgress(unsigned long long bytes) {
    progress.FileDoneBytes += bytes;
    progress.DoneBytes += bytes;
    UpdateProgressBars();
}

void SetProgressStatus(const TStr& text) {
    if (progress.Page) SetDlgItemTextA(progress.Page, idProgressStatus, text.c_str());
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
