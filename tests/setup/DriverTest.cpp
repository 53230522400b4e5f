// The setup program end to end. Each row is a small package written here,
// packed by the Windows build of the packaging tool in front of the real
// installer, and run under GuiDriver as a user drives it. Afterwards the
// machine is checked: what the installation folder holds, the install log,
// the test's registry key, every message box of the run, that the
// temporary folder is gone and that nothing else in the test's folder
// changed. The installer starts in the installation folder, so a relative
// installation folder lands inside the checked one.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "config/RunState.h"
#include "setup/Presetup.h"
#include "support/InstallTestSupport.h"
#include "support/SystemTestSupport.h"
#include "support/WinTestSupport.h"

namespace {

typedef std::vector<std::string> Lines;

const char kTestKey[] = "Software\\TarvE2E";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\E2E App";
const char kDamaged[] = "Error|The setup file is damaged or incomplete. Please download it again.";
const char kOpenError[] = "Error|Archive open error!";

// ---- what a run leaves ----

// Files and folders below `folder`, sorted: "sub\" for a folder, "name=bytes"
// for a file (long ones as their size).
Lines Tree(const std::string& folder, const std::string& prefix = "") {
    Lines lines;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return lines;
    do {
        const std::string name = found.cFileName, path = folder + "\\" + name;
        if (name == "." || name == "..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            lines.push_back(prefix + name + "\\");
            for (const std::string& line : Tree(path, prefix + name + "\\")) lines.push_back(line);
        } else {
            const std::string bytes = ReadBytes(path);
            const std::string shown = bytes.size() <= 100 ? bytes : std::to_string(bytes.size()) + " bytes";
            lines.push_back(prefix + name + "=" + shown);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(lines.begin(), lines.end());
    return lines;
}

Lines Without(Lines lines, const std::string& name) {
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const std::string& l) { return l.compare(0, name.size(), name) == 0; }),
                lines.end());
    return lines;
}

// The values of the test's registry key, "name=data" (numbers as "#n").
Lines TestKeyValues() {
    Lines values;
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &key)) return values;
    char name[256], data[256];
    DWORD nameSize, dataSize, type;
    for (DWORD i = 0; nameSize = sizeof name, dataSize = sizeof data,
                      !RegEnumValueA(key, i, name, &nameSize, nullptr, &type, (BYTE*)data, &dataSize);
         ++i)
        values.push_back(std::string(name) + "=" +
                         (type == REG_DWORD ? "#" + std::to_string(*(DWORD*)data) : std::string(data)));
    RegCloseKey(key);
    std::sort(values.begin(), values.end());
    return values;
}

// The names in the install log's CopyFiles section.
Lines LoggedFiles(const std::string& log) {
    Lines files;
    std::istringstream in(ReadBytes(log));
    bool inSection = false;
    for (std::string line; std::getline(in, line);) {
        line = line.substr(0, line.find('\r'));
        if (!line.empty() && line[0] == '[') inSection = line == "[CopyFiles]";
        else if (inSection && line.find('=') != std::string::npos) files.push_back(line.substr(0, line.find('=')));
    }
    return files;
}

// Every message box of a GuiDriver transcript, "caption|text", in order.
Lines BoxesOf(const std::string& transcript) {
    Lines boxes;
    std::istringstream in(transcript);
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 12, "== window - ") == 0 && line.find("(class #32770") != std::string::npos)
            boxes.push_back(line.substr(13, line.find("\" (class") - 13) + "|");
        else if (!boxes.empty() && line.compare(0, 16, "  65535 Static \"") == 0)
            boxes.back() += line.substr(16, line.rfind("\" ") - 16);
    }
    return boxes;
}

// "DLG_x after N ms": the first window of the run other than the pre-setup
// window and the message window, as GuiDriver saw it.
std::string FirstPage(const std::string& transcript) {
    std::istringstream in(transcript);
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 14, "== window DLG_") || !line.compare(10, 12, "DLG_PRESETUP") ||
            !line.compare(10, 11, "DLG_MESSAGE"))
            continue;
        size_t ms = line.rfind(", ") + 2;
        return line.substr(10, line.find(' ', 10) - 10) + " after " + line.substr(ms, line.find(' ', ms) - ms) + " ms";
    }
    return "";
}

// '*' stands for any run of characters.
bool Like(const char* pattern, const char* text) {
    if (*pattern == '*') return Like(pattern + 1, text) || (*text && Like(pattern, text + 1));
    return *pattern == *text && (!*pattern || Like(pattern + 1, text + 1));
}

void ExpectLike(Lines patterns, Lines actual, const char* what) {
    std::sort(patterns.begin(), patterns.end());
    bool same = patterns.size() == actual.size();
    for (size_t i = 0; same && i < actual.size(); ++i) same = Like(patterns[i].c_str(), actual[i].c_str());
    std::string got;
    for (const std::string& line : actual) got += "\n  " + line;
    EXPECT_TRUE(same) << what << ":" << got;
}

std::string Expand(std::string text, const std::string& name, const std::string& value) {
    for (size_t at; (at = text.find("${" + name + "}")) != std::string::npos;) text.replace(at, name.size() + 3, value);
    return text;
}

// ---- running things ----

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

bool Pack(const std::string& package, const std::string& setup, const char* options) {
    return RunForTest(Quote(TARVPACK_EXE) + " build " + Quote(package) + " " + Quote(setup) + " --installer " +
                      Quote(TARV_SETUP_STUB) + options) == 0;
}

// This process's token with the Administrators group for deny only, as a
// user without administrator rights has it.
HANDLE TokenWithoutAdministrators() {
    HANDLE own = nullptr, restricted = nullptr;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &own) &&
        AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                 &admins)) {
        SID_AND_ATTRIBUTES deny = {admins, 0};
        CreateRestrictedToken(own, 0, 1, &deny, 0, nullptr, 0, nullptr, &restricted);
    }
    if (admins) FreeSid(admins);
    if (own) CloseHandle(own);
    return restricted;
}

// Starts a program in `folder` (with `token` when given) inside a job that
// ends it with the test; false when it did not start.
bool Start(std::string command, const std::string& folder, HANDLE token, HANDLE job, PROCESS_INFORMATION& process) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    BOOL started = token ? CreateProcessAsUserA(token, nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                                nullptr, folder.c_str(), &startup, &process)
                         : CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                          folder.c_str(), &startup, &process);
    if (!started) return false;
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    return true;
}

HANDLE KillOnCloseJob() {
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limit = {};
    limit.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limit, sizeof limit);
    return job;
}

// GuiDriver's exit code for the scenario against the setup program; -1
// when it did not start or hung. What the program starts (wineboot, when it
// asks for a restart) stays in the job, which the caller closes when done.
long Drive(const std::string& scenario, const std::string& transcript, const std::string& setup,
           const std::string& folder, HANDLE job, HANDLE token = nullptr) {
    WriteBytes(transcript + ".scenario", scenario);
    PROCESS_INFORMATION driver = {};
    DWORD code = (DWORD)-1;
    if (Start(Quote(HelperPath("GuiDriver.exe")) + " " + Quote(transcript + ".scenario") + " " + Quote(transcript) +
                  " " + Quote(setup),
              folder, token, job, driver)) {
        if (WaitForSingleObject(driver.hProcess, 300000) == WAIT_OBJECT_0) GetExitCodeProcess(driver.hProcess, &code);
        CloseHandle(driver.hProcess);
    }
    return (long)code;
}

bool WinebootRunning() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32First(snapshot, &entry); more && !found; more = Process32Next(snapshot, &entry))
        found = lstrcmpiA(entry.szExeFile, "wineboot.exe") == 0;
    CloseHandle(snapshot);
    return found;
}

// Waits (polling, at most 60 s) until the condition holds.
bool Eventually(const std::function<bool()>& holds) {
    for (int i = 0; i < 1200; ++i, Sleep(50))
        if (holds()) return true;
    return holds();
}

// The temporary folder of each run in one folder of the test, which must
// hold nothing once a run is over.
struct TempFolderOfTheRuns {
    explicit TempFolderOfTheRuns(const std::string& folder) {
        CreateDirectoryA(folder.c_str(), nullptr);
        for (int i = 0; i < 2; ++i) {
            char value[MAX_PATH];
            saved[i] = GetEnvironmentVariableA(kNames[i], value, MAX_PATH) ? value : "";
            SetEnvironmentVariableA(kNames[i], folder.c_str());
        }
    }
    ~TempFolderOfTheRuns() {
        for (int i = 0; i < 2; ++i) SetEnvironmentVariableA(kNames[i], saved[i].c_str());
    }
    const char* const kNames[2] = {"TMP", "TEMP"};  // GetTempPath takes the first set
    std::string saved[2];
};

// ---- damaged setup programs ----

// Where the archive starts: the last marker of the file (the installer's
// code holds one too).
size_t ArchiveStart(const std::string& exe) { return exe.rfind(std::string("Rar!\x1a\x07\x00", 7)); }
size_t DataOf(const std::string& exe, const char* bytes) { return exe.find(bytes, ArchiveStart(exe)); }
void Flip(std::string& exe, size_t at) { exe[at] = (char)(exe[at] ^ 0x55); }
// The record's sub-block type, so that it reads as another kind of block
// and the archive as one without the record (as other archivers make them).
void HideRecord(std::string& exe) { Flip(exe, ArchiveStart(exe) + 20 + 11); }

typedef void (*Damage)(std::string& exe);

// ---- the scenarios ----

enum Flags { kFileInUse = 1, kNoAdministrator = 2, kSmallTemp = 4 };

struct Row {
    const char* name;
    std::string ini, script;
    Lines files;  // more package files, "Presetup\sub\name=bytes"
    unsigned flags;
    const char* scenario;
    Lines boxes;      // "caption|text" of every box; ${TEMP}, ${TARGET}; '*' as in Like
    Lines installed;  // what the installation folder holds afterwards (Tree's lines, the log left out)
    Lines registry;   // the test key's values afterwards
    bool restart;     // kFileInUse: the restart was requested
    Damage damage;
    long presetupBytes;  // the setup files padded to this total (kSmallTemp)
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

const std::string kIni =
    "[Variables]\r\nProgramName=E2E App\r\n"
    "[Config]\r\nDefaultInstallPath=${TARGET}\r\nInsFiles=App\r\nLogFile=%InstallPath%\\install.log\r\n";
const std::string kLng =
    "[Strings]\r\n1=Cancel %ProgramName%?\r\n10=Only an administrator may install %ProgramName%.\r\n"
    "[Dialogs]\r\nCaption=%ProgramName% Setup\r\n"
    "[DLG_WELCOME]\r\n105=Welcome\r\n[DLG_WELCOME.DEU]\r\n105=Willkommen\r\n"
    "[DLG_FINISH.ENU]\r\n106=Installed (ENU)\r\n[Strings.ENU]\r\n110=Newer file\r\n111=Replace the newer %s?\r\n";
const std::string kScript = "[CopyFiles]\r\nMain=%InstallPath%\r\n[Main]\r\na.txt=,,0\r\n";
const std::string kBusy = "busy.txt=,,2\r\n";
const std::string kGoodReg = "[AddReg]\r\nGood=HKCU\\Software\\TarvE2E\r\n[Good]\r\nV=1,0\r\n";
const std::string kBadReg =
    "[AddReg]\r\nGood=HKCU\\Software\\TarvE2E\r\nBad=HKXX\\Software\\TarvE2E\r\n[Good]\r\nV=1,0\r\n[Bad]\r\nV=1,0\r\n";
const char kFinish[] = "wait DLG_FINISH\nclick 104\nexit 0\n";
const Lines kCancelBox = {"E2E App|Cancel E2E App?"};
const Lines kRegBox = {"E2E App|Error on changing registry data!"};
const Lines kA = {"a.txt=alpha"};
const Lines kAWaiting = {"Tar*.tmp=new", "a.txt=alpha", "busy.txt=old"};  // busy.txt replaced at the restart

const Row kRows[] = {
    // The outcomes of a run, and the pages that end it.
    {"pre_install_cancelled_on_the_first_page", kIni + "PreInstallDialogSequence=DLG_WELCOME,DLG_DIR\r\n", kScript, {},
     0, "wait DLG_WELCOME\nclick 103\nanswer Yes\nwait DLG_NOTFINISH\nclick 104\nexit 0\n", kCancelBox, {}},
    {"install_failed", kIni, kScript + kBadReg, {}, 0, "answer OK\nwait DLG_NOTFINISH\nclick 104\nexit 0\n", kRegBox,
     kA, {"V=1"}},
    {"install_failed_with_a_file_waiting_for_the_restart", kIni, kScript + kBusy + kBadReg, {}, kFileInUse,
     "answer OK\nexit 0\n", kRegBox, kAWaiting, {"V=1"}},
    {"succeeded_post_install_pages_completed", kIni + "PostInstallDialogSequence=DLG_WELCOME\r\n", kScript + kGoodReg,
     {}, 0, "wait DLG_WELCOME\nclick 102\nwait DLG_FINISH\nclick 104\nexit 0\n", {}, kA, {"V=1"}},
    {"succeeded_post_install_pages_cancelled", kIni + "PostInstallDialogSequence=DLG_WELCOME\r\n", kScript, {}, 0,
     "wait DLG_WELCOME\nclick 103\nanswer Yes\nwait DLG_NOTFINISH\nclick 104\nexit 0\n", kCancelBox, kA},
    {"reboot_now_restarts_without_a_final_page", kIni, kScript + kBusy, {}, kFileInUse,
     "wait DLG_REBOOT\nexpect-checked 106\nclick 102\nexit 0\n", {}, {"a.txt=alpha", "busy.txt=new"}, {}, true},
    {"reboot_page_cancelled", kIni, kScript + kBusy, {}, kFileInUse, "wait DLG_REBOOT\nclick 103\nanswer Yes\nexit 0\n",
     kCancelBox, kAWaiting},
    {"reboot_later_shows_the_finish_page", kIni, kScript + kBusy, {}, kFileInUse,
     "wait DLG_REBOOT\nselect 107\nclick 102\nwait DLG_FINISH\nclick 104\nexit 0\n", {}, kAWaiting},
    // Page sequences: case folded, empty words skipped, a leading blank
    // names no page; no pages at all.
    {"sequence_words_folded_and_empty_ones_skipped", kIni + "PreInstallDialogSequence=dlg_welcome,,Dlg_Dir\r\n",
     kScript, {}, 0, "wait DLG_WELCOME\nclick 102\nwait DLG_DIR\nclick 102\nwait DLG_FINISH\nclick 104\nexit 0\n", {},
     kA},
    {"sequence_word_with_a_leading_blank_passed_over", kIni + "PreInstallDialogSequence=DLG_WELCOME, DLG_DIR\r\n",
     kScript, {}, 0, "wait DLG_WELCOME\nclick 102\nwait DLG_FINISH\nclick 104\nexit 0\n", {}, kA},
    // Wine's user is an administrator: the check passes.
    {"no_pages_at_all_and_an_administrator", kIni + "CheckAdminRights=1\r\n", kScript, {}, 0, kFinish, {}, kA},
    {"administrator_check_refuses_before_any_page",
     kIni + "CheckAdminRights=1\r\nPreInstallDialogSequence=DLG_WELCOME\r\n", kScript, {}, kNoAdministrator,
     "answer OK\nexit 0\n", {"Warning|Only an administrator may install %ProgramName%."}, {}},
    {"administrator_check_off_for_yes", kIni + "CheckAdminRights=yes\r\n", kScript, {}, kNoAdministrator, kFinish, {},
     kA},
    // The language chosen on the page: the next page's texts, the install
    // script's language sections.
    {"language_chosen", kIni + "Languages=ENU,DEU\r\nPreInstallDialogSequence=DLG_LANGUAGE,DLG_WELCOME\r\n",
     kScript + "[CopyFiles.DEU]\r\nGerman=%InstallPath%\r\n[German]\r\nHandbuch.txt=,,0\r\n", {"Data\\Handbuch.txt=de"},
     0,
     "wait DLG_LANGUAGE\nselect 106 \"German (Germany)\"\nclick 102\nwait DLG_WELCOME\nexpect-text 105 Willkommen\n"
     "click 102\nwait DLG_FINISH\nclick 104\nexit 0\n",
     {}, {"Handbuch.txt=de", "a.txt=alpha"}},
    {"language_kept", kIni + "Languages=ENU,DEU\r\nPreInstallDialogSequence=DLG_LANGUAGE,DLG_WELCOME\r\n",
     kScript + "[CopyFiles.DEU]\r\nGerman=%InstallPath%\r\n[German]\r\nHandbuch.txt=,,0\r\n", {"Data\\Handbuch.txt=de"},
     0,
     "wait DLG_LANGUAGE\nexpect-selected 106 \"English (United States)\"\nclick 102\nwait DLG_WELCOME\n"
     "expect-text 105 Welcome\nclick 102\nwait DLG_FINISH\nexpect-text 106 \"Installed (ENU)\"\nclick 104\nexit 0\n",
     {}, kA},
    // The pre-setup stage: setup files flattened, the stage ended by a name
    // without a dot (late.txt comes after it); the script copies what was
    // unpacked.
    {"setup_files_flattened_up_to_a_name_without_a_dot", kIni,
     kScript + "%Presetup%\\*.*=Setup\\*.*,,64\r\n",
     {"Presetup\\Images\\Logo.bmp=logo", "Presetup\\Zstop=stop", "Presetup\\late.txt=late"}, 0, kFinish, {},
     {"Setup\\", "Setup\\App.ins=*", "Setup\\Logo.bmp=logo", "Setup\\Tarv.ini=*", "Setup\\Tarv.lng=*",
      "a.txt=alpha"}},
    // 64 KiB free: 64.5 KiB of setup files round to 64 and pass the check
    // (the disk then fills up), a byte more rounds to 65.
    {"free_space_half_a_kilobyte_rounds_to_even", kIni, kScript, {}, kSmallTemp, "answer OK\nexit 0\n",
     {"Error|Cannot install file ${TEMP}\\*"}, {}, {}, false, nullptr, 66048},
    {"free_space_a_byte_more_rounds_up", kIni, kScript, {}, kSmallTemp, "answer OK\nexit 0\n",
     {"Error|Insufficient free disk space!"}, {}, {}, false, nullptr, 66049},
    // Defaults without [Config]: the folder Test (here: in the folder the
    // setup runs in), English only, no pages, no script.
    {"no_config_section", "[Display]\r\nDialogTitleShadow=0\r\n", kScript, {}, 0,
     "wait DLG_FINISH\nexpect-text 106 \"Installed (ENU)\"\nclick 104\nexit 0\n", {}, {"Test\\"}},
    // The conversion error is shown once the temporary folder is gone.
    {"bad_title_font_colour",
     kIni + "PreInstallDialogSequence=DLG_WELCOME\r\n[Display]\r\nMainTitleFont=Arial,30,red,B\r\n", kScript, {}, 0,
     "expect-box Error \"'red' is not a valid integer value\"\nexpect-empty ${TEMP}\nanswer OK\nexit 0\n",
     {"Error|'red' is not a valid integer value"}, {}},
    // Damaged setup programs: the whole-file check, a cut marker, and with
    // the record gone the check of each entry.
    {"cut_in_the_marker", kIni, kScript, {}, 0, "answer OK\nanswer OK\nexit 0\n", {kOpenError, kOpenError}, {}, {},
     false, [](std::string& exe) { exe.resize(ArchiveStart(exe) + 3); }},
    {"cut_in_the_main_header", kIni, kScript, {}, 0, "answer OK\nanswer OK\nexit 0\n", {kOpenError, kOpenError}, {},
     {}, false, [](std::string& exe) { exe.resize(ArchiveStart(exe) + 12); }},
    {"cut_in_the_record", kIni, kScript, {}, 0, "answer OK\nexit 0\n", {kDamaged}, {}, {}, false,
     [](std::string& exe) { exe.resize(ArchiveStart(exe) + 30); }},
    {"cut_in_a_setup_file", kIni, kScript, {}, 0, "answer OK\nexit 0\n", {kDamaged}, {}, {}, false,
     [](std::string& exe) { exe.resize(DataOf(exe, "[Strings]") + 5); }},
    {"cut_in_the_payload", kIni, kScript, {}, 0, "answer OK\nexit 0\n", {kDamaged}, {}, {}, false,
     [](std::string& exe) { exe.resize(DataOf(exe, "alpha") + 2); }},
    {"one_byte_short", kIni, kScript, {}, 0, "answer OK\nexit 0\n", {kDamaged}, {}, {}, false,
     [](std::string& exe) { exe.pop_back(); }},
    {"flipped_in_the_main_header", kIni, kScript, {}, 0, "answer OK\nexit 0\n", {kDamaged}, {}, {}, false,
     [](std::string& exe) { Flip(exe, ArchiveStart(exe) + 7 + 8); }},
    {"flipped_in_the_record", kIni, kScript, {}, 0, "answer OK\nexit 0\n", {kDamaged}, {}, {}, false,
     [](std::string& exe) { Flip(exe, ArchiveStart(exe) + 20 + 23); }},
    {"flipped_in_a_file_header", kIni, kScript, {}, 0, "answer OK\nexit 0\n", {kDamaged}, {}, {}, false,
     [](std::string& exe) { Flip(exe, DataOf(exe, "Presetup\\Tarv.lng") + 9); }},
    {"flipped_in_the_payload", kIni, kScript, {}, 0, "answer OK\nexit 0\n", {kDamaged}, {}, {}, false,
     [](std::string& exe) { Flip(exe, DataOf(exe, "alpha")); }},
    {"no_record_and_a_setup_file_flipped", kIni, kScript, {}, 0, "answer OK\nexit 0\n",
     {"Error|Cannot install file ${TEMP}\\*\\Tarv.lng"}, {}, {}, false,
     [](std::string& exe) { HideRecord(exe), Flip(exe, DataOf(exe, "[Strings]") + 3); }},
    {"no_record_and_the_payload_flipped", kIni, kScript, {}, 0, "answer OK\nwait DLG_FINISH\nclick 104\nexit 0\n",
     {"Error|Cannot install file ${TARGET}\\a.txt"}, {}, {}, false,
     [](std::string& exe) { HideRecord(exe), Flip(exe, DataOf(exe, "alpha")); }},
};

class SetupRun : public testing::TestWithParam<Row> {
protected:
    void SetUp() override {
        for (const char* d : {"pkg\\Presetup", "pkg\\Data", "temp", "target", "run"}) CreatePath(root / d);
        RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
    }
    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey); }
    static void CreatePath(const std::string& path) {
        for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
            CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
        CreateDirectoryA(path.c_str(), nullptr);
    }
    std::string Expanded(const std::string& text) const {
        return Expand(Expand(text, "TARGET", target), "TEMP", tempDir);
    }
    Lines Expanded(const Lines& lines) const {
        Lines out;
        for (const std::string& line : lines) out.push_back(Expanded(line));
        return out;
    }
    void WritePackage(const Row& row) {
        Lines files = {"Presetup\\Tarv.ini=" + row.ini, "Presetup\\Tarv.lng=" + kLng, "Presetup\\App.ins=" + row.script,
                       "Data\\a.txt=alpha", "Data\\busy.txt=new"};
        files.insert(files.end(), row.files.begin(), row.files.end());
        long presetup = 0;
        for (const std::string& file : files) {
            const std::string path = root / ("pkg\\" + file.substr(0, file.find('=')));
            CreatePath(path.substr(0, path.rfind('\\')));
            const std::string bytes = Expanded(file.substr(file.find('=') + 1));
            ASSERT_TRUE(WriteBytes(path, bytes)) << path;
            if (file.compare(0, 9, "Presetup\\") == 0) presetup += (long)bytes.size();
        }
        if (row.presetupBytes)
            ASSERT_TRUE(WriteBytes(root / "pkg\\Presetup\\pad.bin", std::string(row.presetupBytes - presetup, 'p')));
    }
    // The test's folder but for the installation folder and the driver's files.
    Lines Rest() const { return Without(Without(Tree(root.Path()), "target\\"), "run\\"); }

    ScratchFolder root;
    std::string target = root / "target", tempDir = root / "temp", setup = root / "setup.exe";
};

TEST_P(SetupRun, ScenarioPassesAndTheMachineHoldsWhatItAskedFor) {
    const Row& row = GetParam();
    const char* small = getenv("TARV_SMALL_DRIVE");  // 64 KiB, tools/test-fixtures.sh
    if (row.flags & kSmallTemp) {
        if (!small) GTEST_SKIP() << "no small drive";
        tempDir = std::string("Z:") + small + "\\" + row.name;
        std::replace(tempDir.begin(), tempDir.end(), '/', '\\');
        CreateDirectoryA(tempDir.c_str(), nullptr);
    }
    WritePackage(row);
    ASSERT_TRUE(Pack(root / "pkg", setup, " --method 0"));
    if (row.damage) {
        std::string exe = ReadBytes(setup);
        row.damage(exe);
        ASSERT_TRUE(WriteBytes(setup, exe));
    }
    const Lines before = Rest();
    PROCESS_INFORMATION holder = {};
    HANDLE job = KillOnCloseJob();
    const std::string busy = target + "\\busy.txt", record = root / "run\\held.txt";
    if (row.flags & kFileInUse) {
        ASSERT_TRUE(WriteBytes(busy, "old"));
        ASSERT_TRUE(Start(Quote(HelperPath("HoldFile.exe")) + " " + Quote(busy) + " " + Quote(record), root.Path(),
                          nullptr, job, holder));
        ASSERT_TRUE(Eventually([&] { return ReadBytes(record) == "held\n"; }));
    }
    TempFolderOfTheRuns runs(tempDir);
    HANDLE token = row.flags & kNoAdministrator ? TokenWithoutAdministrators() : nullptr;
    const std::string transcript = root / "run\\transcript.txt";
    const long driven = Drive(row.scenario, transcript, setup, target, job, token);
    if (token) CloseHandle(token);
    const std::string log = ReadBytes(transcript);
    EXPECT_EQ(driven, 0) << log;
    if (!FirstPage(log).empty()) printf("[ figure ] %s: first page %s\n", row.name, FirstPage(log).c_str());
    ExpectLike(Expanded(row.boxes), BoxesOf(log), "message boxes");
    if (row.flags & kFileInUse) {
        // A restart: wineboot ends the session (the holder lets the file go)
        // and carries out the renames. Without one, no wineboot ran.
        if (row.restart) {
            EXPECT_EQ(WaitForSingleObject(holder.hProcess, 60000), WAIT_OBJECT_0);
            EXPECT_TRUE(Eventually([&] { return ReadBytes(busy) == "new" && !WinebootRunning(); }));
        } else {
            EXPECT_TRUE(Eventually([] { return !WinebootRunning(); }));
        }
        EXPECT_EQ(ReadBytes(record), row.restart ? "held\nquery\nend\n" : "held\n");
    }
    EXPECT_EQ(Tree(tempDir), Lines{}) << "the temporary folder is left";
    EXPECT_EQ(Rest(), before);
    const Lines installed = Without(Tree(target), "install.log=");
    ExpectLike(Expanded(row.installed), installed, "the installation folder");
    EXPECT_EQ(TestKeyValues(), row.registry);
    EXPECT_EQ(RegValueForTest(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "<absent>");
    // The log names the files on disk (but the new ones waiting for the
    // restart under their temporary names), no more and no less.
    if (GetFileAttributesA((target + "\\install.log").c_str()) != INVALID_FILE_ATTRIBUTES) {
        Lines logged = LoggedFiles(target + "\\install.log"), onDisk;
        for (const std::string& line : Without(installed, "Tar"))
            if (line.back() != '\\') onDisk.push_back(target + "\\" + line.substr(0, line.find('=')));
        std::sort(logged.begin(), logged.end());
        EXPECT_EQ(logged, onDisk);
    }
    if (holder.hProcess) {
        TerminateProcess(holder.hProcess, 0);
        WaitForSingleObject(holder.hProcess, 10000);
        CloseHandle(holder.hProcess);
        // The next start carries out what waits for it.
        if (!row.restart) {
            EXPECT_EQ(RunForTest("wineboot.exe -r"), 0);
            EXPECT_EQ(ReadBytes(busy), "new");
        }
    }
    CloseHandle(job);
    if (row.flags & kSmallTemp) RemoveTreeForTest(tempDir);
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, SetupRun, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// ---- the pre-setup window's bar ----

// The stage runs no message loop, so no other program can read the bar
// while it shows: a hook on the stage's thread records what is sent to it.
std::vector<int> barPositions;
LRESULT CALLBACK RecordBar(int code, WPARAM wParam, LPARAM lParam) {
    const CWPSTRUCT* sent = (const CWPSTRUCT*)lParam;
    if (code == HC_ACTION && sent->message == PBM_SETPOS) barPositions.push_back((int)sent->wParam);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// On a thread of its own, whose windows end with it: a window of this
// process would be asked to end the session when a run requests a restart.
DWORD WINAPI RunStageRecorded(void* folder) {
    HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, RecordBar, nullptr, GetCurrentThreadId());
    bool unpacked = RunPresetup(static_cast<const char*>(folder));
    UnhookWindowsHookEx(hook);
    return unpacked;
}

TEST(PresetupStage, TheBarClimbsTo100WithTheLastByte) {
    ScratchFolder root;
    for (const char* d : {"pkg", "pkg\\Presetup", "pkg\\Data", "out"}) CreateDirectoryA((root / d).c_str(), nullptr);
    std::string text;  // compressed, so that it comes out in pieces
    for (int i = 0; text.size() < 300000; ++i) text += std::to_string(i * 7919 % 100003) + (i % 13 ? " " : "\r\n");
    ASSERT_TRUE(WriteBytes(root / "pkg\\Presetup\\Tarv.ini", "[Config]\r\n") &&
                WriteBytes(root / "pkg\\Presetup\\Text.txt", text) && WriteBytes(root / "pkg\\Data\\a.txt", "a"));
    ASSERT_TRUE(Pack(root / "pkg", root / "setup.exe", ""));
    RunState().ExeName = (root / "setup.exe").c_str();
    RunState().Instance = GetModuleHandleA(nullptr);
    barPositions.clear();
    const std::string out = root / "out\\";
    HANDLE stage = CreateThread(nullptr, 0, RunStageRecorded, (void*)out.c_str(), 0, nullptr);
    WaitForSingleObject(stage, INFINITE);
    DWORD unpacked = 0;
    GetExitCodeThread(stage, &unpacked);
    CloseHandle(stage);
    RunState() = TRunState();
    EXPECT_EQ(unpacked, 1u);
    EXPECT_EQ(ReadBytes(out + "Text.txt"), text);
    ASSERT_FALSE(barPositions.empty());
    EXPECT_TRUE(std::is_sorted(barPositions.begin(), barPositions.end()));
    EXPECT_EQ(barPositions.back(), 100);
    EXPECT_TRUE(std::any_of(barPositions.begin(), barPositions.end(), [](int p) { return p > 0 && p < 100; }));
}

// ---- killed installations ----

// Milliseconds from the program's start to the window with that template
// (GuiDriver's transcript), or -1.
long ShownAfter(const std::string& transcript, const std::string& name) {
    size_t at = transcript.find("== window " + name + " ");
    if (at == std::string::npos) return -1;
    size_t ms = transcript.rfind(", ", transcript.find('\n', at)) + 2;
    return strtol(transcript.c_str() + ms, nullptr, 10);
}

// Killed at random moments of a long installation, the setup is run again
// and completes. After each kill every file the log names is on disk and
// whole (a file is written beside its place and renamed over it when
// complete), none carries the time of the kill, so the next run asks no
// question, and it leaves every file complete and logged.
TEST(SetupReliability, KilledAtRandomMomentsARerunCompletes) {
    const int kFiles = 300;
    ScratchFolder root;
    const std::string target = root / "target", temp = root / "temp", setup = root / "setup.exe";
    for (const char* d : {"pkg", "pkg\\Presetup", "pkg\\Data", "target"}) CreateDirectoryA((root / d).c_str(), nullptr);
    const std::string script = "[CopyFiles]\r\nMain=%InstallPath%\r\n[Main]\r\n*.*=,,0\r\n";
    ASSERT_TRUE(WriteBytes(root / "pkg\\Presetup\\Tarv.ini", Expand(kIni, "TARGET", target)) &&
                WriteBytes(root / "pkg\\Presetup\\Tarv.lng", kLng) &&
                WriteBytes(root / "pkg\\Presetup\\App.ins", script));
    const FILETIME stamp = FileTimeOfLocal({2020, 1, 2, 3, 4, 6});
    std::vector<std::string> names, contents;
    for (int i = 0; i < kFiles; ++i) {
        names.push_back("f" + std::to_string(1000 + i) + ".bin");
        std::string bytes;
        while (bytes.size() < 40000) bytes += names.back() + " " + std::to_string(bytes.size()) + "\n";
        contents.push_back(bytes);
        const std::string path = root / ("pkg\\Data\\" + names.back());
        ASSERT_TRUE(WriteBytes(path, contents.back()) && SetLastWriteTime(path, stamp));
    }
    ASSERT_TRUE(Pack(root / "pkg", setup, ""));
    TempFolderOfTheRuns runs(temp);
    HANDLE job = KillOnCloseJob();
    const std::string transcript = root / "transcript.txt";
    // A run to the end, drawn out like the user does: for each newer file
    // the question, answered Yes.
    auto runToTheEnd = [&](int newer) {
        std::string scenario;
        for (int i = 0; i < newer; ++i) scenario += "answer Yes\n";
        EXPECT_EQ(Drive(scenario + kFinish, transcript, setup, target, job), 0) << ReadBytes(transcript);
        EXPECT_EQ(Tree(temp), Lines{});
        Lines onDisk;
        for (int i = 0; i < kFiles; ++i) {
            EXPECT_EQ(ReadBytes(target + "\\" + names[i]), contents[i]) << names[i];
            onDisk.push_back(target + "\\" + names[i]);
        }
        EXPECT_EQ(LoggedFiles(target + "\\install.log"), onDisk);
    };
    runToTheEnd(0);
    const long copying = ShownAfter(ReadBytes(transcript), "DLG_PROGRESS"),
               finished = ShownAfter(ReadBytes(transcript), "DLG_FINISH");
    ASSERT_GT(copying, 0);
    ASSERT_GT(finished, copying);
    printf("[ figure ] %d files of 40 KB: the progress page %ld ms, the finish page %ld ms after the start\n", kFiles,
           copying, finished);
    // Once before the files are copied, then while they are; a fresh
    // installation and one over the complete one in turn.
    std::mt19937 random(20261207);
    for (int round = 0; round < 6; ++round) {
        const DWORD from = round ? copying : 0, to = round ? finished : copying;
        const DWORD moment = std::uniform_int_distribution<DWORD>(from, to)(random);
        const bool fresh = round % 2 == 0;
        SCOPED_TRACE(std::string(fresh ? "fresh, " : "over the installation, ") + "killed after " +
                     std::to_string(moment) + " ms");
        if (fresh) {
            RemoveTreeForTest(target);
            CreateDirectoryA(target.c_str(), nullptr);
        }
        PROCESS_INFORMATION killed = {};
        ASSERT_TRUE(Start(Quote(setup), target, nullptr, job, killed));
        Sleep(moment);
        TerminateProcess(killed.hProcess, 1);
        WaitForSingleObject(killed.hProcess, INFINITE);
        CloseHandle(killed.hProcess);
        // A killed run cannot remove its temporary folder.
        const Lines left = Tree(temp);
        auto topLevel = [](const std::string& line) { return line.find('\\') + 1 >= line.size(); };
        EXPECT_LE(std::count_if(left.begin(), left.end(), topLevel), 1);
        if (!left.empty()) RemoveTreeForTest(temp + "\\" + left[0].substr(0, left[0].find('\\')));
        int missingLogged = 0, present = 0, incomplete = 0, newer = 0;
        for (const std::string& file : LoggedFiles(target + "\\install.log"))
            missingLogged += GetFileAttributesA(file.c_str()) == INVALID_FILE_ATTRIBUTES;
        for (int i = 0; i < kFiles; ++i) {
            const std::string path = target + "\\" + names[i], bytes = ReadBytes(path);
            const FILETIME written = LastWriteTimeOf(path);
            present += bytes != "<missing>";
            incomplete += bytes != "<missing>" && bytes != contents[i];
            newer += bytes != "<missing>" && CompareFileTime(&written, &stamp) > 0;
        }
        printf("[ figure ] %s, killed after %lu ms: %d files there, %d incomplete, %d newer than the package's, "
               "%d logged ones missing\n",
               fresh ? "fresh" : "over the installation", moment, present, incomplete, newer, missingLogged);
        EXPECT_EQ(missingLogged + incomplete + newer, 0);
        runToTheEnd(newer);
    }
    CloseHandle(job);
}

}  // namespace
