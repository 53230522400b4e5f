#include "install/Uninstall.h"

#include <windows.h>

#include <objbase.h>

#include "config/wqIniFile.h"
#include "config/wqPath.h"
#include "config/wqRegIni.h"
#include "config/wqStrUtils.h"
#include "install/IniEdit.h"
#include "install/RebootMoves.h"
#include "system/wqFileUtils.h"
#include "system/wqUtils.h"
#include "text/Common.h"

// Not in the headers of the Windows version this is built for.
#ifndef FILE_ATTRIBUTE_REPARSE_POINT
#define FILE_ATTRIBUTE_REPARSE_POINT 0x400
#endif
static const DWORD kSearchDllLoadDir = 0x100, kSearchSystem32 = 0x800;

static const char kUninstallKey[] = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// Where a font's value stands: the Windows 95/98 key and the NT key.
static const char* const kFontKeys[] = {
    "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts",
    "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"};

// ---- The rules on their own ----

static const TCharSet kForbiddenInPaths("/*?\"<>|");

static bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

// The text without blanks and tabs at both ends, and without control
// characters at the end (what the INI layer trims from a value).
static TStr TrimValue(const TStr& text) {
    size_t first = 0, end = text.length();
    while (first < end && IsBlankChar(text[first])) ++first;
    while (end > first && (unsigned char)text[end - 1] <= ' ') --end;
    return text.substr(first, end - first);
}

// Every "\"-separated step of `steps` is a real name: not empty, not "." or
// "..".
static bool HasOnlyNamedSteps(const TStr& steps) {
    size_t start = 0;
    for (;;) {
        long end = steps.find('\\', start);
        size_t stop = end < 0 ? steps.length() : (size_t)end;
        TStr step = steps.substr(start, stop - start);
        if (step.empty() || step == "." || step == "..") return false;
        if (end < 0) return true;
        start = stop + 1;
    }
}

bool IsSafeFilePath(const TStr& path) {
    if (path.length() >= MAX_PATH) return false;
    for (size_t i = 0; i < path.length(); ++i) {
        unsigned char c = (unsigned char)path[i];
        if (c < ' ' || kForbiddenInPaths.Has(c) || (c == ':' && i != 1)) return false;
    }
    bool drive = path.length() > 3 && path[1] == ':' && path[2] == '\\' &&
                 ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    if (drive) return HasOnlyNamedSteps(path.substr(3));
    // \\server\share\rest: the share root itself is never an entry.
    if (path.length() < 3 || path[0] != '\\' || path[1] != '\\') return false;
    TStr unc = path.substr(2);
    long server = unc.find('\\');
    long share = server < 0 ? -1 : unc.find('\\', (size_t)server + 1);
    return share > 0 && HasOnlyNamedSteps(unc) && unc.substr(0, (size_t)server) != "." &&
           (size_t)share + 1 < unc.length();
}

bool IsSafeRegistryPath(const TStr& path, bool isKey) {
    HKEY root;
    TStr subKey, valueName;
    if (!RegSplitPath(isKey ? AddBackslash(path) : path, root, subKey, valueName)) return false;
    for (size_t i = 0; i < path.length(); ++i)
        if ((unsigned char)path[i] < ' ') return false;
    return !subKey.empty() && HasOnlyNamedSteps(subKey);
}

TStr LogPathOfCommand(const TStr& commandLine) {
    size_t at = 0, n = commandLine.length();
    while (at < n && IsBlankChar(commandLine[at])) ++at;
    bool quoted = at < n && commandLine[at] == '"';
    for (at += quoted; at < n && (quoted ? commandLine[at] != '"' : !IsBlankChar(commandLine[at]));)
        ++at;
    TStr argument = TrimValue(commandLine.substr(at + quoted));
    if (argument.empty()) return argument;
    if (argument[0] == '"') return TextBefore(argument.substr(1), '"');
    if (argument.last() == '"') {
        TStr inner = argument.substr(0, argument.length() - 1);
        long open = inner.rfind('"');
        if (open >= 0) return inner.substr((size_t)open + 1);
    }
    return argument;
}

// ---- Reading the log ----

static TStr FullPath(const TStr& path) {
    char buffer[MAX_PATH];
    DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, buffer, nullptr);
    return length && length < MAX_PATH ? TStr(buffer, length) : path;
}

bool ReadInstallLog(const TStr& fileName, TInstallLog& log) {
    log.FileName = FullPath(fileName);
    // The values are compared with what is on disk: they keep their quotes.
    ProfileStripQuotes(false);
    bool read = true;
    for (int s = 0; s < 8 && read; ++s) {
        log.Entries[s].Clear();
        read = ProfileReadSection(log.FileName, LogSectionNames[s], log.Entries[s]);
    }
    ProfileStripQuotes(true);
    return read;
}

int LogEntryCount(const TInstallLog& log) {
    int count = 0;
    for (const TStrList& entries : log.Entries) count += entries.Count();
    return count;
}

static bool CommandNamesLog(const TStr& command, const TStr& logFileName) {
    TStr named = LogPathOfCommand(command);
    return !named.empty() && SameText(FullPath(named), FullPath(logFileName));
}

TStr ProgramNamesOfLog(const TStr& logFileName) {
    TStrList keys;
    RegEnumSubKeys(kUninstallKey, keys);
    TStr names;
    for (int i = 0; i < keys.Count(); ++i) {
        TStr key = TStr(kUninstallKey) + "\\" + keys[i];
        if (!CommandNamesLog(RegReadString(key + "\\UninstallString", ""), logFileName)) continue;
        if (!names.empty()) names += ", ";
        names += RegReadString(key + "\\DisplayName", keys[i]);
    }
    return names;
}

// ---- Single undo operations ----

// The path up to its last "\" (registry key names may hold a ":", which
// FolderPart would take as a separator).
static TStr ParentOf(const TStr& path) {
    long at = path.rfind('\\');
    return at < 0 ? TStr() : path.substr(0, (size_t)at);
}

// Outcomes in the order of their codes; 0 stands for an entry not decided
// yet (or one kept back until the rest is done).
enum TUndoOutcome : char { uoPending, uoUndone, uoGone, uoAtRestart, uoNotEmpty, uoRefused, uoFailed };

static const char* const kReasons[] = {"kept", "", "", "", "not empty", "refused", "failed"};

// The path lies in `folder` or is that folder (letters in any case).
static bool IsWithin(const TStr& path, const TStr& folder) {
    size_t n = folder.length();
    return n > 0 && path.length() >= n && (path.length() == n || path[n] == '\\') &&
           SameText(path.substr(0, n), folder);
}

// Which file a path names, whatever its spelling (8.3 or long names, case);
// all zero when it names none.
struct TFileId {
    DWORD Volume, High, Low;
    bool operator==(const TFileId& o) const {
        return Volume == o.Volume && High == o.High && Low == o.Low && (Volume | High | Low);
    }
};

static TFileId FileIdOf(const TStr& path) {
    TFileId id = {0, 0, 0};
    // No access asked: a running program opens too. (Windows 95/98 know no
    // FILE_SHARE_DELETE.)
    HANDLE h = OpenFileHandle(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_ATTRIBUTE_NORMAL,
                              OPEN_EXISTING);
    BY_HANDLE_FILE_INFORMATION info;
    if (IsValidHandle(h) && GetFileInformationByHandle(h, &info))
        id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    CloseFileHandle(h);
    return id;
}

static bool IsLink(const TStr& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

static TUndoOutcome DeleteRegistryValue(const TStr& path) {
    HKEY root, key;
    TStr subKey, valueName;
    if (!IsSafeRegistryPath(path, false) || !RegSplitPath(path, root, subKey, valueName))
        return uoRefused;
    LONG rc = RegOpenKeyExA(root, subKey.c_str(), 0, KEY_SET_VALUE, &key);
    if (rc == ERROR_SUCCESS) {
        rc = RegDeleteValueA(key, valueName.c_str());
        RegCloseKey(key);
    }
    return rc == ERROR_SUCCESS ? uoUndone : rc == ERROR_FILE_NOT_FOUND ? uoGone : uoFailed;
}

// Deletes the key when it holds no value and no subkey.
static TUndoOutcome DeleteEmptyKey(const TStr& path) {
    HKEY root, key;
    TStr subKey, valueName;
    if (!IsSafeRegistryPath(path, true) || !RegSplitPath(AddBackslash(path), root, subKey, valueName))
        return uoRefused;
    LONG rc = RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) return rc == ERROR_FILE_NOT_FOUND ? uoGone : uoFailed;
    DWORD subKeys = 0, values = 0;
    rc = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return uoFailed;
    if (subKeys || values) return uoNotEmpty;
    rc = RegDeleteKeyA(root, subKey.c_str());
    return rc == ERROR_SUCCESS ? uoUndone : rc == ERROR_FILE_NOT_FOUND ? uoGone : uoFailed;
}

struct TIniLine {
    TStr Section, Key, Value;
};

static bool RemoveLoggedLine(void* context, TStr& text) {
    const TIniLine& line = *(const TIniLine*)context;
    return RemoveIniValueText(text, line.Section, line.Key, line.Value);
}

// A field of an AddIni entry's key, without blanks around it and without
// the double quotes that let a file name hold a comma.
static TStr IniField(const TStr& entryKey, int n) {
    return TrimValue(Unquote(TrimValue(GetField(n, entryKey, TCharSet(","))), '"'));
}

// The server's own folder and the system folder serve its dependencies;
// systems before the LOAD_LIBRARY_SEARCH flags take the older way to that.
static HMODULE LoadServer(const TStr& path) {
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, kSearchDllLoadDir | kSearchSystem32);
    if (!module && GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module;
}

static TUndoOutcome UnregisterServer(const TStr& path) {
    HMODULE module = LoadServer(path);
    if (!module) return uoFailed;
    typedef HRESULT(STDAPICALLTYPE * TUnregister)();
    TUnregister unregister = (TUnregister)(void*)GetProcAddress(module, "DllUnregisterServer");
    HRESULT result = S_OK;
    if (unregister) {
        // Servers made with the common frameworks call COM while they
        // unregister.
        HRESULT com = CoInitialize(nullptr);
        result = unregister();
        if (SUCCEEDED(com)) CoUninitialize();
    }
    FreeLibrary(module);
    return SUCCEEDED(result) ? uoUndone : uoFailed;
}

// ---- The run ----

namespace {

class TUndoRun {
public:
    TUndoRun(const TInstallLog& log, TUndoReport& report);
    // Undoes everything; false when the log could not be rewritten (raised).
    bool Run();

private:
    const TStr& Key(int s, int i) const { return keys_[s][i]; }
    TUndoOutcome Outcome(int s, int i) const { return (TUndoOutcome)outcomes_[s][i]; }
    void Set(int s, int i, TUndoOutcome outcome) { outcomes_[s].at(i) = outcome; }
    bool IsLeft(int s, int i) const { return Outcome(s, i) >= uoNotEmpty; }
    // A folder on the way to `path`, at or below a folder the installation
    // created, is a junction or symbolic link now: whatever lies behind it
    // is not the installation's.
    bool ThroughLink(const TStr& path);
    bool IsCreatedOrBelow(const TStr& folder) const;
    // The folder holds nothing but `allowed` and what waits for the restart.
    bool HoldsOnly(const TStr& folder, const TStr& allowed) const;

    TUndoOutcome UndoFile(const TStr& path);
    TUndoOutcome UndoFolder(const TStr& path);
    TUndoOutcome UndoIniValue(int i);
    void RemoveEmptiedIniFiles();
    TUndoOutcome UndoServer(const TStr& path);
    void RemoveFontValues(const TStr& fontPath);
    void UndoFonts();
    void UndoKey(int i);
    void UndoDir(int i) { Set(lsCreateDirs, i, UndoFolder(Key(lsCreateDirs, i))); }
    // Calls `undo` for every entry of the section still to decide (all
    // entries when `retry`, the ones left undone), deepest path first,
    // later entries first among equals.
    void InnermostFirst(TLogSection s, void (TUndoRun::*undo)(int), bool retry);

    // Left undone only because the registration or the log is still there.
    bool HeldForTheEnd(int s, int i) const;
    bool AnyLeftBesidesHeld() const;
    bool LogChainRemovable() const;
    void Finish();
    void Report();
    bool RewriteLog();

    const TInstallLog& log_;
    TUndoReport& report_;
    TStrList keys_[8];
    TStr outcomes_[8];      // one TUndoOutcome per entry
    TStrList scheduled_;    // paths that wait for the restart
    TStrList registrations_;  // created Uninstall keys that name this log
    TFileId kept_[3];       // this program, the shared uninstaller, the log
    TStr checkedFolder_;    // the last folder ThroughLink looked at
    bool checkedVerdict_ = false;
    bool logLeft_ = false;  // everything was undone, but the log cannot go
};

TUndoRun::TUndoRun(const TInstallLog& log, TUndoReport& report) : log_(log), report_(report) {
    for (int s = 0; s < 8; ++s) {
        for (int i = 0; i < log.Entries[s].Count(); ++i) keys_[s].Add(NamePart(log.Entries[s][i]));
        outcomes_[s].resize((size_t)keys_[s].Count());
    }
    char own[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, own, MAX_PATH);
    kept_[0] = FileIdOf(TStr(own, length < MAX_PATH ? length : 0));
    kept_[1] = FileIdOf(AddBackslash(GetWindowsFolder()) + "UnTarv.exe");
    kept_[2] = FileIdOf(log.FileName);
    for (int i = 0; i < keys_[lsCreateKeys].Count(); ++i) {
        const TStr& key = Key(lsCreateKeys, i);
        if (SameText(ParentOf(key), kUninstallKey) &&
            CommandNamesLog(RegReadString(key + "\\UninstallString", ""), log.FileName))
            registrations_.Add(key);
    }
}

bool TUndoRun::IsCreatedOrBelow(const TStr& folder) const {
    for (int i = 0; i < keys_[lsCreateDirs].Count(); ++i)
        if (IsWithin(folder, Key(lsCreateDirs, i))) return true;
    return false;
}

bool TUndoRun::ThroughLink(const TStr& path) {
    TStr folder = ParentOf(path);
    // Entries come folder by folder: the last answer mostly serves again.
    if (!SameText(folder, checkedFolder_)) {
        checkedVerdict_ = false;
        for (TStr step = folder; !checkedVerdict_ && IsCreatedOrBelow(step); step = ParentOf(step))
            checkedVerdict_ = IsLink(step);
        checkedFolder_ = folder;
    }
    return checkedVerdict_;
}

bool TUndoRun::HoldsOnly(const TStr& folder, const TStr& allowed) const {
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((AddBackslash(folder) + "*").c_str(), &found);
    bool only = true;
    for (bool more = find != INVALID_HANDLE_VALUE; more && only;
         more = FindNextFileA(find, &found) != FALSE) {
        TStr name = found.cFileName;
        only = name == "." || name == ".." || SameText(name, allowed) ||
               scheduled_.IndexOf(AddBackslash(folder) + name) >= 0;
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return only;
}

TUndoOutcome TUndoRun::UndoFile(const TStr& path) {
    if (!IsSafeFilePath(path) || ThroughLink(path)) return uoRefused;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return uoGone;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return uoRefused;
    // Never this program, nor the copy every installed program shares: it
    // leaves the log as if gone. The log itself goes last.
    TFileId id = FileIdOf(path);
    if (id == kept_[0] || id == kept_[1] || id == kept_[2]) return uoGone;
    if (ForceDeleteFile(path)) return uoUndone;
    if (!DeleteAtReboot(path)) return uoFailed;
    scheduled_.Add(path);
    report_.RestartNeeded = true;
    return uoAtRestart;
}

TUndoOutcome TUndoRun::UndoFolder(const TStr& path) {
    if (!IsSafeFilePath(path) || ThroughLink(path)) return uoRefused;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return uoGone;
    // A link in place of a created folder: the folder is not there any more.
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return uoRefused;
    if (RemoveDirectoryA(path.c_str())) return uoUndone;
    if (!HoldsOnly(path, TStr())) return uoNotEmpty;
    // Empty but for files deleted at the restart: it goes right after them.
    if (!DeleteAtReboot(path)) return uoFailed;
    scheduled_.Add(path);
    report_.RestartNeeded = true;
    return uoAtRestart;
}

TUndoOutcome TUndoRun::UndoIniValue(int i) {
    const TStr& key = Key(lsAddIni, i);
    TStr file = IniField(key, 1);
    TIniLine line = {IniField(key, 2), IniField(key, 3), ValuePart(log_.Entries[lsAddIni][i])};
    if (!IsSafeFilePath(file) || ThroughLink(file) || line.Section.empty() || line.Key.empty())
        return uoRefused;
    switch (EditFileText(file, false, RemoveLoggedLine, &line)) {
    case feWritten: return uoUndone;
    case feFailed: return uoFailed;
    default: return uoGone;  // no such file or line, or the user's value now
    }
}

// An INI file that the installation's values alone filled (it lies in a
// folder the installation created, and nothing but empty sections is left
// of it now) goes too; any other file keeps what is left of it.
void TUndoRun::RemoveEmptiedIniFiles() {
    for (int i = 0; i < keys_[lsAddIni].Count(); ++i) {
        TStr file = IniField(Key(lsAddIni, i), 1);
        if (Outcome(lsAddIni, i) != uoUndone || !IsCreatedOrBelow(ParentOf(file))) continue;
        // Read whole, or not judged: an unreadable file reads as empty.
        TStr text = ReadTextFile(file);
        if ((long)text.length() == FileSizeOf(file) && IniTextHoldsNoKeys(text)) ForceDeleteFile(file);
    }
}

TUndoOutcome TUndoRun::UndoServer(const TStr& path) {
    if (!IsSafeFilePath(path) || ThroughLink(path)) return uoRefused;
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return uoGone;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return uoRefused;
    return UnregisterServer(path);
}

// The AddReg entries under a Fonts key whose data names this font.
void TUndoRun::RemoveFontValues(const TStr& fontPath) {
    for (int j = keys_[lsAddReg].Count() - 1; j >= 0; --j) {
        const TStr& value = Key(lsAddReg, j);
        TStr key = ParentOf(value);
        if (Outcome(lsAddReg, j) != uoPending ||
            !(SameText(key, kFontKeys[0]) || SameText(key, kFontKeys[1])))
            continue;
        TStr data = RegReadString(value, "");
        if (SameText(data, fontPath) || SameText(data, FileNamePart(fontPath)))
            Set(lsAddReg, j, DeleteRegistryValue(value));
    }
}

void TUndoRun::UndoFonts() {
    bool changed = false;
    for (int i = keys_[lsRegFonts].Count() - 1; i >= 0; --i) {
        const TStr& path = Key(lsRegFonts, i);
        if (!IsSafeFilePath(path) || ThroughLink(path)) {
            Set(lsRegFonts, i, uoRefused);
            continue;
        }
        // Not loaded any more (after a restart, or never on this system):
        // nothing to remove from the font table, which is no failure.
        RemoveFontResourceA(path.c_str());
        RemoveFontValues(path);
        Set(lsRegFonts, i, uoUndone);
        changed = true;
    }
    // A window that does not answer must not hold the uninstaller up.
    if (changed)
        SendMessageTimeoutA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
}

void TUndoRun::UndoKey(int i) {
    const TStr& path = Key(lsCreateKeys, i);
    // The program stays registered, so that it can be uninstalled again,
    // until everything else is gone (Finish).
    if (registrations_.IndexOf(path) >= 0) return;
    // Registered again since, by an installation with another log: that log
    // owns it now.
    bool another = SameText(ParentOf(path), kUninstallKey) && RegValueExists(path + "\\UninstallString");
    Set(lsCreateKeys, i, another ? uoGone : DeleteEmptyKey(path));
}

void TUndoRun::InnermostFirst(TLogSection s, void (TUndoRun::*undo)(int), bool retry) {
    const int count = keys_[s].Count();
    int deepest = 0;
    for (int i = 0; i < count; ++i) {
        int depth = CountWords(Key(s, i), TCharSet("\\"));
        if (depth > deepest) deepest = depth;
    }
    for (int depth = deepest; depth >= 0; --depth)
        for (int i = count - 1; i >= 0; --i)
            if ((retry ? IsLeft(s, i) : Outcome(s, i) == uoPending) &&
                CountWords(Key(s, i), TCharSet("\\")) == depth)
                (this->*undo)(i);
}

bool TUndoRun::HeldForTheEnd(int s, int i) const {
    if (s == lsCreateDirs) return Outcome(s, i) == uoNotEmpty && IsWithin(log_.FileName, Key(s, i));
    if (Outcome(s, i) == uoPending) return true;  // the registration and its values
    if (s != lsCreateKeys || Outcome(s, i) != uoNotEmpty) return false;
    for (int j = 0; j < keys_[s].Count(); ++j)
        if (Outcome(s, j) == uoPending && IsWithin(Key(s, j), Key(s, i))) return true;
    return false;
}

// The created folders that hold the log hold nothing else: each only the
// next one towards the log (a created folder too) or the log itself.
bool TUndoRun::LogChainRemovable() const {
    for (int i = 0; i < keys_[lsCreateDirs].Count(); ++i) {
        const TStr& folder = Key(lsCreateDirs, i);
        if (!HeldForTheEnd(lsCreateDirs, i)) continue;
        TStr step = TextBefore(log_.FileName.substr(folder.length() + 1), '\\');
        TStr next = folder + "\\" + step;
        bool nextHeld = SameText(next, log_.FileName);
        for (int j = 0; j < keys_[lsCreateDirs].Count() && !nextHeld; ++j)
            nextHeld = SameText(Key(lsCreateDirs, j), next) && HeldForTheEnd(lsCreateDirs, j);
        if (!nextHeld || !HoldsOnly(folder, step)) return false;
    }
    return true;
}

bool TUndoRun::AnyLeftBesidesHeld() const {
    for (int s = 0; s < 8; ++s)
        for (int i = 0; i < keys_[s].Count(); ++i)
            if (IsLeft(s, i) && !HeldForTheEnd(s, i)) return true;
    return false;
}

// When everything else is undone: the registration with its values, the
// keys that held it, then the log and the folders that held it.
void TUndoRun::Finish() {
    if (AnyLeftBesidesHeld()) return;
    for (int i = 0; i < keys_[lsAddReg].Count(); ++i)
        if (Outcome(lsAddReg, i) == uoPending) Set(lsAddReg, i, DeleteRegistryValue(Key(lsAddReg, i)));
    for (int i = 0; i < keys_[lsCreateKeys].Count(); ++i) {
        if (Outcome(lsCreateKeys, i) != uoPending) continue;
        const TStr& key = Key(lsCreateKeys, i);
        DeleteRegistryValue(key + "\\DisplayName");
        DeleteRegistryValue(key + "\\UninstallString");
        Set(lsCreateKeys, i, DeleteEmptyKey(key));
    }
    InnermostFirst(lsCreateKeys, &TUndoRun::UndoKey, true);
    if (AnyLeftBesidesHeld()) return;
    if (!LogChainRemovable() || !ProfileDropDocument(log_.FileName)) return;
    logLeft_ = !ForceDeleteFile(log_.FileName);
    if (logLeft_) return;
    report_.LogRemoved = true;
    InnermostFirst(lsCreateDirs, &TUndoRun::UndoDir, true);
}

// Lists what is left: the entries that failed on their own when there are
// any, else those that stayed only with the log.
void TUndoRun::Report() {
    static const TLogSection kUndoOrder[] = {lsShortcuts,  lsRegFonts,  lsAddReg,
                                             lsAddIni,     lsRegServers, lsCopyFiles,
                                             lsCreateKeys, lsCreateDirs};
    for (int pass = 0; pass < 2 && report_.Remaining.Count() == 0; ++pass)
        for (TLogSection s : kUndoOrder)
            for (int i = keys_[s].Count() - 1; i >= 0; --i)
                if (IsLeft(s, i) && (pass == 1 || !HeldForTheEnd(s, i)))
                    report_.Remaining.Add(Key(s, i) + " (" + kReasons[Outcome(s, i)] + ")");
    if (logLeft_) report_.Remaining.Add(log_.FileName + " (failed)");
}

// Keeps in the log exactly the entries that are left (or held back).
bool TUndoRun::RewriteLog() {
    ProfileStripQuotes(false);
    TwqIniFile* doc = ProfileDocument(log_.FileName, false);
    ProfileStripQuotes(true);
    if (!doc) return false;
    for (int s = 0; s < 8; ++s)
        for (int i = 0; i < keys_[s].Count(); ++i)
            if (Outcome(s, i) != uoPending && !IsLeft(s, i)) doc->DeleteKey(LogSectionNames[s], Key(s, i));
    return ProfileDropDocument(log_.FileName);
}

bool TUndoRun::Run() {
    for (int i = keys_[lsShortcuts].Count() - 1; i >= 0; --i)
        Set(lsShortcuts, i, UndoFile(Key(lsShortcuts, i) + ".lnk"));
    UndoFonts();
    for (int i = keys_[lsAddReg].Count() - 1; i >= 0; --i)
        if (Outcome(lsAddReg, i) == uoPending && registrations_.IndexOf(ParentOf(Key(lsAddReg, i))) < 0)
            Set(lsAddReg, i, DeleteRegistryValue(Key(lsAddReg, i)));
    for (int i = keys_[lsAddIni].Count() - 1; i >= 0; --i) Set(lsAddIni, i, UndoIniValue(i));
    RemoveEmptiedIniFiles();
    for (int i = keys_[lsRegServers].Count() - 1; i >= 0; --i)
        Set(lsRegServers, i, UndoServer(Key(lsRegServers, i)));
    for (int i = keys_[lsCopyFiles].Count() - 1; i >= 0; --i)
        Set(lsCopyFiles, i, UndoFile(Key(lsCopyFiles, i)));
    InnermostFirst(lsCreateKeys, &TUndoRun::UndoKey, false);
    InnermostFirst(lsCreateDirs, &TUndoRun::UndoDir, false);
    Finish();
    Report();
    return report_.LogRemoved || RewriteLog();
}

}  // namespace

bool UndoInstallLog(const TInstallLog& log, TUndoReport& report) {
    report = TUndoReport();
    return TUndoRun(log, report).Run();
}
