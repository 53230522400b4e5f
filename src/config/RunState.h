// RunState: everything the setup run shares between its modules, in one
// place that the setup driver owns for the whole life of the process.
//
// It sits with the INI and profile layer, below the text services, the
// archive access, the pages and the install engine, so that all of them can
// read it without reaching up into the driver (setup/Tarv.cpp), which fills
// it step by step. The lists are members, so they exist
// (empty) from process start: an expansion before the driver has built the
// variable table simply finds no variables.
//
// Threads: the main thread writes everything. While the install worker runs,
// the main thread only drives the progress page and changes nothing the
// worker reads (Variables, Language, LngFileName, the work lists), so no lock
// is taken; RebootNeeded is written by the worker then.
#ifndef TARV_CONFIG_RUNSTATE_H
#define TARV_CONFIG_RUNSTATE_H

#include <windows.h>

#include "config/wqString.h"

struct TRunState {
    TStr ExeName;               // full path of the running installer
    HINSTANCE Instance = 0;     // dialog templates, icons and bitmaps come from it
    HICON MainIcon = 0;         // the "MAINICON" resource
    TStr TempDir;               // private temporary folder, always ends in "\"
    TStr IniFileName = "Tarv.ini";  // TempDir + "Tarv.ini" once the setup files are unpacked
    TStr LngFileName = "Tarv.lng";  // TempDir + "Tarv.lng" likewise
    TStr InstallPath;           // installation folder, as stored (may hold variables)
    TStr ProgramName = "Setup";  // title of the main window and of message boxes
    bool UninstallEnabled = false;
    bool CheckAdminRights = false;

    // Title painting of the main window and of the page title band.
    bool MainTitleShadow = false;
    COLORREF MainTitleShadowColor = 0;
    bool DialogTitleShadow = false;
    COLORREF DialogTitleShadowColor = 0;
    HFONT MainTitleFont = 0;
    COLORREF MainTitleColor = 0;
    HFONT DialogTitleFont = 0;
    COLORREF DialogTitleColor = 0;

    TStrList Languages;         // code=display name, sorted
    TStr Language;              // chosen code, always the name of an item of Languages
    HWND MainWindow = 0;        // full-screen background window; 0 when it could not be made
    TStrList DialogSequence;    // page names the next sequence run shows, in order
    TStr CurrentDialog;         // name of the page being shown
    TStr DialogTitle;           // text painted in the current page's title band
    TStrList Variables;         // the variable table, Name=Value, first of a name wins

    // The install run's work lists, filled by the script reader.
    TStrList ArchiveFileList, LocalFileList, RegValueList, IniValueList;
    TStrList ShortcutList, RunList, ServerList, FontList;

    bool ConfirmCancel = true;  // Cancel on a page asks first (false on the final page)
    bool RebootNeeded = false;  // a file waits for the restart
};

// The run state of this process.
TRunState& RunState();

#endif
