// The install log: the uninstaller's record of changes, and the folders it
// records as they are created.
#include <gtest/gtest.h>

#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "install/Log.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"
#include "system/wqFileUtils.h"

namespace {

class LogTest : public testing::Test {
protected:
    void TearDown() override {
        (void)ProfileFlushAll();
        StopLog();
        TakeError();
    }
    void Flush() { ASSERT_TRUE(ProfileFlushAll()); }
    ScratchFolder folder;
    std::string path = folder / "install.log";
};

TEST_F(LogTest, NothingIsLoggedBeforeTheStartOrWithoutAName) {
    EXPECT_TRUE(LogEntry(lsCopyFiles, "C:\\x", ""));
    StartLog("");
    EXPECT_FALSE(IsLogActive());
    EXPECT_TRUE(LogEntry(lsCopyFiles, "C:\\x", ""));
    Flush();
    EXPECT_EQ(ReadBytes(path), "<missing>");
}

TEST_F(LogTest, SectionsInFirstUseOrderAndKeysOnceEach) {
    StartLog(path.c_str());
    const struct {
        TLogSection section;
        const char* key;
        const char* value;
    } entries[] = {
        {lsCreateDirs, "C:\\App\\Sub", ""},  {lsCopyFiles, "C:\\App\\Sub\\a.txt", ""},
        {lsAddReg, "HKLM\\SOFTWARE\\A\\v", "#5"}, {lsCopyFiles, "c:\\app\\sub\\A.TXT", ""},
        {lsAddIni, "C:\\w.ini,S,k", "v"},      {lsShortcuts, "C:\\Menu\\App", ""},
        {lsCreateKeys, "HKLM\\SOFTWARE\\A", ""}, {lsRegServers, "C:\\App\\s.dll", ""},
        {lsRegFonts, "C:\\Fonts\\f.ttf", ""},
    };
    for (const auto& e : entries) EXPECT_TRUE(LogEntry(e.section, e.key, e.value)) << e.key;
    EXPECT_EQ(ReadBytes(path), "");  // only created so far
    Flush();
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

TEST_F(LogTest, ASecondInstallationExtendsTheSameLogAndFlushingWritesItNow) {
    WriteBytes(path, "[CopyFiles]\r\nC:\\old.txt=\r\nC:\\both.txt=\r\n");
    StartLog(path.c_str());
    EXPECT_TRUE(LogEntry(lsCopyFiles, "C:\\both.txt", ""));
    EXPECT_TRUE(LogEntry(lsCopyFiles, "C:\\new.txt", ""));
    EXPECT_TRUE(LogFlush());
    EXPECT_EQ(ReadBytes(path), "[CopyFiles]\r\nC:\\old.txt=\r\nC:\\both.txt=\r\nC:\\new.txt=\r\n\r\n");
}

TEST_F(LogTest, AnUnwritableLogStopsAtTheFirstEntryWithTheOpenError) {
    TStr log = (folder / "missing\\install.log").c_str();
    StartLog(log);
    EXPECT_FALSE(LogEntry(lsCopyFiles, "C:\\x", ""));
    EXPECT_EQ(TakeError(), "Cannot open file " + log);
    // Folder creation stops with it: the first folder is made, but the
    // second is not, as nothing could record it.
    EXPECT_FALSE(ForceFolderPath((folder / "A\\B").c_str()));
    EXPECT_TRUE(IsDirectory((folder / "A").c_str()));
    EXPECT_FALSE(IsDirectory((folder / "A\\B").c_str()));
    EXPECT_EQ(TakeError(), "Cannot open file " + log);
}

TEST_F(LogTest, ForceFolderPathRecordsTheFoldersItCreatesOutermostFirst) {
    StartLog(path.c_str());
    CreateDirectoryA((folder / "A").c_str(), nullptr);
    EXPECT_TRUE(ForceFolderPath((folder / "A\\B\\C\\").c_str()));
    EXPECT_TRUE(ForceFolderPath((folder / "A\\B\\C").c_str()));  // exists now: nothing more
    EXPECT_TRUE(ForceFolderPath(""));
    EXPECT_TRUE(ForceFolderPath("C:"));
    EXPECT_TRUE(IsDirectory((folder / "A\\B\\C").c_str()));
    Flush();
    EXPECT_EQ("[CreateDirs]\r\n" + folder / "A\\B=\r\n" + folder / "A\\B\\C=\r\n\r\n", ReadBytes(path));
}

}  // namespace
