// Extraction: the selection rules, the size count over real and built
// archives, and list items set once.
#include "archive/Extraction.h"

#include <gtest/gtest.h>

#include <string>

#include "config/RunState.h"
#include "support/PortableArchiveSupport.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"

namespace {

TEST(Extraction, HasWildcards) {
    for (const char* wild : {"Data\\*.*", "a?c"}) EXPECT_TRUE(HasWildcards(wild)) << wild;
    for (const char* plain : {"Data\\a.txt", ""}) EXPECT_FALSE(HasWildcards(plain)) << plain;
}

TEST(Extraction, FindFileEntryTakesTheFirstCoveringItem) {
    const struct {
        TStrList list;
        const char* stored;
        int index;
    } cases[] = {
        {ListOf({"Data\\*.txt=1", "Data\\a.txt=2"}), "Data\\a.txt", 0},
        {ListOf({"Data\\b.txt=2", "Data\\*.txt=1"}), "Data\\a.txt", 1},
        {ListOf({"data\\*.*=x"}), "Data\\Sub\\X.DLL", 0},
        {ListOf({"Data\\sub\\*.*=x"}), "Data\\x.dll", -1},
        {ListOf({"Data\\Readme.txt=x"}), "DATA\\README.TXT", 0},
        {ListOf({"Data\\Readme.txt=x"}), "Data\\old\\Readme.txt", -1},
        {ListOf({"Data\\*.*=x"}), "Data\\README", -1},
        {ListOf({"Data\\*=x"}), "Data\\README", 0},
        {ListOf({"*.dll=x"}), "Data\\deep\\x.dll", 0},
        {ListOf({"C:*.dll=x"}), "Data\\x.dll", -1},
        {ListOf({"Dat\\*.*=x"}), "Data\\x.dll", -1},
        {ListOf({}), "Data\\x.dll", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.index, FindFileEntry(c.list, c.stored)) << c.stored;
}

TEST(Extraction, SetListValueLeavesOneItemAtTheEnd) {
    TStrList list = ListOf({"a=1", "B=2", "A=3", "c=4"});
    SetListValue(list, "b", "x");
    SetListValue(list, "a", "y");
    ASSERT_EQ(3, list.Count());
    EXPECT_EQ(TStr("c=4"), list[0]);
    EXPECT_EQ(TStr("b=x"), list[1]);
    EXPECT_EQ(TStr("a=y"), list[2]);
}

class ArchiveFilesSizeTest : public testing::Test {
protected:
    void SetUp() override { saved_ = RunState().ExeName; }
    void TearDown() override { RunState().ExeName = saved_; }
    void UseArchive(const std::string& fixture) {
        std::string path = RarFixturePath(fixture);
        for (char& c : path)
            if (c == '/') c = '\\';
        RunState().ExeName = path.c_str();
    }
    TStr saved_;
};

TEST_F(ArchiveFilesSizeTest, CountsTheSelectedEntriesOnce) {
    UseArchive("v20/test_v2.rar");  // p0.bin .. p5.bin, pMM.bin, 16 KB each
    const unsigned long long k = 16384;
    TStrList threeItems = ListOf({"p1.bin=a", "p?.bin=b", "*.bin=c"});
    TStrList none = ListOf({"other.bin=a"});
    const struct {
        const char* mask;
        const TStrList* list;
        bool stop;
        unsigned long long size;
    } cases[] = {
        {"*", nullptr, false, 7 * k},
        {"p?.bin", nullptr, false, 6 * k},
        {"p5.bin", nullptr, true, 0},  // p0.bin comes first and ends the count
        {"p0.bin", nullptr, true, k},
        {"P?.BIN", &threeItems, false, 6 * k},
        {"*", &none, false, 0},
        {"Data\\*.*", nullptr, false, 0},
    };
    for (const auto& c : cases) {
        TArchiveCount count = ArchiveFilesSize(c.mask, c.list, c.stop);
        EXPECT_EQ(csCounted, count.Status) << c.mask;
        EXPECT_EQ(c.size, count.Total) << c.mask << " stop " << c.stop;
    }
}

TEST_F(ArchiveFilesSizeTest, SumsAbove4GBWithoutWrapping) {
    // Listing reads no data, so headers that announce 3 GB each suffice.
    BuiltEntry big = {"Data\\a", ""};
    big.unpSize = 0xC0000000u;
    BuiltEntry big2 = big;
    big2.name = "Data\\b";
    Bytes archive = BuildStoredArchive({big, big2});
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "big.rar", std::string(archive.begin(), archive.end())));
    RunState().ExeName = (dir / "big.rar").c_str();
    EXPECT_EQ(2 * 0xC0000000ull, ArchiveFilesSize("Data\\*", nullptr, false).Total);
}

TEST_F(ArchiveFilesSizeTest, ADamagedArchiveCountsTheHeadersBeforeTheDamage) {
    std::vector<BuiltEntry> entries;
    for (const char* name : {"Data\\a", "Data\\b", "Data\\c"}) entries.push_back({name, std::string(100, 'x')});
    Bytes archive = BuildStoredArchive(entries);
    archive.resize(archive.size() - 50);  // the last entry's data is cut short
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "cut.rar", std::string(archive.begin(), archive.end())));
    RunState().ExeName = (dir / "cut.rar").c_str();
    TArchiveCount count = ArchiveFilesSize("Data\\*", nullptr, false);
    EXPECT_EQ(csDamaged, count.Status);
    EXPECT_EQ(300ull, count.Total);  // the last header is whole, its data is not
}

TEST_F(ArchiveFilesSizeTest, AnArchiveThatDoesNotOpenCountsNothing) {
    UseArchive("v20/etalon.bin");
    TArchiveCount count = ArchiveFilesSize("*", nullptr, false);
    EXPECT_EQ(csOpenFailed, count.Status);
    EXPECT_EQ(0ull, count.Total);
}

}  // namespace
