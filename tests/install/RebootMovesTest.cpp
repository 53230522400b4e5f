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
#include "system/wqUtils.h"

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

// NT keeps one pair in the registry: the new file onto the old one, the
// target marked "!" (replace an existing file).
TEST(ReplaceAtReboot, NTSchedulesOneReplacingMove) {
    ScratchFolder dir;
    const std::string source = dir / "new.dll", target = dir / "old.dll";
    ASSERT_TRUE(WriteBytes(source, "new") && WriteBytes(target, "old"));
    PendingRenamesGuard restore;
    EXPECT_EQ(ReplaceAtReboot(source.c_str(), target.c_str()), rmScheduled);
    const std::string added = "\\??\\" + source + std::string(1, '\0') + "!\\??\\" + target;
    std::string after = PendingRenames();
    ASSERT_GE(after.size(), added.size()) << after;
    EXPECT_EQ(after.substr(after.size() - added.size()), added);
    EXPECT_EQ(ReadBytes(source), "new");  // nothing moves before the restart
    EXPECT_EQ(ReadBytes(target), "old");
}

// Windows 95/98: short names, appended after what the file holds already.
TEST(ReplaceAtReboot, Windows98AppendsShortNamesToWininit) {
    const TStr wininit = AddBackslash(GetWindowsFolder()) + "wininit.ini";
    if (FileExists(wininit)) GTEST_SKIP() << "this prefix has a wininit.ini of its own";
    ScratchFolder dir;
    const std::string target = dir / "Long Target Name.dll", source = dir / "Tar1.tmp", other = dir / "b.dll";
    ASSERT_TRUE(WriteBytes(target, "old") && WriteBytes(source, "new") && WriteBytes(other, "b"));
    ASSERT_TRUE(WriteBytes(wininit.c_str(), "; theirs\r\n[Rename]\r\nNUL=C:\\THEIRS.DLL\r\n"));
    OSVersionOverride win98(MakeOSVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1998, ""));
    PendingRenamesGuard restore;
    EXPECT_EQ(ReplaceAtReboot(source.c_str(), target.c_str()), rmScheduled);
    EXPECT_EQ(ReplaceAtReboot(source.c_str(), other.c_str()), rmScheduled);
    EXPECT_EQ(ReplaceAtReboot((dir / "missing").c_str(), other.c_str()), rmRefused);  // no short name
    char shortTarget[MAX_PATH], shortSource[MAX_PATH], shortOther[MAX_PATH];
    GetShortPathNameA(target.c_str(), shortTarget, MAX_PATH);
    GetShortPathNameA(source.c_str(), shortSource, MAX_PATH);
    GetShortPathNameA(other.c_str(), shortOther, MAX_PATH);
    EXPECT_NE(std::string(shortTarget), target);
    EXPECT_EQ(ReadBytes(wininit.c_str()), std::string("; theirs\r\n[Rename]\r\nNUL=C:\\THEIRS.DLL\r\nNUL=") + shortTarget +
                                              "\r\n" + shortTarget + "=" + shortSource + "\r\nNUL=" + shortOther + "\r\n" +
                                              shortOther + "=" + shortSource + "\r\n");
    EXPECT_TRUE(DeleteFileA(wininit.c_str()));
    EXPECT_EQ(PendingRenames(), restore.saved);
}

}  // namespace
