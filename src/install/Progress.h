// Progress: what the install worker and the progress page share while the
// file pass runs: the page handle, the cancel flags, the byte counters and
// what the page is to show (two bar positions and the status line's text).
//
// The worker never sends the page anything for progress: it only writes
// this state, and the page takes it on a timer (ShowProgress, every
// kProgressInterval ms), sending a bar position only when it changed. A
// message sent across threads makes the worker wait for the page's thread
// each time (under Wine about a millisecond on a busy machine), which for
// thousands of small files costs more than the files themselves; and a
// status line that changes faster than it can be read shows nothing more.
//
// No lock: the page handle is written before the worker starts; the cancel
// flags, the wanted bar positions and the waiting status text are single
// words exchanged atomically (CancelRequested set by the page, cleared by
// the worker; Cancelled set by the worker); the counters are the worker's
// alone. The worker's questions and error boxes are owned by the page. With
// no page (0) the pass also runs on its own.
#ifndef TARV_INSTALL_PROGRESS_H
#define TARV_INSTALL_PROGRESS_H

#include <windows.h>

#include "config/wqString.h"

// The page's timer for ShowProgress.
const UINT_PTR kProgressTimer = 1;
const UINT kProgressInterval = 50;

struct TProgressState {
    HWND Page;                        // the open progress page, or 0
    volatile LONG CancelRequested;    // Cancel pressed, not yet answered
    volatile LONG Cancelled;          // cancelling confirmed: every file loop stops
    unsigned long long TotalBytes;    // 100 % of the lower bar
    unsigned long long DoneBytes;     // bytes processed in this run
    unsigned long long FileBytes;     // 100 % of the upper bar
    unsigned long long FileDoneBytes; // bytes of the current file
    volatile LONG FileBarWanted, AllBarWanted;  // positions to show
    int FileBarShown, AllBarShown;    // positions the page shows, -1: none yet
};

TProgressState& Progress();
// Clears the flags, counters and positions for a new run and sets the page
// (0: none); drops a status text that was not shown.
void ResetProgress(HWND page);

// A bar position: done / total in percent, to the nearest integer (a half to
// the even neighbour), at most 100; a total of 0 (an empty file, nothing
// selected) counts as complete.
int PercentOf(unsigned long long done, unsigned long long total);

// ---- The worker's side ----

// Sets both wanted positions from the counters.
void UpdateProgressBars();
// Starts a file of `bytes`: FileBytes set, FileDoneBytes and the upper bar 0.
void StartFileProgress(unsigned long long bytes);
// Adds processed bytes of the current file to both counters, then updates.
void AddProgress(unsigned long long bytes);
// The status line's next text.
void SetProgressStatus(const TStr& text);
// Message boxes of the worker, owned by the page.
int AskFromProgress(const TStr& caption, const TStr& text, UINT type);
void ErrorFromProgress(const TStr& text);

// ---- The page's side ----

// Shows what the worker left: the waiting status text, and each bar's
// position when it differs from the one shown.
void ShowProgress();

// A text with the single "%s" replaced by `name` as plain text (the text
// itself is never used as a format, so "%" in it or in a folder is harmless).
TStr InsertName(const TStr& text, const TStr& name);

#endif
