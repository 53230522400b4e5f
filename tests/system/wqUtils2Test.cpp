// Versions, dates and COM registration against real files: programs of ours
// built with chosen file versions and COM server stand-ins (tests/helpers).
#include "system/wqUtils2.h"

#include <gtest/gtest.h>

#include "support/InstallTestSupport.h"
#include "support/SystemTestSupport.h"
#include "support/TestPrint.h"
#include "support/TextTestSupport.h"
#include "support/WinTestSupport.h"

namespace {

TStr Helper(const char* name) { return HelperPath(name).c_str(); }

TEST(FileVersion, FileVersionNotProductVersionAndTextsToWords) {
    DWORD ms = 7, ls = 7;
    ASSERT_TRUE(GetFileVersion(Helper("TestVersion_1_2_0_1.exe"), ms, ls));
    EXPECT_EQ(ms, 0x00010002u);
    EXPECT_EQ(ls, 0x00000001u);
    EXPECT_FALSE(GetFileVersion(Helper("ExitWith.exe"), ms, ls) || GetFileVersion("C:\\no\\such.exe", ms, ls));
    EXPECT_EQ(ms, 0x00010002u);  // untouched after a failure
    const struct { const char* text; DWORD ms, ls; } cases[] = {
        {"1.2.3.4", 0x10002, 0x30004}, {"1..2", 0x10002, 0}, {"", 0, 0},
        {"x.5", 5, 0},                 {"$10.1", 0x100001, 0}, {"65536.1", 1, 0},  // wraps
    };
    for (const auto& c : cases) {
        VersionFromText(c.text, ms, ls);
        EXPECT_EQ(ms, c.ms) << c.text;
        EXPECT_EQ(ls, c.ls) << c.text;
    }
}

// By version when there are versions, else by date; equal is never newer.
TEST(Newer, InstalledFileAndFileAgainstFile) {
    ScratchFolder dir;
    const std::string plain = dir / "plain.txt", older = dir / "older.txt";
    const LocalStamp stamp = {2020, 5, 6, 7, 8, 10};
    ASSERT_TRUE(WriteBytes(plain, "x") && SetLastWriteTime(plain, FileTimeOfLocal(stamp)));
    ASSERT_TRUE(WriteBytes(older, "y") && SetLastWriteTime(older, FileTimeOfLocal({2019, 1, 1, 0, 0, 0})));
    const DWORD date = DosStampOf(stamp);
    const struct { const char* text; const char* existing; DWORD source; bool newer; } installed[] = {
        {"1.2", "TestVersion_1_2_0_1.exe", 0, true},                // LS 1 > 0
        {"1.2.0.1", "TestVersion_1_2_0_1.exe", 0, false},           // equal
        {"1.2.0.2", "TestVersion_1_2_0_1.exe", 0, false},
        {"1.2.0.1", "TestVersion_1_2_0_1.exe", 0xFFFFFFFF, false},  // dates unused
        {"1.0", "TestVersion_32768_0_0_0.exe", 0, false},           // negative MS is older
        {"2.0", "", date - 1, true},                                // unversioned: by date
        {"", "", date, false},  {"", "", date + 1, false},
        {"", "TestVersion_2_0_0_0.exe", 0, true},                   // no text: by date too
        {"1.0", "missing.exe", 0, false},
    };
    for (const auto& c : installed)
        EXPECT_EQ(IsInstalledFileNewer(c.text, *c.existing ? Helper(c.existing) : TStr(plain.c_str()), c.source), c.newer)
            << c.text << " / " << c.existing;
    const struct { TStr a, b; bool newer; } files[] = {
        {Helper("TestVersion_1_2_0_0.exe"), Helper("TestVersion_1_2_0_1.exe"), true},
        {Helper("TestVersion_1_2_0_1.exe"), Helper("TestVersion_1_2_0_0.exe"), false},
        {Helper("TestVersion_1_2_0_1.exe"), Helper("TestVersion_1_2_0_1.exe"), false},
        {Helper("TestVersion_2_0_0_0.exe"), Helper("missing.exe"), false},
        {older.c_str(), plain.c_str(), true},
        {plain.c_str(), older.c_str(), false},
        {plain.c_str(), Helper("TestVersion_1_2_0_1.exe"), true},  // one unversioned: dates
    };
    for (const auto& c : files) EXPECT_EQ(IsFileNewer(c.a, c.b), c.newer) << c.a.c_str() << " < " << c.b.c_str();
}

TEST(RegisterServerTest, OnlyASucceedingDllRegisterServerCounts) {
    const char kKey[] = "Software\\TarvTest\\ComServer";
    DeleteRegTreeForTest(HKEY_CURRENT_USER, "Software\\TarvTest");
    const struct { const char* file; bool registered; } cases[] = {
        {"TestComServer.dll", true}, {"TestComServerFail.dll", false},
        {"TestNoServer.dll", false}, {"NoSuchServer.dll", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RegisterServer(Helper(c.file)), c.registered) << c.file;
        EXPECT_EQ(RegValueForTest(HKEY_CURRENT_USER, kKey, c.file), c.registered ? "registered" : "<absent>");
    }
    DeleteRegTreeForTest(HKEY_CURRENT_USER, "Software\\TarvTest");
}

}  // namespace
