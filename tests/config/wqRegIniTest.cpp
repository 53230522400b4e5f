// Profile values: every INI-syntax file read and written through the cache,
// and the errors raised when a file cannot be opened or written back.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "config/wqErrors.h"
#include "config/wqIniFile.h"
#include "config/wqRegIni.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"

namespace {

class ProfileTest : public testing::Test {
protected:
    void TearDown() override {
        (void)ProfileFlushAll();
        ProfileStripQuotes(true);
        TakeError();
    }
    TStr File(const char* name, const std::string& text) {
        std::string p = folder / name;
        WriteBytes(p, text);
        return p.c_str();
    }
    // A read that must succeed.
    static TStr Read(const TStr& file, const char* section, const char* key, const char* fallback = "") {
        TStr value = "<unset>";
        EXPECT_TRUE(ProfileReadString(file, section, key, fallback, value)) << key;
        return value;
    }
    static void Write(const TStr& file, const char* section, const char* key, const char* value) {
        EXPECT_TRUE(ProfileWriteString(file, section, key, value)) << key;
    }
    ScratchFolder folder;
};

TEST_F(ProfileTest, ReadsValuesByTheSystemsRules) {
    TStr ini = File("a.ini",
                    "[config]\r\nName = \"C:\\Program Files\"\r\nB1=1\r\nBTrue=True\r\nB2= 1\r\n"
                    "Hex=$1F\r\nNeg=\"  -7\"\r\nTrail=\"7 \"\r\nC=0x1F\r\nEmpty=\r\n"
                    "[CONFIG]\r\nName=second\r\n");
    EXPECT_EQ(Read(ini, "Config", "name", "-"), "C:\\Program Files");
    EXPECT_EQ(Read(ini, "Config", "Empty", "-"), "");
    EXPECT_EQ(Read(ini, "Config", "Missing", "-"), "-");
    EXPECT_EQ(Read(ini, "Other", "Name", "-"), "-");
    const struct {
        const char* key;
        bool fallback, expected;
    } bools[] = {{"B1", false, true},     {"B2", false, true},      {"BTrue", true, false},
                 {"Absent", true, true}, {"Empty", true, false}};
    for (const auto& b : bools) {
        bool value = !b.expected;
        EXPECT_TRUE(ProfileReadBool(ini, "Config", b.key, b.fallback, value));
        EXPECT_EQ(value, b.expected) << b.key;
    }
    const struct {
        const char* key;
        long fallback, expected;
    } ints[] = {{"Hex", 0, 31},   {"Neg", 0, -7},    {"Trail", 99, 99},
                {"C", 99, 99},    {"Empty", 99, 99}, {"Absent", -3, -3}};
    for (const auto& i : ints) {
        long value = 12345;
        EXPECT_TRUE(ProfileReadInteger(ini, "Config", i.key, i.fallback, value));
        EXPECT_EQ(value, i.expected) << i.key;
    }
    TStr missing = (folder / "missing.ini").c_str();
    EXPECT_EQ(Read(missing, "A", "b", "dflt"), "dflt");
    EXPECT_EQ(ReadBytes(missing.c_str()), "<missing>");
    EXPECT_FALSE(ErrorPending());
}

TEST_F(ProfileTest, ReadSectionAppendsWithoutMerging) {
    TStr ini = File("s.ini", "[One]\r\na=1\r\nb=2\r\n[Two]\r\na=3\r\n");
    TStrList list;
    for (const char* section : {"one", "Two", "None"}) EXPECT_TRUE(ProfileReadSection(ini, section, list));
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0], "a=1");
    EXPECT_EQ(list[2], "a=3");
}

TEST_F(ProfileTest, WritesStayInMemoryUntilWrittenBack) {
    TStr ini = File("w.ini", "[S]\r\nk=old\r\nother=x\r\n");
    EXPECT_EQ(Read(ini, "S", "k"), "old");  // cached read-only
    Write(ini, "S", "k", "first");
    Write(ini, "s", "K", "second");
    EXPECT_EQ(Read(ini, "S", "k"), "second");
    EXPECT_EQ(ReadBytes(ini.c_str()), "[S]\r\nk=old\r\nother=x\r\n");
    EXPECT_TRUE(ProfileWriteBack(ini));
    EXPECT_EQ(ReadBytes(ini.c_str()), "[S]\r\nK=second\r\nother=x\r\n\r\n");
    EXPECT_TRUE(ProfileWriteBack((folder / "never-loaded.ini").c_str()));
    EXPECT_EQ(ReadBytes(folder / "never-loaded.ini"), "<missing>");
}

TEST_F(ProfileTest, EmptyKeyErasesAndAllEmptyWritesAtOnce) {
    TStr ini = File("e.ini", "[A]\r\na=1\r\n[B]\r\nb=1\r\n");
    Write(ini, "A", "", "");
    Write(ini, "", "", "");
    EXPECT_EQ(ReadBytes(ini.c_str()), "[B]\r\nb=1\r\n\r\n");
    TStr created = (folder / "new.ini").c_str();
    Write(created, "N", "k", "");
    EXPECT_EQ(ReadBytes(created.c_str()), "");  // created empty at the first write
    EXPECT_TRUE(ProfileFlushAll());
    EXPECT_EQ(ReadBytes(created.c_str()), "[N]\r\nk=\r\n\r\n");
}

TEST_F(ProfileTest, CacheKeyIsTheUpperCasedNameAsPassed) {
    TStr ini = File("c.ini", "[S]\r\nk=disk\r\n");
    Write(ini, "S", "k", "memory");
    EXPECT_EQ(Read(UpperText(ini), "S", "k"), "memory");
    TStr dotted = (folder.Path() + "\\.\\c.ini").c_str();
    EXPECT_EQ(Read(dotted, "S", "k"), "disk");  // a document of its own
}

TEST_F(ProfileTest, DocumentsKeepTheQuoteSettingTheyWereLoadedWith) {
    TStr before = File("before.ini", "[S]\r\nv=\"q\"\r\n");
    TStr during = File("during.ini", "[S]\r\nv=\"q\"\r\n");
    EXPECT_EQ(Read(before, "S", "v"), "q");
    ProfileStripQuotes(false);
    EXPECT_EQ(Read(during, "S", "v"), "\"q\"");
    EXPECT_EQ(Read(before, "S", "v"), "q");
    ProfileStripQuotes(true);
    EXPECT_EQ(Read(during, "S", "v"), "\"q\"");
    EXPECT_TRUE(ProfileFlushAll());
    EXPECT_EQ(Read(during, "S", "v"), "q");
}

TEST_F(ProfileTest, FileCreatedLaterIsSeenOnlyAfterTheFlush) {
    TStr ini = (folder / "late.ini").c_str();
    EXPECT_EQ(Read(ini, "S", "k", "none"), "none");
    WriteBytes(ini.c_str(), "[S]\r\nk=here\r\n");
    EXPECT_EQ(Read(ini, "S", "k", "none"), "none");
    EXPECT_TRUE(ProfileFlushAll());
    EXPECT_EQ(Read(ini, "S", "k", "none"), "here");
}

TEST_F(ProfileTest, AFileThatCannotBeOpenedRaisesLeavesTheOutputAndCachesNothing) {
    TStr ini = File("held.ini", "[S]\r\nk=1\r\n");
    EXPECT_EQ(Read(ini, "S", "k"), "1");
    HANDLE writer = CreateFileA(ini.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    EXPECT_FALSE(ProfileWriteString(ini, "S", "k", "2"));
    EXPECT_EQ(TakeError(), "Cannot open file " + ini);
    CloseHandle(writer);
    // the read-only document was dropped for the write; the next read loads afresh
    EXPECT_EQ(Read(ini, "S", "k"), "1");
    Write(ini, "S", "k", "2");

    TStr locked = File("locked.ini", "[S]\r\nk=1\r\n");
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    TStr value = "untouched";
    TStrList lines;
    EXPECT_FALSE(ProfileReadString(locked, "S", "k", "dflt", value));
    EXPECT_EQ(TakeError(), "Cannot open file " + locked);
    EXPECT_FALSE(ProfileReadSection(locked, "S", lines));
    EXPECT_EQ(TakeError(), "Cannot open file " + locked);
    EXPECT_EQ(value, "untouched");
    EXPECT_EQ(lines.Count(), 0);
    CloseHandle(holder);
    EXPECT_EQ(Read(locked, "S", "k", "dflt"), "1");

    // A device is no file: loading one (endless zeros) would never end.
    EXPECT_FALSE(ProfileWriteString("Z:\\dev\\full", "S", "k", "v"));
    EXPECT_EQ(TakeError(), "Cannot open file Z:\\dev\\full");
}

TEST_F(ProfileTest, DropDocumentWritesBackAndForgets) {
    TStr ini = File("d.ini", "[S]\r\nk=1\r\n");
    Write(ini, "S", "k", "2");
    EXPECT_TRUE(ProfileDropDocument(ini));
    EXPECT_EQ(ReadBytes(ini.c_str()), "[S]\r\nk=2\r\n\r\n");
    EXPECT_EQ(ProfileDocument(ini, true)->ReadString("S", "k", ""), "2");
}

// A write-back that does not reach the disk is reported, naming the file,
// and the other documents are still written. The test run mounts a small
// file system for this (TARV_SMALL_DRIVE, a Unix path seen through Z:).
TEST_F(ProfileTest, AWriteBackThatDoesNotFitIsReportedOnce) {
    const char* small = getenv("TARV_SMALL_DRIVE");
    if (!small) GTEST_SKIP() << "TARV_SMALL_DRIVE not set (tools/run-tests.sh sets it)";
    std::string drive = std::string("Z:") + small;
    for (char& c : drive)
        if (c == '/') c = '\\';
    TStr full = (drive + "\\tarv-full.ini").c_str();
    TStr fine = File("fine.ini", "");
    Write(full, "S", "k", std::string(1 << 20, 'x').c_str());  // larger than the drive
    Write(fine, "S", "k", "v");
    EXPECT_FALSE(ProfileFlushAll());
    EXPECT_EQ(TakeError(), "Cannot write file " + full);
    EXPECT_FALSE(ErrorPending());
    EXPECT_EQ(ReadBytes(fine.c_str()), "[S]\r\nk=v\r\n\r\n");
    DeleteFileA(full.c_str());
}

}  // namespace
