// Dialogs: the wizard pages and the runner of page sequences.
//
// The setup driver fills RunState().DialogSequence with page names (upper
// case) and calls RunDialogSequence; each page is a modal dialog made from
// the template of its name, centred on the screen, owned by the background
// window while that is visible. One dialog procedure serves every page; the
// page's name (RunState().CurrentDialog, compared exactly) selects its own
// behaviour. What the pages change is stored in the run state: InstallPath
// (DLG_DIR), Language (DLG_LANGUAGE), RebootNeeded (DLG_REBOOT). Main
// thread only.
#ifndef TARV_UI_DIALOGS_H
#define TARV_UI_DIALOGS_H

#include <windows.h>

// How a page ended: the navigation buttons' identifiers, and prStopped when
// an error was raised while the page started or worked (Tarv.lng or Tarv.ini
// could not be opened, the folder chooser failed): the page closes at once
// and the sequence ends, so that the driver can report the error.
enum TPageResult { prBack = 101, prNext = 102, prCancel = 103, prStopped = 110 };

// Shows the pages of RunState().DialogSequence, starting with the first.
// Back shows the page before (the first page shows itself again), Next the
// page after; Cancel (the button, Esc, or closing the window) ends the run,
// after the question of localised string 1 while RunState().ConfirmCancel is
// set, whose No keeps the page. A name that is not one of the program's
// pages (ui/PageNames.h), or whose page cannot be made, is passed over in
// the direction of travel without a message, so that a mistyped name does
// not stop an installation.
// Returns true when the last page was left with Next, or when no page could
// be shown; false when a page was cancelled, or when an error was raised
// (then ErrorPending() is true and the message waits for the driver).
bool RunDialogSequence();

// Esc as Cancel on a page (the wizard pages and the progress page): a hot
// key while the page is active, so that it cancels whichever control has
// the focus, posted back as the command of the Cancel button (103). The
// page hands its WM_ACTIVATE and WM_HOTKEY here, and calls it with
// WM_DESTROY too (the hot key goes with the page).
void HandleEscapeKey(HWND page, UINT message, WPARAM wParam);

// The dialog procedure of every page.
INT_PTR CALLBACK PageDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Cancel as the Cancel button, Esc and the window's Close ask for it: ends
// the page with prCancel, after a Yes to localised string 1 when
// RunState().ConfirmCancel is set (No keeps the page); prStopped when that
// string cannot be read.
void CancelPage(HWND page);

#endif
