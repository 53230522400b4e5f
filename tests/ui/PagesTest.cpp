// The wizard pages and their sequences, driven from outside as a user would
// drive them: GuiDriver runs each scenario against PageHost (a stand-in for
// the setup driver), then the run state PageHost leaves is checked. Set
// TARV_SCREENSHOTS to a folder to keep the screenshots and transcripts.
#include <gtest/gtest.h>

#include <windows.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/CanvasTestSupport.h"
#include "support/WinTestSupport.h"

namespace {

struct PageCase {
    const char* name;
    const char* pages;
    std::vector<std::string> options;  // PageHost's name=value options
    const char* scenario;
    std::vector<std::string> outcome;  // lines outcome.txt must hold; ${TARGET} expanded
    bool lockLanguageFile;
};

const PageCase kCases[] = {
    // No keeps the page, for the button, Esc and the window's Close alike.
    {"cancel-asks", "DLG_WELCOME,DLG_START", {}, R"scenario(
        wait DLG_WELCOME
        click 102
        wait DLG_START
        click 103
        expect-box "Demo App" "Cancel the installation of Demo App?"
        answer No
        esc
        answer No
        close
        answer No
        click 101
        wait DLG_WELCOME
        esc
        answer Yes
        exit 0)scenario", {"result=0"}, false},
    {"folder", "DLG_DIR", {}, R"scenario(
        wait DLG_DIR
        expect-text 106 "C:\Program Files\Demo App"
        expect-focused 106
        type 106 "D:\Tools, Inc\Demo"
        click 102
        expect-box "Demo App" "The installation folder must not contain a comma (,) or a double quote ("")."
        answer OK
        type 106 "D:\Say ""Hi"""
        click 102
        answer OK
        type 106 "${TARGET}"
        click 107
        answer OK
        expect-text 106 "${TARGET}"
        click 107
        answer Cancel
        expect-text 106 "${TARGET}"
        click 102
        exit 0)scenario", {"result=1", "InstallPath=${TARGET}"}, false},
    {"folder-cancelled", "DLG_DIR", {"confirm=0"}, R"scenario(
        wait DLG_DIR
        type 106 "D:\Elsewhere"
        esc
        exit 0)scenario", {"result=0", "InstallPath=%ProgramFiles%\\%ProgramName%"}, false},
    {"language", "DLG_LANGUAGE,DLG_WELCOME", {}, R"scenario(
        wait DLG_LANGUAGE
        expect-hidden 101
        expect-items 106 "German (Germany)" "English (United States)"
        expect-selected 106 "English (United States)"
        select 106 "German (Germany)"
        click 102
        wait DLG_WELCOME
        expect-caption "Demo App Installation"
        click 101
        wait DLG_LANGUAGE
        expect-selected 106 "German (Germany)"
        esc
        answer Yes
        exit 0)scenario", {"result=0", "Language=DEU"}, false},
    {"license-language", "DLG_LICENSE", {"language=DEU"}, R"scenario(
        wait DLG_LICENSE
        expect-focused 105
        expect-text 108 "Lizenz: nur zum Testen."
        click 105
        exit 0)scenario", {"result=1"}, false},
    // No declines without the cancel question.
    {"license-fallback", "DLG_WELCOME,DLG_LICENSE", {}, R"scenario(
        wait DLG_WELCOME
        click 102
        wait DLG_LICENSE
        expect-visible 101
        expect-contains 108 "License: for testing only."
        expect-contains 108 "Second line."
        click 106
        exit 0)scenario", {"result=0"}, false},
    // Cancel leaves the flag as it was.
    {"reboot-cancelled", "DLG_REBOOT", {"reboot=1", "confirm=0"}, R"scenario(
        wait DLG_REBOOT
        expect-checked 106
        expect-unchecked 107
        select 107
        esc
        exit 0)scenario", {"result=0", "RebootNeeded=1"}, false},
    // A page shown again starts from what the one before stored.
    {"reboot-chosen", "DLG_REBOOT,DLG_REBOOT", {}, R"scenario(
        wait DLG_REBOOT
        expect-checked 107
        select 106
        click 102
        wait DLG_REBOOT
        expect-checked 106
        select 107
        click 102
        exit 0)scenario", {"result=1", "RebootNeeded=0"}, false},
    // The final pages close without the question.
    {"final-pages", "DLG_FINISH,DLG_NOTFINISH", {"confirm=0"}, R"scenario(
        wait DLG_FINISH
        expect-focused 104
        click 104
        wait DLG_NOTFINISH
        close
        exit 0)scenario", {"result=0"}, false},
    // Names without a page are passed over in the direction of travel;
    // " DLG_DIR" starts with a blank.
    {"unknown-names", "DLG_BOGUS,DLG_WELCOME,DLG_PROGRESS,DLG_START, DLG_DIR", {}, R"scenario(
        wait DLG_WELCOME
        expect-hidden 101
        click 102
        wait DLG_START
        click 101
        wait DLG_WELCOME
        click 102
        wait DLG_START
        click 102
        exit 0)scenario", {"result=1"}, false},
    {"language-file-locked", "DLG_WELCOME", {}, R"scenario(
        exit 0)scenario", {"result=0", "error=Cannot open file ${CASE}\\Tarv.lng"}, true},
    // Every window of the program, for a look at the screenshots; Next
    // through all pages, Back once.
    {"tour", "DLG_WELCOME,DLG_LANGUAGE,DLG_LICENSE,DLG_README,DLG_DIR,DLG_START,DLG_REBOOT,DLG_FINISH,DLG_NOTFINISH",
     {"template=DLG_PRESETUP,DLG_PROGRESS", "message=Registering the fonts of Demo App, please wait..."}, R"scenario(
        wait DLG_PRESETUP
        shot presetup-and-message screen
        shot presetup
        close
        wait DLG_PROGRESS
        shot progress
        click 103
        wait DLG_WELCOME
        expect-hidden 101
        expect-caption "Demo App Setup"
        expect-contains 105 "setup program of Demo App."
        shot main-window screen
        shot welcome
        click 102
        wait DLG_LANGUAGE
        shot language
        click 102
        wait DLG_LICENSE
        shot license
        click 105
        wait DLG_README
        expect-visible 101
        expect-text 106 "Read me first."
        shot readme
        click 102
        wait DLG_DIR
        click 101
        wait DLG_README
        click 102
        wait DLG_DIR
        shot folder
        click 102
        wait DLG_START
        shot start
        click 102
        wait DLG_REBOOT
        shot reboot
        click 102
        wait DLG_FINISH
        shot finish
        click 104
        wait DLG_NOTFINISH
        shot not-finished
        click 104
        exit 0)scenario", {"result=1"}, false},
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.name; }

std::string ProgramFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n);
    return folder.substr(0, folder.find_last_of('\\'));
}

std::string Expand(std::string text, const std::string& name, const std::string& value) {
    for (size_t at; (at = text.find("${" + name + "}")) != std::string::npos;) text.replace(at, name.size() + 3, value);
    return text;
}

// The example setup files, much as a package author writes them.
void WriteSetupFiles(const ScratchFolder& folder) {
    WriteBytes(folder / "Tarv.ini",
               "[Config]\r\nDefaultInstallPath=%ProgramFiles%\\%ProgramName%\r\nLanguages=ENU,DEU\r\n"
               "[Display]\r\nShowMainWindow=1\r\nGradientTopColor=$400000\r\n"
               "[Variables]\r\nProgramName=Demo App\r\n");
    WriteBytes(folder / "Tarv.lng",
               "[Strings]\r\n1=Cancel the installation of %ProgramName%?\r\n150=Choose a folder for %ProgramName%:\r\n"
               "[Dialogs]\r\nCaption=%ProgramName% Setup\r\n[Dialogs.DEU]\r\nCaption=%ProgramName% Installation\r\n"
               "[DLG_FINISH.ENU]\r\nTitle=All done\r\n");
    WriteBytes(folder / "License.txt", "License: for testing only.\r\nSecond line.");
    WriteBytes(folder / "License.DEU", "Lizenz: nur zum Testen.");
    WriteBytes(folder / "Readme.txt", "Read me first.");
    WriteBytes(folder / "Tarv.bmp", SolidBitmapFile(64, 16, RGB(40, 110, 200)));
}

std::string Quote(const std::string& arg) { return "\"" + arg + "\""; }

class Pages : public testing::TestWithParam<PageCase> {};

TEST_P(Pages, ScenarioPassesAndLeavesTheRunState) {
    const PageCase& c = GetParam();
    ScratchFolder folder;
    WriteSetupFiles(folder);
    char shotsEnv[MAX_PATH] = "";
    const std::string shots = GetEnvironmentVariableA("TARV_SCREENSHOTS", shotsEnv, MAX_PATH) ? shotsEnv : folder.Path();
    CreateDirectoryA(shots.c_str(), nullptr);
    // A shallow folder: Wine's chooser gives up a deep start folder for the
    // desktop soon after it opens.
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, MAX_PATH);
    SetEnvironmentVariableA("TARGET", windows);
    WriteBytes(folder / "scenario.txt", c.scenario);
    const std::string transcript = shots + "\\" + c.name + ".transcript.txt";
    std::string command = Quote(ProgramFolder() + "\\GuiDriver.exe") + " --desktop TarvPages --shots " + Quote(shots) +
                          " " + Quote(folder / "scenario.txt") + " " + Quote(transcript) + " " +
                          Quote(ProgramFolder() + "\\PageHost.exe") + " " + Quote(folder.Path()) + " " + Quote(c.pages);
    for (const std::string& option : c.options) command += " " + Quote(option);

    HANDLE lock = c.lockLanguageFile ? CreateFileA((folder / "Tarv.lng").c_str(), GENERIC_READ, 0, nullptr,
                                                   OPEN_EXISTING, 0, nullptr)
                                     : INVALID_HANDLE_VALUE;
    // In a job, so that a driver that hangs goes with its program.
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limit = {};
    limit.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limit, sizeof limit);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION driver = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                               &startup, &driver));
    AssignProcessToJobObject(job, driver.hProcess);
    ResumeThread(driver.hThread);
    const DWORD waited = WaitForSingleObject(driver.hProcess, 300000);
    DWORD code = 99;
    GetExitCodeProcess(driver.hProcess, &code);
    CloseHandle(driver.hProcess);
    CloseHandle(driver.hThread);
    CloseHandle(job);
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the driver hung\n" << ReadBytes(transcript);

    EXPECT_EQ(code, 0u) << ReadBytes(transcript);
    std::set<std::string> lines;
    std::istringstream outcome(ReadBytes(folder / "outcome.txt"));
    for (std::string line; std::getline(outcome, line);) lines.insert(line.substr(0, line.find('\r')));
    for (const std::string& expected : c.outcome) {
        const std::string line = Expand(Expand(expected, "TARGET", windows), "CASE", folder.Path());
        EXPECT_EQ(lines.count(line), 1u) << line << " not in\n" << ReadBytes(folder / "outcome.txt");
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, Pages, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<PageCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (ch == '-') ch = '_';
                             return name;
                         });

}  // namespace
