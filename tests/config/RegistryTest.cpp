// Registry paths and values against the prefix's registry; test keys live
// under Software\TarvTest\Registry of HKCU and HKLM and are removed afterwards.
#include <gtest/gtest.h>

#include <string>

#include "config/wqRegIni.h"
#include "support/TestPrint.h"
#include "support/TextTestSupport.h"

namespace {

const char kTestKey[] = "Software\\TarvTest\\Registry";

class RegistryTest : public testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override {
        DeleteRegTreeForTest(HKEY_CURRENT_USER, kTestKey);
        DeleteRegTreeForTest(HKEY_LOCAL_MACHINE, kTestKey);
    }
    // "type:bytes" of a value read with raw Win32; "" when it cannot be read.
    static std::string RawValue(HKEY root, const std::string& subKey, const char* name) {
        HKEY key;
        if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
        char buffer[4096];
        DWORD size = sizeof buffer, type = 0;
        LONG rc = RegQueryValueExA(key, name, nullptr, &type, (BYTE*)buffer, &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? std::to_string(type) + ":" + std::string(buffer, size) : "";
    }
    const TStr base = TStr("HKCU\\") + kTestKey + "\\";
};

TEST_F(RegistryTest, SplitPath) {
    const struct { const char* path; HKEY root; const char *subKey, *valueName; } cases[] = {
        {"HKLM\\SOFTWARE\\A\\B", HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "B"},
        {"HKLM\\SOFTWARE\\A\\", HKEY_LOCAL_MACHINE, "SOFTWARE\\A", ""},
        {"HKCU\\Software\\A\\x:y", HKEY_CURRENT_USER, "Software\\A\\x:", "y"},  // a colon splits too
        {"HKCR\\.txt\\", HKEY_CLASSES_ROOT, ".txt", ""},
        {"HKCU\\\\V", HKEY_CURRENT_USER, "", "V"},
        // No root: the split fails.
        {"hklm\\SOFTWARE\\A", 0, "", ""},  // the root is case-sensitive
        {"HKLM\\Name", 0, "", ""},         // key part "HKLM": shorter than a root
        {"HKU\\\\S-1\\A\\B", 0, "", ""},   {"Software\\A", 0, "", ""}, {"", 0, "", ""},
    };
    for (const auto& c : cases) {
        HKEY root = (HKEY)1;
        TStr subKey, valueName;
        EXPECT_EQ(RegSplitPath(c.path, root, subKey, valueName), c.root != 0) << c.path;
        EXPECT_EQ(root, c.root) << c.path;
        if (c.root) EXPECT_EQ(subKey + "|" + valueName, TStr(c.subKey) + "|" + c.valueName);
    }
}

TEST_F(RegistryTest, StringsAndIntegersRoundTripInBothRoots) {
    for (const char* root : {"HKCU\\", "HKLM\\"}) {
        SCOPED_TRACE(root);
        TStr deep = TStr(root) + kTestKey + "\\Deep\\Er\\";
        EXPECT_FALSE(RegKeyExists(deep));
        ASSERT_TRUE(RegWriteString(deep + "Name", "C:\\Program Files\\Demo"));
        EXPECT_TRUE(RegKeyExists(deep));  // created with its parents
        EXPECT_FALSE(RegKeyExists(deep + "Name"));  // the whole path names the key: a value is none
        EXPECT_TRUE(RegValueExists(deep + "Name"));
        EXPECT_FALSE(RegValueExists(deep + "name2"));
        EXPECT_EQ(RegReadString(deep + "NAME", "-"), "C:\\Program Files\\Demo");  // names ignore case
        EXPECT_EQ(RegReadString(deep + "Missing", "-"), "-");
        ASSERT_TRUE(RegWriteString(deep, "default"));  // the key's default value
        EXPECT_EQ(RegReadString(deep, "-"), "default");
    }
    EXPECT_EQ(RawValue(HKEY_LOCAL_MACHINE, std::string(kTestKey) + "\\Deep\\Er", "Name"),
              std::string("1:C:\\Program Files\\Demo") + '\0');  // REG_SZ; the system added the zero
    ASSERT_TRUE(RegWriteString(base + "x:y", "v"));
    EXPECT_EQ(RawValue(HKEY_CURRENT_USER, std::string(kTestKey) + "\\x:", "y"), std::string("1:v", 4));
    ASSERT_TRUE(RegWriteInteger(base + "Counter", -2));
    EXPECT_EQ(RawValue(HKEY_CURRENT_USER, kTestKey, "Counter"), "4:\xFE\xFF\xFF\xFF");  // REG_DWORD
    DWORD value = 0, size = sizeof value;
    EXPECT_TRUE(RegReadData(base + "Counter", &value, size));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(value, 0xFFFFFFFEu);
}

TEST_F(RegistryTest, EmptyAndBoundarySizes) {
    // "" is stored with size 0, and reads back as "" rather than the default.
    ASSERT_TRUE(RegWriteString(base + "Empty", ""));
    EXPECT_EQ(RawValue(HKEY_CURRENT_USER, kTestKey, "Empty"), "1:");
    EXPECT_EQ(RegReadString(base + "Empty", "default"), "");
    const std::string s1023(1023, 'x');
    ASSERT_TRUE(RegWriteString(base + "S1023", s1023.c_str()));  // 1024 bytes with the zero
    EXPECT_EQ(RegReadString(base + "S1023", "default"), s1023.c_str());
    ASSERT_TRUE(RegWriteString(base + "S1024", (s1023 + "y").c_str()));
    EXPECT_EQ(RegReadString(base + "S1024", "default"), "default");
    // Binary data: exactly 1024 bytes give the first 1023, whatever the type.
    std::string bytes;
    for (int i = 0; i < 1025; ++i) bytes += (char)('a' + i % 26);
    ASSERT_TRUE(RegWriteData(base + "B1024", REG_BINARY, bytes.data(), 1024));
    ASSERT_TRUE(RegWriteData(base + "B1025", REG_BINARY, bytes.data(), 1025));
    EXPECT_EQ(RegReadString(base + "B1024", "default"), TStr(bytes.data(), 1023));
    EXPECT_EQ(RegReadString(base + "B1025", "default"), "default");
    char buffer[8];
    DWORD size = 4;
    EXPECT_FALSE(RegReadData(base + "B1024", buffer, size));  // buffer too small
}

TEST_F(RegistryTest, EnumeratesSubkeysAndClearsTheList) {
    for (const char* name : {"b", "A", "c 1"}) ASSERT_TRUE(RegWriteString(base + "Enum\\" + name + "\\v", "1"));
    RegWriteString(base + "Enum\\NotAKey", "value");
    const struct { const char* path; int count; } cases[] = {
        {"Enum", 3}, {"Enum\\", 3}, {"Enum\\b", 0}, {"Missing", 0}};
    for (const auto& c : cases) {
        TStrList names = ListOf({"stale"});
        RegEnumSubKeys(base + c.path, names);
        EXPECT_EQ(names.Count(), c.count) << c.path;
        names.Sort();
        if (c.count == 3) EXPECT_EQ(names[0] + "|" + names[1] + "|" + names[2], "A|b|c 1");
    }
}

// Every operation splits its path the same way (tested above): one missing
// key and one unknown root are enough to see that each gives up.
TEST_F(RegistryTest, MissingKeysAndOtherRootsFailEverything) {
    for (const char* path : {"HKCU\\Software\\TarvTest\\Registry\\Missing\\Value", "HKU\\\\.DEFAULT\\v"}) {
        SCOPED_TRACE(path);
        char buffer[8];
        DWORD size = sizeof buffer;
        TStrList names = ListOf({"stale"});
        RegEnumSubKeys(path, names);
        EXPECT_EQ(names.Count(), 0);
        EXPECT_EQ(RegReadString(path, "default"), "default");
        EXPECT_FALSE(RegValueExists(path) || RegKeyExists(path) || RegReadData(path, buffer, size));
    }
    EXPECT_FALSE(RegWriteString("HKXX\\Software\\TarvTest\\Registry\\v", "x"));
    EXPECT_FALSE(RegWriteInteger("hkcu\\Software\\TarvTest\\Registry\\v", 1));
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &key), ERROR_SUCCESS);
}

}  // namespace
