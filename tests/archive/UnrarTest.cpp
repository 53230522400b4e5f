// Unrar on real files: what the Win32 layer adds to the reader core (whose
// own tests cover the archives' contents): opening, file times, attributes
// and folders, deletion after a CRC failure, outputs that cannot be created,
// hostile names, listing mode, volumes opened from disk.
#include "archive/Unrar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/TestPrint.h"
#include "support/SystemTestSupport.h"
#include "support/WinTestSupport.h"
#include "archive/RarFormat.h"
#include "system/wqFileUtils.h"

namespace {

std::string Fixture(const std::string& name) {
    std::string path = std::string(TARV_FIXTURES_DIR) + "/rar/" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

struct BuiltEntry {
    std::string name;
    std::string data;
    DWORD attributes;
    DWORD dosTime;
    bool badCrc;
};

// A RAR 2.x archive of stored entries, written with the format layer.
std::string BuildArchive(const std::vector<BuiltEntry>& entries) {
    uint8_t buf[1024];
    std::string out(reinterpret_cast<const char*>(rar::kMarker), rar::kMarkerSize);
    size_t n = rar::WriteMainHeader(buf, sizeof buf, 0);
    out.append(reinterpret_cast<char*>(buf), n);
    for (const BuiltEntry& e : entries) {
        rar::FileHeader h = {};
        h.packSize = h.unpSize = e.data.size();
        h.hostOs = 2;
        h.fileCrc = rar::Crc32(e.data.data(), e.data.size()) ^ (e.badCrc ? 1 : 0);
        h.dosTime = e.dosTime;
        h.unpVer = 20;
        h.method = 0x30;
        h.nameSize = (uint16_t)e.name.size();
        h.attributes = e.attributes;
        memcpy(h.name, e.name.data(), e.name.size());
        n = rar::WriteFileHeader(buf, sizeof buf, h);
        out.append(reinterpret_cast<char*>(buf), n);
        out += e.data;
    }
    return out;
}

std::vector<std::pair<int, int>> g_progress;  // bytes, extracting

void RecordProgress(const char*, int bytes, int extracting) {
    g_progress.push_back(std::make_pair(bytes, extracting));
}

// Opens, checks, and closes on every path.
struct Open {
    TArchiveHandle h;
    Open(const std::string& path, int mode) : h(OpenArchive(path.c_str(), mode)) {}
    ~Open() { CloseArchive(h); }
};

const LocalStamp kStamp = {2004, 7, 15, 13, 45, 30};

TEST(Unrar, OpenAcceptsArchivesAndSelfExtractorsWithinTheWindowOnly) {
    const struct {
        const char* file;
        bool opens;
    } cases[] = {
        {"v20/test_v2.rar", true},
        {"sfx/testfile.rar3.wingui.sfx.exe", true},
        {"sfx/test_read_format_rar_sfx.exe", true},
        {"sfx/testfile.rar3.dos_sfx.exe", false},
        {"v20/etalon.bin", false},
        {"v20/no-such-file.rar", false},
    };
    for (const auto& c : cases) {
        Open a(Fixture(c.file), 1);
        EXPECT_EQ(c.opens, a.h != nullptr) << c.file;
    }
    // One archive at a time; after closing, the next may open.
    Open first(Fixture("v20/test_v2.rar"), 0);
    ASSERT_NE(nullptr, first.h);
    EXPECT_EQ(nullptr, OpenArchive(Fixture("v20/test_v2solid5.rar").c_str(), 0));
}

TEST(Unrar, FilesGetTimeAttributesAndFolders) {
    ScratchFolder dir;
    std::string archive = dir / "a.rar";
    DWORD stamp = DosStampOf(kStamp);
    ASSERT_TRUE(WriteBytes(archive, BuildArchive({
                                        {"sub\\deeper\\plain.txt", "plain", 0x20, stamp, false},
                                        {"ro.txt", "read only", 0x21, stamp, false},
                                        {"hidden.txt", "hidden", 0x22, stamp, false},
                                    })));
    Open a(archive, 1);
    ASSERT_NE(nullptr, a.h);
    TRARHeader h;
    std::string out = dir / "out";
    const DWORD attrs[] = {FILE_ATTRIBUTE_ARCHIVE, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE,
                           FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE};
    for (DWORD expected : attrs) {
        ASSERT_TRUE(ReadFileHeader(a.h, h));
        // Through the destination folder: the stored name's folders are made.
        EXPECT_TRUE(ProcessFile(a.h, 1, out.c_str(), nullptr, TStr()));
        std::string path = out + "\\" + h.FileName.c_str();
        EXPECT_EQ(expected, GetFileAttributesA(path.c_str())) << path;
        FILETIME want = FileTimeOfLocal(kStamp), got = LastWriteTimeOf(path);
        EXPECT_EQ(want.dwLowDateTime, got.dwLowDateTime) << path;
        EXPECT_EQ(want.dwHighDateTime, got.dwHighDateTime) << path;
    }
    EXPECT_EQ("plain", ReadBytes(out + "\\sub\\deeper\\plain.txt"));
    // Extracting over a read-only file replaces it.
    CloseArchive(a.h);
    a.h = OpenArchive(archive.c_str(), 1);
    ASSERT_TRUE(ReadFileHeader(a.h, h));
    ASSERT_TRUE(ProcessFile(a.h, 0, TStr(), nullptr, TStr()));
    ASSERT_TRUE(ReadFileHeader(a.h, h));
    EXPECT_TRUE(ProcessFile(a.h, 1, out.c_str(), nullptr, TStr()));
    EXPECT_EQ("read only", ReadBytes(out + "\\ro.txt"));
    CloseArchive(a.h);
    // Unix mode bits (rw-rw-r--) are no Windows attributes: an archive file.
    a.h = OpenArchive(Fixture("v20/rar2-unix-owner.rar").c_str(), 1);
    ASSERT_TRUE(ReadFileHeader(a.h, h));
    ASSERT_EQ(3u, h.HostOS);
    EXPECT_TRUE(ProcessFile(a.h, 1, TStr(), nullptr, (dir / "unix").c_str()));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesA((dir / "unix").c_str()));
}

TEST(Unrar, FailuresLeaveNoFileAndTheWalkGoesOn) {
    ScratchFolder dir;
    std::string archive = dir / "a.rar";
    DWORD stamp = DosStampOf(kStamp);
    ASSERT_TRUE(WriteBytes(archive, BuildArchive({
                                        {"bad.txt", "wrong crc", 0x20, stamp, true},
                                        {"blocked.txt", "x", 0x20, stamp, false},
                                        {"..\\..\\evil.txt", "evil", 0x20, stamp, false},
                                        {"C:..\\..\\evil2.txt", "evil", 0x20, stamp, false},
                                        {"good.txt", "good", 0x20, stamp, false},
                                    })));
    ASSERT_TRUE(WriteBytes(dir / "blocker", "a file where a folder should be"));
    CreateDirectoryA((dir / "out").c_str(), nullptr);
    const struct {
        const char* name;     // as reported
        std::string dest;     // destination name ("" = destination folder + name)
        int result;
        std::string missing;  // must not exist afterwards
    } cases[] = {
        {"bad.txt", dir / "bad.txt", rarBadCrc, dir / "bad.txt"},
        {"blocked.txt", dir / "blocker\\blocked.txt", rarCreateError, ""},
        {"..\\evil.txt", "", rarCreateError, dir / "evil.txt"},
        {"..\\evil2.txt", dir / "out\\evil2.txt", rarCreateError, dir / "out\\evil2.txt"},
        {"good.txt", "", rarSuccess, ""},
    };
    Open a(archive, 1);
    ASSERT_NE(nullptr, a.h);
    TRARHeader h;
    for (const auto& c : cases) {
        ASSERT_TRUE(ReadFileHeader(a.h, h));
        EXPECT_EQ(TStr(c.name), h.FileName);
        EXPECT_EQ(c.result, ProcessFileResult(a.h, 1, (dir / "out").c_str(), nullptr, c.dest.c_str()))
            << c.name;
        if (!c.missing.empty()) EXPECT_EQ("<missing>", ReadBytes(c.missing)) << c.missing;
    }
    EXPECT_FALSE(ReadFileHeader(a.h, h));
    EXPECT_EQ("good", ReadBytes(dir / "out\\good.txt"));
    EXPECT_EQ("<missing>", ReadBytes(dir / "..\\evil.txt"));
}

TEST(Unrar, ListingModeNeverTouchesTheDisk) {
    ScratchFolder dir;
    Open a(Fixture("v20/test_v2solid5.rar"), 0);
    ASSERT_NE(nullptr, a.h);
    TRARHeader h;
    int count = 0;
    g_progress.clear();
    while (ReadFileHeader(a.h, h)) {
        std::string out = dir / "sub\\x.bin";
        EXPECT_TRUE(ProcessFile(a.h, 1, TStr(), RecordProgress, out.c_str()));
        EXPECT_EQ("<missing>", ReadBytes(out));
        EXPECT_FALSE(IsDirectory(TStr((dir / "sub").c_str())));
        ++count;
    }
    EXPECT_EQ(2, count);
    EXPECT_TRUE(g_progress.empty());  // nothing was decoded
}

TEST(Unrar, VolumesOnDisk) {
    ScratchFolder dir;
    Open a(Fixture("volumes/rar3-old.rar"), 1);
    ASSERT_NE(nullptr, a.h);
    TRARHeader h;
    ASSERT_TRUE(ReadFileHeader(a.h, h));
    EXPECT_EQ(TStr("vols\\bigfile.txt"), h.FileName);
    EXPECT_TRUE(ProcessFile(a.h, 1, dir.Path().c_str(), nullptr, TStr()));
    std::string big = ReadBytes(dir / "vols\\bigfile.txt");
    EXPECT_EQ(205000u, big.size());
    ASSERT_TRUE(ReadFileHeader(a.h, h));
    EXPECT_EQ(TStr("vols\\smallfile.txt"), h.FileName);
    EXPECT_TRUE(ProcessFile(a.h, 1, dir.Path().c_str(), nullptr, TStr()));
    EXPECT_FALSE(ReadFileHeader(a.h, h));
}

}  // namespace
