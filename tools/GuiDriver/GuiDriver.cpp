// GuiDriver: starts a Windows program, follows the windows of its process
// (dialogs and message boxes), records what each shows into a transcript and
// acts on them as a scenario file says, by window messages. Every action
// that waits, waits for a condition, with a time limit; nothing sleeps for a
// fixed time. See docs/ui.md for the scenario actions.
//
//   GuiDriver [--desktop NAME] [--shots FOLDER] [--timeout SECONDS]
//             <scenario> <transcript> <program> [arguments...]
//
// --desktop runs the program on a desktop of that name (under Wine a
// virtual desktop, which draws window frames: screenshots then show the
// captions); --shots names the folder for the screenshots (default: the
// transcript's folder). Exit code 0 when the scenario passed, 1 when it
// failed (the transcript's last line says why), 2 for a bad command line or
// a program that could not be started. A program still running at the end
// of the scenario, or after a failure, is ended.
#include <string.h>
#include <windows.h>

#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Observe.h"
#include "Scenario.h"
#include "Screenshot.h"

namespace {

struct Options {
    std::string desktop, shots, scenario, transcript, commandLine;
    DWORD timeoutMs = 20000;
};

std::string Quote(const std::string& arg) {
    return arg.find_first_of(" \t\"") == std::string::npos && !arg.empty() ? arg : "\"" + arg + "\"";
}

bool ParseArguments(int argc, char** argv, Options& o) {
    int i = 1;
    for (; i + 1 < argc && argv[i][0] == '-' && argv[i][1] == '-'; i += 2) {
        std::string name = argv[i];
        if (name == "--desktop") o.desktop = argv[i + 1];
        else if (name == "--shots") o.shots = argv[i + 1];
        else if (name == "--timeout") o.timeoutMs = strtoul(argv[i + 1], nullptr, 10) * 1000;
        else return false;
    }
    if (argc - i < 3) return false;
    o.scenario = argv[i];
    o.transcript = argv[i + 1];
    for (int k = i + 2; k < argc; ++k) o.commandLine += (k > i + 2 ? " " : "") + Quote(argv[k]);
    if (o.shots.empty()) {
        size_t slash = o.transcript.find_last_of("\\/");
        o.shots = slash == std::string::npos ? "." : o.transcript.substr(0, slash);
    }
    return true;
}

// True when the folder holds nothing (or does not exist).
bool FolderIsEmpty(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do empty = !strcmp(found.cFileName, ".") || !strcmp(found.cFileName, "..");
    while (empty && FindNextFileA(search, &found));
    FindClose(search);
    return empty;
}

// The identifiers of message-box buttons by their usual names.
const std::map<std::string, int> kBoxButtons = {{"OK", IDOK},     {"Cancel", IDCANCEL}, {"Abort", IDABORT},
                                                {"Retry", IDRETRY}, {"Ignore", IDIGNORE}, {"Yes", IDYES},
                                                {"No", IDNO}};

class Driver {
public:
    explicit Driver(const Options& options) : o_(options), log_(options.transcript.c_str()) {}
    ~Driver();
    bool Start();
    // Runs the lines in order; false at the first that fails.
    bool Run(const std::vector<ScenarioLine>& lines);
    void Log(const std::string& line) { log_ << line << "\n" << std::flush; }

private:
    typedef std::vector<std::string> Words;
    bool Do(const Words& w);
    bool Fail(const std::string& why) {
        failure_ = why;
        return false;
    }
    bool WaitUntil(const std::string& what, const std::function<bool()>& check);
    void NoteNewWindows();
    bool NeedWindow();
    HWND ControlOf(const std::string& id);
    bool Expect(const std::string& id, const std::string& what, const std::function<bool(const ControlState&)>& holds);
    HWND NextBox();

    bool Wait(const std::string& name);
    bool Click(const std::string& id);
    bool Type(const std::string& id, const std::string& text);
    bool Select(const std::string& id, const Words& w);
    bool ExpectBox(const std::string& caption, const std::string& text);
    bool Answer(const std::string& button);
    bool PressEsc();
    bool Shot(const std::string& name, bool wholeScreen);
    bool Exit(const Words& w);

    Options o_;
    std::ofstream log_;
    PROCESS_INFORMATION process_ = {};
    DWORD started_ = 0;  // tick count at the program's start
    HWND current_ = nullptr;
    std::set<HWND> seen_, answered_;
    std::string failure_;
};

Driver::~Driver() {
    if (!process_.hProcess) return;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        Log("(the program is still running: ended)");
        TerminateProcess(process_.hProcess, 255);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
}

bool Driver::Start() {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!o_.desktop.empty()) {
        // The driver's own thread joins the desktop too: it enumerates the
        // program's windows and takes screenshots there.
        HDESK desktop = CreateDesktopA(o_.desktop.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        if (!desktop || !SetThreadDesktop(desktop)) {
            Log("(desktop " + o_.desktop + ": error " + std::to_string(GetLastError()) + ")");
            return false;
        }
        startup.lpDesktop = &o_.desktop[0];
    }
    std::string command = o_.commandLine;
    Log("> start " + command);
    started_ = GetTickCount();
    if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_))
        return true;
    Log("(error " + std::to_string(GetLastError()) + ")");
    return false;
}

// Each window as it is first seen, with the time since the program's start
// (seen within one poll of the wait, 25 ms).
void Driver::NoteNewWindows() {
    for (HWND window : VisibleWindows(process_.dwProcessId)) {
        if (!seen_.insert(window).second) continue;
        const DWORD after = GetTickCount() - started_;
        std::string text = Describe(Observe(window));
        text.insert(text.find('\n'), ", " + std::to_string(after) + " ms after the start");
        Log(text);
    }
}

bool Driver::WaitUntil(const std::string& what, const std::function<bool()>& check) {
    const DWORD start = GetTickCount();
    for (;;) {
        NoteNewWindows();
        if (check()) {
            NoteNewWindows();  // one that came up just now, before what follows
            return true;
        }
        if (GetTickCount() - start > o_.timeoutMs) return Fail("timed out waiting for " + what);
        if (MsgWaitForMultipleObjects(1, &process_.hProcess, FALSE, 25, QS_ALLINPUT) == WAIT_OBJECT_0 && !check())
            return Fail("the program ended while waiting for " + what);
    }
}

bool Driver::NeedWindow() {
    if (current_ && IsWindow(current_)) return true;
    return Fail("no window to act on (wait for one first)");
}

HWND Driver::ControlOf(const std::string& id) {
    return GetDlgItem(current_, (int)strtol(id.c_str(), nullptr, 10));
}

bool Driver::Expect(const std::string& id, const std::string& what,
                    const std::function<bool(const ControlState&)>& holds) {
    if (!NeedWindow()) return false;
    const int number = (int)strtol(id.c_str(), nullptr, 10);
    if (WaitUntil("control " + id + " " + what, [&] {
            WindowState state = Observe(current_);
            const ControlState* c = state.Control(number);
            return c && holds(*c);
        }))
        return true;
    Log(Describe(Observe(current_)));
    return false;
}

bool Driver::Wait(const std::string& name) {
    return WaitUntil(name, [&] {
        for (HWND window : VisibleWindows(process_.dwProcessId))
            if (window != current_ && TemplateOf(window) == name) {
                current_ = window;
                return true;
            }
        return false;
    });
}

bool Driver::Click(const std::string& id) {
    if (!NeedWindow()) return false;
    HWND control = ControlOf(id);
    if (!control) return Fail("there is no control " + id);
    if (!IsWindowVisible(control) || !IsWindowEnabled(control))
        return Fail("control " + id + " is hidden or disabled: a user could not press it");
    // Posted: the click may open a modal box, which a sent message would wait for.
    PostMessageA(control, BM_CLICK, 0, 0);
    return true;
}

bool Driver::Type(const std::string& id, const std::string& text) {
    if (!NeedWindow()) return false;
    HWND control = ControlOf(id);
    if (!control) return Fail("there is no control " + id);
    DWORD_PTR result;
    return SendMessageTimeoutA(control, WM_SETTEXT, 0, (LPARAM)text.c_str(), SMTO_ABORTIFHUNG, 5000, &result) ||
           Fail("control " + id + " does not take the text");
}

// A list item by its text, or a radio button (no item).
bool Driver::Select(const std::string& id, const Words& w) {
    if (!NeedWindow()) return false;
    HWND control = ControlOf(id);
    if (!control) return Fail("there is no control " + id);
    DWORD_PTR result;
    if (w.size() < 3) {
        SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
        return true;
    }
    WindowState state = Observe(current_);
    const ControlState* list = state.Control(GetDlgCtrlID(control));
    for (size_t i = 0; list && i < list->items.size(); ++i) {
        if (list->items[i] != w[2]) continue;
        SendMessageTimeoutA(control, LB_SETCURSEL, i, 0, SMTO_ABORTIFHUNG, 5000, &result);
        PostMessageA(current_, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), LBN_SELCHANGE), (LPARAM)control);
        return true;
    }
    return Fail("list " + id + " has no item \"" + w[2] + "\"");
}

// The first message box (or other untagged dialog) not answered yet.
HWND Driver::NextBox() {
    for (HWND window : VisibleWindows(process_.dwProcessId))
        if (IsUntaggedDialog(window) && !answered_.count(window)) return window;
    return nullptr;
}

bool Driver::ExpectBox(const std::string& caption, const std::string& text) {
    HWND box = nullptr;
    if (!WaitUntil("a message box", [&] { return (box = NextBox()) != nullptr; })) return false;
    WindowState state = Observe(box);
    const ControlState* message = state.Control(0xFFFF);  // a message box's text
    if (state.caption == caption && message && message->text == text) return true;
    return Fail("the box shows \"" + state.caption + "\": \"" + (message ? message->text : "") + "\"");
}

bool Driver::Answer(const std::string& button) {
    auto known = kBoxButtons.find(button);
    if (known == kBoxButtons.end()) return Fail("unknown button " + button);
    HWND box = nullptr;
    if (!WaitUntil("a message box", [&] { return (box = NextBox()) != nullptr; })) return false;
    HWND control = GetDlgItem(box, known->second);
    if (!control || !IsWindowEnabled(control)) return Fail("the box has no " + button + " button to press");
    // A system dialog may still be setting itself up (the folder chooser
    // selects its start folder while it pumps messages): wait until the
    // program waits for input.
    WaitForInputIdle(process_.hProcess, o_.timeoutMs);
    answered_.insert(box);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(known->second, BN_CLICKED), (LPARAM)control);
    return WaitUntil("the box to close", [box] { return !IsWindowVisible(box); });
}

bool Driver::PressEsc() {
    if (!NeedWindow()) return false;
    SetForegroundWindow(current_);
    if (!WaitUntil("the window to come to the front", [this] { return GetForegroundWindow() == current_; })) {
        HWND front = GetForegroundWindow();
        failure_ += front ? " (in front: \"" + TextOf(front) + "\", " + TemplateOf(front) + ")" : " (none in front)";
        return false;
    }
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    return SendInput(2, keys, sizeof keys[0]) == 2 || Fail("the key could not be sent");
}

bool Driver::Shot(const std::string& name, bool wholeScreen) {
    if (!wholeScreen && !NeedWindow()) return false;
    // Paint everything now, so that the picture is complete.
    for (HWND window : VisibleWindows(process_.dwProcessId))
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RECT area = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (!wholeScreen) GetWindowRect(current_, &area);
    const std::string path = o_.shots + "\\" + name + ".bmp";
    if (!SaveScreenshot(area, path)) return Fail("cannot write " + path);
    Log("  saved " + path);
    return true;
}

bool Driver::Exit(const Words& w) {
    if (!WaitUntil("the program to end", [this] { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }))
        return false;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    Log("  exit code " + std::to_string(code));
    if (w.size() > 1 && code != strtoul(w[1].c_str(), nullptr, 10)) return Fail("unexpected exit code");
    return true;
}

bool Driver::Do(const Words& w) {
    const std::string& a = w[0];
    const std::string arg = w.size() > 1 ? w[1] : "";
    const std::string text = w.size() > 2 ? w[2] : "";
    if (a == "wait" && w.size() == 2) return Wait(arg);
    if (a == "click" && w.size() == 2) return Click(arg);
    if (a == "type" && w.size() == 3) return Type(arg, text);
    if (a == "select" && (w.size() == 2 || w.size() == 3)) return Select(arg, w);
    if (a == "expect-box" && w.size() == 3) return ExpectBox(arg, text);
    if (a == "answer" && w.size() == 2) return Answer(arg);
    if (a == "esc" && w.size() == 1) return PressEsc();
    if (a == "close" && w.size() == 1)
        return NeedWindow() && PostMessageA(current_, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (a == "shot" && (w.size() == 2 || (w.size() == 3 && text == "screen"))) return Shot(arg, w.size() == 3);
    if (a == "dump" && w.size() == 1) {
        if (!NeedWindow()) return false;
        Log(Describe(Observe(current_)));
        return true;
    }
    if (a == "exit" && w.size() <= 2) return Exit(w);
    if (a == "expect-empty" && w.size() == 2)
        return WaitUntil("the folder " + arg + " to be empty", [&] { return FolderIsEmpty(arg); });
    if (a == "expect-caption" && w.size() == 2)
        return NeedWindow() && WaitUntil("the caption \"" + arg + "\"", [&] { return TextOf(current_) == arg; });
    if (a == "expect-text" && w.size() == 3)
        return Expect(arg, "to show \"" + text + "\"", [&](const ControlState& c) { return c.text == text; });
    if (a == "expect-contains" && w.size() == 3)
        return Expect(arg, "to contain \"" + text + "\"",
                      [&](const ControlState& c) { return c.text.find(text) != std::string::npos; });
    if (a == "expect-selected" && w.size() == 3)
        return Expect(arg, "to have \"" + text + "\" selected", [&](const ControlState& c) {
            return c.selected >= 0 && c.selected < (int)c.items.size() && c.items[c.selected] == text;
        });
    if (a == "expect-items" && w.size() >= 2) {
        const Words items(w.begin() + 2, w.end());
        return Expect(arg, "to list the items", [&](const ControlState& c) { return c.items == items; });
    }
    static const std::map<std::string, std::function<bool(const ControlState&)>> kStates = {
        {"expect-visible", [](const ControlState& c) { return c.visible; }},
        {"expect-hidden", [](const ControlState& c) { return !c.visible; }},
        {"expect-enabled", [](const ControlState& c) { return c.enabled; }},
        {"expect-disabled", [](const ControlState& c) { return !c.enabled; }},
        {"expect-checked", [](const ControlState& c) { return c.check == BST_CHECKED; }},
        {"expect-unchecked", [](const ControlState& c) { return c.check == BST_UNCHECKED; }},
        {"expect-focused", [](const ControlState& c) { return c.focused; }},
    };
    auto state = kStates.find(a);
    if (state != kStates.end() && w.size() == 2) return Expect(arg, a.substr(7), state->second);
    return Fail("unknown action or wrong number of words");
}

bool Driver::Run(const std::vector<ScenarioLine>& lines) {
    for (const ScenarioLine& line : lines) {
        Log("> " + line.text);
        if (!Do(line.words)) {
            Log("FAILED at line " + std::to_string(line.number) + ": " + failure_);
            return false;
        }
    }
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        Log("FAILED: the program is still running at the end of the scenario (end it with \"exit\")");
        return false;
    }
    Log("PASSED");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseArguments(argc, argv, options)) {
        fprintf(stderr,
                "usage: GuiDriver [--desktop NAME] [--shots FOLDER] [--timeout SECONDS] "
                "<scenario> <transcript> <program> [arguments...]\n");
        return 2;
    }
    std::vector<ScenarioLine> lines;
    std::string error;
    if (!ReadScenario(options.scenario, lines, error)) {
        fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    Driver driver(options);
    if (!driver.Start()) {
        driver.Log("FAILED: the program could not be started");
        return 2;
    }
    return driver.Run(lines) ? 0 : 1;
}
