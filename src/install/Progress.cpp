#include "install/Progress.h"

#include <commctrl.h>

#include "config/wqArithm.h"
#include "system/wqUtils.h"
#include "ui/Resource.h"

static TProgressState progress;
// The status text waiting for the page; null once the page has taken it.
static TStr* volatile pendingStatus = nullptr;

static TStr* SwapStatus(TStr* replacement) {
    return (TStr*)InterlockedExchangePointer((void* volatile*)&pendingStatus, replacement);
}

TProgressState& Progress() { return progress; }

void ResetProgress(HWND page) {
    delete SwapStatus(nullptr);
    progress = TProgressState();
    progress.Page = page;
    progress.FileBarShown = progress.AllBarShown = -1;
}

int PercentOf(unsigned long long done, unsigned long long total) {
    return total == 0 || done >= total ? 100 : PercentHalfEven(done, total);
}

void UpdateProgressBars() {
    InterlockedExchange(&progress.FileBarWanted, PercentOf(progress.FileDoneBytes, progress.FileBytes));
    InterlockedExchange(&progress.AllBarWanted, PercentOf(progress.DoneBytes, progress.TotalBytes));
}

void StartFileProgress(unsigned long long bytes) {
    progress.FileBytes = bytes;
    progress.FileDoneBytes = 0;
    InterlockedExchange(&progress.FileBarWanted, 0);
}

void AddProgress(unsigned long long bytes) {
    progress.FileDoneBytes += bytes;
    progress.DoneBytes += bytes;
    UpdateProgressBars();
}

void SetProgressStatus(const TStr& text) {
    if (progress.Page) delete SwapStatus(new TStr(text));
}

int AskFromProgress(const TStr& caption, const TStr& text, UINT type) {
    return CentredMessageBox(progress.Page, caption, text, type);
}

void ErrorFromProgress(const TStr& text) { AskFromProgress("Error", text, MB_OK | MB_ICONHAND); }

static void ShowBar(int id, LONG wanted, int& shown) {
    if (wanted == shown) return;
    shown = wanted;
    SendDlgItemMessageA(progress.Page, id, PBM_SETPOS, (WPARAM)wanted, 0);
}

void ShowProgress() {
    if (!progress.Page) return;
    if (TStr* text = SwapStatus(nullptr)) {
        SetDlgItemTextA(progress.Page, IDC_PROGRESS_STATUS, text->c_str());
        delete text;
    }
    ShowBar(IDC_PROGRESS_FILE_BAR, progress.FileBarWanted, progress.FileBarShown);
    ShowBar(IDC_PROGRESS_ALL_BAR, progress.AllBarWanted, progress.AllBarShown);
}

TStr InsertName(const TStr& text, const TStr& name) {
    long at = text.find(TStr("%s"));
    if (at < 0) return text;
    return text.substr(0, (size_t)at) + name + text.substr((size_t)at + 2);
}
