// Registry clean-up, a watcher that answers the dialog boxes a test opens,
// and in-memory dialog templates.
#ifndef TARV_TESTS_TEXTTESTSUPPORT_H
#define TARV_TESTS_TEXTTESTSUPPORT_H

#include <windows.h>

#include <mutex>
#include <set>
#include <string>
#include <vector>

// Deletes the key with its subkeys and values by raw Win32; a missing key is fine.
void DeleteRegTreeForTest(HKEY root, const std::string& subKey);

// While it lives, answers each visible dialog box (class "#32770") of this
// process: after `delayMs` records "caption|texts of its statics" and posts
// WM_COMMAND `command` (IDOK, IDCANCEL, ...) to it.
class DialogWatcher {
public:
    explicit DialogWatcher(int command, DWORD delayMs = 0);
    ~DialogWatcher();
    std::vector<std::string> Seen();

private:
    static DWORD WINAPI Loop(void* self);
    static BOOL CALLBACK Visit(HWND window, LPARAM self);
    int command_;
    DWORD delayMs_;
    volatile bool stop_ = false;
    HANDLE thread_ = nullptr;
    std::mutex mutex_;
    std::set<HWND> answered_;
    std::vector<std::string> seen_;
};

// An in-memory dialog template (dialog units, no font) of one item per row.
struct DialogItem {
    WORD id;
    WORD classAtom;  // 0x0080 button, 0x0081 edit, 0x0082 static
    std::string text;
};
std::vector<WORD> DialogTemplate(const std::string& caption, const std::vector<DialogItem>& items);

#endif
