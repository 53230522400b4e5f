// PageNames: the names of the program's dialog templates, in one list that
// the installer and the packaging tool share (plain C++, no Windows headers).
//
// The first kPageCount names are the wizard pages: the only names a page
// sequence of Tarv.ini can show. The others are windows of their own (the
// pre-setup window, the message window, the progress page of the install
// run); a sequence naming one of them passes over it like any unknown name.
// Names are upper case; Tarv.ini's sequences are upper-cased before use.
// Windows builds also get the tag that names a window's template.
#ifndef TARV_UI_PAGENAMES_H
#define TARV_UI_PAGENAMES_H

const char* const kTemplateNames[] = {
    "DLG_WELCOME", "DLG_LANGUAGE", "DLG_LICENSE", "DLG_README",   "DLG_DIR",      "DLG_START",
    "DLG_REBOOT",  "DLG_FINISH",   "DLG_NOTFINISH", "DLG_PROGRESS", "DLG_PRESETUP", "DLG_MESSAGE",
};
const int kTemplateCount = sizeof kTemplateNames / sizeof kTemplateNames[0];
const int kPageCount = 9;

// Position of the name in kTemplateNames (compared exactly, as the page
// runner does), or -1.
inline int TemplateIndex(const char* name) {
    for (int i = 0; i < kTemplateCount; ++i) {
        const char* a = kTemplateNames[i];
        const char* b = name;
        while (*a && *a == *b) ++a, ++b;
        if (*a == *b) return i;
    }
    return -1;
}

inline bool IsPageName(const char* name) {
    int i = TemplateIndex(name);
    return i >= 0 && i < kPageCount;
}

#ifdef _WIN32
#include <windows.h>

// A window made from one of these templates carries the property
// "TarvTemplate": the template's position in kTemplateNames plus one. A test
// driver in another process reads it (GetPropA) to tell which page it sees,
// whatever Tarv.lng made of the captions. Untag before the window goes.
const char kTemplateProperty[] = "TarvTemplate";
inline void TagTemplateWindow(HWND window, const char* name) {
    SetPropA(window, kTemplateProperty, (HANDLE)(INT_PTR)(TemplateIndex(name) + 1));
}
inline void UntagTemplateWindow(HWND window) { RemovePropA(window, kTemplateProperty); }
#endif

#endif
