// Presetup: the pre-setup stage, the first thing the user sees. A small
// window with the program icon and a progress bar stays up while the setup
// files (the archive's leading Presetup\ entries: Tarv.ini, Tarv.lng, the
// install scripts, bitmaps, texts, the uninstaller) are unpacked from the
// program's own archive into the private temporary folder.
//
// The window (template DLG_PRESETUP) has no dialog procedure of its own and
// no message loop runs meanwhile: the bar moves only through the messages
// sent to it. It is destroyed, and the archive closed, on every way out.
#ifndef TARV_SETUP_PRESETUP_H
#define TARV_SETUP_PRESETUP_H

#include "config/wqString.h"

// Unpacks every leading entry of RunState().ExeName's archive that matches
// "Presetup\*.*" (case ignored) directly into `folder` (which ends in "\"),
// flattened: only the last part of each stored name is kept. The stage ends
// at the first entry outside the mask. Before anything is written the whole
// file is checked against the integrity record the packaging tool writes,
// the setup files are counted and the free space of the folder's drive is
// compared with their size (KiB, a half rounded to the even neighbour).
// True when every setup file was unpacked. Every failure is reported in an
// error box before false comes back: "Cannot create init window!",
// "Insufficient free disk space!", "Archive open error!", the damaged-setup
// message, or "Cannot install file <path>" for a setup file that cannot be
// written or fails its check. Nothing is raised.
bool RunPresetup(const TStr& folder);

// The archive's progress callback for this stage: adds the bytes of
// extracted pieces and moves the bar to their share of the total.
void PresetupProgress(const char* name, int bytes, int extracting);

#endif
