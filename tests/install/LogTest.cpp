// The install log: the uninstaller's record of changes.
#include <gtest/gtest.h>

#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "install/Log.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"

namespace {

class LogTest : public testing::Test {
protected:
    void TearDown() override {
        ProfileFlushAll();
        LogStarted = false;
        LogFileName = TStr();
        TakeError();
    }
    ScratchFolder folder;
    std::string path = folder / "install.log";
};

TEST_F(LogTest, NothingIsLoggedBeforeTheRunStartsOrWithoutAName) {
    LogFileName = path.c_str();
    EXPECT_FALSE(LogCopyFile("C:\\x"));
    LogStarted = true;
    LogFileName = TStr();
    EXPECT_FALSE(IsLogActive());
    EXPECT_FALSE(LogCopyFile("C:\\x"));
    ProfileFlushAll();
    EXPECT_EQ(ReadBytes(path), "<missing>");
}

TEST_F(LogTest, SectionsInFirstUseOrderAndKeysOnceEach) {
    LogFileName = path.c_str();
    LogStarted = true;
    EXPECT_TRUE(LogCreateDir("C:\\App\\Sub"));
    EXPECT_TRUE(LogCopyFile("C:\\App\\Sub\\a.txt"));
    EXPECT_TRUE(LogAddReg("HKLM\\SOFTWARE\\A\\v", "#5"));
    EXPECT_TRUE(LogCopyFile("c:\\app\\sub\\A.TXT"));  // same key: replaced in place
    EXPECT_TRUE(LogAddIni("C:\\w.ini,S,k", "v"));
    EXPECT_TRUE(LogShortcut("C:\\Menu\\App"));
    EXPECT_TRUE(LogCreateKey("HKLM\\SOFTWARE\\A"));
    EXPECT_TRUE(LogRegServer("C:\\App\\s.dll"));
    EXPECT_TRUE(LogRegFont("C:\\Fonts\\f.ttf"));
    EXPECT_EQ(ReadBytes(path), "");  // only created so far
    ProfileFlushAll();
    EXPECT_EQ(ReadBytes(path),
              "[CreateDirs]\r\nC:\\App\\Sub=\r\n\r\n"
              "[CopyFiles]\r\nc:\\app\\sub\\A.TXT=\r\n\r\n"
              "[AddReg]\r\nHKLM\\SOFTWARE\\A\\v=#5\r\n\r\n"
              "[AddIni]\r\nC:\\w.ini,S,k=v\r\n\r\n"
              "[Shortcuts]\r\nC:\\Menu\\App=\r\n\r\n"
              "[CreateKeys]\r\nHKLM\\SOFTWARE\\A=\r\n\r\n"
              "[RegServers]\r\nC:\\App\\s.dll=\r\n\r\n"
              "[RegFonts]\r\nC:\\Fonts\\f.ttf=\r\n\r\n");
}

TEST_F(LogTest, ASecondInstallationExtendsTheSameLog) {
    WriteBytes(path, "[CopyFiles]\r\nC:\\old.txt=\r\nC:\\both.txt=\r\n");
    LogFileName = path.c_str();
    LogStarted = true;
    LogCopyFile("C:\\both.txt");
    LogCopyFile("C:\\new.txt");
    ProfileFlushAll();
    EXPECT_EQ(ReadBytes(path), "[CopyFiles]\r\nC:\\old.txt=\r\nC:\\both.txt=\r\nC:\\new.txt=\r\n\r\n");
}

TEST_F(LogTest, AnUnwritableLogRaisesTheOpenError) {
    LogFileName = (folder / "missing\\install.log").c_str();
    LogStarted = true;
    LogCopyFile("C:\\x");
    ASSERT_TRUE(ErrorPending());
    EXPECT_EQ(TakeError(), "Cannot open file " + LogFileName);
}

}  // namespace
