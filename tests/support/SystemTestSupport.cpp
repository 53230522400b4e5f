#include "SystemTestSupport.h"

FILETIME FileTimeOfLocal(const LocalStamp& t) {
    SYSTEMTIME st = {};
    st.wYear = (WORD)t.year;
    st.wMonth = (WORD)t.month;
    st.wDay = (WORD)t.day;
    st.wHour = (WORD)t.hour;
    st.wMinute = (WORD)t.minute;
    st.wSecond = (WORD)t.second;
    FILETIME local = {}, utc = {};
    SystemTimeToFileTime(&st, &local);
    LocalFileTimeToFileTime(&local, &utc);
    return utc;
}

DWORD DosStampOf(const LocalStamp& t) {
    DWORD date = ((DWORD)(t.year - 1980) << 9) | ((DWORD)t.month << 5) | (DWORD)t.day;
    DWORD time = ((DWORD)t.hour << 11) | ((DWORD)t.minute << 5) | (DWORD)(t.second / 2);
    return (date << 16) | time;
}

static HANDLE OpenForTimes(const std::string& path, DWORD access) {
    // FILE_FLAG_BACKUP_SEMANTICS lets folders be opened too.
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool SetLastWriteTime(const std::string& path, const FILETIME& time) {
    HANDLE h = OpenForTimes(path, FILE_WRITE_ATTRIBUTES);
    if (h == INVALID_HANDLE_VALUE) return false;
    BOOL ok = SetFileTime(h, nullptr, nullptr, &time);
    CloseHandle(h);
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
