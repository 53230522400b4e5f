// File and folder operations on the prefix's real file system.
#include "system/wqFileUtils.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <set>
#include <string>
#include <vector>

#include "support/SystemTestSupport.h"
#include "support/WinTestSupport.h"
#include "system/wqUtils.h"

namespace {

typedef std::vector<std::string> Lines;
TStr T(const std::string& s) { return TStr(s.c_str(), s.size()); }
std::string S(const TStr& s) { return std::string(s.c_str(), s.length()); }
DWORD AttributesOf(const std::string& path) { return GetFileAttributesA(path.c_str()); }
bool Exists(const std::string& path) { return AttributesOf(path) != INVALID_FILE_ATTRIBUTES; }
bool MakeDir(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

// Three base-32 digits of day (year % 10 * 365 + leap days + day of year),
// five of hundredths of a second since midnight.
TEST(UniqueTimeName, RuleForDates) {
    const struct { WORD y, mo, d, h, mi, s, ms; const char* name; } cases[] = {
        {2019, 3, 1, 0, 0, 0, 0, "38J00000"},
        {2020, 3, 1, 0, 0, 0, 0, "01T00000"},         // leap year: Feb 29 counted
        {2000, 3, 1, 0, 0, 0, 0, "01T00000"},         // divisible by 400: leap
        {1900, 3, 1, 0, 0, 0, 0, "01S00000"},         // divisible by 100 only: not leap
        {2028, 2, 29, 0, 0, 0, 0, "2T600000"},        // the leap day itself
        {2028, 12, 31, 0, 0, 0, 5, "36O00000"},       // day 366; 5 ms is no hundredth
        {2024, 12, 31, 23, 59, 59, 999, "1P387LFV"},  // largest time of day
        {2031, 1, 1, 0, 0, 1, 10, "0BE00035"},
    };
    for (const auto& c : cases) {
        SYSTEMTIME t = {c.y, c.mo, 0, c.d, c.h, c.mi, c.s, c.ms};
        EXPECT_EQ(S(TimeNameFor(t)), c.name) << c.y << "-" << c.mo << "-" << c.d;
    }
}

// Takes the names of the coming half second in `folder` with files or folders.
std::set<std::string> TakeComingNames(const std::string& folder, bool asFolders) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    ULARGE_INTEGER at;
    SystemTimeToFileTime(&t, (FILETIME*)&at);
    std::set<std::string> names;
    for (int i = 0; i < 50; ++i, at.QuadPart += 100000) {  // 10 ms steps
        FileTimeToSystemTime((FILETIME*)&at, &t);
        std::string name = S(TimeNameFor(t)), path = folder + "\\" + name;
        EXPECT_TRUE(asFolders ? MakeDir(path) : WriteBytes(path, "x"));
        names.insert(name);
    }
    GetLocalTime(&t);
    EXPECT_TRUE(names.count(S(TimeNameFor(t)))) << "setting up took over half a second";
    return names;
}

TEST(UniqueTimeName, SkipsNamesOfFilesOnlyButANewFolderIsNeverAdopted) {
    ScratchFolder files, folders, prepared;
    std::set<std::string> taken = TakeComingNames(files.Path(), false);
    std::string name = S(UniqueTimeName(T(files.Path())));
    EXPECT_EQ(name.size(), 8u);
    EXPECT_FALSE(taken.count(name)) << name;
    taken = TakeComingNames(folders.Path(), true);
    name = S(UniqueTimeName(T(folders.Path() + "\\")));
    EXPECT_TRUE(taken.count(name)) << name << " was not taken by a folder of that name";
    // The private folder is made new, even when the names of the coming
    // moments are all taken by folders someone prepared.
    taken = TakeComingNames(prepared.Path(), true);
    std::string made = S(CreateUniqueFolder(T(prepared.Path())));
    ASSERT_EQ(made.size(), prepared.Path().size() + 10) << made;
    EXPECT_EQ(made.back(), '\\');
    EXPECT_FALSE(taken.count(made.substr(prepared.Path().size() + 1, 8))) << made;
    EXPECT_TRUE(IsDirectory(T(made)));
    // The parent is created when missing; one that cannot be made gives "".
    EXPECT_TRUE(IsDirectory(CreateUniqueFolder(T(files / "new\\parent"))));
    ASSERT_TRUE(WriteBytes(files / "f-not-a-folder", "x"));
    EXPECT_EQ(S(CreateUniqueFolder(T(files / "f-not-a-folder\\x"))), "");
}

TEST(Files, ExistenceSizeCreationAndDeletion) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "f.bin", std::string(12345, 'q')));
    CreatePath(T(dir / "sub\\b\\c\\"));
    CreatePath(T(dir / "sub\\b\\x\\y"));
    CreatePath(T(dir / "f.bin\\below"));  // a file in the way
    const struct { std::string path; bool file, folder; long size; } cases[] = {
        {dir / "f.bin", true, false, 12345},      {dir / "sub\\b\\c", false, true, 0},
        {dir / "sub\\b\\x\\y", false, true, 0},   {dir / "missing", false, false, -1},
        {dir / "f.bin\\below", false, false, -1},
        {dir / "f*.bin", false, false, 12345},  // the first entry a search finds
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileExists(T(c.path)), c.file) << c.path;
        EXPECT_EQ(IsDirectory(T(c.path)), c.folder) << c.path;
        EXPECT_EQ(FileSizeOf(T(c.path)), c.size) << c.path;
    }
    SetFileAttributesA((dir / "f.bin").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(ForceDeleteFile(T(dir / "f.bin")));
    EXPECT_FALSE(Exists(dir / "f.bin"));
    EXPECT_FALSE(ForceDeleteFile(T(dir / "f.bin")));
}

TEST(DeleteTree, DotNamesAttributesAndFilesInUse) {
    for (bool removeFolder : {true, false}) {
        ScratchFolder dir;
        const std::string root = dir / "tree";
        for (const char* f : {"", "\\.settings", "\\a", "\\a\\b"}) ASSERT_TRUE(MakeDir(root + f));
        for (const char* f : {"\\.config", "\\ro.txt", "\\.settings\\x", "\\a\\hs.sys", "\\a\\b\\ro2"})
            ASSERT_TRUE(WriteBytes(root + f, "data"));
        for (const char* f : {"\\ro.txt", "\\a\\b\\ro2"})
            SetFileAttributesA((root + f).c_str(), FILE_ATTRIBUTE_READONLY);
        SetFileAttributesA((root + "\\a\\hs.sys").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        SetFileAttributesA((root + "\\a").c_str(), FILE_ATTRIBUTE_HIDDEN);
        EXPECT_TRUE(DeleteTree(T(removeFolder ? root : root + "\\"), removeFolder));
        EXPECT_EQ(Exists(root), !removeFolder) << removeFolder;
        EXPECT_EQ(RemoveDirectoryA(root.c_str()), !removeFolder) << "the folder is left empty";
    }
    ScratchFolder dir;
    const std::string root = dir / "tree";
    ASSERT_TRUE(MakeDir(root) && MakeDir(root + "\\sub"));
    for (const char* f : {"\\one.txt", "\\locked.txt", "\\zz.txt", "\\sub\\two.txt"})
        ASSERT_TRUE(WriteBytes(root + f, "x"));
    HANDLE held = CreateFileA((root + "\\locked.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteTree(T(root), true));  // a file in use fails, but the rest goes
    CloseHandle(held);
    for (const char* f : {"\\one.txt", "\\zz.txt", "\\sub"}) EXPECT_FALSE(Exists(root + f)) << f;
    EXPECT_TRUE(Exists(root + "\\locked.txt"));
    EXPECT_FALSE(DeleteTree(T(root + "\\locked.txt"), true));  // not a folder
    EXPECT_TRUE(Exists(root + "\\locked.txt"));
    EXPECT_FALSE(DeleteTree(T(dir / "missing"), true));
}

TEST(DeleteTree, EntryRules) {
    const DWORD link = FILE_ATTRIBUTE_REPARSE_POINT, dir = FILE_ATTRIBUTE_DIRECTORY;
    const struct { DWORD attributes; const char* name; TTreeEntryAction action; } cases[] = {
        {dir, ".", teSkip},                  {dir, "..", teSkip},
        {dir, ".git", teDescend},            {FILE_ATTRIBUTE_HIDDEN, ".cfg", teDeleteFile},
        {8, "LABEL", teSkip},                {dir | link, "junction", teUnlink},
        {link, "symlink.txt", teDeleteFile}, {dir | FILE_ATTRIBUTE_READONLY, "ro", teDescend},
    };
    for (const auto& c : cases) EXPECT_EQ(TreeEntryAction(c.attributes, c.name), c.action) << c.name;
}

// A link inside the tree, made by the test run (Unix symlinks look like
// junctions through Wine): whatever it points at stays, whether the link is
// met inside the tree or is the folder given.
TEST(DeleteTree, NeverDescendsThroughALink) {
    const char* unix = getenv("TARV_LINK_TREE");
    if (!unix) GTEST_SKIP() << "TARV_LINK_TREE not set (tools/run-tests.sh makes it)";
    std::string root = std::string("Z:") + unix;
    for (char& c : root)
        if (c == '/') c = '\\';
    const DWORD jump = AttributesOf(root + "\\tree\\sub\\jump");
    ASSERT_TRUE(jump != INVALID_FILE_ATTRIBUTES && (jump & FILE_ATTRIBUTE_REPARSE_POINT));
    EXPECT_FALSE(DeleteTree(T(root + "\\tree\\sub\\jump"), false));  // a link is never emptied
    EXPECT_EQ(ReadBytes(root + "\\outside\\keep.txt"), "keep\n");
    DeleteTree(T(root + "\\tree"), true);
    EXPECT_EQ(ReadBytes(root + "\\outside\\keep.txt"), "keep\n");
    EXPECT_FALSE(Exists(root + "\\tree\\a.txt"));
}

// The line rule itself belongs to wqIniText (TakeLineText); here: reading
// 100 bytes at a time and giving back what follows a carriage return.
TEST(TextLines, ReadSplitsAtCarriageReturnsWriteEndsWithCRLF) {
    const std::string x100(100, 'x'), x99(99, 'x');
    const struct { std::string bytes; Lines lines; } cases[] = {
        {"", {}},
        {"no line end", {"no line end"}},
        {"a\r\nb\r\n", {"a", "b", ""}},  // the final line feed is one more, empty, line
        {x100 + "\rtail", {x100, "tail"}},
        {x99 + "\rtail", {x99, "tail"}},
        {x99 + "\n\r" + x100 + "\n\ry", {x99, x100, "y"}},
        {std::string(250, 'm') + "\r" + std::string(150, 'n'), {std::string(250, 'm'), std::string(150, 'n')}},
    };
    ScratchFolder dir;
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(dir / "t", c.bytes));
        HANDLE h = OpenFileHandle(T(dir / "t"), GENERIC_READ, FILE_SHARE_READ, FILE_ATTRIBUTE_NORMAL, OPEN_EXISTING);
        Lines lines;
        while (!AtEndOfFile(h) && lines.size() < 1000) lines.push_back(S(ReadTextLine(h)));
        CloseFileHandle(h);
        EXPECT_EQ(h, (HANDLE)0);
        EXPECT_EQ(lines, c.lines) << c.bytes.substr(0, 20);
    }
    HANDLE h = OpenFileHandle(T(dir / "t"), GENERIC_WRITE, 0, FILE_ATTRIBUTE_NORMAL, CREATE_ALWAYS);
    for (const char* line : {"alpha", "", "beta"}) WriteTextLine(h, line);
    EXPECT_EQ(FilePosition(h), 15u);
    CloseFileHandle(h);
    EXPECT_EQ(ReadBytes(dir / "t"), "alpha\r\n\r\nbeta\r\n");
}

struct ProgressLog {
    std::vector<DWORD> blocks, totals;
    std::string source, dest;
    size_t stopAfter = 1000;
};

bool LogProgress(void* context, const TStr& source, const TStr& dest, DWORD block, DWORD copied) {
    ProgressLog* log = (ProgressLog*)context;
    log->blocks.push_back(block);
    log->totals.push_back(copied);
    log->source = S(source);
    log->dest = S(dest);
    return log->blocks.size() < log->stopAfter;
}

std::string Pattern(size_t n) {  // a period of 251 bytes: blocks out of order show
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = (char)(i * 7 % 251);
    return s;
}

TEST(CopyFileWithTimes, BlocksProgressTimesAttributesAndStop) {
    ScratchFolder dir;
    const std::string src = dir / "big.bin", dst = dir / "big.copy", empty = dir / "empty";
    ASSERT_TRUE(WriteBytes(src, Pattern(300000)) && WriteBytes(empty, ""));
    ASSERT_TRUE(SetLastWriteTime(empty, FileTimeOfLocal({2001, 2, 3, 4, 5, 6})));
    SetFileAttributesA(empty.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ProgressLog none;
    EXPECT_TRUE(CopyFileWithTimes(T(empty), T(dir / "copy"), LogProgress, &none));
    EXPECT_EQ(ReadBytes(dir / "copy"), "");
    FILETIME a = LastWriteTimeOf(empty), b = LastWriteTimeOf(dir / "copy");
    EXPECT_EQ(CompareFileTime(&a, &b), 0);
    EXPECT_EQ(AttributesOf(dir / "copy"), AttributesOf(empty));
    EXPECT_TRUE(none.blocks.empty());

    ProgressLog log;
    EXPECT_TRUE(CopyFileWithTimes(T(src), T(dst), LogProgress, &log));
    EXPECT_TRUE(ReadBytes(dst) == Pattern(300000));
    EXPECT_EQ(log.blocks, (std::vector<DWORD>{131072, 131072, 37856}));
    EXPECT_EQ(log.totals, (std::vector<DWORD>{131072, 262144, 300000}));
    EXPECT_EQ(log.source + "|" + log.dest, src + "|" + dst);
    ProgressLog stop;
    stop.stopAfter = 1;  // false after the first block
    EXPECT_FALSE(CopyFileWithTimes(T(src), T(dst), LogProgress, &stop));
    EXPECT_EQ(stop.blocks.size(), 1u);
    EXPECT_EQ(ReadBytes(dst), Pattern(131072));
    EXPECT_TRUE(DeleteFileA(dst.c_str()) && DeleteFileA(src.c_str()));  // both handles were closed
}

TEST(CopyFileWithTimes, Failures) {
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "src", "abc") && MakeDir(dir / "folder"));
    const char* cases[][2] = {{"missing", "d1"}, {"folder", "d2"}, {"src", "nowhere\\d3"}, {"src", "folder"}};
    for (const auto& c : cases) {
        EXPECT_FALSE(CopyFileWithTimes(T(dir / c[0]), T(dir / c[1]), nullptr, nullptr)) << c[0] << " " << c[1];
        EXPECT_FALSE(FileExists(T(dir / c[1]))) << c[1];
    }
    EXPECT_TRUE(DeleteFileA((dir / "src").c_str()));  // closed after the failed destination
    // A Linux sysfs file reports 4096 bytes and holds a few: the copy must
    // fail rather than copy empty blocks forever (stopAfter only bounds the test).
    const TStr sysfs = "Z:\\sys\\kernel\\uevent_seqnum";
    if (FileSizeOf(sysfs) != 4096) GTEST_SKIP() << "no sysfs file to read through Wine's Z:";
    ProgressLog log;
    log.stopAfter = 50;
    EXPECT_FALSE(CopyFileWithTimes(sysfs, T(dir / "copy"), LogProgress, &log));
    ASSERT_EQ(log.blocks.size(), 1u);
    EXPECT_GT(log.blocks[0], 0u);
    EXPECT_LT(log.blocks[0], 4096u);
}

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

}  // namespace
