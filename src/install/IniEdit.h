// IniEdit: setting one value in an INI file that belongs to the user or the
// system (AddIni), and taking it away again (the uninstaller), changing
// nothing else of the file.
//
// The profile cache writes a whole document back in its normal form, which
// would strip comments, lines without "=" and repeated sections from a file
// such as system.ini. Here only the key's line is replaced (its line end
// kept), or the line is added at the end of its section (after the section's
// last non-blank line), or the section is added at the end of the file;
// every other byte stays. Sections and keys are found as the INI syntax
// finds them (names without regard to case, blanks and tabs around the
// first "=" ignored, ";" lines are comments, the first of two sections of a
// name counts), with one difference: a line ends at a carriage return, a
// line feed or the pair, so files written with line feeds only are edited
// line by line too.
#ifndef TARV_INSTALL_INIEDIT_H
#define TARV_INSTALL_INIEDIT_H

#include "config/wqString.h"

// The bytes of an INI file with key=value set in section. With `append`
// the line is always added at the end of the section, even when the key is
// there already (wininit.ini's [Rename] keeps every line).
TStr SetIniValueText(const TStr& text, const TStr& section, const TStr& key, const TStr& value,
                     bool append = false);

// Removes the line of `key` in the first section named `section` when its
// value (blanks around "=" and at the end ignored, quotes kept) is still
// `value`: a value the user changed since stays. True when the line went;
// every other byte stays.
bool RemoveIniValueText(TStr& text, const TStr& section, const TStr& key, const TStr& value);
// True when the text holds no key line: only section headers, blank lines,
// comments and lines without "=".
bool IniTextHoldsNoKeys(const TStr& text);

// Sets key=value in the file on disk now (creating the file when missing).
// A cached profile document of the file is written back and dropped first,
// so that later profile reads load the edited file. False when the file
// cannot be read or written (nothing raised), or when the cached document
// could not be written back (its error raised).
[[nodiscard]] bool SetIniFileValue(const TStr& file, const TStr& section, const TStr& key,
                                   const TStr& value);
// Appends the key=value lines to the section in one write (all or none),
// results as SetIniFileValue.
[[nodiscard]] bool AppendIniFileLines(const TStr& file, const TStr& section, const TStrList& lines);

#endif
