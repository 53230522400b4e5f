#include "SystemTestSupport.h"

FILETIME FileTimeOfLocal(const LocalStamp& t) {
    SYSTEMTIME st = {(WORD)t.year, (WORD)t.month, 0, (WORD)t.day, (WORD)t.hour, (WORD)t.minute, (WORD)t.second, 0};
    FILETIME local = {}, utc = {};
    SystemTimeToFileTime(&st, &local);
    LocalFileTimeToFileTime(&local, &utc);
    return utc;
}

DWORD DosStampOf(const LocalStamp& t) {
    DWORD date = ((DWORD)(t.year - 1980) << 9) | ((DWORD)t.month << 5) | (DWORD)t.day;
    return (date << 16) | ((DWORD)t.hour << 11) | ((DWORD)t.minute << 5) | (DWORD)(t.second / 2);
}

// FILE_FLAG_BACKUP_SEMANTICS lets folders be opened too.
static HANDLE OpenForTimes(const std::string& path, DWORD access) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool SetLastWriteTime(const std::string& path, const FILETIME& time) {
    HANDLE h = OpenForTimes(path, FILE_WRITE_ATTRIBUTES);
    BOOL ok = h != INVALID_HANDLE_VALUE && SetFileTime(h, nullptr, nullptr, &time);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return ok != FALSE;
}

FILETIME LastWriteTimeOf(const std::string& path) {
    FILETIME t = {};
    HANDLE h = OpenForTimes(path, GENERIC_READ);
    if (h == INVALID_HANDLE_VALUE) return t;
    GetFileTime(h, nullptr, nullptr, &t);
    CloseHandle(h);
    return t;
}
