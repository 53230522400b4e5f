// Registry paths and values against the real registry (under Wine, the
// prefix's own): test keys live under Software\TarvTest\Registry of HKCU and
// HKLM and are removed afterwards.
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
    // Reads a value with raw Win32, not through the code under test.
    static bool RawValue(HKEY root, const std::string& subKey, const char* name, DWORD& type,
                         std::string& data) {
        HKEY key;
        if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        char buffer[4096];
        DWORD size = sizeof buffer;
        LONG rc = RegQueryValueExA(key, name, nullptr, &type, (BYTE*)buffer, &size);
        RegCloseKey(key);
        data.assign(buffer, rc == ERROR_SUCCESS ? size : 0);
        return rc == ERROR_SUCCESS;
    }
};

TEST_F(RegistryTest, SplitPath) {
    const struct {
        const char* path;
        HKEY root;  // 0: no root, the split fails
        const char* subKey;
        const char* valueName;
    } cases[] = {
        {"HKLM\\SOFTWARE\\A\\B", HKEY_LOCAL_MACHINE, "SOFTWARE\\A", "B"},
        {"HKLM\\SOFTWARE\\A\\", HKEY_LOCAL_MACHINE, "SOFTWARE\\A", ""},
        {"HKCU\\Software\\A\\x:y", HKEY_CURRENT_USER, "Software\\A\\x:", "y"},
        {"HKCR\\.txt\\", HKEY_CLASSES_ROOT, ".txt", ""},
        {"HKLM\\A:\\v", HKEY_LOCAL_MACHINE, "A:", "v"},
        {"HKCU\\\\V", HKEY_CURRENT_USER, "", "V"},
        {"hklm\\SOFTWARE\\A", 0, "", ""},  // the root is case-sensitive
        {"HKLM\\Name", 0, "", ""},        // key part "HKLM": shorter than a root
        {"HKLM\\", 0, "", ""},
        {"HKEY\\Software\\A", 0, "", ""},
        {"HKU\\\\S-1\\A\\B", 0, "", ""},
        {"Software\\A", 0, "", ""},
        {"", 0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        HKEY root = (HKEY)1;
        TStr subKey, valueName;
        EXPECT_EQ(RegSplitPath(c.path, root, subKey, valueName), c.root != 0);
        EXPECT_EQ(root, c.root);
        if (c.root) {
            EXPECT_EQ(subKey, c.subKey);
            EXPECT_EQ(valueName, c.valueName);
        }
    }
}

TEST_F(RegistryTest, StringsRoundTripInBothRoots) {
    for (const char* root : {"HKCU\\", "HKLM\\"}) {
        SCOPED_TRACE(root);
        TStr base = TStr(root) + kTestKey + "\\Deep\\Er\\";
        EXPECT_FALSE(RegKeyExists(base));
        ASSERT_TRUE(RegWriteString(base + "Name", "C:\\Program Files\\Demo"));
        EXPECT_TRUE(RegKeyExists(base));  // created with its parents
        EXPECT_TRUE(RegKeyExists(TStr(root) + kTestKey + "\\Deep"));
        EXPECT_TRUE(RegValueExists(base + "Name"));
        EXPECT_FALSE(RegValueExists(base + "name2"));
        EXPECT_EQ(RegReadString(base + "Name", "-"), "C:\\Program Files\\Demo");
        EXPECT_EQ(RegReadString(base + "NAME", "-"), "C:\\Program Files\\Demo");  // names ignore case
        EXPECT_EQ(RegReadString(base + "Missing", "-"), "-");
        // The key's default value is the empty value name.
        ASSERT_TRUE(RegWriteString(base, "default"));
        EXPECT_EQ(RegReadString(base, "-"), "default");
    }
    DWORD type;
    std::string data;
    ASSERT_TRUE(RawValue(HKEY_LOCAL_MACHINE, std::string(kTestKey) + "\\Deep\\Er", "Name", type, data));
    EXPECT_EQ(type, (DWORD)REG_SZ);
    EXPECT_EQ(data, std::string("C:\\Program Files\\Demo") + '\0');  // the system added the zero
}

TEST_F(RegistryTest, EmptyAndBoundarySizes) {
    TStr base = TStr("HKCU\\") + kTestKey + "\\";
    DWORD type;
    std::string data;

    // "" is stored with size 0, and reads back as "" rather than the default.
    ASSERT_TRUE(RegWriteString(base + "Empty", ""));
    ASSERT_TRUE(RawValue(HKEY_CURRENT_USER, kTestKey, "Empty", type, data));
    EXPECT_EQ(type, (DWORD)REG_SZ);
    EXPECT_EQ(data.size(), 0u);
    EXPECT_EQ(RegReadString(base + "Empty", "default"), "");
    char buffer[8];
    DWORD size = sizeof buffer;
    EXPECT_TRUE(RegReadData(base + "Empty", buffer, size));
    EXPECT_EQ(size, 0u);

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
    size = 4;
    EXPECT_FALSE(RegReadData(base + "B1024", buffer, size));  // buffer too small
}

TEST_F(RegistryTest, Integers) {
    TStr path = TStr("HKLM\\") + kTestKey + "\\Counter";
    ASSERT_TRUE(RegWriteInteger(path, -2));
    DWORD type;
    std::string data;
    ASSERT_TRUE(RawValue(HKEY_LOCAL_MACHINE, kTestKey, "Counter", type, data));
    EXPECT_EQ(type, (DWORD)REG_DWORD);
    EXPECT_EQ(data, std::string("\xFE\xFF\xFF\xFF", 4));
    DWORD value = 0, size = sizeof value;
    EXPECT_TRUE(RegReadData(path, &value, size));
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(value, 0xFFFFFFFEu);
}

TEST_F(RegistryTest, ColonSplitsTheLastElement) {
    TStr base = TStr("HKCU\\") + kTestKey;
    ASSERT_TRUE(RegWriteString(base + "\\x:y", "v"));
    DWORD type;
    std::string data;
    EXPECT_TRUE(RawValue(HKEY_CURRENT_USER, std::string(kTestKey) + "\\x:", "y", type, data));
    EXPECT_TRUE(RegKeyExists(base + "\\x:"));
    EXPECT_EQ(RegReadString(base + "\\x:y", "-"), "v");
}

TEST_F(RegistryTest, EnumeratesSubkeysAndClearsTheList) {
    TStr base = TStr("HKCU\\") + kTestKey + "\\Enum";
    for (const char* name : {"b", "A", "c 1", "Zeta"}) ASSERT_TRUE(RegWriteString(base + "\\" + name + "\\v", "1"));
    RegWriteString(base + "\\NotAKey", "value");  // a value, not a subkey
    TStrList names;
    names.Add("stale");
    RegEnumSubKeys(base, names);
    names.Sort();
    ASSERT_EQ(names.Count(), 4);
    EXPECT_EQ(names[0], "A");
    EXPECT_EQ(names[1], "b");
    EXPECT_EQ(names[2], "c 1");
    EXPECT_EQ(names[3], "Zeta");
    RegEnumSubKeys(base + "\\", names);  // a trailing "\" names the same key
    EXPECT_EQ(names.Count(), 4);
    RegEnumSubKeys(base + "\\b", names);  // no subkeys
    EXPECT_EQ(names.Count(), 0);
    names.Add("stale");
    RegEnumSubKeys(base + "\\Missing", names);
    EXPECT_EQ(names.Count(), 0);
}

TEST_F(RegistryTest, MissingKeysAndUnknownRootsFailEverything) {
    const TStr missing = TStr("HKCU\\") + kTestKey + "\\Missing\\Value";
    for (const TStr& path : {missing, TStr("HKXX\\Software\\TarvTest\\Registry\\v"),
                             TStr("hkcu\\Software\\TarvTest\\Registry\\v"), TStr("HKCU\\v")}) {
        SCOPED_TRACE(path.c_str());
        EXPECT_EQ(RegReadString(path, "default"), "default");
        EXPECT_FALSE(RegValueExists(path));
        EXPECT_FALSE(RegKeyExists(path));
        char buffer[8];
        DWORD size = sizeof buffer;
        EXPECT_FALSE(RegReadData(path, buffer, size));
        TStrList names;
        names.Add("stale");
        RegEnumSubKeys(path, names);
        EXPECT_EQ(names.Count(), 0);
    }
    for (const char* path : {"HKXX\\Software\\TarvTest\\Registry\\v", "hkcu\\Software\\TarvTest\\Registry\\v",
                             "HKCU\\v", "", "v"}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(RegWriteString(path, "x"));
        EXPECT_FALSE(RegWriteInteger(path, 1));
    }
    HKEY key;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &key), ERROR_SUCCESS);
}

}  // namespace
