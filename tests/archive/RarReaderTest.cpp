// RarReader over real archives (every file header's CRC-32 is the outside
// truth), a real old-style volume set, and archives built here byte by byte
// for names, hosts, positions and lying headers.
#include "archive/RarReader.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace rar;

namespace {

typedef std::vector<uint8_t> Bytes;

std::string FixturePath(const std::string& name) {
    return std::string(TARV_FIXTURES_DIR) + "/rar/" + name;
}

bool LoadFile(const std::string& path, Bytes* data) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    uint8_t buf[65536];
    size_t n;
    data->clear();
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data->insert(data->end(), buf, buf + n);
    fclose(f);
    return true;
}

// Volumes held in memory, by name: built in the test or loaded from disk on
// first use. Counts what the reader asks for.
struct TestIo {
    std::map<std::string, Bytes> files;
    std::string current;
    std::vector<std::string> opened;  // every successful volume change
    int failedOpens = 0;
    size_t bytesRead = 0;

    bool Select(const std::string& name) {
        if (!files.count(name)) {
            Bytes data;
            if (!LoadFile(name, &data)) return false;
            files[name] = data;
        }
        current = name;
        return true;
    }
    VolumeIo Io() { return VolumeIo{this, ReadAt, Open}; }

    static size_t ReadAt(void* ctx, uint64_t offset, uint8_t* buf, size_t size) {
        TestIo* t = static_cast<TestIo*>(ctx);
        const Bytes& f = t->files[t->current];
        if (offset >= f.size()) return 0;
        size_t n = std::min<uint64_t>(size, f.size() - offset);
        memcpy(buf, f.data() + offset, n);
        t->bytesRead += n;
        return n;
    }
    static bool Open(void* ctx, const char* path) {
        TestIo* t = static_cast<TestIo*>(ctx);
        if (!t->Select(path)) {
            t->failedOpens++;
            return false;
        }
        t->opened.push_back(path);
        return true;
    }
};

struct Progress {
    uint32_t bytes;
    bool extracting;
};

// Collects the output and the progress calls of one entry.
struct Collector {
    Bytes out;
    std::vector<Progress> progress;
    size_t writeLimit = (size_t)-1;  // simulates a full disk

    EntrySink Sink() { return EntrySink{this, Write, Report}; }
    static size_t Write(void* ctx, const uint8_t* data, size_t size) {
        Collector* c = static_cast<Collector*>(ctx);
        size_t n = std::min(size, c->writeLimit - c->out.size());
        c->out.insert(c->out.end(), data, data + n);
        return n;
    }
    static void Report(void* ctx, const char*, uint32_t bytes, bool extracting) {
        static_cast<Collector*>(ctx)->progress.push_back(Progress{bytes, extracting});
    }
};

struct Extracted {
    FileHeader h;
    bool headerCrcOk;
    int result;
    Bytes out;
    std::vector<Progress> progress;
};

struct Session {
    TestIo io;
    std::unique_ptr<RarReader> reader{new RarReader};
    OpenStatus status = kOpenNoArchive;

    explicit Session(const std::string& path) {
        EXPECT_TRUE(reader->AllocateWindow());
        if (io.Select(path)) status = reader->Open(io.Io(), path.c_str());
    }
    Session(const std::string& name, const Bytes& bytes) {
        EXPECT_TRUE(reader->AllocateWindow());
        io.files[name] = bytes;
        io.Select(name);
        status = reader->Open(io.Io(), name.c_str());
    }
    // Every entry in order, each handled with `mode`; at most `limit`.
    std::vector<Extracted> All(ProcessMode mode, size_t limit = 10000) {
        std::vector<Extracted> all;
        Extracted e;
        while (all.size() < limit && reader->ReadFileHeader(&e.h)) {
            Collector c;
            e.headerCrcOk = reader->HeaderCrcMatched();
            e.result = reader->ProcessFile(mode, c.Sink());
            e.out = c.out;
            e.progress = c.progress;
            all.push_back(e);
        }
        return all;
    }
};

// ---- archives built here ----

void Put16(Bytes& b, uint32_t v) {
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v);
    Put16(b, v >> 16);
}

Bytes ArchiveStart(uint16_t mainFlags = 0) {
    Bytes b(kMarker, kMarker + kMarkerSize);
    b.resize(kMarkerSize + kMainHeaderSize);
    WriteMainHeader(b.data() + kMarkerSize, kMainHeaderSize, mainFlags);
    return b;
}

struct StoredFile {
    std::string name;  // any length: written by hand, not by WriteFileHeader
    std::string data;
    uint8_t hostOs = 2;
    uint32_t attributes = 0x20;
    uint16_t flags = 0;
    int32_t packSizeDelta = 0;  // a lying packed size
};

void AppendStored(Bytes& b, const StoredFile& f) {
    Bytes h;
    Put16(h, 0);
    h.push_back(kBlockFile);
    Put16(h, f.flags | kFlagLongBlock);
    Put16(h, (uint32_t)(kFileHeaderFixedSize + f.name.size()));
    Put32(h, (uint32_t)(f.data.size() + f.packSizeDelta));
    Put32(h, (uint32_t)f.data.size());
    h.push_back(f.hostOs);
    Put32(h, Crc32(f.data.data(), f.data.size()));
    Put32(h, 0x5A8B6C21);
    h.push_back(20);
    h.push_back(0x30);
    Put16(h, (uint32_t)f.name.size());
    Put32(h, f.attributes);
    h.insert(h.end(), f.name.begin(), f.name.end());
    uint16_t crc = HeaderCrc16(h.data(), h.size());
    h[0] = (uint8_t)crc;
    h[1] = (uint8_t)(crc >> 8);
    b.insert(b.end(), h.begin(), h.end());
    b.insert(b.end(), f.data.begin(), f.data.end());
}

Bytes BuildArchive(const std::vector<StoredFile>& files) {
    Bytes b = ArchiveStart();
    for (const StoredFile& f : files) AppendStored(b, f);
    return b;
}

// An entry whose 64-bit packed size brings the next block back to the
// entry's own header (a folder) or to the main header (a file).
Bytes Wrapping(bool folder) {
    Bytes b = ArchiveStart();
    FileHeader h = {};
    h.block.flags = folder ? kFileDirectory : 0;
    h.nameSize = 1;
    h.name[0] = 'w';
    size_t headSize = kFileHeaderFixedSize + 8 + 1;
    h.packSize = 0 - (uint64_t)headSize - (folder ? 0 : kMainHeaderSize);
    h.unpVer = 20;
    h.method = 0x30;
    size_t at = b.size();
    b.resize(at + headSize);
    EXPECT_EQ(headSize, WriteFileHeader(b.data() + at, headSize, h));
    return b;
}

Bytes Etalon() {
    Bytes e;
    EXPECT_TRUE(LoadFile(FixturePath("v20/etalon.bin"), &e));
    return e;
}

// ---- names ----

TEST(RarReaderNames, NormalisationDropsOneLevelOfEachKind) {
    const struct {
        const char* stored;
        const char* reported;
    } cases[] = {
        {"C:\\x\\y.txt", "x\\y.txt"},   {"\\x\\y.txt", "x\\y.txt"},
        {".\\x\\y.txt", "x\\y.txt"},    {"..\\x\\y.txt", "x\\y.txt"},
        {"..\\..\\y.txt", "..\\y.txt"}, {"C:\\..\\y.txt", "..\\y.txt"},
        {"x/y/z.txt", "x\\y\\z.txt"},   {"/x/y.txt", "x\\y.txt"},
        {"\\\\srv\\s\\a", "\\srv\\s\\a"}, {"a\\..\\b", "a\\..\\b"},
        {"..x\\y", "..x\\y"},           {".hidden", ".hidden"},
        {"C:", ""},                     {"", ""},
        {"..", ".."},                   {"C:C:\\x", "C:\\x"},
    };
    for (const auto& c : cases) {
        char name[kMaxNameBytes + 1];
        strcpy(name, c.stored);
        NormaliseName(name);
        EXPECT_STREQ(c.reported, name) << "stored " << c.stored;
    }
}

TEST(RarReaderNames, UnsafeNamesAreRecognised) {
    const struct {
        const char* name;
        bool safe;
    } cases[] = {
        {"Data\\a.txt", true},    {"a", true},           {"..x\\y", true},
        {"a\\.\\b", true},        {"x..\\y", true},      {".hidden\\f", true},
        {"", false},              {"\\x", false},        {"/x", false},
        {"..\\y", false},         {"a\\..\\b", false},   {"a\\..", false},
        {"a/../b", false},        {"C:\\x", false},      {"x:y", false},
        {"a\\...\\b", false},     {"a\\.. \\b", false},  {"..", false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.safe, IsSafeName(c.name)) << c.name;
}

TEST(RarReaderNames, NextVolumeNames) {
    const struct {
        const char* name;
        const char* next;
    } cases[] = {
        {"arc.rar", "arc.r00"},       {"arc.r00", "arc.r01"},       {"arc.r09", "arc.r10"},
        {"arc.r98", "arc.r99"},       {"arc.r99", "arc.rA0"},       {"ARC.RAR", "ARC.R00"},
        {"setup.exe", "setup.r00"},   {"setup.EXE", "setup.r00"},   {"arc", "arc.r00"},
        {"arc.", "arc.r00"},          {"arc.s1", "arc.s00"},        {"arc.x", "arc.x00"},
        {"arc.s55", "arc.s56"},       {"a.b\\arc", "a.b\\arc.r00"}, {"a.b/arc", "a.b/arc.r00"},
        {"C:\\d\\arc.r01", "C:\\d\\arc.r02"},
    };
    for (const auto& c : cases) EXPECT_EQ(TStr(c.next), NextVolumeName(c.name)) << c.name;
}

// ---- real archives ----

TEST(RarReaderArchives, EveryVersion20EntryExtractsWithItsCrc) {
    const struct {
        const char* file;
        size_t entries;  // file entries; directories are never reported
        bool etalon;     // every entry equals etalon.bin
    } cases[] = {
        {"v20/test_v2.rar", 7, true},
        {"v20/test_v2solid5.rar", 2, true},
        {"v20/rar2-unix-owner.rar", 1, false},
        {"v20/rar202-comment-nopsw.rar", 2, false},
        {"v20/test_read_format_rar.rar", 3, false},
        {"v20/test_read_format_rar_windows.rar", 3, false},
        {"v20/test_read_format_rar_subblock.rar", 1, false},
    };
    Bytes etalon = Etalon();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Session s(FixturePath(c.file));
        ASSERT_EQ(kOpenOk, s.status);
        std::vector<Extracted> all = s.All(kProcessExtract);
        EXPECT_EQ(c.entries, all.size());
        for (const Extracted& e : all) {
            SCOPED_TRACE(e.h.name);
            EXPECT_FALSE(IsDirectory(e.h.block.flags));
            EXPECT_EQ(20, e.h.unpVer);
            EXPECT_EQ(kExtractOk, e.result);
            EXPECT_EQ(e.h.unpSize, e.out.size());
            if (c.etalon) EXPECT_TRUE(e.out == etalon);
        }
    }
}

TEST(RarReaderArchives, SelfExtractorsWithinTheWindowOpen) {
    const struct {
        const char* file;
        OpenStatus status;
    } cases[] = {
        {"sfx/testfile.rar3.wingui.sfx.exe", kOpenOk},
        {"sfx/test_read_format_rar_sfx.exe", kOpenOk},
        {"sfx/testfile.rar3.dos_sfx.exe", kOpenNoArchive},  // marker at 0x33600
        {"v20/etalon.bin", kOpenNoArchive},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Session s(FixturePath(c.file));
        ASSERT_EQ(c.status, s.status);
        if (s.status != kOpenOk) continue;
        size_t stored = 0;
        for (const Extracted& e : s.All(kProcessExtract)) {
            if (e.h.method != 0x30) continue;
            ++stored;
            EXPECT_EQ(kExtractOk, e.result) << e.h.name;
            EXPECT_EQ(e.h.unpSize, e.out.size());
        }
        EXPECT_GT(stored, 0u);
    }
}

TEST(RarReaderArchives, ArchiveBehindAProgramWithinTheSearchWindow) {
    Bytes archive = BuildArchive({{"a.txt", "hello"}});
    Bytes oldFormat = {'R', 'E', '~', '^', 0, 0, 0, 0};
    const struct {
        size_t prefix;
        const Bytes& archive;
        OpenStatus status;
    } cases[] = {{0, archive, kOpenOk},
                 {1, archive, kOpenNoArchive},  // the scan starts behind the first 7 bytes
                 {7, archive, kOpenOk},
                 {0x1FFED, archive, kOpenOk},  // marker and main header type fit the window
                 {0x1FFEE, archive, kOpenNoArchive},
                 {0, oldFormat, kOpenOldFormat}};
    for (const auto& c : cases) {
        Bytes file(c.prefix, 'M');
        file.insert(file.end(), c.archive.begin(), c.archive.end());
        Session s("prog.exe", file);
        EXPECT_EQ(c.status, s.status) << "prefix " << c.prefix;
        if (s.status != kOpenOk) continue;
        std::vector<Extracted> all = s.All(kProcessExtract);
        ASSERT_EQ(1u, all.size());
        EXPECT_EQ("hello", std::string(all[0].out.begin(), all[0].out.end()));
    }
}

TEST(RarReaderArchives, OlderAndNewerPackingEndWithResult3AndTheWalkGoesOn) {
    const char* files[] = {
        "older/rar15-comment.rar",  // RAR 2.x blocks, 1.5 packing, file comments
        "v29/rar3-solid.rar",
        "v29/seektest.rar",
        "v29/test_read_format_rar_compress_normal.rar",
        "v29/test_read_format_rar_multi_lzss_blocks.rar",
    };
    for (const char* f : files) {
        SCOPED_TRACE(f);
        Session s(FixturePath(f));
        ASSERT_EQ(kOpenOk, s.status);
        // Listing counts the entries; extracting must report each of them.
        size_t listed = s.All(kProcessList).size();
        EXPECT_GT(listed, 0u);
        Session again(FixturePath(f));
        std::vector<Extracted> all = again.All(kProcessExtract);
        EXPECT_EQ(listed, all.size());
        size_t failedNewer = 0;
        for (const Extracted& e : all) {
            if (e.h.method == 0x30) {
                EXPECT_EQ(kExtractOk, e.result) << e.h.name;
            } else {
                EXPECT_NE(20, e.h.unpVer);
                EXPECT_EQ(kExtractBadCrc, e.result) << e.h.name;
                ++failedNewer;
            }
        }
        EXPECT_GT(failedNewer, 0u);
    }
}

// ---- volumes ----

TEST(RarReaderVolumes, BigFileSpansTheOldStyleSet) {
    std::string first = FixturePath("volumes/rar3-old.rar");
    Session s(first);
    ASSERT_EQ(kOpenOk, s.status);
    std::vector<Extracted> all = s.All(kProcessExtract);
    ASSERT_EQ(2u, all.size());
    EXPECT_STREQ("vols\\bigfile.txt", all[0].h.name);
    EXPECT_EQ(kExtractOk, all[0].result);
    EXPECT_EQ(205000u, all[0].out.size());
    EXPECT_STREQ("vols\\smallfile.txt", all[1].h.name);
    EXPECT_EQ(kExtractOk, all[1].result);
    EXPECT_EQ(2050u, all[1].out.size());
    std::vector<std::string> expected = {FixturePath("volumes/rar3-old.r00"),
                                         FixturePath("volumes/rar3-old.r01")};
    EXPECT_EQ(expected, s.io.opened);
    // Listing also walks the set, without reading data.
    Session list(first);
    std::vector<Extracted> listed = list.All(kProcessList);
    EXPECT_EQ(2u, listed.size());
    EXPECT_TRUE(listed[0].out.empty());
}

TEST(RarReaderVolumes, AMissingVolumeFailsTheEntryAfterBoundedAttempts) {
    Bytes first, second;
    ASSERT_TRUE(LoadFile(FixturePath("volumes/rar3-old.rar"), &first));
    ASSERT_TRUE(LoadFile(FixturePath("volumes/rar3-old.r00"), &second));
    Session s("set.rar", first);
    s.io.files["set.r00"] = second;  // set.r01 is missing
    ASSERT_EQ(kOpenOk, s.status);
    std::vector<Extracted> all = s.All(kProcessExtract);
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(kExtractBadCrc, all[0].result);
    EXPECT_EQ(204620u, all[0].out.size());  // the two parts that exist
    EXPECT_EQ(kVolumeOpenAttempts, s.io.failedOpens);
}

// ---- progress and solid skips ----

TEST(RarReaderProgress, PackedEntriesReportInStepsStoredOnesNever) {
    Session s(FixturePath("v20/test_v2.rar"));
    ASSERT_EQ(kOpenOk, s.status);
    for (const Extracted& e : s.All(kProcessExtract)) {
        SCOPED_TRACE(e.h.name);
        if (e.h.method == 0x30) {
            EXPECT_TRUE(e.progress.empty());
            continue;
        }
        ASSERT_FALSE(e.progress.empty());
        uint64_t sum = 0;
        for (size_t i = 0; i < e.progress.size(); ++i) {
            if (i + 1 < e.progress.size()) EXPECT_GE(e.progress[i].bytes, kProgressStep);
            EXPECT_GT(e.progress[i].bytes, 0u);
            EXPECT_TRUE(e.progress[i].extracting);
            sum += e.progress[i].bytes;
        }
        EXPECT_EQ(e.h.unpSize, sum);
    }
}

TEST(RarReaderProgress, SkipsDecodeOnlyInSolidArchives) {
    Bytes etalon = Etalon();
    {
        // Solid: the skipped first entry is decoded (progress says "not
        // extracting"), so the second, which continues its state, extracts.
        Session s(FixturePath("v20/test_v2solid5.rar"));
        FileHeader h;
        ASSERT_TRUE(s.reader->ReadFileHeader(&h));
        Collector skip;
        EXPECT_EQ(kExtractOk, s.reader->ProcessFile(kProcessSkip, skip.Sink()));
        EXPECT_TRUE(skip.out.empty());
        ASSERT_FALSE(skip.progress.empty());
        EXPECT_FALSE(skip.progress[0].extracting);
        std::vector<Extracted> rest = s.All(kProcessExtract);
        ASSERT_EQ(1u, rest.size());
        EXPECT_EQ(kExtractOk, rest[0].result);
        EXPECT_TRUE(rest[0].out == etalon);
    }
    {
        // Listing never decodes: the solid entry after it cannot be unpacked.
        Session s(FixturePath("v20/test_v2solid5.rar"));
        s.All(kProcessList, 1);
        std::vector<Extracted> rest = s.All(kProcessExtract);
        ASSERT_EQ(1u, rest.size());
        EXPECT_EQ(kExtractBadCrc, rest[0].result);
    }
    {
        // Not solid: a skip reads no data at all.
        Session s(FixturePath("v20/test_v2.rar"));
        std::vector<Extracted> skipped = s.All(kProcessSkip);
        EXPECT_EQ(7u, skipped.size());
        size_t headerBytes = 0;
        for (const Extracted& e : skipped) headerBytes += kFileHeaderFixedSize + e.h.nameSize + 64;
        EXPECT_LT(s.io.bytesRead, kLocateWindow + headerBytes);
        for (const Extracted& e : skipped) EXPECT_TRUE(e.progress.empty());
    }
}

// ---- headers built here ----

TEST(RarReaderHeaders, NamesHostsAndSizes) {
    std::string longName = "Data\\" + std::string(300, 'n');
    Bytes file = BuildArchive({
        {std::string(longName), "x"},
        {"Unix/style/name", "y", 3, 0x81B4},
        {"beos.txt", "z", 5, 0x1234},
        {"..\\..\\evil.txt", "w"},
    });
    Session s("built.rar", file);
    ASSERT_EQ(kOpenOk, s.status);
    std::vector<Extracted> all = s.All(kProcessExtract);
    ASSERT_EQ(4u, all.size());
    EXPECT_EQ(longName.substr(0, kMaxNameBytes), all[0].h.name);
    EXPECT_EQ(kExtractOk, all[0].result);  // the rest of the name is passed over
    EXPECT_STREQ("Unix\\style\\name", all[1].h.name);
    EXPECT_EQ(3, all[1].h.hostOs);
    EXPECT_EQ(0x81B4u, all[1].h.attributes);
    EXPECT_EQ(0, all[2].h.hostOs);
    EXPECT_EQ(0x20u, all[2].h.attributes);
    EXPECT_STREQ("..\\evil.txt", all[3].h.name);
    EXPECT_FALSE(IsSafeName(all[3].h.name));
    for (const Extracted& e : all) EXPECT_TRUE(e.headerCrcOk) << e.h.name;
    // A wrong header CRC is reported but does not hide the entry.
    file[kMarkerSize + kMainHeaderSize] ^= 1;
    Session broken("broken.rar", file);
    std::vector<Extracted> again = broken.All(kProcessExtract);
    ASSERT_EQ(4u, again.size());
    EXPECT_FALSE(again[0].headerCrcOk);
    EXPECT_EQ(kExtractOk, again[0].result);
    EXPECT_TRUE(again[1].headerCrcOk);
}

TEST(RarReaderHeaders, LyingOrCutHeadersEndTheWalkOrFailTheEntry) {
    Bytes good = BuildArchive({{"a.txt", "alpha"}, {"b.txt", "beta"}});
    const struct {
        const char* what;
        Bytes file;
        size_t entries;
        int firstResult;
    } cases[] = {
        {"packed size beyond the end", BuildArchive({{"a.txt", "alpha", 2, 0x20, 0, 0x7FFFFFF0}}), 1,
         kExtractOk},
        {"packed size short of the data", BuildArchive({{"a.txt", "alpha", 2, 0x20, 0, -2}, {"b", "b"}}),
         1, kExtractBadCrc},
        {"cut in the second header", Bytes(good.begin(), good.end() - 10), 1, kExtractOk},
        {"cut in the first data", Bytes(good.begin(), good.begin() + 20 + 32 + 5 + 2), 1,
         kExtractBadCrc},
        {"main header only", ArchiveStart(), 0, 0},
        {"64-bit packed size of a folder wraps to itself", Wrapping(true), 0, 0},
        {"64-bit packed size of a file wraps back", Wrapping(false), 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Session s("lying.rar", c.file);
        ASSERT_EQ(kOpenOk, s.status);
        std::vector<Extracted> all = s.All(kProcessExtract);
        ASSERT_EQ(c.entries, all.size());
        if (c.entries) EXPECT_EQ(c.firstResult, all[0].result);
    }
}

TEST(RarReaderHeaders, MalformedFilesNeverCrashOrLoop) {
    const char* files[] = {
        "malformed/test_read_format_rar_endarc_huge.rar",
        "malformed/test_read_format_rar_invalid1.rar",
        "malformed/test_read_format_rar_newsub_huge.rar",
        "malformed/test_read_format_rar_noeof.rar",
        "malformed/test_read_format_rar_overflow.rar",
        "malformed/test_read_format_rar_ppmd_use_after_free.rar",
        "malformed/test_read_format_rar_symlink_huge.rar",
        "malformed/test_read_format_rar_unbound_staticdata.rar",
    };
    for (const char* f : files) {
        SCOPED_TRACE(f);
        Session s(FixturePath(f));
        if (s.status != kOpenOk) continue;
        std::vector<Extracted> all = s.All(kProcessExtract, 100);
        EXPECT_LT(all.size(), 100u);
        for (const Extracted& e : all) {
            EXPECT_LE(e.out.size(), e.h.unpSize);
            // Success only for data that really is complete and matches.
            if (e.result == kExtractOk) {
                EXPECT_EQ(e.h.unpSize, e.out.size());
                EXPECT_EQ(e.h.fileCrc, Crc32(e.out.data(), e.out.size()));
            }
        }
    }
}

TEST(RarReaderHeaders, AShortWriteFailsTheEntry) {
    Session s(FixturePath("v20/test_v2.rar"));
    FileHeader h;
    for (int i = 0; i < 2; ++i) {  // p0.bin stored, then p1.bin packed
        ASSERT_TRUE(s.reader->ReadFileHeader(&h));
        Collector c;
        c.writeLimit = 1000;
        EXPECT_EQ(kExtractBadCrc, s.reader->ProcessFile(kProcessExtract, c.Sink())) << h.name;
        EXPECT_EQ(1000u, c.out.size());
    }
    // The walk is positioned at the next entry all the same.
    ASSERT_TRUE(s.reader->ReadFileHeader(&h));
    EXPECT_STREQ("p2.bin", h.name);
}

}  // namespace
