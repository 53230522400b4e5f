// Files replaced at the next restart: the registry's pending renames on the
// NT family, wininit.ini on Windows 95/98.
#include "install/RebootMoves.h"

#include <gtest/gtest.h>

#include <string>

#include "config/wqErrors.h"
#include "config/wqPath.h"
#include "config/wqRegIni.h"
#include "support/SystemTestSupport.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"
#include "system/wqFileUtils.h"

namespace {

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingRenames[] = "PendingFileRenameOperations";

// The raw pending renames without their final NULs; "<absent>" if none.
std::string PendingRenames() {
    static char data[1 << 16];
    DWORD size = sizeof data;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key)) return "<absent>";
    LONG rc = RegQueryValueExA(key, kPendingRenames, nullptr, nullptr, (BYTE*)data, &size);
    RegCloseKey(key);
    for (; rc == 0 && size > 0 && data[size - 1] == '\0'; --size) {}
    return rc == 0 ? std::string(data, size) : "<absent>";
}

// Puts the pending renames back as they were.
struct PendingRenamesGuard {
    ~PendingRenamesGuard() {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, &key)) return;
        std::string value = saved + std::string(2, '\0');
        if (saved == "<absent>") RegDeleteValueA(key, kPendingRenames);
        else RegSetValueExA(key, kPendingRenames, 0, REG_MULTI_SZ, (const BYTE*)value.data(), (DWORD)value.size());
        RegCloseKey(key);
    }
    const std::string saved = PendingRenames();
};

// NT keeps pairs in the registry: the old file paired with nothing, then new onto old.
TEST(ReplaceAtReboot, NTSchedulesDeleteThenMove) {
    ScratchFolder dir;
    const std::string source = dir / "new.dll", target = dir / "old.dll";
    ASSERT_TRUE(WriteBytes(source, "new") && WriteBytes(target, "old"));
    PendingRenamesGuard restore;
    EXPECT_TRUE(ReplaceAtReboot(source.c_str(), target.c_str()));
    const std::string nul(1, '\0');
    const std::string added = "\\??\\" + target + nul + nul + "\\??\\" + source + nul + "\\??\\" + target;
    std::string after = PendingRenames();
    ASSERT_GE(after.size(), added.size()) << after;
    EXPECT_EQ(after.substr(after.size() - added.size()), added);
    EXPECT_EQ(ReadBytes(source), "new");  // nothing moves before the restart
    EXPECT_EQ(ReadBytes(target), "old");
}

TEST(ReplaceAtReboot, Windows98WritesWininit) {
    const TStr wininit = AddBackslash(GetWindowsFolder()) + "wininit.ini";
    if (FileExists(wininit)) GTEST_SKIP() << "this prefix has a wininit.ini of its own";
    OSVersionOverride win98(MakeOSVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, ""));
    PendingRenamesGuard restore;
    EXPECT_TRUE(ReplaceAtReboot("C:\\NEW\\A.DLL", "C:\\WIN\\SYSTEM\\A.DLL"));
    TStrList section;
    EXPECT_TRUE(ProfileReadSection(wininit, "Rename", section));
    EXPECT_TRUE(ProfileDropDocument(wininit));  // writes the file
    EXPECT_TRUE(DeleteFileA(wininit.c_str()));
    ASSERT_EQ(section.Count(), 2);
    EXPECT_EQ(section[0], "NUL=C:\\WIN\\SYSTEM\\A.DLL");
    EXPECT_EQ(section[1], "C:\\WIN\\SYSTEM\\A.DLL=C:\\NEW\\A.DLL");
    EXPECT_EQ(PendingRenames(), restore.saved);
}

}  // namespace
