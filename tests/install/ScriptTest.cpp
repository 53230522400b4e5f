// Install scripts read into the work lists, from real files in a scratch
// temporary folder.
#include "install/Script.h"

#include <gtest/gtest.h>

#include "config/RunState.h"
#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "support/SystemTestSupport.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"

namespace {

class ScriptTest : public testing::Test {
protected:
    void SetUp() override {
        TRunState& run = RunState();
        run = TRunState();
        run.TempDir = (dir.Path() + "\\").c_str();
        run.IniFileName = (dir / "Tarv.ini").c_str();
        run.Language = "ENU";
        run.Variables = ListOf({"InstallPath=C:\\App", "Windows=C:\\WIN"});
    }
    void TearDown() override {
        (void)ProfileFlushAll();
        TakeError();
        RunState() = TRunState();
    }
    void Write(const char* name, const char* text) { ASSERT_TRUE(WriteBytes(dir / name, text)); }
    void Read(const char* insFiles) {
        Write("Tarv.ini", (std::string("[Config]\r\nInsFiles=") + insFiles + "\r\n").c_str());
        ASSERT_TRUE(ReadInstallScripts());
    }
    ScratchFolder dir;
};

TEST_F(ScriptTest, CopyFilesItemsByFlagTargetAndGroup) {
    Write("App.ins",
          "[CopyFiles]\r\nMain=%InstallPath%\r\nFlat=\r\nMain=%InstallPath%\\Again\r\n"
          "[Main]\r\napp.exe=,1.2.0.0,0\r\nreadme.txt=info.txt,,32\r\nC:\\Extra\\*.*=*.*,,64\r\n"
          "sub\\*.*=,,0\r\nq.txt=\"a,b\",,0\r\n"
          "[Flat]\r\nflat.txt=,,1\r\nAPP.EXE=b.exe,2.0,4\r\n");
    Read("App");
    const TRunState& run = RunState();
    EXPECT_EQ(run.ArchiveFileList[0], "Data\\app.exe=C:\\App\\Again\\app.exe,1.2.0.0,0");  // group read twice
    EXPECT_EQ(run.ArchiveFileList[1], "Data\\readme.txt=C:\\App\\Again\\info.txt,,32");
    EXPECT_EQ(run.ArchiveFileList[2], "Data\\sub\\*.*=C:\\App\\Again\\sub\\*.*,,0");
    EXPECT_EQ(run.ArchiveFileList[3], "Data\\q.txt=C:\\App\\Again\\\"a,b\",,0");  // the target ends at the first comma
    EXPECT_EQ(run.ArchiveFileList[4], "Data\\flat.txt=flat.txt,,1");  // no folder part
    EXPECT_EQ(run.ArchiveFileList.Count(), 5);
    EXPECT_EQ(run.LocalFileList[0], "C:\\Extra\\*.*=C:\\App\\Again\\*.*,,64");
}

TEST_F(ScriptTest, RegIniShortcutAndRunItemsKeepQuotesAndMoveOnReplace) {
    Write("App.ins",
          "[AddReg]\r\nKeys=HKLM\\SOFTWARE\\Demo\r\n[Keys]\r\nCount=#5,0\r\nPath=\"C:\\A,B\",0\r\ncount=#6,1\r\n"
          "[AddIni]\r\nIni=%Windows%\\demo.ini\r\n[Ini]\r\nMain,Size=10,0\r\n"
          "[Shortcuts]\r\nMenu=C:\\Menu\\\r\n[Menu]\r\nDemo App=C:\\App\\app.exe,,,0\r\n"
          "[RunApp]\r\nA=\"%InstallPath%\\app.exe\",/q,,1,\"Starting\",0\r\nB=x.exe\r\nC=x.exe\r\n");
    Read("App");
    const TRunState& run = RunState();
    EXPECT_EQ(run.RegValueList[0], "HKLM\\SOFTWARE\\Demo\\Path=\"C:\\A,B\",0");
    EXPECT_EQ(run.RegValueList[1], "HKLM\\SOFTWARE\\Demo\\count=#6,1");  // replaced, moved last
    EXPECT_EQ(run.RegValueList.Count(), 2);
    EXPECT_EQ(run.IniValueList[0], "C:\\WIN\\demo.ini,Main,Size=10,0");
    EXPECT_EQ(run.ShortcutList[0], "C:\\Menu\\Demo App=C:\\App\\app.exe,,,0");
    EXPECT_EQ(run.RunList.Count(), 3);
    EXPECT_EQ(run.RunList[0], "\"C:\\App\\app.exe\",/q,,1,\"Starting\",0");
}

TEST_F(ScriptTest, ScriptsInWordOrderPlatformVariantAndLanguageSections) {
    Write("A.ins", "[RunApp]\r\nx=A.ins\r\n[RunApp.ENU]\r\nx=A.ins ENU\r\n[CopyFiles.ENU]\r\nDocs=C:\\D\r\n[Docs]\r\nd.txt=\r\n");
    Write("A.nt", "[RunApp]\r\nx=A.nt\r\n");
    Write("A.9x", "[RunApp]\r\nx=A.9x\r\n");
    Write("B.ins", "[RunApp]\r\nx=B.ins\r\n");
    Read("A.txt,,B, Missing");
    EXPECT_EQ(RunState().RunList.Count(), 4);
    EXPECT_EQ(RunState().RunList[0], "A.ins");
    EXPECT_EQ(RunState().RunList[1], "A.ins ENU");
    EXPECT_EQ(RunState().RunList[2], "A.nt");
    EXPECT_EQ(RunState().RunList[3], "B.ins");
    EXPECT_EQ(RunState().ArchiveFileList[0], "Data\\d.txt=C:\\D\\d.txt");
    RunState().RunList.Clear();
    {
        OSVersionOverride win98(MakeOSVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, ""));
        ASSERT_TRUE(ReadInstallScripts());
    }
    EXPECT_EQ(RunState().RunList[2], "A.9x");
}

TEST_F(ScriptTest, QuotesStayInScriptsOnlyAndAnUnreadableScriptRaises) {
    Write("Tarv.ini", "[Config]\r\nInsFiles=App\r\n[Variables]\r\nQ=\"quoted\"\r\n");
    Write("App.ins", "[RunApp]\r\nx=\"kept\"\r\n");
    HANDLE lock = CreateFileA((dir / "App.nt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    EXPECT_FALSE(ReadInstallScripts());
    CloseHandle(lock);
    EXPECT_EQ(TakeError(), ("Cannot open file " + dir / "App.nt").c_str());
    EXPECT_EQ(RunState().RunList[0], "\"kept\"");
    TStrList vars;  // a document loaded after the scripts strips quotes again
    ASSERT_TRUE(ProfileDropDocument(RunState().IniFileName));
    ASSERT_TRUE(ProfileReadSection(RunState().IniFileName, "Variables", vars));
    EXPECT_EQ(vars[0], "Q=quoted");
}

}  // namespace
