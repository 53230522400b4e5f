#include "TextTestSupport.h"

void DeleteRegTreeForTest(HKEY root, const std::string& subKey) {
    HKEY key;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    char name[1024];
    for (;;) {
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        DeleteRegTreeForTest(key, name);
    }
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
    auto* watcher = static_cast<DialogWatcher*>(self);
    while (!watcher->stop_) {
        EnumWindows(Visit, (LPARAM)watcher);
        Sleep(20);
    }
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
    GetWindowThreadProcessId(window, &pid);
    char cls[32];
    GetClassNameA(window, cls, sizeof cls);
    if (pid != GetCurrentProcessId() || strcmp(cls, "#32770") != 0 || !IsWindowVisible(window))
        return TRUE;
    {
        std::lock_guard<std::mutex> lock(watcher->mutex_);
        if (!watcher->answered_.insert(window).second) return TRUE;
    }
    Sleep(watcher->delayMs_);
    char caption[256] = "";
    GetWindowTextA(window, caption, sizeof caption);
    std::string texts;
    EnumChildWindows(window, CollectStatic, (LPARAM)&texts);
    {
        std::lock_guard<std::mutex> lock(watcher->mutex_);
        watcher->seen_.push_back(std::string(caption) + "|" + texts);
    }
    PostMessageA(window, WM_COMMAND, (WPARAM)watcher->command_, 0);
    return TRUE;
}

static void PushText(std::vector<WORD>& out, const std::string& text) {
    for (unsigned char c : text) out.push_back(c);  // the tests' texts are ASCII
    out.push_back(0);
}

static void AlignToDword(std::vector<WORD>& out) {
    if (out.size() % 2) out.push_back(0);
}

static void PushDword(std::vector<WORD>& out, DWORD value) {
    out.push_back(LOWORD(value));
    out.push_back(HIWORD(value));
}

std::vector<WORD> DialogTemplate(const std::string& caption, const std::vector<DialogItem>& items) {
    std::vector<WORD> out;
    PushDword(out, WS_POPUP | WS_CAPTION | WS_SYSMENU);
    PushDword(out, 0);
    out.push_back((WORD)items.size());
    for (WORD v : {WORD(10), WORD(10), WORD(240), WORD(20 + 14 * items.size())}) out.push_back(v);
    out.push_back(0);  // no menu
    out.push_back(0);  // the dialog class
    PushText(out, caption);
    int row = 0;
    for (const DialogItem& item : items) {
        AlignToDword(out);
        DWORD style = WS_CHILD | WS_VISIBLE | (item.classAtom == 0x0081 ? ES_AUTOHSCROLL | WS_BORDER : 0);
        PushDword(out, style);
        PushDword(out, 0);
        for (WORD v : {WORD(5), WORD(5 + 14 * row++), WORD(220), WORD(12)}) out.push_back(v);
        out.push_back(item.id);
        out.push_back(0xFFFF);
        out.push_back(item.classAtom);
        PushText(out, item.text);
        out.push_back(0);  // no creation data
    }
    return out;
}
