// Unrar on real files: what the Win32 layer adds to the reader core (whose
// own tests cover the archives' contents): the integrity check of a setup
// program, opening, file times, attributes and folders, deletion after a CRC
// failure, outputs that cannot be created, refused entries, the walk's
// verdict, listing mode, volumes opened from disk.
#include "archive/Unrar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/PortableArchiveSupport.h"
#include "support/SystemTestSupport.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"
#include "system/wqFileUtils.h"

namespace {

std::string Fixture(const std::string& name) {
    std::string path = RarFixturePath(name);
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }
std::string Archive(const std::vector<BuiltEntry>& entries) { return Text(BuildStoredArchive(entries)); }

std::vector<int> g_progress;

void RecordProgress(const char*, int bytes, int) { g_progress.push_back(bytes); }

// Closes on every path.
struct Open {
    TArchiveHandle h;
    Open(const std::string& path, int mode) : h(OpenArchive(path.c_str(), mode)) {}
    ~Open() { CloseArchive(h); }
};

const LocalStamp kStamp = {2004, 7, 15, 13, 45, 30};

// What the pre-setup stage checks before it unpacks anything (while another
// archive is open: the check holds its own file), and which files open.
TEST(Unrar, VerifyArchiveRefusesADamagedOrIncompleteSetupProgram) {
    ScratchFolder dir;
    std::string setup = Text(SealedArchive({{"Presetup\\Tarv.ini", "[Config]"}, {"Data\\a.bin", std::string(5000, 'a')}},
                                           Bytes(4096, 'M')));
    std::string flipped = setup;
    flipped[4096 + 100] ^= 1;
    const struct {
        const char* name;
        std::string bytes;  // "": the file is missing
        int result;
        bool opens;
    } cases[] = {
        {"setup.exe", setup, rarSuccess, true},
        {"signed.exe", setup + std::string(200, 'S'), rarSuccess, true},
        {"cut-in-data.exe", setup.substr(0, setup.size() - 1000), rarBadData, true},
        {"cut-by-one.exe", setup.substr(0, setup.size() - 1), rarBadData, true},
        {"cut-behind-main.exe", setup.substr(0, 4096 + 20), rarBadData, true},
        {"flipped.exe", flipped, rarBadData, true},
        {"foreign.rar", ReadBytes(Fixture("v20/test_v2.rar")), rarSuccess, true},  // no record
        {"sfx.exe", ReadBytes(Fixture("sfx/test_read_format_rar_sfx.exe")), rarSuccess, true},
        {"nothing.exe", ReadBytes(Fixture("v20/etalon.bin")), rarOpenError, false},
        {"missing.exe", "", rarOpenError, false},
    };
    {
        Open first(Fixture("v20/test_v2solid5.rar"), 0);
        ASSERT_NE(nullptr, first.h);
        for (const auto& c : cases) {
            if (!c.bytes.empty()) ASSERT_TRUE(WriteBytes(dir / c.name, c.bytes));
            EXPECT_EQ(c.result, VerifyArchive((dir / c.name).c_str())) << c.name;
        }
        EXPECT_EQ(nullptr, Open(dir / "setup.exe", 0).h);  // one archive at a time
    }
    for (const auto& c : cases) EXPECT_EQ(c.opens, Open(dir / c.name, 0).h != nullptr) << c.name;
}

TEST(Unrar, FilesGetTimeAttributesAndFolders) {
    ScratchFolder dir;
    std::string archive = dir / "a.rar";
    DWORD stamp = DosStampOf(kStamp);
    ASSERT_TRUE(WriteBytes(archive, Archive({{"sub\\deeper\\plain.txt", "plain", 2, 0x20, stamp},
                                             {"ro.txt", "read only", 2, 0x21, stamp},
                                             {"hidden.txt", "hidden", 2, 0x22, stamp}})));
    std::string out = dir / "out";
    const DWORD attrs[] = {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE,
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE};
    TRARHeader h;
    {
        Open a(archive, 1);
        for (DWORD expected : attrs) {
            ASSERT_TRUE(ReadFileHeader(a.h, h));
            EXPECT_TRUE(ProcessFile(a.h, 1, out.c_str(), nullptr, TStr()));
            std::string path = out + "\\" + h.FileName.c_str();
            EXPECT_EQ(expected, GetFileAttributesA(path.c_str())) << path;
            FILETIME want = FileTimeOfLocal(kStamp), got = LastWriteTimeOf(path);
            EXPECT_TRUE(want.dwLowDateTime == got.dwLowDateTime && want.dwHighDateTime == got.dwHighDateTime)
                << path;
        }
        EXPECT_EQ("plain", ReadBytes(out + "\\sub\\deeper\\plain.txt"));
    }
    {
        // Extracting over a read-only file replaces it.
        Open a(archive, 1);
        ASSERT_TRUE(ReadFileHeader(a.h, h) && ProcessFile(a.h, 0, TStr(), nullptr, TStr()));
        ASSERT_TRUE(ReadFileHeader(a.h, h));
        EXPECT_TRUE(ProcessFile(a.h, 1, out.c_str(), nullptr, TStr()));
        EXPECT_EQ("read only", ReadBytes(out + "\\ro.txt"));
    }
    // Unix mode bits (rw-rw-r--) are no Windows attributes: an archive file.
    Open a(Fixture("v20/rar2-unix-owner.rar"), 1);
    ASSERT_TRUE(ReadFileHeader(a.h, h));
    ASSERT_EQ(3u, h.HostOS);
    EXPECT_TRUE(ProcessFile(a.h, 1, TStr(), nullptr, (dir / "unix").c_str()));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA((dir / "unix").c_str()));
}

// Failed and refused entries leave no file and the walk goes on, to a cut
// that it reports as a damaged archive; sizes keep their high halves.
TEST(Unrar, FailuresLeaveNoFileAndTheWalkGoesOnToTheDamage) {
    ScratchFolder dir;
    std::string archive = dir / "a.rar";
    std::string bytes = Archive({{"bad.txt", "wrong crc", 2, 0x20, 0, true},
                                 {"blocked.txt", "x"},
                                 {"..\\..\\evil.txt", "evil"},
                                 {"C:..\\..\\evil2.txt", "evil"},
                                 {"sub\\nul.txt", "device"},
                                 {"secret.txt", "?", 2, 0x20, 0, false, 0, ~0ull, rar::kFileEncrypted},
                                 {"big.txt", "short", 2, 0x20, 0, false, 0, 0x100000005ull},
                                 {"good.txt", "good"},
                                 {"cut.txt", "cut short"}});
    ASSERT_TRUE(WriteBytes(archive, bytes.substr(0, bytes.size() - 10)));
    ASSERT_TRUE(WriteBytes(dir / "blocker", "a file where a folder should be"));
    CreateDirectoryA((dir / "out").c_str(), nullptr);
    const struct {
        const char* name;     // as reported
        std::string dest;     // "": destination folder + name
        int result;
        std::string missing;  // must not exist afterwards
    } cases[] = {
        {"bad.txt", dir / "bad.txt", rarBadData, dir / "bad.txt"},
        {"blocked.txt", dir / "blocker\\blocked.txt", rarCreateError, ""},
        {"..\\evil.txt", "", rarUnsafeName, dir / "evil.txt"},
        {"..\\evil2.txt", dir / "out\\evil2.txt", rarUnsafeName, dir / "out\\evil2.txt"},
        {"sub\\nul.txt", "", rarUnsafeName, dir / "out\\sub"},
        {"secret.txt", "", rarEncrypted, dir / "out\\secret.txt"},
        {"big.txt", "", rarBadData, dir / "out\\big.txt"},
        {"good.txt", "", rarSuccess, ""},
    };
    Open a(archive, 1);
    ASSERT_NE(nullptr, a.h);
    TRARHeader h;
    for (const auto& c : cases) {
        ASSERT_TRUE(ReadFileHeader(a.h, h));
        EXPECT_EQ(TStr(c.name), h.FileName);
        if (h.FileName == "big.txt") EXPECT_EQ(0x100000005ull, UnpSize64(h));
        EXPECT_EQ(c.result, ProcessFileResult(a.h, 1, (dir / "out").c_str(), nullptr, c.dest.c_str()))
            << c.name;
        if (!c.missing.empty()) EXPECT_EQ("<missing>", ReadBytes(c.missing)) << c.missing;
    }
    EXPECT_EQ("good", ReadBytes(dir / "out\\good.txt"));
    EXPECT_EQ("<missing>", ReadBytes(dir / "..\\evil.txt"));
    for (int again = 0; again < 2; ++again) EXPECT_EQ(rarBadData, ReadFileHeaderResult(a.h, h));
    EXPECT_EQ(TStr("damaged archive"), ResultText(a.h, rarBadData));
}

TEST(Unrar, ListingModeNeverTouchesTheDisk) {
    ScratchFolder dir;
    Open a(Fixture("v20/test_v2solid5.rar"), 0);
    ASSERT_NE(nullptr, a.h);
    TRARHeader h;
    int count = 0;
    g_progress.clear();
    for (; ReadFileHeader(a.h, h); ++count) {
        std::string out = dir / "sub\\x.bin";
        EXPECT_TRUE(ProcessFile(a.h, 1, TStr(), RecordProgress, out.c_str()));
        EXPECT_EQ("<missing>", ReadBytes(out));
        EXPECT_FALSE(IsDirectory(TStr((dir / "sub").c_str())));
    }
    EXPECT_EQ(2, count);
    EXPECT_TRUE(g_progress.empty());  // nothing was decoded
}

TEST(Unrar, VolumesOnDisk) {
    ScratchFolder dir;
    Open a(Fixture("volumes/rar3-old.rar"), 1);
    ASSERT_NE(nullptr, a.h);
    TRARHeader h;
    for (const char* name : {"vols\\bigfile.txt", "vols\\smallfile.txt"}) {
        ASSERT_TRUE(ReadFileHeader(a.h, h));
        EXPECT_EQ(TStr(name), h.FileName);
        EXPECT_TRUE(ProcessFile(a.h, 1, dir.Path().c_str(), nullptr, TStr())) << name;
    }
    EXPECT_EQ(205000u, ReadBytes(dir / "vols\\bigfile.txt").size());
    EXPECT_FALSE(ReadFileHeader(a.h, h));
}

}  // namespace
