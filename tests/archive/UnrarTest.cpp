// Unrar on real files: what the Win32 layer adds to the reader core (whose
// own tests cover the archives' contents): opening, file times, attributes
// and folders, deletion after a CRC failure, outputs that cannot be created,
// hostile names, listing mode, volumes opened from disk.
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

std::string Archive(const std::vector<BuiltEntry>& entries) {
    Bytes b = BuildStoredArchive(entries);
    return std::string(b.begin(), b.end());
}

std::vector<int> g_progress;

void RecordProgress(const char*, int bytes, int) { g_progress.push_back(bytes); }

// Closes on every path.
struct Open {
    TArchiveHandle h;
    Open(const std::string& path, int mode) : h(OpenArchive(path.c_str(), mode)) {}
    ~Open() { CloseArchive(h); }
};

const LocalStamp kStamp = {2004, 7, 15, 13, 45, 30};

TEST(Unrar, OpensArchivesAndProgramsOneAtATime) {
    // (The reader's tests cover which programs hold a reachable archive.)
    EXPECT_NE(nullptr, Open(Fixture("sfx/test_read_format_rar_sfx.exe"), 1).h);
    for (const char* file : {"v20/etalon.bin", "v20/no-such-file.rar"})
        EXPECT_EQ(nullptr, Open(Fixture(file), 1).h) << file;
    // One archive at a time.
    Open first(Fixture("v20/test_v2.rar"), 0);
    ASSERT_NE(nullptr, first.h);
    EXPECT_EQ(nullptr, OpenArchive(Fixture("v20/test_v2solid5.rar").c_str(), 0));
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

TEST(Unrar, FailuresLeaveNoFileAndTheWalkGoesOn) {
    ScratchFolder dir;
    std::string archive = dir / "a.rar";
    ASSERT_TRUE(WriteBytes(archive, Archive({{"bad.txt", "wrong crc", 2, 0x20, 0, true},
                                             {"blocked.txt", "x"},
                                             {"..\\..\\evil.txt", "evil"},
                                             {"C:..\\..\\evil2.txt", "evil"},
                                             {"good.txt", "good"}})));
    ASSERT_TRUE(WriteBytes(dir / "blocker", "a file where a folder should be"));
    CreateDirectoryA((dir / "out").c_str(), nullptr);
    const struct {
        const char* name;     // as reported
        std::string dest;     // "": destination folder + name
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
