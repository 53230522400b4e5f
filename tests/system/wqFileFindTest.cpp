// Directory search by attributes on the prefix's file system.
#include "system/wqFileFind.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/SystemTestSupport.h"
#include "support/WinTestSupport.h"

namespace {

typedef std::vector<std::string> Names;

// Every name a search yields, sorted; `error` receives FindFirstEx's answer.
Names Search(const std::string& mask, DWORD include, DWORD exclude, int* error = nullptr) {
    Names names;
    TSearchRecEx rec;
    int result = FindFirstEx(TStr(mask.c_str()), include, exclude, rec);
    if (error) *error = result;
    for (int r = result; r == 0 && names.size() < 100; r = FindNextEx(rec)) names.push_back(rec.Name.c_str());
    FindCloseEx(rec);
    EXPECT_EQ(rec.FindHandle, INVALID_HANDLE_VALUE);
    std::sort(names.begin(), names.end());
    return names;
}

TEST(FileFind, FiltersAndErrors) {
    ScratchFolder dir;
    for (const char* f : {"sub1", "sub2", "empty", "hiddendir"})
        ASSERT_TRUE(CreateDirectoryA((dir / f).c_str(), nullptr));
    for (const char* f : {"a.txt", "b.dat", "h.txt", "r.txt"}) ASSERT_TRUE(WriteBytes(dir / f, "content"));
    SetFileAttributesA((dir / "h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesA((dir / "r.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesA((dir / "hiddendir").c_str(), FILE_ATTRIBUTE_HIDDEN);
    const struct { const char* mask; DWORD include, exclude; Names names; int error; } cases[] = {
        {"*", faDirectory, 0, {"empty", "hiddendir", "sub1", "sub2"}, 0},
        {"*", 0, faVolumeID | faDirectory, {"a.txt", "b.dat", "h.txt", "r.txt"}, 0},
        {"*", 0, faHidden, {"a.txt", "b.dat", "empty", "r.txt", "sub1", "sub2"}, 0},
        {"*", faHidden, faDirectory, {"h.txt"}, 0},
        {"*", faReadOnly, 0, {"r.txt"}, 0},
        {"*.txt", 0, 0, {"a.txt", "h.txt", "r.txt"}, 0},
        {"sub?", faAnyFile, 0, {"sub1", "sub2"}, 0},
        {"empty\\*", 0, 0, {}, ERROR_NO_MORE_FILES},  // only "." and ".."
        {"*.dat", faDirectory, 0, {}, ERROR_NO_MORE_FILES},
        {"nothing*", 0, 0, {}, ERROR_FILE_NOT_FOUND},
        {"missing\\*", 0, 0, {}, ERROR_PATH_NOT_FOUND},
    };
    for (const auto& c : cases) {
        int error = -1;
        EXPECT_EQ(Search(dir / c.mask, c.include, c.exclude, &error), c.names) << c.mask << " " << c.include;
        EXPECT_EQ(error, c.error) << c.mask << " " << c.include;
    }
}

TEST(FileFind, RecordDescribesTheEntry) {
    ScratchFolder dir;
    const LocalStamp stamp = {2003, 7, 15, 10, 20, 30};
    ASSERT_TRUE(WriteBytes(dir / "known.bin", std::string(4321, 'k')));
    ASSERT_TRUE(SetLastWriteTime(dir / "known.bin", FileTimeOfLocal(stamp)));
    SetFileAttributesA((dir / "known.bin").c_str(), FILE_ATTRIBUTE_HIDDEN);
    TSearchRecEx rec;
    ASSERT_EQ(FindFirstEx(TStr((dir / "known.bin").c_str()), 0, 0, rec), 0);
    EXPECT_STREQ(rec.Name.c_str(), "known.bin");
    EXPECT_EQ(rec.Size, 4321u);
    EXPECT_EQ(rec.Attr, GetFileAttributesA((dir / "known.bin").c_str()));
    EXPECT_EQ(rec.Time, DosStampOf(stamp));
    EXPECT_EQ(FindNextEx(rec), ERROR_NO_MORE_FILES);
    FindCloseEx(rec);
}

// Windows reports a file with every attribute cleared as FILE_ATTRIBUTE_NORMAL
// alone (Wine says ARCHIVE), which carries none of the filter bits.
TEST(SearchEntryMatches, Rule) {
    const DWORD normal = FILE_ATTRIBUTE_NORMAL;
    const struct { DWORD attr; const char* name; DWORD include, exclude; bool match; } cases[] = {
        {normal, "plain", faAnyFile, 0, true},  // the default set takes plain files
        {normal, "plain", faArchive, 0, false},  // a narrower set does not
        {normal, "plain", faAnyFile, faHidden, true},  {normal, "plain", faAnyFile & ~faDirectory, 0, false},
        {normal | faHidden, "h", faAnyFile, 0, true},  {faArchive | faHidden, "f", faAnyFile, faHidden, false},
        {faDirectory, ".", faAnyFile, 0, false},        {faDirectory, "..", faAnyFile, 0, false},
        {faArchive, "...", faAnyFile, 0, true},         {faDirectory, "d", faArchive, 0, false},
        {faDirectory, ".git", faDirectory, 0, true},  // only "." and ".." are skipped
        {faReadOnly | faArchive, "r", faReadOnly, faDirectory, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SearchEntryMatches(c.attr, c.name, c.include, c.exclude), c.match)
            << c.name << " attr " << c.attr << " include " << c.include << " exclude " << c.exclude;
}

}  // namespace
