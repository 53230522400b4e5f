// Progress: what the install worker and the progress page share while the
// file pass runs: the page handle, the cancel flags and the byte counters,
// and the few ways the worker talks to the page (bars, status line, boxes).
//
// No lock: the page handle is written before the worker starts; the cancel
// flags are single words written with interlocked exchanges (CancelRequested
// set by the page, cleared by the worker; Cancelled set by the worker); the
// counters are written and read by the worker only. With no page (0) every
// page message goes nowhere and every question is asked without an owner,
// so the file pass also runs on its own.
//
// The worker never waits for the page: bar positions are posted, and the
// status line's text is handed over through one pointer swapped atomically,
// with a notification (WM_PROGRESS_STATUS) posted only when the page has
// taken the previous text. A message sent across threads costs the worker a
// wait for the page's thread each time (under Wine about a millisecond on a
// busy machine), which for thousands of small files would cost more than
// the files themselves.
#ifndef TARV_INSTALL_PROGRESS_H
#define TARV_INSTALL_PROGRESS_H

#include <windows.h>

#include "config/wqString.h"

// Posted to the page when a new status text waits (see ShowPendingStatus).
const UINT WM_PROGRESS_STATUS = WM_APP + 1;

struct TProgressState {
    HWND Page;                        // the open progress page, or 0
    HWND FileBar, AllBar;             // its two bars
    volatile LONG CancelRequested;    // Cancel pressed, not yet answered
    volatile LONG Cancelled;          // cancelling confirmed: every file loop stops
    unsigned long long TotalBytes;    // 100 % of the lower bar
    unsigned long long DoneBytes;     // bytes processed in this run
    unsigned long long FileBytes;     // 100 % of the upper bar
    unsigned long long FileDoneBytes; // bytes of the current file
    int FileBarSent, AllBarSent;      // positions last sent, -1: none yet
};

TProgressState& Progress();
// Clears the flags and counters for a new run and sets the page (0: none).
void ResetProgress(HWND page);

// A bar position: done / total in percent, to the nearest integer (a half to
// the even neighbour), at most 100; a total of 0 (an empty file, nothing
// selected) counts as complete.
int PercentOf(unsigned long long done, unsigned long long total);
// Sends both bar positions from the counters, each only when it changed.
void UpdateProgressBars();
// Starts a file of `bytes`: FileBytes set, FileDoneBytes and the upper bar 0.
void StartFileProgress(unsigned long long bytes);
// Adds processed bytes of the current file to both counters, then updates.
void AddProgress(unsigned long long bytes);
// Hands the status line's text to the page (the worker's side).
void SetProgressStatus(const TStr& text);
// Puts the waiting status text, if any, into the status line (the page's
// side, on WM_PROGRESS_STATUS).
void ShowPendingStatus();
// Frees a status text the page did not take (when the page has closed).
void DropPendingStatus();

// Message boxes of the worker, owned by the page.
int AskFromProgress(const TStr& caption, const TStr& text, UINT type);
void ErrorFromProgress(const TStr& text);

// A text with the single "%s" replaced by `name` as plain text (the text
// itself is never used as a format, so "%" in it or in a folder is harmless).
TStr InsertName(const TStr& text, const TStr& name);

#endif
