#include "system/wqUtils.h"

#include "config/wqArithm.h"
#include "config/wqErrors.h"
#include "config/wqPath.h"

// ---- Windows version ----

static const char* const kKindNames[] = {"32s", "95", "98", "NT", "2000"};

// Without leading and trailing blanks and control characters (an empty
// service pack leaves a space at the end of the full name).
static TStr TrimBlanks(const TStr& text) {
    size_t first = 0, end = text.length();
    while (first < end && (unsigned char)text[first] <= ' ') ++first;
    while (end > first && (unsigned char)text[end - 1] <= ' ') --end;
    return text.substr(first, end - first);
}

static TOSKind KindFor(DWORD platformId, DWORD major, DWORD minor) {
    if (platformId == VER_PLATFORM_WIN32s) return osWin32s;
    if (platformId == VER_PLATFORM_WIN32_WINDOWS)
        return major > 4 || (major == 4 && minor >= 10) ? osWin98 : osWin95;
    return major > 4 ? osWin2000 : osWinNT;
}

TOSVersion MakeOSVersion(DWORD platformId, DWORD major, DWORD minor, DWORD build,
                         const TStr& csd) {
    TOSVersion v;
    v.Kind = KindFor(platformId, major, minor);
    v.Major = (long)major;
    v.Minor = (long)minor;
    v.VersionText = Format(minor == 0 ? "%d.%d" : "%d.%.2d", (int)major, (int)minor);
    // Windows 95/98 put the version number into the high word of the build.
    v.Build = (long)(platformId == VER_PLATFORM_WIN32_WINDOWS ? build & 0xFFFF : build);
    v.ServicePack = csd;
    v.FullName = TrimBlanks(Format("Windows %s %s.%.4d %s", kKindNames[v.Kind],
                                   v.VersionText.c_str(), (int)v.Build, csd.c_str()));
    return v;
}

TOSVersion GetOSVersion() {
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    return MakeOSVersion(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                         info.dwBuildNumber, TStr(info.szCSDVersion));
}

// Filled by the program's start-up code, before main and before any second
// thread can exist, so no two threads ever write it.
static TOSVersion keptVersion = GetOSVersion();

const TOSVersion& OSVersion() { return keptVersion; }

void SetOSVersionForTest(const TOSVersion& version) { keptVersion = version; }

// ---- System folders ----

typedef UINT(WINAPI* TFolderQuery)(LPSTR buffer, UINT size);

// Both folder calls answer a too-small buffer with the size they need
// (terminating NUL included) and a large enough one with the length written.
static TStr AskFolder(TFolderQuery query) {
    UINT size = query(nullptr, 0);
    if (size == 0) return TStr();
    TStr folder;
    UINT length = query(folder.buffer(size), size);
    folder.resize(length < size ? length : 0);
    return folder;
}

TStr GetWindowsFolder() { return AskFolder(GetWindowsDirectoryA); }
TStr GetSystemFolder() { return AskFolder(GetSystemDirectoryA); }

static bool SameAsciiText(const TStr& a, const TStr& b) {
    if (a.length() != b.length()) return false;
    for (size_t i = 0; i < a.length(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = (char)(x - 32);
        if (y >= 'a' && y <= 'z') y = (char)(y - 32);
        if (x != y) return false;
    }
    return true;
}

TStr ChooseTempFolder(const TStr& tempPath, const TStr& currentFolder, const TOSVersion& os,
                      const TStr& windowsFolder) {
    if (!SameAsciiText(tempPath, currentFolder)) return tempPath;
    if (os.Kind == osWin95 || os.Kind == osWin98) return AddBackslash(windowsFolder) + "Temp\\";
    return TStr("C:\\Temp\\");
}

typedef DWORD(WINAPI* TPathQuery)(DWORD size, LPSTR buffer);

// Both path calls answer the length written, or the size they need when the
// path does not fit; a path that does not fit is taken as none.
static TStr AskPath(TPathQuery query) {
    TStr path;
    DWORD length = query(MAX_PATH, path.buffer(MAX_PATH));
    path.resize(length < MAX_PATH ? length : 0);
    return path;
}

TStr GetTempFolder() {
    return ChooseTempFolder(AddBackslash(AskPath(GetTempPathA)),
                            AddBackslash(AskPath(GetCurrentDirectoryA)), OSVersion(),
                            GetWindowsFolder());
}

// ---- Libraries ----

typedef BOOL(WINAPI* TSetDefaultDllDirectories)(DWORD flags);
typedef BOOL(WINAPI* TSetDllDirectory)(LPCSTR path);

void RestrictDllSearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return;
    // Windows 8, and Windows 7 with its update KB2533623, have the call;
    // older systems at least drop the current folder with SetDllDirectoryA.
    TSetDefaultDllDirectories setDefault =
        (TSetDefaultDllDirectories)(void*)GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (setDefault) setDefault(0x800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
    TSetDllDirectory setDirectory =
        (TSetDllDirectory)(void*)GetProcAddress(kernel, "SetDllDirectoryA");
    if (setDirectory) setDirectory("");
}

HMODULE LoadSystemLibrary(const char* name) {
    TStr system = GetSystemFolder();
    if (system.empty()) return nullptr;
    return LoadLibraryA((AddBackslash(system) + name).c_str());
}

// ---- Screen and windows ----

SIZE ScreenSize() {
    SIZE s;
    s.cx = GetSystemMetrics(SM_CXSCREEN);
    s.cy = GetSystemMetrics(SM_CYSCREEN);
    return s;
}

// Shifts [low, high) so that it ends at or before `limit`, then starts at or
// after 0.
static void KeepSpanInside(LONG& low, LONG& high, long limit) {
    if (high > limit) {
        low -= high - limit;
        high = limit;
    }
    if (low < 0) {
        high -= low;
        low = 0;
    }
}

void KeepRectOnScreen(RECT& r, long width, long height) {
    KeepSpanInside(r.left, r.right, width);
    KeepSpanInside(r.top, r.bottom, height);
}

void KeepRectOnScreen(RECT& r) {
    SIZE screen = ScreenSize();
    KeepRectOnScreen(r, screen.cx, screen.cy);
}

void CentreWindow(HWND window) {
    RECT r;
    if (!GetWindowRect(window, &r)) return;
    SIZE screen = ScreenSize();
    long w = RectWidth(r), h = RectHeight(r);
    r.left = (screen.cx - w) / 2;
    r.top = (screen.cy - h) / 2;
    r.right = r.left + w;
    r.bottom = r.top + h;
    KeepRectOnScreen(r, screen.cx, screen.cy);
    SetWindowPos(window, nullptr, r.left, r.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void RedrawNow(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

// ---- Colours ----

COLORREF ResolveColor(long color) {
    return color < 0 ? GetSysColor((int)(color & 255)) : (COLORREF)color;
}

bool ColorFromText(const TStr& text, long& color) {
    if (TextToInt(text, color)) return true;
    return RaiseError(Format("'%s' is not a valid integer value", text.c_str()));
}

// ---- Message boxes ----

static TStr messageBoxTitle;
static UINT messageBoxFlags = 0;
static HHOOK messageBoxHook = nullptr;

void SetMessageBoxTitle(const TStr& title) { messageBoxTitle = title; }
void SetMessageBoxFlags(UINT flags) { messageBoxFlags = flags; }

// Centres the box when it is first activated, then steps aside: later
// activations (after another window had the focus) leave it where it is.
static LRESULT CALLBACK CentreBoxHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code != HCBT_ACTIVATE) return 0;
    CentreWindow((HWND)wParam);
    LRESULT result = CallNextHookEx(messageBoxHook, code, wParam, lParam);
    UnhookWindowsHookEx(messageBoxHook);
    messageBoxHook = nullptr;
    return result;
}

int CentredMessageBox(HWND owner, const TStr& caption, const TStr& text, UINT type) {
    messageBoxHook = SetWindowsHookExA(WH_CBT, CentreBoxHook, nullptr, GetCurrentThreadId());
    int answer = MessageBoxA(owner, text.c_str(), caption.c_str(),
                             messageBoxFlags | MB_TASKMODAL | type);
    if (messageBoxHook) {
        UnhookWindowsHookEx(messageBoxHook);
        messageBoxHook = nullptr;
    }
    return answer;
}

static TStr TitleOr(const char* fallback) {
    return messageBoxTitle.empty() ? TStr(fallback) : messageBoxTitle;
}

void ErrorBox(const TStr& text) { CentredMessageBox(nullptr, TitleOr("Error"), text, MB_ICONHAND); }

void WarningBox(const TStr& text) {
    CentredMessageBox(nullptr, TitleOr("Warning"), text, MB_ICONEXCLAMATION);
}

int QuestionBox(const TStr& text) {
    return CentredMessageBox(nullptr, TitleOr("Question"), text, MB_YESNO | MB_ICONQUESTION);
}
