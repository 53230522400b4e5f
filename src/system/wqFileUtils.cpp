#include "system/wqFileUtils.h"

#include "config/wqArithm.h"
#include "config/wqIniText.h"
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

TStr ReadTextLine(HANDLE handle) {
    TStr line;
    char chunk[100];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(handle, chunk, sizeof chunk, &got, nullptr) || got == 0) return line;
        bool ended;
        size_t used = TakeLineText(chunk, got, line, ended);
        if (ended) {
            // Give back what follows the carriage return to the next call.
            SetFilePointer(handle, -(LONG)(got - used), nullptr, FILE_CURRENT);
            return line;
        }
    }
}

void WriteTextLine(HANDLE handle, const TStr& text) {
    TStr line = text + "\r\n";
    DWORD written = 0;
    WriteFile(handle, line.c_str(), (DWORD)line.length(), &written, nullptr);
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

bool CreateFolderPath(const TStr& path, TFolderCreated created, void* context) {
    if (path.empty()) return true;
    TStr folder = path.last() == '\\' ? path.substr(0, path.length() - 1) : path;
    if (folder.length() <= 2 || IsDirectory(folder)) return true;
    TStr parent = FolderPart(folder);
    if (parent == folder) return true;  // a path ending in two separators is its own parent
    if (!CreateFolderPath(parent, created, context)) return false;
    return !CreateDirectoryA(folder.c_str(), nullptr) || !created || created(context, folder);
}

TStr CreateUniqueFolder(const TStr& parent) {
    TStr base = AddBackslash(parent);
    CreatePath(base);
    // Each try takes a later time of day, so a taken name is never tried
    // twice; the bound only ends a folder that refuses every new entry.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        TStr folder = base + UniqueTimeName(base);
        if (CreateDirectoryA(folder.c_str(), nullptr)) return folder + "\\";
        if (GetLastError() != ERROR_ALREADY_EXISTS) return TStr();
        Sleep(10);
    }
    return TStr();
}

bool ForceDeleteFile(const TStr& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != FALSE;
}

// The attribute word of an entry that is a volume label and nothing else
// (bit 3, which the Win32 headers leave unnamed); such an entry is no file.
static const DWORD kVolumeLabel = 8;

TTreeEntryAction TreeEntryAction(DWORD attributes, const char* name) {
    if (IsDotEntry(name) || attributes == kVolumeLabel) return teSkip;
    // A junction or a symbolic link points somewhere else: whatever it
    // points at is not part of the tree being removed.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return attributes & FILE_ATTRIBUTE_DIRECTORY ? teUnlink : teDeleteFile;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? teDescend : teDeleteFile;
}

// Deletes one entry of a folder being emptied; true when it is gone.
static bool DeleteEntry(const TStr& path, DWORD attributes, TTreeEntryAction action) {
    switch (action) {
    case teDescend: return DeleteTree(path, true);
    case teUnlink: return RemoveDirectoryA(path.c_str()) != FALSE;
    default: break;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_ARCHIVE);
    return ForceDeleteFile(path);
}

bool DeleteTree(const TStr& folder, bool removeFolder) {
    DWORD own = GetFileAttributesA(folder.c_str());
    if (own == INVALID_FILE_ATTRIBUTES || !(own & FILE_ATTRIBUTE_DIRECTORY)) return false;
    if (own & FILE_ATTRIBUTE_REPARSE_POINT)
        return removeFolder && RemoveDirectoryA(RemoveBackslash(folder).c_str()) != FALSE;
    bool result = true;
    TStr prefix = AddBackslash(folder);
    // A raw search rather than wqFileFind: every entry has to go, whatever
    // attributes it carries.
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((prefix + "*.*").c_str(), &fd);
    bool found = find != INVALID_HANDLE_VALUE;
    while (found) {
        TTreeEntryAction action = TreeEntryAction(fd.dwFileAttributes, fd.cFileName);
        if (action != teSkip)
            result = DeleteEntry(prefix + fd.cFileName, fd.dwFileAttributes, action) && result;
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
    // kernel32 is in every process already: taking its handle loads nothing
    // that a file planted beside the setup program could stand in for.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (!kernel) return 0;
    unsigned long long kb = 0;
    TGetDiskFreeSpaceEx query =
        (TGetDiskFreeSpaceEx)(void*)GetProcAddress(kernel, "GetDiskFreeSpaceExA");
    ULARGE_INTEGER available, total, totalFree;
    if (query && query(folder.c_str(), &available, &total, &totalFree))
        kb = available.QuadPart / 1024;
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

// ---- Editing a small text file in place ----

static const DWORD kEditLimit = 16u << 20;

static bool ReadWhole(HANDLE file, TStr& text) {
    DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE || size > kEditLimit) return false;
    DWORD got = 0;
    if (size && !ReadFile(file, text.buffer(size), size, &got, nullptr)) return false;
    text.resize(got);
    return got == size;
}

static bool WriteWhole(HANDLE file, const TStr& text) {
    DWORD written = 0;
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) == 0 &&
           (text.empty() || WriteFile(file, text.c_str(), (DWORD)text.length(), &written, nullptr)) &&
           written == text.length() && SetEndOfFile(file) && FlushFileBuffers(file);
}

TFileEditResult EditFileText(const TStr& path, bool create, TTextEdit edit, void* context) {
    if (!create && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return feMissing;
    HANDLE file = OpenFileHandle(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                 FILE_ATTRIBUTE_NORMAL, create ? OPEN_ALWAYS : OPEN_EXISTING);
    if (!IsValidHandle(file)) return feFailed;
    TStr text;
    TFileEditResult result = feFailed;
    if (ReadWhole(file, text))
        result = !edit(context, text) ? feUnchanged : WriteWhole(file, text) ? feWritten : feFailed;
    CloseFileHandle(file);
    return result;
}
