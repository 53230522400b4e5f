// HostFiles: file times, attributes and volume reads on Linux and Windows.
#include "HostFiles.h"

#include <time.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <utime.h>
#endif

namespace tarvpack {

namespace {

uint32_t PackDosTime(int year, int month, int day, int hour, int minute, int second) {
    if (year < 1980) return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00:00
    if (year > 2107) year = 2107;
    uint32_t date = (uint32_t)(year - 1980) << 9 | (uint32_t)month << 5 | (uint32_t)day;
    uint32_t time = (uint32_t)hour << 11 | (uint32_t)minute << 5 | (uint32_t)(second / 2);
    return date << 16 | time;
}

}  // namespace

#ifdef _WIN32

bool DosTimeOf(const fs::path& path, uint32_t* dosTime) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    FILETIME local;
    SYSTEMTIME t;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) || !FileTimeToSystemTime(&local, &t))
        return false;
    *dosTime = PackDosTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return true;
}

bool SetDosTime(const fs::path& path, uint32_t dosTime) {
    FILETIME local, utc;
    if (!DosDateTimeToFileTime((WORD)(dosTime >> 16), (WORD)dosTime, &local) ||
        !LocalFileTimeToFileTime(&local, &utc))
        return false;
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = SetFileTime(h, nullptr, nullptr, &utc) != FALSE;
    CloseHandle(h);
    return ok;
}

uint32_t AttributesOf(const fs::path& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return FILE_ATTRIBUTE_ARCHIVE;
    return a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_DIRECTORY);
}

void ApplyAttributes(const fs::path& path, uint32_t attributes) {
    DWORD a = attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                            FILE_ATTRIBUTE_ARCHIVE);
    SetFileAttributesW(path.c_str(), a ? a : FILE_ATTRIBUTE_NORMAL);
}

bool NarrowName(const fs::path& path, std::string* out) {
    const std::wstring& w = path.native();
    if (w.empty()) {
        out->clear();
        return true;
    }
    BOOL lost = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), (int)w.size(), nullptr, 0,
                                nullptr, &lost);
    if (n <= 0 || lost) return false;
    out->resize((size_t)n);
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, w.data(), (int)w.size(), &(*out)[0], n,
                        nullptr, &lost);
    return !lost;
}

fs::path ToolFolder() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
    return fs::path(std::wstring(buf, n)).parent_path();
}

#else

bool DosTimeOf(const fs::path& path, uint32_t* dosTime) {
    struct stat st;
    struct tm t;
    if (stat(path.c_str(), &st) != 0 || !localtime_r(&st.st_mtime, &t)) return false;
    *dosTime = PackDosTime(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return true;
}

bool SetDosTime(const fs::path& path, uint32_t dosTime) {
    struct tm t = {};
    t.tm_year = (int)(dosTime >> 25) + 80;
    t.tm_mon = (int)((dosTime >> 21) & 15) - 1;
    t.tm_mday = (int)((dosTime >> 16) & 31);
    t.tm_hour = (int)((dosTime >> 11) & 31);
    t.tm_min = (int)((dosTime >> 5) & 63);
    t.tm_sec = (int)(dosTime & 31) * 2;
    t.tm_isdst = -1;  // the archive's time is local time, whatever the season
    time_t when = mktime(&t);
    if (when == (time_t)-1) return false;
    struct utimbuf times = {when, when};
    return utime(path.c_str(), &times) == 0;
}

uint32_t AttributesOf(const fs::path& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return 0x20;
    if (S_ISDIR(st.st_mode)) return 0x10;
    return 0x20 | ((st.st_mode & S_IWUSR) ? 0 : 0x01);
}

void ApplyAttributes(const fs::path& path, uint32_t attributes) {
    if (attributes & 0x01)
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
}

bool NarrowName(const fs::path& path, std::string* out) {
    *out = path.native();
    return true;
}

fs::path ToolFolder() {
    std::error_code ignored;
    return fs::read_symlink("/proc/self/exe", ignored).parent_path();
}

#endif

bool VolumeFiles::Open(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    file_ = std::move(f);
    return true;
}

size_t VolumeFiles::ReadAt(void* ctx, uint64_t offset, uint8_t* buf, size_t size) {
    std::ifstream& f = static_cast<VolumeFiles*>(ctx)->file_;
    f.clear();
    if (!f.seekg((std::streamoff)offset)) return 0;
    f.read(reinterpret_cast<char*>(buf), (std::streamsize)size);
    return (size_t)f.gcount();
}

bool VolumeFiles::OpenNext(void* ctx, const char* path) {
    return static_cast<VolumeFiles*>(ctx)->Open(path);
}

}  // namespace tarvpack
