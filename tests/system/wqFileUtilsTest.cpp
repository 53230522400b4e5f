#include "system/wqFileUtils.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "support/SystemTestSupport.h"
#include "support/WinTestSupport.h"
#include "system/wqUtils.h"

namespace {

TStr T(const std::string& s) { return TStr(s.c_str(), s.size()); }
std::string S(const TStr& s) { return std::string(s.c_str(), s.length()); }

DWORD AttributesOf(const std::string& path) { return GetFileAttributesA(path.c_str()); }
bool Exists(const std::string& path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }

// Puts the process-wide version record back when the test ends.
class OSVersionOverride {
public:
    explicit OSVersionOverride(const TOSVersion& v) { SetOSVersionForTest(v); }
    ~OSVersionOverride() { SetOSVersionForTest(GetOSVersion()); }
};

// ---- Path text ----

TEST(PathText, AddBackslash) {
    const struct { const char* in; const char* out; } cases[] = {
        {"", ""},           {"C:", "C:\\"},         {"C:\\", "C:\\"},
        {"\\", "\\"},       {"C:\\Temp", "C:\\Temp\\"}, {"a\\b\\", "a\\b\\"},
    };
    for (const auto& c : cases) EXPECT_EQ(S(AddBackslash(c.in)), c.out) << "'" << c.in << "'";
}

TEST(PathText, RemoveBackslash) {
    const struct { const char* in; const char* out; } cases[] = {
        {"", ""},
        {"\\", "\\"},
        {"C:\\", "C:\\"},
        {"z:\\", "z:\\"},
        {"C:\\Temp\\", "C:\\Temp"},
        {"C:\\Temp", "C:\\Temp"},
        {"1:\\", "1:"},          // not a drive letter
        {"ab\\", "ab"},          // three characters, no colon
        {"\\\\", "\\"},
        {"C:\\a\\\\", "C:\\a\\"},  // one backslash at a time
    };
    for (const auto& c : cases) EXPECT_EQ(S(RemoveBackslash(c.in)), c.out) << "'" << c.in << "'";
}

// ---- Time names ----

SYSTEMTIME Stamp(int y, int mo, int d, int h, int mi, int s, int ms) {
    SYSTEMTIME t = {};
    t.wYear = (WORD)y;
    t.wMonth = (WORD)mo;
    t.wDay = (WORD)d;
    t.wHour = (WORD)h;
    t.wMinute = (WORD)mi;
    t.wSecond = (WORD)s;
    t.wMilliseconds = (WORD)ms;
    return t;
}

TEST(UniqueTimeName, RuleForDates) {
    const struct { SYSTEMTIME t; const char* name; } cases[] = {
        {Stamp(2019, 3, 1, 0, 0, 0, 0), "38J00000"},
        {Stamp(2020, 3, 1, 0, 0, 0, 0), "01T00000"},        // leap year: Feb 29 counted
        {Stamp(2000, 3, 1, 0, 0, 0, 0), "01T00000"},        // divisible by 400: leap
        {Stamp(1900, 3, 1, 0, 0, 0, 0), "01S00000"},        // divisible by 100 only: not leap
        {Stamp(2028, 2, 29, 0, 0, 0, 0), "2T600000"},       // the leap day itself
        {Stamp(2028, 12, 31, 0, 0, 0, 5), "36O00000"},      // day 366; 5 ms is no hundredth
        {Stamp(2024, 12, 31, 23, 59, 59, 999), "1P387LFV"}, // largest time of day
        {Stamp(2023, 2, 28, 12, 34, 56, 789), "1424A7GE"},
        {Stamp(2031, 1, 1, 0, 0, 1, 10), "0BE00035"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(S(TimeNameFor(c.t)), c.name) << c.t.wYear << "-" << c.t.wMonth << "-" << c.t.wDay;
}

// Takes the names of the coming half second in `folder` with files or
// folders; a set-up slower than that would prove nothing.
std::set<std::string> TakeComingNames(const std::string& folder, bool asFolders) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    ULARGE_INTEGER at;
    SystemTimeToFileTime(&t, (FILETIME*)&at);
    std::set<std::string> names;
    for (int i = 0; i < 50; ++i, at.QuadPart += 100000) {  // 10 ms in 100 ns units
        FileTimeToSystemTime((FILETIME*)&at, &t);
        std::string path = folder + "\\" + S(TimeNameFor(t));
        EXPECT_TRUE(asFolders ? CreateDirectoryA(path.c_str(), nullptr) : WriteBytes(path, "x"));
        names.insert(S(TimeNameFor(t)));
    }
    GetLocalTime(&t);
    EXPECT_TRUE(names.count(S(TimeNameFor(t)))) << "setting up took over half a second";
    return names;
}

TEST(UniqueTimeName, SkipsNamesOfFilesOnly) {
    ScratchFolder files, folders;
    std::set<std::string> taken = TakeComingNames(files.Path(), false);
    std::string name = S(UniqueTimeName(T(files.Path())));
    EXPECT_EQ(name.size(), 8u);
    EXPECT_FALSE(taken.count(name)) << name;

    taken = TakeComingNames(folders.Path(), true);
    name = S(UniqueTimeName(T(folders.Path() + "\\")));
    EXPECT_TRUE(taken.count(name)) << name << " was not taken by a folder of that name";
}

// ---- Files and folders ----

TEST(Files, ExistenceAndSize) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "f.bin", std::string(12345, 'q')));
    ASSERT_TRUE(CreateDirectoryA((dir / "sub").c_str(), nullptr));
    const struct { std::string path; bool file, folder; long size; } cases[] = {
        {dir / "f.bin", true, false, 12345},
        {dir / "sub", false, true, 0},
        {dir / "missing", false, false, -1},
        {dir / "missing\\f.bin", false, false, -1},
        {dir / "f*.bin", false, false, 12345},  // the first entry a search finds
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileExists(T(c.path)), c.file) << c.path;
        EXPECT_EQ(IsDirectory(T(c.path)), c.folder) << c.path;
        EXPECT_EQ(FileSizeOf(T(c.path)), c.size) << c.path;
    }
}

TEST(Files, FileSizeOfExpandsRelativePaths) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "rel.bin", std::string(77, 'r')));
    char old[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.Path().c_str()));
    long size = FileSizeOf("rel.bin");
    SetCurrentDirectoryA(old);
    EXPECT_EQ(size, 77);
}

TEST(Files, CreatePathMakesEveryLevel) {
    ScratchFolder dir;
    CreatePath(T(dir / "a\\b\\c\\d\\"));
    EXPECT_TRUE(IsDirectory(T(dir / "a\\b\\c\\d")));
    CreatePath(T(dir / "a\\b\\x\\y"));
    EXPECT_TRUE(IsDirectory(T(dir / "a\\b\\x\\y")));
    CreatePath("");  // nothing to do, must not fail
    // A file in the way: nothing beneath it can be made, and nothing breaks.
    ASSERT_TRUE(WriteBytes(dir / "file", "x"));
    CreatePath(T(dir / "file\\below"));
    EXPECT_TRUE(FileExists(T(dir / "file")));
    EXPECT_FALSE(Exists(dir / "file\\below"));
}

TEST(Files, ForceDeleteFileRemovesReadOnlyFiles) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "ro", "x"));
    SetFileAttributesA((dir / "ro").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(ForceDeleteFile(T(dir / "ro")));
    EXPECT_FALSE(Exists(dir / "ro"));
    EXPECT_FALSE(ForceDeleteFile(T(dir / "ro")));
}

// ---- DeleteTree ----

// A tree with dot names, hidden, system and read-only entries at every level.
void BuildTree(const std::string& root) {
    const char* folders[] = {"", "\\.settings", "\\a", "\\a\\b", "\\a\\b\\c"};
    for (const char* f : folders) ASSERT_TRUE(CreateDirectoryA((root + f).c_str(), nullptr));
    const char* files[] = {"\\.config", "\\plain.txt", "\\ro.txt", "\\.settings\\x",
                           "\\a\\hs.sys", "\\a\\b\\ro2", "\\a\\b\\c\\deep.txt"};
    for (const char* f : files) ASSERT_TRUE(WriteBytes(root + f, "data"));
    SetFileAttributesA((root + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((root + "\\a\\b\\ro2").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((root + "\\a\\hs.sys").c_str(),
                       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    SetFileAttributesA((root + "\\a").c_str(), FILE_ATTRIBUTE_HIDDEN);
}

std::vector<std::string> EntriesOf(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        std::string n = fd.cFileName;
        if (n != "." && n != "..") names.push_back(n);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

TEST(DeleteTree, RemovesEverythingWithTheFolder) {
    ScratchFolder dir;
    std::string root = dir / "tree";
    BuildTree(root);
    EXPECT_TRUE(DeleteTree(T(root), true));
    EXPECT_FALSE(Exists(root));
}

TEST(DeleteTree, EmptiesButKeepsTheFolder) {
    ScratchFolder dir;
    std::string root = dir / "tree";
    BuildTree(root);
    EXPECT_TRUE(DeleteTree(T(root + "\\"), false));
    EXPECT_TRUE(IsDirectory(T(root)));
    EXPECT_EQ(EntriesOf(root), std::vector<std::string>());
}

TEST(DeleteTree, NotAFolder) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "file", "x"));
    EXPECT_FALSE(DeleteTree(T(dir / "file"), true));
    EXPECT_TRUE(Exists(dir / "file"));
    EXPECT_FALSE(DeleteTree(T(dir / "missing"), true));
}

TEST(DeleteTree, AFileInUseFailsButTheRestGoes) {
    ScratchFolder dir;
    std::string root = dir / "tree";
    ASSERT_TRUE(CreateDirectoryA(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((root + "\\sub").c_str(), nullptr));
    for (const char* f : {"\\one.txt", "\\locked.txt", "\\zz.txt", "\\sub\\two.txt"})
        ASSERT_TRUE(WriteBytes(root + f, "data"));
    HANDLE held = CreateFileA((root + "\\locked.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    bool result = DeleteTree(T(root), true);
    std::vector<std::string> left = EntriesOf(root);
    CloseHandle(held);

    EXPECT_FALSE(result);
    EXPECT_EQ(left, std::vector<std::string>{"locked.txt"});
}

// ---- Text lines ----

std::vector<std::string> ReadAllLines(const std::string& path) {
    std::vector<std::string> lines;
    HANDLE h = OpenFileHandle(T(path), GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL,
                              OPEN_EXISTING);
    if (!IsValidHandle(h)) return {"<cannot open>"};
    while (!AtEndOfFile(h) && lines.size() < 1000) lines.push_back(S(ReadTextLine(h)));
    CloseFileHandle(h);
    EXPECT_EQ(h, (HANDLE)0);
    return lines;
}

TEST(TextLines, ReadTextLineSplitsAtCarriageReturns) {
    typedef std::vector<std::string> Lines;
    const std::string x100(100, 'x'), x99(99, 'x');
    const struct { std::string bytes; Lines lines; } cases[] = {
        {"", {}},
        {"no line end", {"no line end"}},
        {"a\rb\rc", {"a", "b", "c"}},
        {"a\rb\r", {"a", "b"}},
        // The line feed after the last carriage return is one more, empty, line.
        {"a\r\nb\r\n", {"a", "b", ""}},
        {"one\ntwo\nthree\n", {"onetwothree"}},
        {"\r\r", {"", ""}},
        {"\n\n\rz", {"", "z"}},
        // Carriage returns at and next to the 100-byte chunk boundaries.
        {x100 + "\rtail", {x100, "tail"}},
        {x99 + "\rtail", {x99, "tail"}},
        {x99 + "\n\r" + x100 + "\n\ry", {x99, x100, "y"}},
        {std::string(250, 'm') + "\r" + std::string(150, 'n'),
         {std::string(250, 'm'), std::string(150, 'n')}},
    };
    ScratchFolder dir;
    int i = 0;
    for (const auto& c : cases) {
        std::string path = dir / ("t" + std::to_string(i++));
        ASSERT_TRUE(WriteBytes(path, c.bytes));
        EXPECT_EQ(ReadAllLines(path), c.lines) << "case " << i - 1;
    }
}

TEST(TextLines, WriteTextLineEndsEachLineWithCRLF) {
    ScratchFolder dir;
    std::string path = dir / "out.txt";
    HANDLE h = OpenFileHandle(T(path), GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL, CREATE_ALWAYS);
    ASSERT_TRUE(IsValidHandle(h));
    WriteTextLine(h, "alpha");
    WriteTextLine(h, "");
    WriteTextLine(h, "beta");
    EXPECT_EQ(FilePosition(h), 15u);
    CloseFileHandle(h);
    EXPECT_EQ(ReadBytes(path), "alpha\r\n\r\nbeta\r\n");
    EXPECT_EQ(ReadAllLines(path), (std::vector<std::string>{"alpha", "", "beta", ""}));
}

TEST(TextLines, TenMegabyteLine) {
    ScratchFolder dir;
    std::string path = dir / "long.txt";
    const std::string piece = "0123456789abcdefghi\n";  // line feeds are dropped
    std::string bytes, expected;
    while (bytes.size() < 10 * 1024 * 1024) {
        bytes += piece;
        expected += piece.substr(0, piece.size() - 1);
    }
    ASSERT_TRUE(WriteBytes(path, bytes + "\rafter"));
    DWORD start = GetTickCount();
    std::vector<std::string> lines = ReadAllLines(path);
    DWORD ms = GetTickCount() - start;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0] == expected) << "line of " << lines[0].size() << " bytes";
    EXPECT_EQ(lines[1], "after");
    EXPECT_LT(ms, 20000u) << "reading slows down with the line's length";
}

// ---- Copying ----

struct ProgressLog {
    std::vector<DWORD> blocks, totals;
    std::string source, dest;
    bool stopAfterFirst = false;
};

bool LogProgress(void* context, const TStr& source, const TStr& dest, DWORD block, DWORD copied) {
    ProgressLog* log = (ProgressLog*)context;
    log->blocks.push_back(block);
    log->totals.push_back(copied);
    log->source = S(source);
    log->dest = S(dest);
    return !log->stopAfterFirst;
}

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = (char)(i * 7 % 251);
    return s;
}

DWORD DosStampOfFile(const std::string& path) {
    FILETIME utc = LastWriteTimeOf(path), local;
    WORD date = 0, time = 0;
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToDosDateTime(&local, &date, &time);
    return ((DWORD)date << 16) | time;
}

TEST(CopyFileWithTimes, EmptyFileCarriesTimeAndAttributes) {
    ScratchFolder dir;
    std::string src = dir / "empty", dst = dir / "copy";
    ASSERT_TRUE(WriteBytes(src, ""));
    ASSERT_TRUE(SetLastWriteTime(src, FileTimeOfLocal({2001, 2, 3, 4, 5, 6})));
    SetFileAttributesA(src.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ProgressLog log;

    EXPECT_TRUE(CopyFileWithTimes(T(src), T(dst), LogProgress, &log));
    EXPECT_EQ(ReadBytes(dst), "");
    FILETIME a = LastWriteTimeOf(src), b = LastWriteTimeOf(dst);
    EXPECT_EQ(CompareFileTime(&a, &b), 0);
    EXPECT_EQ(AttributesOf(dst), AttributesOf(src));
    EXPECT_TRUE(AttributesOf(dst) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(log.blocks.empty());
}

TEST(CopyFileWithTimes, CopiesInBlocksAndReportsEach) {
    ScratchFolder dir;
    std::string src = dir / "big.bin", dst = dir / "big.copy";
    const std::string data = Pattern(300000);
    ASSERT_TRUE(WriteBytes(src, data));
    const LocalStamp stamp = {2010, 11, 12, 13, 14, 16};
    ASSERT_TRUE(SetLastWriteTime(src, FileTimeOfLocal(stamp)));
    ProgressLog log;

    EXPECT_TRUE(CopyFileWithTimes(T(src), T(dst), LogProgress, &log));
    EXPECT_TRUE(ReadBytes(dst) == data);
    EXPECT_EQ(log.blocks, (std::vector<DWORD>{131072, 131072, 37856}));
    EXPECT_EQ(log.totals, (std::vector<DWORD>{131072, 262144, 300000}));
    EXPECT_EQ(log.source, src);
    EXPECT_EQ(log.dest, dst);
    // The MS-DOS form of the copied time is the local time that was set.
    EXPECT_EQ(DosStampOfFile(dst), DosStampOf(stamp));
}

TEST(CopyFileWithTimes, StopAfterFirstBlockLeavesPartialCopy) {
    ScratchFolder dir;
    std::string src = dir / "big.bin", dst = dir / "big.copy";
    ASSERT_TRUE(WriteBytes(src, Pattern(300000)));
    ProgressLog log;
    log.stopAfterFirst = true;

    EXPECT_FALSE(CopyFileWithTimes(T(src), T(dst), LogProgress, &log));
    EXPECT_EQ(log.blocks.size(), 1u);
    EXPECT_EQ(ReadBytes(dst), Pattern(131072));
    // Both handles were closed: the partial copy can be deleted at once.
    EXPECT_TRUE(DeleteFileA(dst.c_str()));
    EXPECT_TRUE(DeleteFileA(src.c_str()));
}

TEST(CopyFileWithTimes, ReadOnlySourceGivesReadOnlyCopy) {
    ScratchFolder dir;
    std::string src = dir / "ro.txt", dst = dir / "ro.copy";
    ASSERT_TRUE(WriteBytes(src, "read only"));
    SetFileAttributesA(src.c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(CopyFileWithTimes(T(src), T(dst), nullptr, nullptr));
    EXPECT_EQ(ReadBytes(dst), "read only");
    EXPECT_TRUE(AttributesOf(dst) & FILE_ATTRIBUTE_READONLY);
}

// A source that yields fewer bytes than its size promises (a file that shrank
// during the copy, or here a Linux sysfs file, which reports 4096 bytes and
// holds a few) ends the copy as failed instead of copying empty blocks
// forever. The callback's stop only bounds the test should that happen.
bool StopAfterManyBlocks(void* context, const TStr& s, const TStr& d, DWORD block, DWORD copied) {
    return LogProgress(context, s, d, block, copied) && ((ProgressLog*)context)->blocks.size() < 50;
}

TEST(CopyFileWithTimes, SourceEndingEarlyFails) {
    const TStr source = "Z:\\sys\\kernel\\uevent_seqnum";
    if (FileSizeOf(source) != 4096) GTEST_SKIP() << "no sysfs file to read through Wine's Z:";
    ScratchFolder dir;
    ProgressLog log;

    EXPECT_FALSE(CopyFileWithTimes(source, T(dir / "copy"), StopAfterManyBlocks, &log));
    ASSERT_EQ(log.blocks.size(), 1u);
    EXPECT_GT(log.blocks[0], 0u);
    EXPECT_LT(log.blocks[0], 4096u);
}

TEST(CopyFileWithTimes, Failures) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "src", "abc"));
    ASSERT_TRUE(CreateDirectoryA((dir / "folder").c_str(), nullptr));
    const struct { std::string src, dst; } cases[] = {
        {dir / "missing", dir / "d1"},
        {dir / "folder", dir / "d2"},
        {dir / "src", dir / "nowhere\\d3"},
        {dir / "src", dir / "folder"},  // the destination is a folder
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(CopyFileWithTimes(T(c.src), T(c.dst), nullptr, nullptr)) << c.src;
        EXPECT_FALSE(FileExists(T(c.dst))) << c.dst;
    }
    // The source was closed again after the failed destination.
    EXPECT_TRUE(DeleteFileA((dir / "src").c_str()));
}

// ---- Free space ----

TEST(FreeDiskSpaceKB, RealFoldersOnly) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "file", "x"));
    unsigned long long extended = FreeDiskSpaceKB(T(dir.Path()));
    EXPECT_GT(extended, 0u);
    EXPECT_GT(FreeDiskSpaceKB(T(dir.Path() + "\\")), 0u);
    EXPECT_EQ(FreeDiskSpaceKB(T(dir / "file")), 0u);
    EXPECT_EQ(FreeDiskSpaceKB(T(dir / "missing")), 0u);
    // The first Windows 95 releases count clusters instead.
    OSVersionOverride win95(MakeOSVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 0, 950, ""));
    unsigned long long clusters = FreeDiskSpaceKB(T(dir.Path()));
    EXPECT_GT(clusters, 0u);
    EXPECT_LE(clusters, extended + 1024 * 1024);  // same disk, give or take a gigabyte
}

// ---- Restart ----

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

// The raw pending renames value without its final NULs; "<absent>" if none.
std::string PendingRenames() {
    std::string data = "<absent>";
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key)) return data;
    DWORD size = 0;
    if (RegQueryValueExA(key, kPendingRenames, nullptr, nullptr, nullptr, &size) == 0) {
        data.assign(size, '\0');
        RegQueryValueExA(key, kPendingRenames, nullptr, nullptr, (BYTE*)&data[0], &size);
        while (!data.empty() && data.back() == '\0') data.pop_back();
    }
    RegCloseKey(key);
    return data;
}

// Puts the pending renames back as they were before the test.
class PendingRenamesGuard {
public:
    ~PendingRenamesGuard() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key)) return;
        if (saved == "<absent>") {
            RegDeleteValueA(key, kPendingRenames);
        } else {
            std::string value = saved + std::string(2, '\0');
            RegSetValueExA(key, kPendingRenames, 0, REG_MULTI_SZ, (const BYTE*)value.data(),
                           (DWORD)value.size());
        }
        RegCloseKey(key);
    }
    const std::string saved = PendingRenames();
};

// On the NT family the system keeps the renames in the registry as pairs:
// first the old file paired with nothing (delete), then new onto old.
TEST(ReplaceAtReboot, NTSchedulesDeleteThenMove) {
    ScratchFolder dir;
    std::string source = dir / "new.dll", target = dir / "old.dll";
    ASSERT_TRUE(WriteBytes(source, "new"));
    ASSERT_TRUE(WriteBytes(target, "old"));
    PendingRenamesGuard restore;

    ReplaceAtReboot(T(source), T(target));

    const std::string nul(1, '\0');
    const std::string added = "\\??\\" + target + nul + nul + "\\??\\" + source + nul +
                              "\\??\\" + target;
    std::string after = PendingRenames();
    ASSERT_GE(after.size(), added.size()) << after;
    EXPECT_EQ(after.substr(after.size() - added.size()), added);
    EXPECT_EQ(ReadBytes(source), "new");  // nothing moves before the restart
    EXPECT_EQ(ReadBytes(target), "old");
}

// Windows 95/98 read [Rename] of wininit.ini in the Windows folder.
TEST(ReplaceAtReboot, Windows98WritesWininit) {
    const TStr wininit = AddBackslash(GetWindowsFolder()) + "wininit.ini";
    if (FileExists(wininit)) GTEST_SKIP() << "this prefix has a wininit.ini of its own";
    OSVersionOverride win98(MakeOSVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, ""));
    PendingRenamesGuard restore;

    ReplaceAtReboot("C:\\NEW\\A.DLL", "C:\\WIN\\SYSTEM\\A.DLL");

    TStrList section;
    ProfileReadSection(wininit, "Rename", section);
    ProfileDropDocument(wininit);  // writes the file
    bool written = DeleteFileA(wininit.c_str()) != FALSE;
    EXPECT_FALSE(ErrorPending()) << S(TakeError());
    ASSERT_EQ(section.Count(), 2);
    EXPECT_EQ(S(section[0]), "NUL=C:\\WIN\\SYSTEM\\A.DLL");
    EXPECT_EQ(S(section[1]), "C:\\WIN\\SYSTEM\\A.DLL=C:\\NEW\\A.DLL");
    EXPECT_TRUE(written);
    EXPECT_EQ(PendingRenames(), restore.saved);
}

}  // namespace
