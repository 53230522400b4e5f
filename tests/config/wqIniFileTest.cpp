// INI documents bound to real files (under Wine: the prefix's file system).
// The syntax and the written layout belong to wqIniText; here: what reaches
// the file, when, and who else may open it.
#include <gtest/gtest.h>

#include "config/wqErrors.h"
#include "config/wqIniFile.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"

namespace {

class IniFileTest : public testing::Test {
protected:
    TwqIniFile* Load(const std::string& text, bool readOnly) {
        WriteBytes(path, text);
        return TwqIniFile::Create(path.c_str(), readOnly, kIniDefaultOptions);
    }
    ScratchFolder folder;
    std::string path = folder / "test.ini";
};

TEST_F(IniFileTest, WritableDocumentWritesBackWhatChangedAndNothingElse) {
    TwqIniFile* doc = Load("[A]\r\nx=1\r\n[Empty]\r\n[B]\r\ny=2\r\n[C]\r\nc=1\r\n", false);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->ReadString("a", "X", "-"), "1");
    doc->WriteString("B", "y", "2");  // the identical line changes nothing
    EXPECT_FALSE(doc->Modified());
    doc->WriteString("B", "y", "3");
    EXPECT_TRUE(doc->Modified());
    doc->WriteString("B", "z", "");
    doc->WriteString("New", "k", "v");
    EXPECT_EQ(doc->ReadString("C", "c", "-"), "1");  // the search now starts at C
    doc->EraseSection("C");
    doc->WriteString("A", "x", "2");
    doc->DeleteKey("Missing", "k");  // creates an empty section, never written
    delete doc;
    EXPECT_EQ(ReadBytes(path), "[A]\r\nx=2\r\n\r\n[B]\r\ny=3\r\nz=\r\n\r\n[New]\r\nk=v\r\n\r\n");

    doc = TwqIniFile::Create(path.c_str(), false, kIniDefaultOptions);
    ASSERT_NE(doc, nullptr);
    for (const char* key : {"y", "z"}) doc->DeleteKey("B", key);
    doc->DeleteKey("A", "x");
    doc->DeleteKey("New", "k");
    EXPECT_TRUE(doc->UpdateFile());
    EXPECT_FALSE(doc->Modified());
    EXPECT_EQ(ReadBytes(path), "");  // the file is cut to the shorter document
    delete doc;
}

TEST_F(IniFileTest, ReadOnlyDocumentIsNeverWrittenAndMissingFileStaysMissing) {
    TwqIniFile* doc = Load("[A]\r\na=1\r\n", true);
    ASSERT_NE(doc, nullptr);
    doc->WriteString("A", "a", "changed");
    EXPECT_TRUE(doc->UpdateFile());
    delete doc;
    EXPECT_EQ(ReadBytes(path), "[A]\r\na=1\r\n");

    std::string missing = folder / "missing.ini";
    doc = TwqIniFile::Create(missing.c_str(), true, kIniDefaultOptions);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->ReadString("A", "a", "default"), "default");
    delete doc;
    EXPECT_EQ(ReadBytes(missing), "<missing>");
    EXPECT_FALSE(ErrorPending());
}

TEST_F(IniFileTest, WritableDocumentHoldsItsFileAgainstOtherWriters) {
    TwqIniFile* doc = Load("[A]\r\na=1\r\n", false);
    ASSERT_NE(doc, nullptr);
    HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadBytes(path), "[A]\r\na=1\r\n");  // readers are welcome
    delete doc;
    writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    CloseHandle(writer);
}

TEST_F(IniFileTest, UnopenableFileRaisesTheOpenErrorAndYieldsNoDocument) {
    std::string nowhere = folder / "no\\such\\folder.ini";
    EXPECT_EQ(TwqIniFile::Create(nowhere.c_str(), false, kIniDefaultOptions), nullptr);
    EXPECT_EQ(TakeError(), ("Cannot open file " + nowhere).c_str());
    // Another program holding the file for writing keeps a writable document
    // out, while a reader still gets in. (A read-only attribute would do the
    // same on Windows, but Wine running as root lets the write open through.)
    WriteBytes(path, "[A]\r\na=1\r\n");
    HANDLE other = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(TwqIniFile::Create(path.c_str(), false, kIniDefaultOptions), nullptr);
    EXPECT_EQ(TakeError(), ("Cannot open file " + path).c_str());
    TwqIniFile* reader = TwqIniFile::Create(path.c_str(), true, kIniDefaultOptions);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->ReadString("A", "a", ""), "1");
    delete reader;
    CloseHandle(other);
}

TEST_F(IniFileTest, SectionValuesAndWriteBack) {
    TwqIniFile* doc = Load("[N]\r\nhex=0x1F\r\n[M]\r\nm=1\r\n", false);
    ASSERT_NE(doc, nullptr);
    doc->WriteString("M", "i", "-5");
    TStrList values = ListOf({"kept"});
    doc->ReadSectionValues("m", values);
    EXPECT_EQ(values[0] + "|" + values[1] + "|" + values[2], "kept|m=1|i=-5");
    doc->WriteString("", "", "");  // all empty: written back at once
    EXPECT_FALSE(doc->Modified());
    EXPECT_NE(ReadBytes(path).find("[M]\r\nm=1\r\ni=-5\r\n"), std::string::npos);
    doc->WriteString("N", "", "");  // empty key: the section goes
    EXPECT_EQ(doc->ReadString("N", "hex", "gone"), "gone");
    delete doc;
}

}  // namespace
