#include "system/wqFileUtils.h"

#include "config/wqArithm.h"
#include "config/wqRegIni.h"
#include "system/wqFileFind.h"
#include "system/wqUtils.h"

// ---- Raw handles ----

HANDLE OpenFileHandle(const TStr& path, DWORD access, DWORD share, DWORD attributes,
                      DWORD disposition) {
    return CreateFileA(path.c_str(), access, share, nullptr, disposition, attributes, nullptr);
}

void CloseFileHandle(HANDLE& handle) {
    if (IsValidHandle(handle)) CloseHandle(handle);
    handle = 0;
}

DWORD FilePosition(HANDLE handle) { return SetFilePointer(handle, 0, nullptr, FILE_CURRENT); }

bool AtEndOfFile(HANDLE handle) { return FilePosition(handle) >= GetFileSize(handle, nullptr); }

static const char kCR = 13, kLF = 10;

static void AppendWithoutLineFeeds(TStr& line, const char* text, size_t count) {
    size_t start = 0;
    for (size_t i = 0; i <= count; ++i) {
        if (i == count || text[i] == kLF) {
            line.append(text + start, i - start);
            start = i + 1;
        }
    }
}

TStr ReadTextLine(HANDLE handle) {
    TStr line;
    char chunk[100];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle, chunk, sizeof chunk, &got, nullptr) || got == 0) return line;
        DWORD end = 0;
        while (end < got && chunk[end] != kCR) ++end;
        AppendWithoutLineFeeds(line, chunk, end);
        if (end < got) {
            // Give back what follows the carriage return to the next call.
            SetFilePointer(handle, -(LONG)(got - end - 1), nullptr, FILE_CURRENT);
            return line;
        }
    }
}

void WriteTextLine(HANDLE handle, const TStr& text) {
    TStr line = text + "\r\n";
    DWORD written = 0;
    WriteFile(handle, line.c_str(), (DWORD)line.length(), &written, nullptr);
}

// ---- Path text ----

TStr AddBackslash(const TStr& path) {
    if (path.empty() || path.last() == '\\') return path;
    return path + '\\';
}

static bool IsDriveRoot(const TStr& path) {
    if (path.length() != 3 || path[1] != ':' || path[2] != '\\') return false;
    char letter = path[0];
    return (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
}

TStr RemoveBackslash(const TStr& path) {
    if (path.length() <= 1 || path.last() != '\\' || IsDriveRoot(path)) return path;
    return path.substr(0, path.length() - 1);
}

// ---- Files and folders ----

bool IsDirectory(const TStr& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const TStr& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

long FileSizeOf(const TStr& path) {
    TStr full;
    DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full.buffer(MAX_PATH), nullptr);
    if (length == 0 || length >= MAX_PATH) return -1;
    full.resize(length);
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA(full.c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return -1;
    FindClose(find);
    return (long)fd.nFileSizeLow;
}

static bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

static int DayOfYear(const SYSTEMTIME& t) {
    static const int kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    int month = t.wMonth >= 1 && t.wMonth <= 12 ? t.wMonth : 1;
    return kDaysBefore[month - 1] + t.wDay + (month > 2 && IsLeapYear(t.wYear) ? 1 : 0);
}

TStr TimeNameFor(const SYSTEMTIME& t) {
    long decade = t.wYear % 10;
    long day = decade * 365 + decade / 4 + DayOfYear(t);
    long time = t.wHour * 360000L + t.wMinute * 6000L + t.wSecond * 100L + t.wMilliseconds / 10;
    return IntToBase(day, 3, 32) + IntToBase(time, 5, 32);
}

TStr UniqueTimeName(const TStr& folder) {
    TStr prefix = AddBackslash(folder);
    for (;;) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        TStr name = TimeNameFor(now);
        if (!FileExists(prefix + name)) return name;
    }
}

void CreatePath(const TStr& folderIn) {
    if (folderIn.empty()) return;
    TStr folder = folderIn.last() == '\\' ? folderIn.substr(0, folderIn.length() - 1) : folderIn;
    if (folder.length() <= 2 || IsDirectory(folder)) return;
    long cut = (long)folder.length() - 1;
    while (cut >= 0 && folder[cut] != '\\' && folder[cut] != ':') --cut;
    TStr parent = folder.substr(0, (size_t)(cut + 1));
    if (parent == folder) return;
    CreatePath(parent);
    CreateDirectoryA(folder.c_str(), nullptr);
}

bool ForceDeleteFile(const TStr& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != FALSE;
}

// The attribute word of an entry that is a volume label and nothing else
// (bit 3, which the Win32 headers leave unnamed); such an entry is no file.
static const DWORD kVolumeLabel = 8;

// Deletes one entry of a folder being emptied; true when it is gone.
static bool DeleteEntry(const TStr& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return DeleteTree(path, true);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
    return ForceDeleteFile(path);
}

static bool IsBareDrive(const TStr& folder) { return folder.length() == 2 && folder[1] == ':'; }

bool DeleteTree(const TStr& folder, bool removeFolder) {
    if (!IsDirectory(folder)) return false;
    bool result = true;
    TStr prefix = AddBackslash(folder);
    // A raw search rather than wqFileFind: every entry has to go, whatever
    // attributes it carries.
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((prefix + "*.*").c_str(), &fd);
    bool found = find != INVALID_HANDLE_VALUE;
    while (found) {
        if (!IsDotEntry(fd.cFileName) && fd.dwFileAttributes != kVolumeLabel)
            result = DeleteEntry(prefix + fd.cFileName, fd.dwFileAttributes) && result;
        found = FindNextFileA(find, &fd) != FALSE;
    }
    // Only a search that ran to its end proves the folder is empty now.
    bool searchedAll = GetLastError() == ERROR_NO_MORE_FILES;
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    if (searchedAll && removeFolder && result && !IsBareDrive(folder))
        result = RemoveDirectoryA(folder.c_str()) != FALSE;
    return result;
}

// ---- Free space ----

typedef BOOL(WINAPI* TGetDiskFreeSpaceEx)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER,
                                          PULARGE_INTEGER);

// GetDiskFreeSpaceExA, looked up at run time: the first Windows 95 releases
// (before build 1111) do not have it.
static unsigned long long FreeSpaceByExtendedCall(const TStr& folder) {
    HMODULE kernel = LoadLibraryA("kernel32.dll");
    if (!kernel) return 0;
    unsigned long long kb = 0;
    TGetDiskFreeSpaceEx query =
        (TGetDiskFreeSpaceEx)(void*)GetProcAddress(kernel, "GetDiskFreeSpaceExA");
    ULARGE_INTEGER available, total, totalFree;
    if (query && query(folder.c_str(), &available, &total, &totalFree))
        kb = available.QuadPart / 1024;
    FreeLibrary(kernel);
    return kb;
}

// The old call reports clusters; it wants the root of the drive on the first
// Windows 95 releases.
static unsigned long long FreeSpaceByClusters(const TStr& folder) {
    TStr root = folder.length() >= 2 && folder[1] == ':' ? folder.substr(0, 2) + "\\" : folder;
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &clusters))
        return 0;
    return (unsigned long long)bytesPerSector * sectorsPerCluster * freeClusters / 1024;
}

unsigned long long FreeDiskSpaceKB(const TStr& folderIn) {
    if (!IsDirectory(folderIn)) return 0;
    TStr folder = AddBackslash(folderIn);
    const TOSVersion& os = OSVersion();
    if (os.Kind >= osWin98 || os.Build >= 1111) return FreeSpaceByExtendedCall(folder);
    return FreeSpaceByClusters(folder);
}

// ---- Restart ----

void ReplaceAtReboot(const TStr& source, const TStr& target) {
    TOSKind kind = OSVersion().Kind;
    if (kind == osWinNT || kind == osWin2000) {
        MoveFileExA(target.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT);
        return;
    }
    // Windows 95/98 work through [Rename] of wininit.ini before they start:
    // NUL=target deletes the old file, target=source moves the new one in.
    TStr wininit = AddBackslash(GetWindowsFolder()) + "wininit.ini";
    ProfileWriteString(wininit, "Rename", "NUL", target);
    ProfileWriteString(wininit, "Rename", target, source);
}

// ---- Copying ----

static const DWORD kCopyBlock = 131072;

// Copies `size` bytes block by block; false on a read or write failure, a
// short write, a source that ends early, or a progress answer of false.
static bool CopyBlocks(HANDLE in, HANDLE out, DWORD size, const TStr& source, const TStr& dest,
                       TCopyProgress progress, void* context) {
    TStr block;
    char* buffer = block.buffer(kCopyBlock);
    DWORD copied = 0;
    while (copied < size) {
        DWORD got = 0, written = 0;
        if (!ReadFile(in, buffer, kCopyBlock, &got, nullptr) || got == 0) return false;
        if (!WriteFile(out, buffer, got, &written, nullptr) || written < got) return false;
        FlushFileBuffers(out);
        copied += written;
        if (progress && !progress(context, source, dest, written, copied)) return false;
    }
    return true;
}

static void CopyLastWriteTime(HANDLE in, HANDLE out) {
    FILETIME written;
    if (GetFileTime(in, nullptr, nullptr, &written)) SetFileTime(out, nullptr, nullptr, &written);
}

bool CopyFileWithTimes(const TStr& source, const TStr& dest, TCopyProgress progress,
                       void* context) {
    if (!FileExists(source)) return false;
    DWORD size = (DWORD)FileSizeOf(source);
    HANDLE in = OpenFileHandle(source, GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL,
                               OPEN_EXISTING);
    if (!IsValidHandle(in)) return false;
    HANDLE out = OpenFileHandle(dest, GENERIC_WRITE, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL,
                                CREATE_ALWAYS);
    if (!IsValidHandle(out)) {
        CloseFileHandle(in);
        return false;
    }
    bool done = CopyBlocks(in, out, size, source, dest, progress, context);
    if (done) CopyLastWriteTime(in, out);
    CloseFileHandle(in);
    CloseFileHandle(out);
    DWORD attributes = GetFileAttributesA(source.c_str());
    if (done && attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesA(dest.c_str(), attributes);
    return done;
}
