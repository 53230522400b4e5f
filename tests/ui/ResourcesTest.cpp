// The program's own resources: every template of the shared name list
// exists, can be created, and carries the controls the code addresses.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <set>
#include <string>

#include "ui/PageNames.h"

namespace {

INT_PTR CALLBACK Quiet(HWND, UINT, WPARAM, LPARAM) { return 0; }

BOOL CALLBACK AddId(HWND child, LPARAM ids) {
    reinterpret_cast<std::set<int>*>(ids)->insert(GetDlgCtrlID(child));
    return TRUE;
}

struct TemplateCase {
    const char* name;
    std::set<int> ids;
    const char* caption;
};

TEST(Resources, EveryTemplateHasItsControls) {
    InitCommonControls();  // the progress bars' class
    const std::set<int> page = {100, 101, 102, 103, 104, 105};
    const TemplateCase cases[] = {
        {"DLG_WELCOME", page, "Welcome!"},
        {"DLG_LANGUAGE", {100, 101, 102, 103, 104, 105, 106}, "Choose language"},
        {"DLG_LICENSE", {100, 101, 104, 105, 106, 107, 108}, "License agreement"},
        {"DLG_README", {100, 101, 102, 103, 104, 105, 106}, "Readme information"},
        {"DLG_DIR", {100, 101, 102, 103, 104, 105, 106, 107, 108}, "Installation directory"},
        {"DLG_START", page, "Start install"},
        {"DLG_REBOOT", {100, 101, 102, 103, 104, 105, 106, 107}, "Reboot computer"},
        {"DLG_FINISH", {100, 104, 105, 106}, "Installation complete"},
        {"DLG_NOTFINISH", {100, 104, 105, 106}, "Installation uncomplete"},
        {"DLG_PROGRESS", {100, 103, 104, 105, 106, 107, 108, 109}, "Installation progress"},
        {"DLG_PRESETUP", {100, 101}, "Morvel Installer initializing..."},
        {"DLG_MESSAGE", {100, 101}, ""},
    };
    ASSERT_EQ(sizeof cases / sizeof cases[0], (size_t)kTemplateCount);
    for (int i = 0; i < kTemplateCount; ++i) {
        const TemplateCase& c = cases[i];
        EXPECT_STREQ(kTemplateNames[i], c.name);
        EXPECT_EQ(TemplateIndex(c.name), i);
        EXPECT_EQ(IsPageName(c.name), i < kPageCount) << c.name;
        HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), c.name, nullptr, Quiet, 0);
        ASSERT_NE(window, nullptr) << c.name;
        std::set<int> ids;
        EnumChildWindows(window, AddId, (LPARAM)&ids);
        EXPECT_EQ(ids, c.ids) << c.name;
        char caption[64] = "?";
        GetWindowTextA(window, caption, sizeof caption);
        EXPECT_STREQ(caption, c.caption);
        DestroyWindow(window);
    }
    EXPECT_EQ(TemplateIndex("dlg_welcome"), -1);  // names are compared exactly
    EXPECT_EQ(TemplateIndex("DLG_WELCOMEX"), -1);
    EXPECT_EQ(TemplateIndex("DLG_"), -1);
    EXPECT_NE(LoadIconA(GetModuleHandleA(nullptr), "MAINICON"), nullptr);
}

}  // namespace
