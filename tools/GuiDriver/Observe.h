// What the GUI driver sees of another process's windows: its visible
// top-level windows, the template a window was made from (the tag the
// installer puts on its windows, src/ui/PageNames.h), and the state of every
// control, read with window messages.
#ifndef TARV_GUIDRIVER_OBSERVE_H
#define TARV_GUIDRIVER_OBSERVE_H

#include <windows.h>

#include <string>
#include <vector>

struct ControlState {
    HWND window;
    int id;
    std::string className, text;
    bool visible, enabled, focused;
    int check;                       // BST_* of check boxes and radio buttons, else -1
    std::vector<std::string> items;  // list-box items
    int selected;                    // list-box selection, -1 when none
};

struct WindowState {
    HWND window;
    std::string templateName;  // empty when the window carries no tag
    std::string caption, className;
    RECT rect;
    std::vector<ControlState> controls;
    const ControlState* Control(int id) const;
};

// The visible top-level windows of the process, topmost first.
std::vector<HWND> VisibleWindows(DWORD processId);
// The template name of the tag, or "".
std::string TemplateOf(HWND window);
// A message box or another system dialog: a dialog without a tag.
bool IsUntaggedDialog(HWND window);
std::string TextOf(HWND window);
WindowState Observe(HWND window);
// Several lines: the window, then one line per control.
std::string Describe(const WindowState& state);

#endif
