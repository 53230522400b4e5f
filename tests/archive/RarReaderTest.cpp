// RarReader over real archives, a real old-style volume set, and archives
// built here for names, hosts, positions and lying headers. Volumes live in
// memory; the reader's requests are counted.
#include "archive/RarReader.h"

#include <gtest/gtest.h>

#include <string.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/PortableArchiveSupport.h"

using namespace rar;

namespace {

// Volumes by name: given by the test or loaded from disk on first use.
struct TestIo {
    std::map<std::string, Bytes> files;
    std::string current;
    std::vector<std::string> opened;  // every successful volume change
    int failedOpens = 0;
    size_t bytesRead = 0;

    bool Select(const std::string& name) {
        if (!files.count(name) && !ReadWholeFile(name, &files[name])) {
            files.erase(name);
            return false;
        }
        current = name;
        return true;
    }
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
        if (!t->Select(path)) return ++t->failedOpens, false;
        t->opened.push_back(path);
        return true;
    }
};

struct Progress {
    uint32_t bytes;
    bool extracting;
};

// One entry's output and progress calls.
struct Collector {
    Bytes out;
    std::vector<Progress> progress;
    size_t writeLimit = (size_t)-1;  // a full disk

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

struct Extracted : Collector {
    FileHeader h;
    bool headerCrcOk;
    int result;
};

struct Session {
    TestIo io;
    std::unique_ptr<RarReader> reader{new RarReader};
    OpenStatus status = kOpenNoArchive;

    // A fixture (by its name below tests/fixtures/rar) or given bytes.
    explicit Session(const std::string& fixture, const Bytes* bytes = nullptr) {
        EXPECT_TRUE(reader->AllocateWindow());
        std::string name = bytes ? fixture : RarFixturePath(fixture);
        if (bytes) io.files[name] = *bytes;
        if (io.Select(name)) status = reader->Open(VolumeIo{&io, TestIo::ReadAt, TestIo::Open}, name.c_str());
    }
    // The next entries, each handled with `mode`; at most `limit`.
    std::vector<Extracted> All(ProcessMode mode, size_t limit = 10000) {
        std::vector<Extracted> all;
        Extracted e;
        while (all.size() < limit && reader->ReadFileHeader(&e.h)) {
            e.out.clear();
            e.progress.clear();
            e.headerCrcOk = reader->HeaderCrcMatched();
            e.result = reader->ProcessFile(mode, e.Sink());
            all.push_back(e);
        }
        return all;
    }
};

// ---- names ----

TEST(RarReaderNames, NormalisationDropsOneLevelOfEachKindAndUnsafeNamesRemain) {
    const struct {
        const char* stored;
        const char* reported;
        bool safe;
    } cases[] = {
        {"C:\\x\\y.txt", "x\\y.txt", true},    {"\\x\\y.txt", "x\\y.txt", true},
        {".\\x\\y.txt", "x\\y.txt", true},     {"..\\x\\y.txt", "x\\y.txt", true},
        {"x/y/z.txt", "x\\y\\z.txt", true},    {"/x/y.txt", "x\\y.txt", true},
        {"..x\\y", "..x\\y", true},            {".hidden", ".hidden", true},
        {"a\\.\\b", "a\\.\\b", true},          {"x..\\y", "x..\\y", true},
        {"..\\..\\y.txt", "..\\y.txt", false}, {"C:\\..\\y.txt", "..\\y.txt", false},
        {"\\\\srv\\s\\a", "\\srv\\s\\a", false}, {"a/../b", "a\\..\\b", false},
        {"C:C:\\x", "C:\\x", false},           {"C:", "", false},
        {"..", "..", false},                   {"a\\..", "a\\..", false},
        {"ab:s", "ab:s", false},               {"a\\...\\b", "a\\...\\b", false},
        {"a\\.. \\b", "a\\.. \\b", false},
    };
    for (const auto& c : cases) {
        char name[kMaxNameBytes + 1];
        strcpy(name, c.stored);
        NormaliseName(name);
        EXPECT_STREQ(c.reported, name) << "stored " << c.stored;
        EXPECT_EQ(c.safe, IsSafeName(name)) << name;
    }
}

TEST(RarReaderNames, NextVolumeNames) {
    const struct {
        const char* name;
        const char* next;
    } cases[] = {
        {"arc.rar", "arc.r00"},   {"arc.r09", "arc.r10"},     {"arc.r99", "arc.rA0"},
        {"ARC.RAR", "ARC.R00"},   {"setup.EXE", "setup.r00"}, {"arc", "arc.r00"},
        {"arc.", "arc.r00"},      {"arc.s1", "arc.s00"},      {"arc.s55", "arc.s56"},
        {"a.b\\arc", "a.b\\arc.r00"}, {"a.b/arc", "a.b/arc.r00"},
    };
    for (const auto& c : cases) EXPECT_STREQ(c.next, NextVolumeName(c.name).c_str()) << c.name;
}

// ---- real archives ----

TEST(RarReaderArchives, EveryVersion20EntryExtractsWithItsCrcAndProgress) {
    const struct {
        const char* file;
        size_t entries;  // file entries; directories are never reported
    } cases[] = {
        {"v20/test_v2.rar", 7},
        {"v20/test_v2solid5.rar", 2},
        {"v20/rar2-unix-owner.rar", 1},
        {"v20/rar202-comment-nopsw.rar", 2},
        {"v20/test_read_format_rar.rar", 3},
        {"v20/test_read_format_rar_windows.rar", 3},
        {"v20/test_read_format_rar_subblock.rar", 1},
    };
    for (const auto& c : cases) {
        Session s(c.file);
        ASSERT_EQ(kOpenOk, s.status) << c.file;
        std::vector<Extracted> all = s.All(kProcessExtract);
        EXPECT_EQ(c.entries, all.size()) << c.file;
        for (const Extracted& e : all) {
            SCOPED_TRACE(std::string(c.file) + " " + e.h.name);
            EXPECT_FALSE(IsDirectory(e.h.block.flags));
            EXPECT_EQ(20, e.h.unpVer);
            EXPECT_TRUE(e.headerCrcOk);
            EXPECT_EQ(kExtractOk, e.result);
            EXPECT_EQ(e.h.unpSize, e.out.size());
            EXPECT_EQ(e.h.fileCrc, Crc32(e.out.data(), e.out.size()));
            // Stored data reports nothing; decoded data every >= 1024 bytes
            // and the remainder, adding up to the whole entry.
            EXPECT_EQ(e.h.method == 0x30 || !e.h.unpSize, e.progress.empty());
            uint64_t sum = 0;
            for (size_t i = 0; i < e.progress.size(); ++i) {
                EXPECT_GE(e.progress[i].bytes, i + 1 < e.progress.size() ? kProgressStep : 1u);
                EXPECT_TRUE(e.progress[i].extracting);
                sum += e.progress[i].bytes;
            }
            if (!e.progress.empty()) EXPECT_EQ(e.h.unpSize, sum);
        }
    }
}

TEST(RarReaderArchives, SelfExtractorsWithinTheWindowOpenAndTheirStoredEntriesExtract) {
    const struct {
        const char* file;
        OpenStatus status;
    } cases[] = {
        {"sfx/testfile.rar3.wingui.sfx.exe", kOpenOk},
        {"sfx/test_read_format_rar_sfx.exe", kOpenOk},
        {"sfx/testfile.rar3.dos_sfx.exe", kOpenNoArchive},  // its archive starts beyond the window
    };
    for (const auto& c : cases) {
        Session s(c.file);
        ASSERT_EQ(c.status, s.status) << c.file;
        size_t stored = 0;
        for (const Extracted& e : s.All(kProcessExtract)) {
            if (e.h.method != 0x30) continue;
            ++stored;
            EXPECT_EQ(kExtractOk, e.result) << e.h.name;
            EXPECT_EQ(e.h.unpSize, e.out.size());
        }
        EXPECT_EQ(c.status == kOpenOk, stored > 0) << c.file;
    }
    Bytes old = {'R', 'E', '~', '^', 0, 0, 0, 0};
    EXPECT_EQ(kOpenOldFormat, Session("old.rar", &old).status);
}

TEST(RarReaderArchives, OlderAndNewerPackingEndWithResult3AndTheWalkGoesOn) {
    for (const char* f : {"older/rar15-comment.rar", "v29/rar3-solid.rar", "v29/seektest.rar",
                          "v29/test_read_format_rar_compress_normal.rar",
                          "v29/test_read_format_rar_multi_lzss_blocks.rar"}) {
        SCOPED_TRACE(f);
        size_t listed = Session(f).All(kProcessList).size();
        Session s(f);
        std::vector<Extracted> all = s.All(kProcessExtract);
        EXPECT_EQ(listed, all.size());
        size_t failed = 0;
        for (const Extracted& e : all) {
            bool stored = e.h.method == 0x30;
            EXPECT_EQ(stored ? kExtractOk : kExtractBadCrc, e.result) << e.h.name;
            if (!stored) EXPECT_NE(20, e.h.unpVer);
            failed += !stored;
        }
        EXPECT_GT(failed, 0u);
    }
}

// ---- volumes ----

TEST(RarReaderVolumes, BigFileSpansTheOldStyleSet) {
    for (ProcessMode mode : {kProcessExtract, kProcessList}) {
        Session s("volumes/rar3-old.rar");
        ASSERT_EQ(kOpenOk, s.status);
        std::vector<Extracted> all = s.All(mode);
        ASSERT_EQ(2u, all.size());
        EXPECT_STREQ("vols\\bigfile.txt", all[0].h.name);
        EXPECT_STREQ("vols\\smallfile.txt", all[1].h.name);
        std::vector<std::string> expected = {RarFixturePath("volumes/rar3-old.r00"),
                                             RarFixturePath("volumes/rar3-old.r01")};
        EXPECT_EQ(expected, s.io.opened);  // listing walks the set too
        if (mode == kProcessList) {
            EXPECT_TRUE(all[0].out.empty());
            continue;
        }
        EXPECT_EQ(kExtractOk, all[0].result);
        EXPECT_EQ(205000u, all[0].out.size());
        EXPECT_EQ(kExtractOk, all[1].result);
        EXPECT_EQ(2050u, all[1].out.size());
    }
}

TEST(RarReaderVolumes, AMissingVolumeFailsTheEntryAfterBoundedAttempts) {
    Bytes first = LoadRarFixture("volumes/rar3-old.rar");
    Session s("set.rar", &first);
    s.io.files["set.r00"] = LoadRarFixture("volumes/rar3-old.r00");  // set.r01 is missing
    ASSERT_EQ(kOpenOk, s.status);
    std::vector<Extracted> all = s.All(kProcessExtract);
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(kExtractBadCrc, all[0].result);
    EXPECT_EQ(204620u, all[0].out.size());  // the two parts that exist
    EXPECT_EQ(kVolumeOpenAttempts, s.io.failedOpens);
}

TEST(RarReaderSkips, SkipsDecodeOnlyInSolidArchives) {
    Bytes etalon = LoadRarFixture("v20/etalon.bin");
    // Solid: a skip decodes without extracting, so the next entry extracts;
    // a listing does not, so the next entry fails.
    for (ProcessMode first : {kProcessSkip, kProcessList}) {
        Session s("v20/test_v2solid5.rar");
        std::vector<Extracted> skipped = s.All(first, 1);
        ASSERT_EQ(1u, skipped.size());
        EXPECT_TRUE(skipped[0].out.empty());
        EXPECT_EQ(first == kProcessSkip, !skipped[0].progress.empty());
        for (const Progress& p : skipped[0].progress) EXPECT_FALSE(p.extracting);
        std::vector<Extracted> rest = s.All(kProcessExtract);
        ASSERT_EQ(1u, rest.size());
        EXPECT_EQ(first == kProcessSkip ? kExtractOk : kExtractBadCrc, rest[0].result);
        if (first == kProcessSkip) EXPECT_TRUE(rest[0].out == etalon);
    }
    // Not solid: skips read no data at all.
    Session s("v20/test_v2.rar");
    std::vector<Extracted> skipped = s.All(kProcessSkip);
    EXPECT_EQ(7u, skipped.size());
    EXPECT_LT(s.io.bytesRead, kLocateWindow + 7 * 200);
    for (const Extracted& e : skipped) EXPECT_TRUE(e.progress.empty());
}

// ---- headers built here ----

// An entry whose 64-bit packed size brings the next block back to the
// entry's own header (a folder) or to the main header (a file).
Bytes Wrapping(bool folder) {
    Bytes b = BuildStoredArchive({});
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

TEST(RarReaderHeaders, NamesHostsAndHeaderCrcs) {
    std::string longName = "Data\\" + std::string(300, 'n');
    Bytes file = BuildStoredArchive({
        {longName, "x"},
        {"Unix/style/name", "y", 3, 0x81B4},
        {"beos.txt", "z", 5, 0x1234},
    });
    Session s("built.rar", &file);
    std::vector<Extracted> all = s.All(kProcessExtract);
    ASSERT_EQ(3u, all.size());
    EXPECT_EQ(longName.substr(0, kMaxNameBytes), all[0].h.name);
    EXPECT_EQ(kExtractOk, all[0].result);  // the rest of the name is passed over
    EXPECT_STREQ("Unix\\style\\name", all[1].h.name);
    EXPECT_EQ(3, all[1].h.hostOs);
    EXPECT_EQ(0x81B4u, all[1].h.attributes);
    EXPECT_EQ(0, all[2].h.hostOs);  // unknown hosts read as MS-DOS with plain attributes
    EXPECT_EQ(0x20u, all[2].h.attributes);
    for (const Extracted& e : all) EXPECT_TRUE(e.headerCrcOk) << e.h.name;
    // A wrong header CRC is reported but does not hide the entry.
    file[kMarkerSize + kMainHeaderSize] ^= 1;
    Session broken("broken.rar", &file);
    std::vector<Extracted> again = broken.All(kProcessExtract);
    ASSERT_EQ(3u, again.size());
    EXPECT_FALSE(again[0].headerCrcOk);
    EXPECT_EQ(kExtractOk, again[0].result);
    EXPECT_TRUE(again[1].headerCrcOk);
}

TEST(RarReaderHeaders, LyingOrCutHeadersEndTheWalkOrFailTheEntry) {
    Bytes good = BuildStoredArchive({{"a.txt", "alpha"}, {"b.txt", "beta"}});
    const struct {
        const char* what;
        Bytes file;
        size_t entries;
        int firstResult;
    } cases[] = {
        {"packed size beyond the end", BuildStoredArchive({{"a.txt", "alpha", 2, 0x20, 0, false, 0x7FFFFFF0}}),
         1, kExtractOk},
        {"packed size short of the data",
         BuildStoredArchive({{"a.txt", "alpha", 2, 0x20, 0, false, -2}, {"b", "b"}}), 1, kExtractBadCrc},
        {"cut in the second header", Bytes(good.begin(), good.end() - 10), 1, kExtractOk},
        {"cut in the first data", Bytes(good.begin(), good.begin() + 20 + 32 + 5 + 2), 1, kExtractBadCrc},
        {"main header only", BuildStoredArchive({}), 0, 0},
        {"64-bit packed size of a folder wraps to itself", Wrapping(true), 0, 0},
        {"64-bit packed size of a file wraps back", Wrapping(false), 0, 0},
    };
    for (const auto& c : cases) {
        Session s("lying.rar", &c.file);
        ASSERT_EQ(kOpenOk, s.status) << c.what;
        std::vector<Extracted> all = s.All(kProcessExtract);
        ASSERT_EQ(c.entries, all.size()) << c.what;
        if (c.entries) EXPECT_EQ(c.firstResult, all[0].result) << c.what;
    }
}

TEST(RarReaderHeaders, MalformedFilesNeverCrashLoopOrPassBadData) {
    for (const char* f : {"endarc_huge", "invalid1", "newsub_huge", "noeof", "overflow",
                          "ppmd_use_after_free", "symlink_huge", "unbound_staticdata"}) {
        std::string name = std::string("malformed/test_read_format_rar_") + f + ".rar";
        Session s(name);
        if (s.status != kOpenOk) continue;
        std::vector<Extracted> all = s.All(kProcessExtract, 100);
        EXPECT_LT(all.size(), 100u) << name;
        for (const Extracted& e : all) {
            EXPECT_LE(e.out.size(), e.h.unpSize) << name;
            if (e.result == kExtractOk)
                EXPECT_TRUE(e.out.size() == e.h.unpSize && Crc32(e.out.data(), e.out.size()) == e.h.fileCrc)
                    << name;
        }
    }
}

TEST(RarReaderHeaders, AShortWriteFailsTheEntryAndTheWalkGoesOn) {
    Session s("v20/test_v2.rar");
    FileHeader h;
    for (int i = 0; i < 2; ++i) {  // p0.bin stored, then p1.bin packed
        ASSERT_TRUE(s.reader->ReadFileHeader(&h));
        Collector c;
        c.writeLimit = 1000;
        EXPECT_EQ(kExtractBadCrc, s.reader->ProcessFile(kProcessExtract, c.Sink())) << h.name;
        EXPECT_EQ(1000u, c.out.size());
    }
    ASSERT_TRUE(s.reader->ReadFileHeader(&h));
    EXPECT_STREQ("p2.bin", h.name);
}

}  // namespace
