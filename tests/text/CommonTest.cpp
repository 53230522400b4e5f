// Variable table, localised strings and page texts with real Tarv.ini and
// Tarv.lng files, real windows and the prefix's registry. Path text (wqPath),
// the expansion rules (ExpandTest) and the profile layer are tested there.
#include "text/Common.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/RunState.h"
#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "config/wqStrUtils.h"
#include "support/TestPrint.h"
#include "support/TextTestSupport.h"
#include "support/WinTestSupport.h"
#include "system/wqShell.h"
#include "system/wqUtils.h"

namespace {

typedef std::vector<std::string> Lines;
std::string S(const TStr& s) { return std::string(s.c_str(), s.length()); }

class CommonTest : public testing::Test {
protected:
    void SetUp() override {
        RunState().IniFileName = (folder / "Tarv.ini").c_str();
        RunState().LngFileName = (folder / "Tarv.lng").c_str();
        RunState().Language = "ENU";
    }
    void TearDown() override {
        (void)ProfileFlushAll();
        RunState() = TRunState();
        SetMessageBoxTitle("");
        TakeError();
    }
    void Files(const std::string& ini, const std::string& lng) {
        ASSERT_TRUE(ProfileFlushAll());
        WriteBytes(folder / "Tarv.ini", ini);
        WriteBytes(folder / "Tarv.lng", lng);
    }
    ScratchFolder folder;
};

// Sets (or, with null, removes) a REG_SZ value of HKLM; puts the old one back.
struct RegistryValueOverride {
    RegistryValueOverride(const std::string& keyName, const char* name, const char* value) : name(name) {
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        had = RegQueryValueExA(key, name, nullptr, &type, (BYTE*)old, &oldSize) == ERROR_SUCCESS;
        Set(value, value ? (DWORD)strlen(value) + 1 : 0, REG_SZ);
    }
    ~RegistryValueOverride() {
        Set(had ? old : nullptr, oldSize, type);
        RegCloseKey(key);
    }
    void Set(const char* data, DWORD size, DWORD t) {
        data ? RegSetValueExA(key, name, 0, t, (const BYTE*)data, size) : RegDeleteValueA(key, name);
    }
    const char* name;
    HKEY key = 0;
    char old[1024];
    DWORD type = REG_SZ, oldSize = sizeof old;
    bool had = false;
};

TEST_F(CommonTest, TableStartsWithThePredefinedVariablesInOrder) {
    const std::string shellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    RegistryValueOverride programs(shellFolders, "Common Programs", nullptr);  // single-user Windows 95
    RegistryValueOverride start(shellFolders, "Common Start Menu", nullptr);
    RegistryValueOverride startup(shellFolders, "Common Startup", "C:\\All\\Startup\\");
    RegistryValueOverride boot("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", "BootDir", "D:\\Boot");
    Files("[Variables]\r\nWindows=X\r\nInstallPath=X\r\nName=A\r\nDir=%ProgramFiles%\\%App%\r\nApp=Demo\r\n"
          "[Variables.ENU]\r\nName=B\r\nLang=enu\r\n[Variables.RUS]\r\nLang=rus\r\n", "");
    RunState().ExeName = "D:\\SETUP\\Tarv.exe";
    RunState().InstallPath = "C:\\Apps\\Demo\\";
    RunState().TempDir = "C:\\Temp\\ABCDEFGH\\";
    ASSERT_TRUE(BuildVariableTable());
    Lines names;
    for (int i = 0; i < RunState().Variables.Count(); ++i) names.push_back(S(NamePart(RunState().Variables[i])));
    EXPECT_EQ(names, (Lines{"SourcePath", "InstallPath", "Presetup", "BootDrive", "Windows", "System",
                            "Desktop", "Fonts", "NetHood", "Personal", "ProgramsMenu", "Recent", "SendTo",
                            "StartMenu", "StartupMenu", "Templates", "ProgramFiles", "CommonFiles",
                            "CommonDesktop", "CommonProgramsMenu", "CommonStartMenu", "CommonStartupMenu",
                            "Delphi", "Windows", "InstallPath", "Name", "Dir", "App", "Name", "Lang"}));
    const std::string programFiles = S(ExpandVariables("%ProgramFiles%"));
    EXPECT_FALSE(programFiles.empty());  // Wine registers one
    const struct { const char* text; std::string expanded; } cases[] = {
        {"%SourcePath%", "D:\\SETUP"},   {"%Presetup%", "C:\\Temp\\ABCDEFGH"},
        {"%InstallPath%", "C:\\Apps\\Demo"},  // without its "\", and not the [Variables] one
        {"%Windows%", S(GetWindowsFolder())}, {"%System%", S(GetSystemFolder())}, {"%Fonts%", S(GetSpecialFolder(1))},
        {"%Name%", "A"},  // [Variables] before [Variables.ENU]
        {"%Lang%", "enu"}, {"%Dir%", programFiles + "\\Demo"},       {"%BootDrive%", "D:"},
        // the all-users folders fall back to the user's own
        {"%CommonProgramsMenu%", S(GetSpecialFolder(4))}, {"%CommonStartMenu%", S(GetSpecialFolder(7))},
        {"%CommonStartupMenu%", "C:\\All\\Startup"},
    };
    for (const auto& c : cases) EXPECT_EQ(S(ExpandVariables(c.text)), c.expanded) << c.text;
}

TEST_F(CommonTest, DelphiTakesTheNewestVersionsRootDir) {
    if (RegKeyExists("HKLM\\SOFTWARE\\Borland\\Delphi")) GTEST_SKIP() << "this system has Delphi";
    const bool hadBorland = RegKeyExists("HKLM\\SOFTWARE\\Borland");  // Wine's own registry has one
    Files("", "");
    ASSERT_TRUE(BuildVariableTable());
    EXPECT_EQ(ExpandVariables("%Delphi%"), "C:");
    RegWriteString("HKLM\\SOFTWARE\\Borland\\Delphi\\3.0\\RootDir", "C:\\D3\\");
    RegWriteString("HKLM\\SOFTWARE\\Borland\\Delphi\\5.0\\RootDir", "C:\\D5\\");
    RegWriteString("HKLM\\SOFTWARE\\Borland\\Delphi\\4.0\\RootDir", "C:\\D4");
    ASSERT_TRUE(BuildVariableTable());
    TStr delphi = ExpandVariables("%Delphi%");
    DeleteRegTreeForTest(HKEY_LOCAL_MACHINE, hadBorland ? "SOFTWARE\\Borland\\Delphi" : "SOFTWARE\\Borland");
    EXPECT_EQ(delphi, "C:\\D5");
}

TEST_F(CommonTest, LocalisedStringsPreferTheLanguageSection) {
    Files("[Variables]\r\nProgramName=Demo\r\n",
          "[Strings]\r\n10=Admin rights needed\r\n11=%ProgramName% base\r\n100=Unpacking %s||now\r\n"
          "[Strings.RUS]\r\n11=Russian %ProgramName%\r\n12=only Russian\r\n");
    ASSERT_TRUE(BuildVariableTable());
    const struct { const char* language; int number; const char* text; } cases[] = {
        {"RUS", 10, "Admin rights needed"}, {"RUS", 11, "Russian Demo"}, {"rus", 12, "only Russian"},
        {"ENU", 11, "Demo base"},           {"ENU", 12, ""},             {"ENU", 100, "Unpacking %s\rnow"},
    };
    for (const auto& c : cases) {
        RunState().Language = c.language;
        TStr text;
        EXPECT_TRUE(GetString(c.number, text));
        EXPECT_EQ(text, c.text) << c.language << " " << c.number;
    }
}

TEST_F(CommonTest, RunawayReferenceShowsTheErrorBoxOnce) {
    Files("[Variables]\r\nLoop=x%Loop%\r\n", "");
    EXPECT_EQ(ExpandVariables("a||%Loop%"), "a\r%Loop%");  // no table yet: only line breaks
    ASSERT_TRUE(BuildVariableTable());
    DialogWatcher watcher(IDOK);
    EXPECT_EQ(ExpandVariables("%Loop%||b"), "%Loop%\rb");
    ASSERT_EQ(watcher.Seen().size(), 1u);
    EXPECT_EQ(watcher.Seen()[0], "Error|Infinite reference in the string \"%Loop%||b\"!");
}

struct PageTexts {
    std::string caption, title, mainWindow, nested;
    Lines controls;  // 100, 105 ... 109
};

HWND nestedChild = 0;
bool startPageResult = false;

INT_PTR CALLBACK PageProc(HWND page, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    nestedChild = CreateWindowA("STATIC", "nested %ProgramName%", WS_CHILD, 0, 0, 10, 10, GetDlgItem(page, 105),
                                (HMENU)500, nullptr, nullptr);
    startPageResult = StartPage(page);
    return TRUE;
}

std::string TextOf(HWND window) {
    char buffer[2048] = "";
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

// Shows the page "DLG_TEST" and reads its texts back.
PageTexts ShowPage() {
    std::vector<WORD> tmpl = DialogTemplate(
        "Template caption", {{100, 0x0082, "Band %ProgramName%"}, {105, 0x0082, "T105"}, {106, 0x0082, "T106"},
                             {107, 0x0082, "T107"}, {108, 0x0081, "T108"}, {109, 0x0082, "%ProgramName% here"}});
    HWND main = CreateWindowA("STATIC", "old", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    RunState().MainWindow = main;
    RunState().CurrentDialog = "DLG_TEST";
    HWND page = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), (LPCDLGTEMPLATEA)tmpl.data(), nullptr,
                                           PageProc, 0);
    PageTexts texts = {TextOf(page), S(RunState().DialogTitle), TextOf(main), TextOf(nestedChild), {}};
    for (int id : {100, 105, 106, 107, 108, 109}) texts.controls.push_back(TextOf(GetDlgItem(page, id)));
    DestroyWindow(page);
    DestroyWindow(main);
    RunState().MainWindow = 0;
    return texts;
}

// Later sections win: [Dialogs], [<page>], [Dialogs.<lang>], [<page>.<lang>].
// The title is read again in the language pass with the band's text as its
// default, so a Title outside a language section does not last.
TEST_F(CommonTest, PageTextPrecedence) {
    const Lines plain = {"Band Demo", "T105", "T106", "T107", "T108", "Demo here"};
    const struct { const char *lng, *caption, *title; Lines controls; } cases[] = {
        {"[Dialogs]\r\nCaption=%ProgramName% Setup\r\n105=D105\r\n106=D106\r\n107=D107\r\n108=D108\r\n"
         "[dlg_test]\r\n106=P106||two\r\n107=P107\r\n108=P108\r\n"
         "[Dialogs.ENU]\r\n107=DE107\r\n108=DE108\r\nCaption=\r\n"
         "[DLG_TEST.enu]\r\n108=PE108\r\nTitle=Lang %ProgramName%\r\nabc=x\r\n99999999999=x\r\n$6D=hex\r\n",
         "Demo Setup", "Lang Demo", {"Band Demo", "D105", "P106\rtwo", "DE107", "PE108", "hex"}},
        {"[Dialogs]\r\nTitle=Generic\r\n[DLG_TEST]\r\nTitle=Page\r\n", "Template caption", "Band Demo", plain},
        {"[Dialogs]\r\n100=New band %ProgramName%\r\n", "Template caption", "New band Demo",
         {"New band Demo", "T105", "T106", "T107", "T108", "Demo here"}},
        {"[Dialogs.ENU]\r\nTitle=Language title\r\n[DLG_TEST]\r\nTitle=Page\r\nCaption=Page caption\r\n",
         "Page caption", "Language title", plain},
        {"[DLG_TEST.ENU]\r\nCaption=Lang caption\r\nTitle=Mine\r\n[Dialogs.ENU]\r\nTitle=Theirs\r\n"
         "[Dialogs]\r\nCaption=base\r\n", "Lang caption", "Mine", plain},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lng);
        Files("[Variables]\r\nProgramName=Demo\r\n", c.lng);
        PageTexts texts = ShowPage();
        EXPECT_TRUE(startPageResult);
        EXPECT_EQ(texts.caption, c.caption);
        EXPECT_EQ(texts.title, c.title);
        EXPECT_EQ(texts.controls, c.controls);
        EXPECT_EQ(texts.nested, "nested Demo");  // children of children too
        EXPECT_EQ(texts.mainWindow, "Demo");
        EXPECT_EQ(RunState().ProgramName, "Demo");
    }
}

// A language file that exists but cannot be opened stops the page start
// where it is read first: nothing after it runs, and the message is the
// profile layer's, unchanged.
TEST_F(CommonTest, AnUnreadableLanguageFileStopsThePageStart) {
    Files("[Variables]\r\nProgramName=Demo\r\n", "[Dialogs]\r\nCaption=Never\r\n105=Never\r\n");
    HANDLE holder = CreateFileA((folder / "Tarv.lng").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    PageTexts texts = ShowPage();
    TStr text = "untouched";
    EXPECT_FALSE(GetString(1, text));
    CloseHandle(holder);
    EXPECT_FALSE(startPageResult);
    EXPECT_EQ(texts.caption, "Template caption");
    EXPECT_EQ(texts.controls[1], "T105");
    EXPECT_EQ(RunState().ProgramName, "Setup");  // the name comes after the texts
    EXPECT_EQ(text, "untouched");
    EXPECT_EQ(TakeError(), "Cannot open file " + RunState().LngFileName);
    EXPECT_FALSE(ErrorPending());
}

TEST_F(CommonTest, ItemTextsAndTextFiles) {
    std::vector<WORD> tmpl = DialogTemplate("t", {{108, 0x0081, ""}});
    HWND page = CreateDialogIndirectParamA(GetModuleHandleA(nullptr), (LPCDLGTEMPLATEA)tmpl.data(), nullptr,
                                           [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    SetItemText(page, 108, "selected text");
    DWORD start = 1, end = 0;
    SendDlgItemMessageA(page, 108, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    EXPECT_EQ(end - start, 13u);  // all of it
    EXPECT_EQ(GetItemText(page, 108), "selected text");
    SetItemText(page, 108, std::string(1500, 'L').c_str());
    EXPECT_EQ(GetItemText(page, 108).length(), 1023u);
    EXPECT_EQ(GetItemText(page, 999), "");  // no such control
    DestroyWindow(page);
    const std::string bytes("License\r\n\0\xFF end", 15);
    WriteBytes(folder / "License.ENU", bytes);
    EXPECT_EQ(ReadTextFile((folder / "License.ENU").c_str()), TStr(bytes.data(), bytes.size()));
    EXPECT_EQ(ReadTextFile((folder / "Missing.txt").c_str()), "");
}

}  // namespace
