#include "system/wqUtils2.h"

#include "config/wqArithm.h"
#include "config/wqStrUtils.h"
#include "system/wqFileUtils.h"
#include "system/wqUtils.h"

// ---- Restart ----

// Without the privilege enabled, ExitWindowsEx refuses a reboot on the NT
// family even for an administrator.
static bool EnableShutdownPrivilege() {
    HANDLE token;
    TOKEN_PRIVILEGES privileges;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return true;
    bool found = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    bool enabled = true;
    if (found) {
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        enabled = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) != FALSE;
    }
    CloseHandle(token);
    return enabled;
}

bool RestartWindows(UINT flags) {
    TOSKind kind = OSVersion().Kind;
    bool nt = kind == osWinNT || kind == osWin2000;
    if (nt && (flags & (EWX_SHUTDOWN | EWX_REBOOT | EWX_POWEROFF)) && !EnableShutdownPrivilege())
        return false;
    return ExitWindowsEx(flags, 0) != FALSE;
}

bool RestartComputer(int mode) { return RestartWindows(EWX_REBOOT | (mode == 1 ? EWX_FORCE : 0)); }

// ---- COM servers ----

bool RegisterServer(const TStr& path) {
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) return false;
    typedef HRESULT(WINAPI * TDllRegisterServer)();
    TDllRegisterServer registerServer =
        (TDllRegisterServer)(void*)GetProcAddress(library, "DllRegisterServer");
    bool registered = registerServer && SUCCEEDED(registerServer());
    FreeLibrary(library);
    return registered;
}

// ---- Versions ----

namespace {

typedef DWORD(WINAPI* TGetFileVersionInfoSize)(LPCSTR, LPDWORD);
typedef BOOL(WINAPI* TGetFileVersionInfo)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* TVerQueryValue)(LPCVOID, LPCSTR, LPVOID*, PUINT);

struct TVersionApi {
    TGetFileVersionInfoSize InfoSize;
    TGetFileVersionInfo Info;
    TVerQueryValue Query;
};

// Looked up once and kept for the life of the process. Only one thread asks
// at a time (the install worker during the file pass, the main thread after).
const TVersionApi* VersionApi() {
    static TVersionApi api;
    static bool tried = false;
    if (!tried) {
        tried = true;
        HMODULE version = LoadSystemLibrary("version.dll");
        if (version) {
            api.InfoSize = (TGetFileVersionInfoSize)(void*)GetProcAddress(version, "GetFileVersionInfoSizeA");
            api.Info = (TGetFileVersionInfo)(void*)GetProcAddress(version, "GetFileVersionInfoA");
            api.Query = (TVerQueryValue)(void*)GetProcAddress(version, "VerQueryValueA");
        }
    }
    return api.InfoSize && api.Info && api.Query ? &api : nullptr;
}

// Newer by version: MS first, then LS, each signed.
bool VersionAbove(DWORD ms, DWORD ls, DWORD otherMs, DWORD otherLs) {
    return (long)ms > (long)otherMs || (ms == otherMs && (long)ls > (long)otherLs);
}

}  // namespace

bool GetFileVersion(const TStr& path, DWORD& ms, DWORD& ls) {
    const TVersionApi* api = VersionApi();
    if (!api) return false;
    DWORD handle = 0;
    DWORD size = api->InfoSize(path.c_str(), &handle);
    if (size == 0) return false;
    TStr data;
    char* buffer = data.buffer(size + 1);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!api->Info(path.c_str(), 0, size, buffer) ||
        !api->Query(buffer, "\\", (LPVOID*)&info, &length) || !info || length < sizeof *info)
        return false;
    ms = info->dwFileVersionMS;
    ls = info->dwFileVersionLS;
    return true;
}

void VersionFromText(const TStr& text, DWORD& ms, DWORD& ls) {
    const TCharSet dots(".");
    DWORD w[4];
    for (int i = 0; i < 4; ++i) w[i] = (DWORD)TextToIntDef(GetWord(i + 1, text, dots), 0);
    ms = w[0] * 65536u + w[1];
    ls = w[2] * 65536u + w[3];
}

DWORD FileDosTime(const TStr& path) {
    // A search rather than GetFileAttributesExA, which Windows 95 lacks.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    FILETIME local;
    WORD date = 0, time = 0;
    if (!FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time))
        return 0;
    return (DWORD)date << 16 | time;
}

bool IsFileNewer(const TStr& a, const TStr& b) {
    if (!FileExists(b)) return false;
    DWORD msA, lsA, msB, lsB;
    if (GetFileVersion(a, msA, lsA) && GetFileVersion(b, msB, lsB))
        return VersionAbove(msB, lsB, msA, lsA);
    return FileDosTime(a) < FileDosTime(b);
}

bool IsInstalledFileNewer(const TStr& versionText, const TStr& existing, DWORD sourceDosTime) {
    if (!FileExists(existing)) return false;
    DWORD ms, ls, existingMs, existingLs;
    if (!versionText.empty() && GetFileVersion(existing, existingMs, existingLs)) {
        VersionFromText(versionText, ms, ls);
        return VersionAbove(existingMs, existingLs, ms, ls);
    }
    return FileDosTime(existing) > sourceDosTime;
}
