// Extraction: the selection rules, the size count over real and built
// archives (with its two error boxes, closed by a watcher thread), folder
// paths recorded in the install log, and list items set once.
#include "archive/Extraction.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestPrint.h"
#include "support/WinTestSupport.h"
#include "archive/RarFormat.h"
#include "config/wqRegIni.h"
#include "install/Log.h"
#include "setup/RunState.h"
#include "system/wqFileUtils.h"

namespace {

std::string Fixture(const std::string& name) {
    std::string path = std::string(TARV_FIXTURES_DIR) + "/rar/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

TStrList ListOf(std::initializer_list<const char*> items) {
    TStrList list;
    for (const char* s : items) list.Add(s);
    return list;
}

// Closes the message boxes titled `title` that appear while it lives and
// keeps their texts.
class BoxCloser {
public:
    explicit BoxCloser(const char* title) : title_(title) {
        thread_ = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
    }
    ~BoxCloser() {
        stop_ = true;
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    std::vector<std::string> texts;

private:
    static DWORD WINAPI Watch(void* self) {
        BoxCloser* b = static_cast<BoxCloser*>(self);
        while (!b->stop_) {
            HWND box = FindWindowA("#32770", b->title_);
            if (box) {
                char text[256] = "";
                GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the box's message
                b->texts.push_back(text);
                SendMessageA(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(20);
        }
        return 0;
    }
    const char* title_;
    volatile bool stop_ = false;
    HANDLE thread_;
};

TEST(Extraction, HasWildcards) {
    const struct {
        const char* text;
        bool wild;
    } cases[] = {{"Data\\*.*", true}, {"a?c", true}, {"*", true}, {"Data\\a.txt", false}, {"", false}};
    for (const auto& c : cases) EXPECT_EQ(c.wild, HasWildcards(c.text)) << c.text;
}

TEST(Extraction, FindFileEntryTakesTheFirstCoveringItem) {
    const struct {
        TStrList list;
        const char* stored;
        int index;
    } cases[] = {
        {ListOf({"Data\\*.txt=1", "Data\\a.txt=2"}), "Data\\a.txt", 0},
        {ListOf({"Data\\a.txt=2", "Data\\*.txt=1"}), "Data\\a.txt", 0},
        {ListOf({"Data\\b.txt=2", "Data\\*.txt=1"}), "Data\\a.txt", 1},
        {ListOf({"data\\*.*=x"}), "Data\\Sub\\X.DLL", 0},
        {ListOf({"Data\\sub\\*.*=x"}), "Data\\x.dll", -1},
        {ListOf({"Data\\Readme.txt=x"}), "DATA\\README.TXT", 0},
        {ListOf({"Data\\Readme.txt=x"}), "Data\\old\\Readme.txt", -1},
        {ListOf({"Data\\*.*=x"}), "Data\\README", -1},
        {ListOf({"Data\\*=x"}), "Data\\README", 0},
        {ListOf({"*.dll=x"}), "Data\\deep\\x.dll", 0},
        {ListOf({"C:*.dll=x"}), "Data\\x.dll", -1},
        {ListOf({"Dat\\*.*=x"}), "Data\\x.dll", -1},
        {ListOf({}), "Data\\x.dll", -1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.index, FindFileEntry(c.list, c.stored)) << c.stored;
}

TEST(Extraction, SetListValueLeavesOneItemAtTheEnd) {
    TStrList list = ListOf({"a=1", "B=2", "A=3", "c=4"});
    SetListValue(list, "b", "x");
    SetListValue(list, "a", "y");
    ASSERT_EQ(3, list.Count());
    EXPECT_EQ(TStr("c=4"), list[0]);
    EXPECT_EQ(TStr("b=x"), list[1]);
    EXPECT_EQ(TStr("a=y"), list[2]);
}

class ArchiveFilesSizeTest : public testing::Test {
protected:
    void SetUp() override {
        saved_ = RunState().ExeName;
        RunState().ProgramName = "ArchiveFilesSizeTest";
    }
    void TearDown() override {
        RunState().ExeName = saved_;
        RunState().ProgramName = "Setup";
    }
    TStr saved_;
};

TEST_F(ArchiveFilesSizeTest, CountsTheSelectedEntriesOnce) {
    RunState().ExeName = Fixture("v20/test_v2.rar").c_str();  // p0.bin .. p5.bin, pMM.bin
    const unsigned long long k = 16384;
    TStrList twoItems = ListOf({"p1.bin=a", "p?.bin=b", "*.bin=c"});
    TStrList none = ListOf({"other.bin=a"});
    const struct {
        const char* mask;
        const TStrList* list;
        bool stop;
        unsigned long long size;
    } cases[] = {
        {"*", nullptr, false, 7 * k},
        {"p?.bin", nullptr, false, 6 * k},
        {"p5.bin", nullptr, false, k},
        {"p5.bin", nullptr, true, 0},      // p0.bin comes first and ends the count
        {"p0.bin", nullptr, true, k},
        {"P?.BIN", &twoItems, false, 6 * k},
        {"*", &none, false, 0},
        {"Data\\*.*", nullptr, false, 0},  // nothing outside the mask counts
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.size, ArchiveFilesSize(c.mask, c.list, c.stop)) << c.mask << " stop " << c.stop;
    }
}

TEST_F(ArchiveFilesSizeTest, SumsAbove4GBWithoutWrapping) {
    // Listing reads no data, so headers that announce 3 GB each suffice.
    std::string archive(reinterpret_cast<const char*>(rar::kMarker), rar::kMarkerSize);
    uint8_t buf[512];
    archive.append(reinterpret_cast<char*>(buf), rar::WriteMainHeader(buf, sizeof buf, 0));
    for (const char* name : {"Data\\a", "Data\\b"}) {
        rar::FileHeader h = {};
        h.unpSize = 0xC0000000u;
        h.unpVer = 20;
        h.method = 0x30;
        h.nameSize = (uint16_t)strlen(name);
        memcpy(h.name, name, h.nameSize);
        archive.append(reinterpret_cast<char*>(buf), rar::WriteFileHeader(buf, sizeof buf, h));
    }
    ScratchFolder dir;
    ASSERT_TRUE(WriteBytes(dir / "big.rar", archive));
    RunState().ExeName = (dir / "big.rar").c_str();
    EXPECT_EQ(2 * 0xC0000000ull, ArchiveFilesSize("Data\\*", nullptr, false));
}

TEST_F(ArchiveFilesSizeTest, AnArchiveThatDoesNotOpenShowsTheErrorBox) {
    RunState().ExeName = Fixture("v20/etalon.bin").c_str();
    BoxCloser closer("ArchiveFilesSizeTest");
    EXPECT_EQ(0ull, ArchiveFilesSize("*", nullptr, false));
    Sleep(100);
    ASSERT_EQ(1u, closer.texts.size());
    EXPECT_EQ("Archive open error!", closer.texts[0]);
}

class ForceFolderPathTest : public testing::Test {
protected:
    void SetUp() override {
        LogFileName = log.c_str();
        LogStarted = true;
    }
    void TearDown() override {
        ProfileFlushAll();
        LogStarted = false;
        LogFileName = TStr();
    }
    ScratchFolder dir;
    std::string log = dir / "install.log";
};

TEST_F(ForceFolderPathTest, CreatesMissingFoldersOutermostFirstAndLogsThem) {
    CreateDirectoryA((dir / "A").c_str(), nullptr);
    ForceFolderPath((dir / "A\\B\\C\\").c_str());
    ForceFolderPath((dir / "A\\B\\C").c_str());  // exists now: nothing more
    ForceFolderPath("");
    ForceFolderPath("C:");
    EXPECT_TRUE(IsDirectory(TStr((dir / "A\\B\\C").c_str())));
    ProfileFlushAll();
    EXPECT_EQ("[CreateDirs]\r\n" + dir / "A\\B=\r\n" + dir / "A\\B\\C=\r\n\r\n", ReadBytes(log));
}

}  // namespace
