#include "Observe.h"

#include "ui/PageNames.h"

namespace {

// Waits at most this long for a busy program to answer a message.
const UINT kAnswerTime = 5000;

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kAnswerTime, &result)) return -1;
    return (LRESULT)result;
}

std::string ClassOf(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

// Wine hands the ANSI form of LB_GETTEXT to another process in UTF-16 (and
// overruns the buffer), so the item is asked for in UTF-16 and converted.
std::string ListItem(HWND list, WPARAM index) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, index, 0, SMTO_ABORTIFHUNG, kAnswerTime, &length) ||
        (LRESULT)length < 0)
        return "";
    std::wstring wide(length + 1, L'\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutW(list, LB_GETTEXT, index, (LPARAM)&wide[0], SMTO_ABORTIFHUNG, kAnswerTime, &got) ||
        (LRESULT)got < 0 || got > length)
        return "";
    std::string text(got * 2 + 1, '\0');
    int n = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), (int)got, &text[0], (int)text.size(), nullptr, nullptr);
    text.resize(n > 0 ? n : 0);
    return text;
}

struct Search {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK AddVisible(HWND window, LPARAM search) {
    auto* s = reinterpret_cast<Search*>(search);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == s->processId && IsWindowVisible(window)) s->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK AddControl(HWND child, LPARAM state) {
    auto* s = reinterpret_cast<WindowState*>(state);
    if (GetParent(child) != s->window) return TRUE;  // controls of controls (a list's scroll bar)
    ControlState c;
    c.window = child;
    c.id = GetDlgCtrlID(child);
    c.className = ClassOf(child);
    c.text = TextOf(child);
    c.visible = IsWindowVisible(child) != 0;
    c.enabled = IsWindowEnabled(child) != 0;
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    c.focused = GetGUIThreadInfo(GetWindowThreadProcessId(child, nullptr), &thread) && thread.hwndFocus == child;
    c.check = -1;
    c.selected = -1;
    const LONG type = GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
    const bool checkable = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                           type == BS_3STATE || type == BS_AUTO3STATE || type == BS_AUTORADIOBUTTON;
    if (lstrcmpiA(c.className.c_str(), "Button") == 0 && checkable) c.check = (int)Ask(child, BM_GETCHECK, 0, 0);
    if (lstrcmpiA(c.className.c_str(), "ListBox") == 0) {
        const LRESULT count = Ask(child, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) c.items.push_back(ListItem(child, i));
        c.selected = (int)Ask(child, LB_GETCURSEL, 0, 0);
    }
    s->controls.push_back(c);
    return TRUE;
}

// Control characters shown as escapes, so each control stays on one line.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c == '"') out += "\\\"";
        else out += (char)c;
    }
    return out + "\"";
}

}  // namespace

std::vector<HWND> VisibleWindows(DWORD processId) {
    Search search{processId, {}};
    EnumWindows(AddVisible, (LPARAM)&search);
    return search.found;
}

std::string TemplateOf(HWND window) {
    INT_PTR tag = (INT_PTR)GetPropA(window, kTemplateProperty);
    return tag >= 1 && tag <= kTemplateCount ? kTemplateNames[tag - 1] : "";
}

bool IsUntaggedDialog(HWND window) { return ClassOf(window) == "#32770" && TemplateOf(window).empty(); }

std::string TextOf(HWND window) {
    LRESULT length = Ask(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return "";
    std::string text(length + 1, '\0');
    LRESULT got = Ask(window, WM_GETTEXT, length + 1, (LPARAM)&text[0]);
    text.resize(got > 0 && got <= length ? got : 0);
    return text;
}

const ControlState* WindowState::Control(int id) const {
    for (const ControlState& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

WindowState Observe(HWND window) {
    WindowState state;
    state.window = window;
    state.templateName = TemplateOf(window);
    state.caption = TextOf(window);
    state.className = ClassOf(window);
    GetWindowRect(window, &state.rect);
    EnumChildWindows(window, AddControl, (LPARAM)&state);
    return state;
}

std::string Describe(const WindowState& s) {
    char head[160];
    snprintf(head, sizeof head, " (class %s, at %ld,%ld, %ldx%ld)\n", s.className.c_str(), s.rect.left, s.rect.top,
             s.rect.right - s.rect.left, s.rect.bottom - s.rect.top);
    std::string out = "== window " + (s.templateName.empty() ? std::string("-") : s.templateName) + " " +
                      Quoted(s.caption) + head;
    for (const ControlState& c : s.controls) {
        out += "  " + std::to_string(c.id) + " " + c.className + " " + Quoted(c.text);
        out += c.visible ? " visible" : " hidden";
        out += c.enabled ? " enabled" : " disabled";
        if (c.focused) out += " focused";
        if (c.check >= 0) out += c.check == BST_CHECKED ? " checked" : " unchecked";
        if (c.className == "ListBox") {
            out += " items=[";
            for (size_t i = 0; i < c.items.size(); ++i) out += (i ? "," : "") + Quoted(c.items[i]);
            out += "] selected=" + std::to_string(c.selected);
        }
        out += "\n";
    }
    return out;
}
