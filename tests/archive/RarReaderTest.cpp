// RarReader over real archives, a real old-style volume set, and archives
// built here for names, hosts, positions, lying or cut headers, unsupported
// entries and integrity records. Volumes live in memory; the reader's
// requests are counted.
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

// Volumes by name: given by the test or loaded from disk on first use. Every
// file reads as if it ended at `cut`.
struct TestIo {
    std::map<std::string, Bytes> files;
    std::string current;
    std::vector<std::string> opened;  // every successful volume change
    int failedOpens = 0;
    size_t bytesRead = 0;
    size_t cut = (size_t)-1;

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
        size_t end = std::min(f.size(), t->cut);
        if (offset >= end) return 0;
        size_t n = std::min<uint64_t>(size, end - offset);
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

    EntrySink Sink() { return EntrySink{this, Write, Report}; }
    static size_t Write(void* ctx, const uint8_t* data, size_t size) {
        Collector* c = static_cast<Collector*>(ctx);
        c->out.insert(c->out.end(), data, data + size);
        return size;
    }
    static void Report(void* ctx, const char*, uint32_t bytes, bool extracting) {
        static_cast<Collector*>(ctx)->progress.push_back(Progress{bytes, extracting});
    }
};

struct Extracted : Collector {
    FileHeader h;
    bool headerCrcOk;
    int check;   // CheckEntry
    int result;  // ProcessFile
};

struct Session {
    TestIo io;
    std::unique_ptr<RarReader> reader{new RarReader};
    OpenStatus status = kOpenNoArchive;
    WalkStatus walk = kWalkEntry;  // how the last All() ended
    std::string first;

    // A fixture (by its name below tests/fixtures/rar) or given bytes.
    explicit Session(const std::string& fixture, const Bytes* bytes = nullptr) {
        EXPECT_TRUE(reader->AllocateWindow());
        first = bytes ? fixture : RarFixturePath(fixture);
        if (bytes) io.files[first] = *bytes;
        Reopen();
    }
    OpenStatus Reopen() {
        if (io.Select(first)) status = reader->Open(VolumeIo{&io, TestIo::ReadAt, TestIo::Open}, first.c_str());
        return status;
    }
    // The next entries, each handled with `mode`; at most `limit`.
    std::vector<Extracted> All(ProcessMode mode, size_t limit = 10000) {
        std::vector<Extracted> all;
        Extracted e;
        while (all.size() < limit && (walk = reader->NextEntry(&e.h)) == kWalkEntry) {
            e.out.clear();
            e.progress.clear();
            e.headerCrcOk = reader->HeaderCrcMatched();
            e.check = reader->CheckEntry();
            e.result = reader->ProcessFile(mode, e.Sink());
            all.push_back(e);
        }
        return all;
    }
};

// ---- names ----

TEST(RarReaderNames, NormalisationAndTheOneNameRule) {
    const std::string longest(kMaxNameBytes, 'n');
    const struct {
        std::string stored;
        std::string reported;
        NameProblem problem;
    } cases[] = {
        {"C:\\x\\y.txt", "x\\y.txt", kNameSafe}, {"\\x\\y.txt", "x\\y.txt", kNameSafe},
        {".\\x\\y.txt", "x\\y.txt", kNameSafe}, {"..\\x\\y.txt", "x\\y.txt", kNameSafe},
        {"x/y/z.txt", "x\\y\\z.txt", kNameSafe}, {"/x/y.txt", "x\\y.txt", kNameSafe},
        {"..x\\y", "..x\\y", kNameSafe}, {".hidden", ".hidden", kNameSafe}, {"x.y\\z", "x.y\\z", kNameSafe},
        {"console.txt", "console.txt", kNameSafe}, {"COM10", "COM10", kNameSafe},
        {"a\\nulx.txt", "a\\nulx.txt", kNameSafe}, {"", "", kNameEmpty},
        {"..\\..\\y.txt", "..\\y.txt", kNameParent}, {"C:\\..\\y.txt", "..\\y.txt", kNameParent},
        {"a/../b", "a\\..\\b", kNameParent}, {"..", "..", kNameParent}, {"a\\..", "a\\..", kNameParent},
        {"a\\...\\b", "a\\...\\b", kNameParent}, {"a\\.. \\b", "a\\.. \\b", kNameParent},
        {"\\\\srv\\s\\a", "\\srv\\s\\a", kNameAbsolute}, {"C:C:\\x", "C:\\x", kNameAbsolute},
        {"ab:s", "ab:s", kNameAbsolute}, {"a.", "a.", kNameTrailingDot},
        {"a\\b \\c", "a\\b \\c", kNameTrailingDot}, {"a\\.\\b", "a\\.\\b", kNameTrailingDot},
        {"x..\\y", "x..\\y", kNameTrailingDot},
        {longest, longest, kNameSafe}, {longest + "n", longest + "n", kNameTooLong},
    };
    for (const auto& c : cases) {
        char name[kMaxNameBytes + 2];
        strcpy(name, c.stored.c_str());
        NormaliseName(name);
        EXPECT_EQ(c.reported, name) << "stored " << c.stored;
        EXPECT_EQ(c.problem, CheckName(name)) << name;
        EXPECT_EQ(c.problem == kNameSafe, IsSafeName(name)) << name;
    }
    for (const char* device : {"nul", "Data\\nul.txt", "aux", "AUX .log", "x\\Con.tar.gz", "prn", "COM1",
                               "lpt9.txt", "com0", "COM\xB9", "conin$", "a\\CONOUT$.x"})
        EXPECT_EQ(kNameDevice, CheckName(device)) << device;
}

TEST(RarReaderNames, NextVolumeNames) {
    const struct {
        const char* name;
        const char* next;
    } cases[] = {
        {"arc.rar", "arc.r00"},   {"arc.r09", "arc.r10"},     {"arc.r99", "arc.rA0"},
        {"arc.rA0", "arc.r00"},   {"ARC.RAR", "ARC.R00"},     {"setup.EXE", "setup.r00"},
        {"arc", "arc.r00"},       {"arc.", "arc.r00"},        {"arc.s1", "arc.s00"},
        {"arc.s55", "arc.s56"},   {"a.b\\arc", "a.b\\arc.r00"}, {"a.b/arc", "a.b/arc.r00"},
    };
    for (const auto& c : cases) EXPECT_STREQ(c.next, NextVolumeName(c.name).c_str()) << c.name;
}

// ---- real archives ----

TEST(RarReaderArchives, EveryVersion20EntryExtractsWithItsCrcAndProgress) {
    const struct {
        const char* file;
        size_t files, folders;
    } cases[] = {
        {"v20/test_v2.rar", 7, 0},
        {"v20/test_v2solid5.rar", 2, 0},
        {"v20/rar2-unix-owner.rar", 1, 0},
        {"v20/rar202-comment-nopsw.rar", 2, 0},
        {"v20/test_read_format_rar.rar", 3, 2},
        {"v20/test_read_format_rar_windows.rar", 3, 2},
        {"v20/test_read_format_rar_subblock.rar", 1, 0},
    };
    for (const auto& c : cases) {
        Session s(c.file);
        ASSERT_EQ(kOpenOk, s.status) << c.file;
        EXPECT_EQ(kIntegrityAbsent, s.reader->VerifyIntegrity());
        std::vector<Extracted> all = s.All(kProcessExtract);
        EXPECT_EQ(kWalkEnd, s.walk) << c.file;
        size_t folders = std::count_if(all.begin(), all.end(),
                                       [](const Extracted& e) { return IsDirectory(e.h.block.flags); });
        EXPECT_EQ(c.files, all.size() - folders) << c.file;
        EXPECT_EQ(c.folders, folders) << c.file;
        for (const Extracted& e : all) {
            SCOPED_TRACE(std::string(c.file) + " " + e.h.name);
            EXPECT_EQ(20, e.h.unpVer);
            EXPECT_TRUE(e.headerCrcOk);
            EXPECT_EQ(kExtractOk, e.result);
            EXPECT_EQ(IsDirectory(e.h.block.flags) ? 0 : e.h.unpSize, e.out.size());
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
    Bytes old = {'R', 'E', '~', '^', 0, 0, 0, 0};
    EXPECT_EQ(kOpenOldFormat, Session("old.rar", &old).status);
}

// Entries the decoder does not understand are refused before any output,
// each with its own result and text, and the walk goes on.
TEST(RarReaderArchives, EntriesTheDecoderDoesNotUnderstandAreRefusedByKind) {
    for (const char* f : {"older/rar15-comment.rar", "v29/rar3-solid.rar", "v29/seektest.rar",
                          "v29/test_read_format_rar_compress_normal.rar",
                          "v29/test_read_format_rar_multi_lzss_blocks.rar"}) {
        Session s(f);
        size_t refused = 0;
        for (const Extracted& e : s.All(kProcessExtract)) {
            bool stored = e.h.method == 0x30;  // stored bytes read the same in every version
            EXPECT_EQ(stored ? kExtractOk : kExtractUnsupportedVersion, e.result) << f << " " << e.h.name;
            EXPECT_TRUE(e.out.empty() || stored);
            refused += !stored;
        }
        EXPECT_EQ(kWalkEnd, s.walk) << f;
        EXPECT_GT(refused, 0u) << f;
    }
    // p1.bin of test_v2.rar (packed, method 0x31) with one header field changed.
    const Bytes v2 = LoadRarFixture("v20/test_v2.rar");
    const ArchiveEntry p1 = FileEntries(v2)[1];
    const uint16_t flags = p1.h.block.flags;
    auto flagBytes = [](uint16_t f) { return Bytes{(uint8_t)f, (uint8_t)(f >> 8)}; };
    const struct {
        size_t at;
        Bytes bytes;
        int result;
        const char* text;
    } cases[] = {
        {3, flagBytes(flags | kFileEncrypted), kExtractEncrypted, "encrypted"},
        {24, {29}, kExtractUnsupportedVersion, "unsupported version 2.9"},
        {24, {15}, kExtractUnsupportedVersion, "unsupported version 1.5"},
        {25, {0x36}, kExtractUnsupportedMethod, "unsupported method 0x36"},
        {3, flagBytes((flags & ~kFileDictMask) | 5 << 5), kExtractUnsupportedDictionary,
         "unsupported dictionary 2048 KB"},
        {24, {26}, kExtractOk, "OK"},
    };
    for (const auto& c : cases) {
        Bytes file = v2;
        PatchHeader(file, p1, c.at, c.bytes);
        for (ProcessMode mode : {kProcessExtract, kProcessSkip}) {
            Session s("patched.rar", &file);
            std::vector<Extracted> all = s.All(mode);
            ASSERT_EQ(7u, all.size()) << c.text;
            EXPECT_EQ(c.result, all[1].check) << c.text;
            EXPECT_EQ(mode == kProcessExtract ? c.result : kExtractOk, all[1].result) << c.text;
            EXPECT_EQ(c.text, std::string(ResultText(all[1].check, all[1].h).c_str()));
            EXPECT_EQ(kExtractOk, all[2].result) << c.text;
        }
    }
}

// ---- volumes ----

TEST(RarReaderVolumes, BigFileSpansTheOldStyleSet) {
    for (ProcessMode mode : {kProcessExtract, kProcessList}) {
        Session s("volumes/rar3-old.rar");
        ASSERT_EQ(kOpenOk, s.status);
        std::vector<Extracted> all = s.All(mode);
        EXPECT_EQ(kWalkEnd, s.walk);
        ASSERT_EQ(2u, all.size());
        EXPECT_STREQ("vols\\bigfile.txt", all[0].h.name);
        EXPECT_STREQ("vols\\smallfile.txt", all[1].h.name);
        std::vector<std::string> expected = {RarFixturePath("volumes/rar3-old.r00"),
                                             RarFixturePath("volumes/rar3-old.r01")};
        EXPECT_EQ(expected, s.io.opened);  // listing walks the set too
        if (mode == kProcessList) continue;
        EXPECT_EQ(kExtractOk, all[0].result);
        EXPECT_EQ(205000u, all[0].out.size());
        EXPECT_EQ(kExtractOk, all[1].result);
        EXPECT_EQ(2050u, all[1].out.size());
    }
}

TEST(RarReaderVolumes, AMissingVolumeOrACircleOfNamesDamagesTheArchive) {
    Bytes first = LoadRarFixture("volumes/rar3-old.rar");
    Session missing("set.rar", &first);
    missing.io.files["set.r00"] = LoadRarFixture("volumes/rar3-old.r00");  // set.r01 is missing
    ASSERT_EQ(kOpenOk, missing.status);
    std::vector<Extracted> all = missing.All(kProcessExtract);
    ASSERT_EQ(1u, all.size());
    EXPECT_EQ(kExtractBadData, all[0].result);
    EXPECT_EQ(204620u, all[0].out.size());  // the two parts that exist
    EXPECT_EQ(kVolumeOpenAttempts, missing.io.failedOpens);
    EXPECT_EQ(kWalkDamaged, missing.walk);
    // Every volume continues the entry into the next: arc.r00 .. arc.r99,
    // arc.rA0, whose next name is arc.r00 again.
    Bytes part = BuildStoredArchive({{"loop.bin", "data", 2, 0x20, 0, false, 0, ~0ull,
                                      kFileSplitBefore | kFileSplitAfter}},
                                    kMainVolume);
    for (ProcessMode mode : {kProcessList, kProcessExtract}) {
        Session cycle("arc.rar", &part);
        for (std::string n = "arc.r00"; !cycle.io.files.count(n); n = NextVolumeName(n.c_str()).c_str())
            cycle.io.files[n] = part;
        ASSERT_EQ(101u, cycle.io.files.size() - 1);
        std::vector<Extracted> looped = cycle.All(mode);
        ASSERT_EQ(1u, looped.size());
        EXPECT_EQ(kWalkDamaged, cycle.walk);
        EXPECT_STREQ("the volume names run in a circle", cycle.reader->DamageText());
        EXPECT_EQ(101u, cycle.io.opened.size());  // each name once
    }
}

TEST(RarReaderSkips, SkipsDecodeOnlyInSolidArchives) {
    Bytes etalon = LoadRarFixture("v20/etalon.bin");
    // Solid: a skip decodes without extracting, so the next entry extracts;
    // a listing does not, so the next entry fails. So does an unsafe name,
    // which is refused but decoded all the same.
    Bytes solid = LoadRarFixture("v20/test_v2solid5.rar");
    Bytes unsafe = solid;
    PatchHeader(unsafe, FileEntries(unsafe)[0], 32, {'a', 'u', 'x', '.', 'b', 'i'});
    const struct {
        const Bytes* file;
        ProcessMode first;
        int firstResult, secondResult;
    } cases[] = {
        {&solid, kProcessSkip, kExtractOk, kExtractOk},
        {&solid, kProcessList, kExtractOk, kExtractBadData},
        {&unsafe, kProcessExtract, kExtractUnsafeName, kExtractOk},
    };
    for (const auto& c : cases) {
        Session s("solid.rar", c.file);
        std::vector<Extracted> skipped = s.All(c.first, 1);
        ASSERT_EQ(1u, skipped.size());
        EXPECT_EQ(c.firstResult, skipped[0].result);
        EXPECT_TRUE(skipped[0].out.empty());
        EXPECT_EQ(c.first != kProcessList, !skipped[0].progress.empty());
        for (const Progress& p : skipped[0].progress) EXPECT_FALSE(p.extracting);
        std::vector<Extracted> rest = s.All(kProcessExtract);
        ASSERT_EQ(1u, rest.size());
        EXPECT_EQ(c.secondResult, rest[0].result);
        if (c.secondResult == kExtractOk) EXPECT_TRUE(rest[0].out == etalon);
    }
    // Not solid: skips read no data at all.
    Session s("v20/test_v2.rar");
    std::vector<Extracted> skipped = s.All(kProcessSkip);
    EXPECT_EQ(7u, skipped.size());
    EXPECT_LT(s.io.bytesRead, kLocateWindow + 7 * 200);
    for (const Extracted& e : skipped) EXPECT_TRUE(e.progress.empty());
}

// ---- headers built here ----

TEST(RarReaderHeaders, NamesHostsAndHeaderCrcs) {
    std::string longName = "Data\\" + std::string(300, 'n');
    Bytes file = BuildStoredArchive({
        {longName, "x"},
        {"Unix/style/name", "y", 3, 0x81B4},
        {"beos.txt", "z", 5, 0x1234},
        {"beos", "", 5, 0x1234, 0, false, 0, ~0ull, kFileDirectory},
    });
    Session s("built.rar", &file);
    std::vector<Extracted> all = s.All(kProcessExtract);
    ASSERT_EQ(4u, all.size());
    EXPECT_EQ(0x10u, all[3].h.attributes);
    EXPECT_EQ(longName.substr(0, kMaxNameBytes + 1), all[0].h.name);  // too long, never cut to fit
    EXPECT_EQ(kExtractUnsafeName, all[0].result);
    EXPECT_TRUE(all[0].out.empty());
    EXPECT_STREQ("Unix\\style\\name", all[1].h.name);
    EXPECT_EQ(3, all[1].h.hostOs);
    EXPECT_EQ(0x81B4u, all[1].h.attributes);
    EXPECT_EQ(0, all[2].h.hostOs);  // unknown hosts read as MS-DOS with plain attributes
    EXPECT_EQ(0x20u, all[2].h.attributes);
    for (const Extracted& e : all) EXPECT_TRUE(e.headerCrcOk) << e.h.name;
    // A wrong header CRC marks the entry as damaged data: reported, never written.
    file[kMarkerSize + kMainHeaderSize] ^= 1;
    Session broken("broken.rar", &file);
    std::vector<Extracted> again = broken.All(kProcessExtract);
    ASSERT_EQ(4u, again.size());
    EXPECT_FALSE(again[0].headerCrcOk);
    EXPECT_EQ(kExtractBadData, again[0].result);
    EXPECT_TRUE(again[0].out.empty());
    EXPECT_EQ(kExtractOk, again[1].result);
}

TEST(RarReaderHeaders, OnlyACleanBlockBoundaryEndsTheArchive) {
    Bytes good = BuildStoredArchive({{"a.txt", "alpha"}, {"b.txt", "beta"}});
    Bytes trailing = good;
    trailing.push_back(0);
    Bytes endThenJunk = good, unknown = good;
    for (uint8_t b : Block(kBlockEnd, kFlagSkipIfUnknown, {})) endThenJunk.push_back(b);
    endThenJunk.push_back(0x55);
    for (uint8_t b : Block(0x7C, 0, {})) unknown.push_back(b);
    const struct {
        const char* what;
        Bytes file;
        size_t entries;
        int firstResult;
        WalkStatus walk;
    } cases[] = {
        {"whole", good, 2, kExtractOk, kWalkEnd},
        {"main header only", BuildStoredArchive({}), 0, 0, kWalkEnd},
        {"end block, then anything", endThenJunk, 2, kExtractOk, kWalkEnd},
        {"a stray byte behind the last block", trailing, 2, kExtractOk, kWalkDamaged},
        {"a block of unknown type", unknown, 2, kExtractOk, kWalkDamaged},
        {"packed size beyond the end",
         BuildStoredArchive({{"a.txt", "alpha", 2, 0x20, 0, false, 0x7FFFFFF0}}), 1, kExtractOk, kWalkDamaged},
        {"packed size short of the data",
         BuildStoredArchive({{"a.txt", "alpha", 2, 0x20, 0, false, -2}, {"b", "b"}}), 1, kExtractBadData,
         kWalkDamaged},
        {"cut in the second header", Bytes(good.begin(), good.end() - 10), 1, kExtractOk, kWalkDamaged},
        {"cut in the first data", Bytes(good.begin(), good.begin() + 20 + 37 + 2), 1, kExtractBadData,
         kWalkDamaged},
        {"64-bit packed size near 2^64, wrapping back",
         BuildStoredArchive({{"w", "", 2, 0x20, 0, false, -50, ~0ull, 0, 0xFFFFFFFF}}), 0, 0, kWalkDamaged},
    };
    for (const auto& c : cases) {
        Session s("lying.rar", &c.file);
        ASSERT_EQ(kOpenOk, s.status) << c.what;
        std::vector<Extracted> all = s.All(kProcessExtract);
        EXPECT_EQ(c.walk, s.walk) << c.what;
        ASSERT_EQ(c.entries, all.size()) << c.what;
        if (c.entries) EXPECT_EQ(c.firstResult, all[0].result) << c.what;
        EXPECT_EQ(c.walk, s.reader->NextEntry(&all.emplace_back().h)) << c.what << ": the verdict stays";
    }
}

// A cut at any offset inside a header or inside data is reported as damage;
// a cut exactly at a block boundary leaves a shorter archive that cannot be
// told from a whole one (the integrity record exists for that).
TEST(RarReaderHeaders, ForeignArchivesCutAnywhereButAtABlockBoundaryAreDamaged) {
    for (const char* f : {"v20/test_v2.rar", "v20/test_read_format_rar_windows.rar",
                          "v20/rar202-comment-nopsw.rar", "v20/rar2-unix-owner.rar"}) {
        Bytes file = LoadRarFixture(f);
        std::vector<size_t> boundaries = BlockBoundaries(file);
        Session s(f, &file);
        for (size_t cut = 0; cut < file.size(); ++cut) {
            s.io.cut = cut;
            if (s.Reopen() != kOpenOk) continue;  // cut before the main header's end
            s.All(kProcessList);
            if (std::binary_search(boundaries.begin(), boundaries.end(), cut)) continue;
            ASSERT_EQ(kWalkDamaged, s.walk) << f << " cut at " << cut;
        }
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

// ---- the integrity record ----

TEST(RarReaderIntegrity, TheRecordCatchesEveryCutAndChange) {
    const Bytes program(64, 'Z');
    const Bytes sealed = SealedArchive({{"Presetup\\Tarv.ini", "[Config]"}, {"Data\\a.bin", "payload"}}, program);
    Session s("setup.exe", &sealed);
    ASSERT_EQ(kOpenOk, s.status);
    EXPECT_EQ(kIntegrityOk, s.reader->VerifyIntegrity());
    EXPECT_EQ(2u, s.All(kProcessExtract).size());
    EXPECT_EQ(kWalkEnd, s.walk);
    const size_t record = program.size() + kMarkerSize + kMainHeaderSize;
    for (size_t cut = 0; cut < sealed.size(); ++cut) {
        s.io.cut = cut;
        if (s.Reopen() != kOpenOk) continue;
        EXPECT_EQ(kIntegrityDamaged, s.reader->VerifyIntegrity()) << "cut at " << cut;
        // Cut right behind the main header, the walk sees an empty archive.
        s.All(kProcessList);
        EXPECT_EQ(cut == record ? kWalkEnd : kWalkDamaged, s.walk) << "cut at " << cut;
    }
    // A change inside the record's own type bytes hides the record (then
    // nothing else is damaged); any other change is caught.
    for (size_t at = program.size(); at < sealed.size(); ++at) {
        Bytes changed = sealed;
        changed[at] ^= 0x10;
        Session c("changed.exe", &changed);
        if (c.status != kOpenOk) continue;
        IntegrityStatus verdict = c.reader->VerifyIntegrity();
        bool inRecord = at >= record && at < record + kIntegrityBlockSize;
        EXPECT_EQ(kIntegrityDamaged, inRecord && verdict == kIntegrityAbsent ? kIntegrityDamaged : verdict)
            << "byte " << at;
    }
    // Bytes appended behind the archive (a signature) change nothing.
    Bytes signed_ = sealed;
    signed_.insert(signed_.end(), 300, 0x5A);
    Session t("signed.exe", &signed_);
    EXPECT_EQ(kIntegrityOk, t.reader->VerifyIntegrity());
    EXPECT_EQ(2u, t.All(kProcessList).size());
    EXPECT_EQ(kWalkEnd, t.walk);
}

}  // namespace
