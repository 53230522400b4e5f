// Common: the variable table, expansion against it, the predefined
// variables, and the texts of Tarv.lng (numbered strings and page texts).
//
// Everything reads the run state (config/RunState.h): Variables, Language,
// IniFileName, LngFileName, CurrentDialog. The table is rebuilt only on the
// main thread (at page start and at install start); the install worker only
// expands and reads strings while no page starts, so no lock is taken.
#ifndef TARV_TEXT_COMMON_H
#define TARV_TEXT_COMMON_H

#include <windows.h>

#include "config/wqString.h"

// ---- Variables ----

// Rebuilds RunState().Variables: the predefined variables, then the lines of
// [Variables] and of [Variables.<Language>] of Tarv.ini, in file order. The
// first item of a name wins, so Tarv.ini cannot redefine a predefined name.
[[nodiscard]] bool BuildVariableTable();
// Appends name=value, the value without one trailing "\" (a drive root such
// as "C:\" keeps it). Names are not checked for duplicates.
void AddVariable(const TStr& name, const TStr& value);
// The text expanded against RunState().Variables (see text/Expand.h). A runaway
// reference shows the error box "Infinite reference in the string "<text>"!"
// and gives the text with only its "||" turned into line breaks.
TStr ExpandVariables(const TStr& text);
// Appends the 23 predefined variables in their fixed order: SourcePath,
// InstallPath, Presetup, BootDrive, Windows, System, the ten special folders
// (Desktop ... Templates), ProgramFiles, CommonFiles, CommonDesktop,
// CommonProgramsMenu, CommonStartMenu, CommonStartupMenu (the last three
// default to their per-user counterparts), Delphi (the RootDir of the newest
// version registered under HKLM\SOFTWARE\Borland\Delphi, else "C:").
void AddPredefinedVariables();

// ---- Texts of Tarv.lng ----

// `text` := localised string `number`: [Strings.<Language>] over [Strings],
// expanded; empty when neither has it.
[[nodiscard]] bool GetString(int number, TStr& text);
// Starts a page (from its WM_INITDIALOG): rebuilds the variable table,
// applies the page's texts for all languages, then for the current one, and
// takes the expansion of "%ProgramName%" as the program's name (main window
// text, message box titles), repainting the main window when it changed.
[[nodiscard]] bool StartPage(HWND page);
// Applies the texts of [Dialogs<suffix>] and [<CurrentDialog><suffix>]:
// Caption (the page's caption, unless empty), Title (RunState().DialogTitle,
// starting from the text of control 100 each time) and control texts by
// identifier; then expands the text of every child window in place.
[[nodiscard]] bool ApplyPageTexts(HWND page, const TStr& suffix);
// Every line id=text of the section sets control `id` of the page (keys that
// are not integers address control 0, which no page has). Unexpanded.
[[nodiscard]] bool ApplyControlTexts(HWND page, const TStr& section);
// Sets the control's text and selects all of it (for edit controls).
void SetItemText(HWND window, int id, const TStr& text);
// The control's text, at most 1023 characters.
TStr GetItemText(HWND window, int id);
// The whole file as bytes; empty when it cannot be opened or read.
TStr ReadTextFile(const TStr& fileName);

#endif
