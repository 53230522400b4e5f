// Profile values: every INI-syntax file read and written through the cache.
#include <gtest/gtest.h>

#include "config/wqErrors.h"
#include "config/wqIniFile.h"
#include "config/wqRegIni.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"

namespace {

class ProfileTest : public testing::Test {
protected:
    void TearDown() override {
        ProfileFlushAll();
        ProfileStripQuotes(true);
        TakeError();
    }
    TStr File(const char* name, const std::string& text) {
        std::string p = folder / name;
        WriteBytes(p, text);
        return p.c_str();
    }
    ScratchFolder folder;
};

TEST_F(ProfileTest, ReadsValuesByTheSystemsRules) {
    TStr ini = File("a.ini",
                    "[config]\r\nName = \"C:\\Program Files\"\r\nB1=1\r\nBTrue=True\r\nB2= 1\r\n"
                    "Hex=$1F\r\nNeg=\"  -7\"\r\nTrail=\"7 \"\r\nC=0x1F\r\nEmpty=\r\n"
                    "[CONFIG]\r\nName=second\r\n");
    EXPECT_EQ(ProfileReadString(ini, "Config", "name", "-"), "C:\\Program Files");
    EXPECT_EQ(ProfileReadString(ini, "Config", "Empty", "-"), "");
    EXPECT_EQ(ProfileReadString(ini, "Config", "Missing", "-"), "-");
    EXPECT_EQ(ProfileReadString(ini, "Other", "Name", "-"), "-");
    EXPECT_TRUE(ProfileReadBool(ini, "Config", "B1", false));
    EXPECT_TRUE(ProfileReadBool(ini, "Config", "B2", false));  // the blank went with "="
    EXPECT_FALSE(ProfileReadBool(ini, "Config", "BTrue", true));
    EXPECT_TRUE(ProfileReadBool(ini, "Config", "Absent", true));
    EXPECT_FALSE(ProfileReadBool(ini, "Config", "Empty", true));
    EXPECT_EQ(ProfileReadInteger(ini, "Config", "Hex", 0), 31);
    EXPECT_EQ(ProfileReadInteger(ini, "Config", "Neg", 0), -7);
    EXPECT_EQ(ProfileReadInteger(ini, "Config", "Trail", 99), 99);
    EXPECT_EQ(ProfileReadInteger(ini, "Config", "C", 99), 99);
    EXPECT_EQ(ProfileReadInteger(ini, "Config", "Empty", 99), 99);
    EXPECT_EQ(ProfileReadInteger(ini, "Config", "Absent", -3), -3);
    TStr missing = (folder / "missing.ini").c_str();
    EXPECT_EQ(ProfileReadString(missing, "A", "b", "dflt"), "dflt");
    EXPECT_EQ(ReadBytes(missing.c_str()), "<missing>");
    EXPECT_FALSE(ErrorPending());
}

TEST_F(ProfileTest, ReadSectionAppendsWithoutMerging) {
    TStr ini = File("s.ini", "[One]\r\na=1\r\nb=2\r\n[Two]\r\na=3\r\n");
    TStrList list;
    ProfileReadSection(ini, "one", list);
    ProfileReadSection(ini, "Two", list);
    ProfileReadSection(ini, "None", list);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list[0], "a=1");
    EXPECT_EQ(list[2], "a=3");
}

TEST_F(ProfileTest, WritesStayInMemoryUntilTheFlush) {
    TStr ini = File("w.ini", "[S]\r\nk=old\r\nother=x\r\n");
    EXPECT_EQ(ProfileReadString(ini, "S", "k", ""), "old");  // cached read-only
    EXPECT_TRUE(ProfileWriteString(ini, "S", "k", "first"));
    EXPECT_TRUE(ProfileWriteString(ini, "s", "K", "second"));
    EXPECT_EQ(ProfileReadString(ini, "S", "k", ""), "second");
    EXPECT_EQ(ReadBytes(ini.c_str()), "[S]\r\nk=old\r\nother=x\r\n");
    ProfileFlushAll();
    EXPECT_EQ(ReadBytes(ini.c_str()), "[S]\r\nK=second\r\nother=x\r\n\r\n");
}

TEST_F(ProfileTest, EmptyKeyErasesAndAllEmptyWritesAtOnce) {
    TStr ini = File("e.ini", "[A]\r\na=1\r\n[B]\r\nb=1\r\n");
    ProfileWriteString(ini, "A", "", "");
    ProfileWriteString(ini, "", "", "");
    EXPECT_EQ(ReadBytes(ini.c_str()), "[B]\r\nb=1\r\n\r\n");
    TStr created = (folder / "new.ini").c_str();
    ProfileWriteString(created, "N", "k", "");
    EXPECT_EQ(ReadBytes(created.c_str()), "");  // created empty at the first write
    ProfileFlushAll();
    EXPECT_EQ(ReadBytes(created.c_str()), "[N]\r\nk=\r\n\r\n");
}

TEST_F(ProfileTest, CacheKeyIsTheUpperCasedNameAsPassed) {
    TStr ini = File("c.ini", "[S]\r\nk=disk\r\n");
    ProfileWriteString(ini, "S", "k", "memory");
    EXPECT_EQ(ProfileReadString(UpperText(ini), "S", "k", ""), "memory");
    TStr dotted = (folder.Path() + "\\.\\c.ini").c_str();
    EXPECT_EQ(ProfileReadString(dotted, "S", "k", ""), "disk");  // a document of its own
}

TEST_F(ProfileTest, DocumentsKeepTheQuoteSettingTheyWereLoadedWith) {
    TStr before = File("before.ini", "[S]\r\nv=\"q\"\r\n");
    TStr during = File("during.ini", "[S]\r\nv=\"q\"\r\n");
    EXPECT_EQ(ProfileReadString(before, "S", "v", ""), "q");
    ProfileStripQuotes(false);
    EXPECT_EQ(ProfileReadString(during, "S", "v", ""), "\"q\"");
    EXPECT_EQ(ProfileReadString(before, "S", "v", ""), "q");
    ProfileStripQuotes(true);
    EXPECT_EQ(ProfileReadString(during, "S", "v", ""), "\"q\"");
    ProfileFlushAll();
    EXPECT_EQ(ProfileReadString(during, "S", "v", ""), "q");
}

TEST_F(ProfileTest, FileCreatedLaterIsSeenOnlyAfterTheFlush) {
    TStr ini = (folder / "late.ini").c_str();
    EXPECT_EQ(ProfileReadString(ini, "S", "k", "none"), "none");
    WriteBytes(ini.c_str(), "[S]\r\nk=here\r\n");
    EXPECT_EQ(ProfileReadString(ini, "S", "k", "none"), "none");
    ProfileFlushAll();
    EXPECT_EQ(ProfileReadString(ini, "S", "k", "none"), "here");
}

TEST_F(ProfileTest, UnwritableFileRaisesAndCachesNothing) {
    TStr ini = File("held.ini", "[S]\r\nk=1\r\n");
    EXPECT_EQ(ProfileReadString(ini, "S", "k", ""), "1");
    HANDLE writer = CreateFileA(ini.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    EXPECT_TRUE(ProfileWriteString(ini, "S", "k", "2"));
    ASSERT_TRUE(ErrorPending());
    EXPECT_EQ(TakeError(), "Cannot open file " + ini);
    CloseHandle(writer);
    // the read-only document was dropped for the write; the next read loads afresh
    EXPECT_EQ(ProfileReadString(ini, "S", "k", ""), "1");
    ProfileWriteString(ini, "S", "k", "2");
    EXPECT_FALSE(ErrorPending());

    TStr locked = File("locked.ini", "[S]\r\nk=1\r\n");
    HANDLE holder = CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(ProfileReadString(locked, "S", "k", "dflt"), "dflt");
    EXPECT_TRUE(ErrorPending());
    TakeError();
    CloseHandle(holder);
    EXPECT_EQ(ProfileReadString(locked, "S", "k", "dflt"), "1");
}

TEST_F(ProfileTest, DropDocumentWritesBackAndForgets) {
    TStr ini = File("d.ini", "[S]\r\nk=1\r\n");
    ProfileWriteString(ini, "S", "k", "2");
    ProfileDropDocument(ini);
    EXPECT_EQ(ReadBytes(ini.c_str()), "[S]\r\nk=2\r\n\r\n");
    EXPECT_EQ(ProfileDocument(ini, true)->ReadString("S", "k", ""), "2");
}

}  // namespace
