#include "TextTestSupport.h"

void DeleteRegTreeForTest(HKEY root, const std::string& subKey) {
    HKEY key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    char name[1024];
    for (DWORD size = sizeof name;
         RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS; size = sizeof name)
        DeleteRegTreeForTest(key, name);
    RegCloseKey(key);
    RegDeleteKeyA(root, subKey.c_str());
}

DialogWatcher::DialogWatcher(int command, DWORD delayMs) : command_(command), delayMs_(delayMs) {
    thread_ = CreateThread(nullptr, 0, Loop, this, 0, nullptr);
}

DialogWatcher::~DialogWatcher() {
    stop_ = true;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
}

std::vector<std::string> DialogWatcher::Seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

DWORD WINAPI DialogWatcher::Loop(void* self) {
    for (auto* watcher = static_cast<DialogWatcher*>(self); !watcher->stop_; Sleep(20))
        EnumWindows(Visit, (LPARAM)watcher);
    return 0;
}

static BOOL CALLBACK CollectStatic(HWND child, LPARAM out) {
    char cls[32], text[1024];
    GetClassNameA(child, cls, sizeof cls);
    if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0)
        *reinterpret_cast<std::string*>(out) += text;
    return TRUE;
}

BOOL CALLBACK DialogWatcher::Visit(HWND window, LPARAM self) {
    auto* watcher = reinterpret_cast<DialogWatcher*>(self);
    DWORD pid = 0;
    char cls[32], caption[256] = "";
    GetWindowThreadProcessId(window, &pid);
    GetClassNameA(window, cls, sizeof cls);
    if (pid != GetCurrentProcessId() || strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    {
        std::lock_guard<std::mutex> lock(watcher->mutex_);
        if (!watcher->answered_.insert(window).second) return TRUE;
    }
    Sleep(watcher->delayMs_);
    GetWindowTextA(window, caption, sizeof caption);
    std::string texts = std::string(caption) + "|";
    EnumChildWindows(window, CollectStatic, (LPARAM)&texts);
    {
        std::lock_guard<std::mutex> lock(watcher->mutex_);
        watcher->seen_.push_back(texts);
    }
    PostMessageA(window, WM_COMMAND, (WPARAM)watcher->command_, 0);
    return TRUE;
}

std::vector<WORD> DialogTemplate(const std::string& caption, const std::vector<DialogItem>& items) {
    std::vector<WORD> out;
    auto words = [&out](std::initializer_list<WORD> values) {
        for (WORD w : values) out.push_back(w);
    };
    auto text = [&out](const std::string& s) {
        for (unsigned char c : s) out.push_back(c);  // the tests' texts are ASCII
        out.push_back(0);
    };
    // Style, extended style, item count, x, y, cx, cy, no menu, the dialog class.
    words({LOWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU), HIWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU), 0, 0,
           (WORD)items.size(), 10, 10, 240, (WORD)(20 + 14 * items.size()), 0, 0});
    text(caption);
    WORD y = 5;
    for (const DialogItem& item : items) {
        if (out.size() % 2) out.push_back(0);  // DWORD alignment
        DWORD style = WS_CHILD | WS_VISIBLE | (item.classAtom == 0x0081 ? ES_AUTOHSCROLL | WS_BORDER : 0);
        words({LOWORD(style), HIWORD(style), 0, 0, 5, y, 220, 12, item.id, 0xFFFF, item.classAtom});
        text(item.text);
        out.push_back(0);  // no creation data
        y += 14;
    }
    return out;
}
