// Path text: backslashes, folder and name parts, extensions, drives.
#include "config/wqPath.h"

#include <gtest/gtest.h>

#include "support/TestPrint.h"

namespace {

TEST(PathText, AddAndRemoveBackslash) {
    const struct { const char *in, *added, *removed; } cases[] = {
        {"", "", ""},                          {"\\", "\\", "\\"},
        {"C:", "C:\\", "C:"},                  {"C:\\", "C:\\", "C:\\"},
        {"z:\\", "z:\\", "z:\\"},              {"C:\\Temp", "C:\\Temp\\", "C:\\Temp"},
        {"C:\\Temp\\", "C:\\Temp\\", "C:\\Temp"},
        {"1:\\", "1:\\", "1:"},                // not a drive letter
        {"ab\\", "ab\\", "ab"},                // three characters, no colon
        {"C:\\a\\\\", "C:\\a\\\\", "C:\\a\\"},  // one backslash at a time
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AddBackslash(c.in), c.added) << "'" << c.in << "'";
        EXPECT_EQ(RemoveBackslash(c.in), c.removed) << "'" << c.in << "'";
    }
}

TEST(PathText, PartsExtensionsAndDrives) {
    const struct { const char *path, *folder, *name, *ins, *drive; } cases[] = {
        {"C:\\App\\a.txt", "C:\\App\\", "a.txt", "C:\\App\\a.ins", "C:"},
        {"C:a.b.c", "C:", "a.b.c", "C:a.b.ins", "C:"},
        {"dir.d\\name", "dir.d\\", "name", "dir.d\\name.ins", ""},  // a dot in a folder is no extension
        {"Setup", "", "Setup", "Setup.ins", ""},
        {"Setup.", "", "Setup.", "Setup.ins", ""},
        {"\\\\srv\\share\\x\\y.dll", "\\\\srv\\share\\x\\", "y.dll", "\\\\srv\\share\\x\\y.ins", "\\\\srv\\share"},
        {"\\\\srv", "\\\\", "srv", "\\\\srv.ins", "\\\\srv"},
        {"", "", "", ".ins", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FolderPart(c.path), c.folder) << c.path;
        EXPECT_EQ(FolderPartLength(c.path), TStr(c.folder).length()) << c.path;
        EXPECT_EQ(FileNamePart(c.path), c.name) << c.path;
        EXPECT_EQ(ChangeFileExt(c.path, ".ins"), c.ins) << c.path;
        EXPECT_EQ(DrivePart(c.path), c.drive) << c.path;
    }
    EXPECT_TRUE(IsBareDrive("x:"));
    EXPECT_FALSE(IsBareDrive("x:\\"));
    EXPECT_TRUE(IsDriveRoot("x:\\"));
    EXPECT_FALSE(IsDriveRoot("x:"));
}

}  // namespace
