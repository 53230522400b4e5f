// Languages: the list of offered languages and the preselected one.
//
// Language codes are the system's three-letter abbreviations
// (LOCALE_SABBREVLANGNAME: "ENU", "DEU", "RUS", ...). The code selects the
// ".CODE" sections of Tarv.lng and Tarv.ini and the language-specific
// scripts and texts; those look-ups ignore case, so the spelling of a code
// does not matter there.
#ifndef TARV_SETUP_LANGUAGES_H
#define TARV_SETUP_LANGUAGES_H

#include <windows.h>

// Builds RunState().Languages from [Config] Languages of RunState().IniFileName (words
// separated by commas, taken as written, "ENU" when there are none): each
// code that a supported locale of the system has is renamed to the system's
// spelling and given the locale's display name ("CODE=English (United
// States)"); codes no locale has keep an empty display name. The list is
// sorted without regard to case. RunState().Language becomes the user's default
// language code when the list has it, else the first code of the list.
// False when Tarv.ini cannot be opened ("Cannot open file %s" raised).
[[nodiscard]] bool BuildLanguageList();

// The EnumSystemLocalesA callback behind BuildLanguageList: `locale` is the
// locale identifier in hexadecimal text. Completes the first item of
// RunState().Languages named like the locale's code (without regard to case); an
// empty display name removes that item. Always continues the enumeration.
BOOL CALLBACK LocaleEnumProc(LPSTR locale);

#endif
