// TarvPack end to end: packages built by the tool are read back by our own
// reader and by an independent one (unar/lsar), corruption is caught by its
// test command, and everything the installer could not read is refused.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/RarReader.h"

namespace fs = std::filesystem;
using namespace rar;

namespace {

// The last offset at which the installer finds an archive (the locating
// step needs the marker block and the main header's type byte in its
// 0x1FFF7-byte window).
const size_t kLastOffset = 0x1FFED;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Spit(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

struct Ran {
    int status;
    std::string output;  // stdout and stderr
};

Ran Shell(const std::string& command) {
    Ran r = {-1, ""};
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.output.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

Ran Pack(const std::string& args) { return Shell(std::string(TARVPACK_EXE) + " " + args); }

// A local time and its MS-DOS form, packed field by field.
struct Stamp {
    int year, month, day, hour, minute, second;
    time_t Local() const {
        struct tm t = {};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        t.tm_isdst = -1;
        return mktime(&t);
    }
    // The same fields read as UTC, as unar reads MS-DOS times.
    time_t Utc() const {
        struct tm t = {};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        return timegm(&t);
    }
    uint32_t Dos() const {
        return (uint32_t)(year - 1980) << 25 | (uint32_t)month << 21 | (uint32_t)day << 16 |
               (uint32_t)hour << 11 | (uint32_t)minute << 5 | (uint32_t)(second / 2);
    }
};

struct SourceFile {
    std::string path;  // below the package folder
    std::string data;
    Stamp stamp;
    bool readOnly;
};

class TarvPackTest : public testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tarvpack-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        installer = dir / "Tarv.exe";
        Spit(installer, "MZ" + std::string(40000, '\x90'));
    }
    void TearDown() override {
        std::error_code ignored;
        for (auto& e : fs::recursive_directory_iterator(dir, ignored))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
    }
    void Add(const SourceFile& f) {
        fs::path p = dir / "pkg" / f.path;
        Spit(p, f.data);
        time_t t = f.stamp.Local();
        struct utimbuf times = {t, t};
        ASSERT_EQ(0, utime(p.c_str(), &times));
        if (f.readOnly) fs::permissions(p, fs::perms::all & ~fs::perms::owner_write & ~fs::perms::group_write & ~fs::perms::others_write);
    }
    Ran Build(const fs::path& output) {
        return Pack("build " + Quote(dir / "pkg") + " " + Quote(output) + " --installer " +
                    Quote(installer));
    }

    fs::path dir;
    fs::path installer;
};

std::string Pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = (char)(seed >> 16);
    }
    return s;
}

const std::vector<SourceFile>& Package() {
    static const std::vector<SourceFile> files = {
        {"Data/zzz-first-in-data.txt", "data entries follow presetup", {2001, 2, 3, 4, 5, 6}, false},
        {"Presetup/Tarv.ini", "[Config]\r\nLogFile=x\r\n", {2010, 12, 31, 23, 59, 58}, false},
        {"Presetup/Tarv.lng", Pattern(5000, 1), {1999, 1, 1, 0, 0, 0}, false},
        {"Data/empty.txt", "", {2020, 6, 15, 12, 30, 44}, false},
        {"Data/readonly.txt", "do not touch", {2020, 6, 15, 12, 30, 46}, true},
        {"Data/sub/deeper/big.bin", Pattern(700000, 7), {2015, 7, 8, 9, 10, 12}, false},
    };
    return files;
}

// Our reader over a whole file held in memory.
struct MemoryIo {
    std::string bytes;
    static size_t ReadAt(void* ctx, uint64_t offset, uint8_t* buf, size_t size) {
        const std::string& b = static_cast<MemoryIo*>(ctx)->bytes;
        if (offset >= b.size()) return 0;
        size_t n = std::min<uint64_t>(size, b.size() - offset);
        memcpy(buf, b.data() + offset, n);
        return n;
    }
    static bool Open(void*, const char*) { return false; }
};

size_t Append(void* ctx, const uint8_t* data, size_t size) {
    static_cast<std::string*>(ctx)->append(reinterpret_cast<const char*>(data), size);
    return size;
}

TEST_F(TarvPackTest, OutputReadsBackThroughOurReader) {
    for (const SourceFile& f : Package()) Add(f);
    fs::create_directories(dir / "pkg/Data/emptydir");
    fs::path out = dir / "setup.exe";
    Ran built = Build(out);
    ASSERT_EQ(0, built.status) << built.output;
    EXPECT_NE(std::string::npos, built.output.find("7 entries (6 files, 1 folders)")) << built.output;

    MemoryIo io = {Slurp(out)};
    LocateResult at = LocateArchive(reinterpret_cast<const uint8_t*>(io.bytes.data()),
                                    io.bytes.size());
    ASSERT_EQ(kLocateFound, at.status);
    EXPECT_EQ(fs::file_size(installer), at.offset);
    EXPECT_EQ(Slurp(installer), io.bytes.substr(0, at.offset));

    std::unique_ptr<RarReader> reader(new RarReader);
    ASSERT_TRUE(reader->AllocateWindow());
    ASSERT_EQ(kOpenOk, reader->Open(VolumeIo{&io, MemoryIo::ReadAt, MemoryIo::Open}, "setup.exe"));
    EXPECT_FALSE(reader->Solid());
    std::map<std::string, const SourceFile*> expected;
    for (const SourceFile& f : Package()) {
        std::string stored = f.path;
        for (char& c : stored)
            if (c == '/') c = '\\';
        expected[stored] = &f;
    }
    std::vector<std::string> order;
    FileHeader h;
    while (reader->ReadFileHeader(&h)) {
        order.push_back(h.name);
        EXPECT_TRUE(reader->HeaderCrcMatched()) << h.name;
        std::string data;
        EntrySink sink = {&data, Append, nullptr};
        EXPECT_EQ(kExtractOk, reader->ProcessFile(kProcessExtract, sink)) << h.name;
        ASSERT_TRUE(expected.count(h.name)) << h.name;
        const SourceFile& f = *expected[h.name];
        EXPECT_EQ(f.data, data) << h.name;
        EXPECT_EQ(0x30, h.method);
        EXPECT_EQ(20, h.unpVer);
        EXPECT_EQ(2, h.hostOs);
        EXPECT_EQ(f.stamp.Dos(), h.dosTime) << h.name;
        EXPECT_EQ(f.readOnly ? 0x21u : 0x20u, h.attributes) << h.name;
    }
    ASSERT_EQ(6u, order.size());
    EXPECT_EQ("Presetup\\Tarv.ini", order[0]);
    EXPECT_EQ("Presetup\\Tarv.lng", order[1]);
    for (size_t i = 2; i < order.size(); ++i) EXPECT_EQ(0u, order[i].find("Data\\")) << order[i];
}

TEST_F(TarvPackTest, OutputReadsBackThroughUnarAndLsar) {
    if (Shell("command -v unar lsar").status != 0) GTEST_SKIP() << "unar/lsar not installed";
    for (const SourceFile& f : Package()) Add(f);
    fs::create_directories(dir / "pkg/Data/emptydir");
    fs::path out = dir / "setup.exe";
    ASSERT_EQ(0, Build(out).status);

    Ran tested = Shell("lsar -t " + Quote(out));
    EXPECT_EQ(0, tested.status) << tested.output;
    fs::path x = dir / "unar";
    Ran unpacked = Shell("unar -q -D -o " + Quote(x) + " " + Quote(out));
    ASSERT_EQ(0, unpacked.status) << unpacked.output;
    size_t files = 0;
    for (auto& e : fs::recursive_directory_iterator(x))
        if (e.is_regular_file()) ++files;
    EXPECT_EQ(Package().size(), files);
    for (const SourceFile& f : Package()) {
        fs::path p = x / f.path;
        EXPECT_EQ(f.data, Slurp(p)) << f.path;
        struct stat st;
        ASSERT_EQ(0, stat(p.c_str(), &st)) << f.path;
        // The archive holds the local time's fields; unar takes them as UTC.
        EXPECT_EQ(f.stamp.Utc(), st.st_mtime) << f.path;
    }
    EXPECT_TRUE(fs::is_directory(x / "Data/emptydir"));
}

TEST_F(TarvPackTest, TestAndExtractCommandsFindCorruption) {
    for (const SourceFile& f : Package()) Add(f);
    fs::path out = dir / "setup.exe";
    ASSERT_EQ(0, Build(out).status);

    Ran ok = Pack("test " + Quote(out));
    EXPECT_EQ(0, ok.status) << ok.output;
    EXPECT_NE(std::string::npos, ok.output.find("6 entries, 0 failed")) << ok.output;
    Ran extracted = Pack("extract " + Quote(out) + " " + Quote(dir / "x"));
    EXPECT_EQ(0, extracted.status) << extracted.output;
    for (const SourceFile& f : Package()) {
        EXPECT_EQ(f.data, Slurp(dir / "x" / f.path)) << f.path;
        struct stat st;
        ASSERT_EQ(0, stat((dir / "x" / f.path).c_str(), &st));
        EXPECT_EQ(f.stamp.Local(), st.st_mtime) << f.path;
        EXPECT_EQ(f.readOnly, (st.st_mode & S_IWUSR) == 0) << f.path;
    }

    std::string bytes = Slurp(out);
    const struct {
        const char* what;
        std::string needle;  // the byte at `offset` from its first occurrence is changed
        long offset;
        const char* line;    // the failing entry's name and result
    } cases[] = {
        {"data", Pattern(700000, 7).substr(0, 64), 100, "Data\\sub\\deeper\\big.bin  CRC failed"},
        // The attributes' high byte, just before the name.
        {"header", "Presetup\\Tarv.lng", -1, "Presetup\\Tarv.lng  OK, header CRC failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string broken = bytes;
        size_t at = broken.find(c.needle);
        ASSERT_NE(std::string::npos, at);
        broken[at + c.offset] ^= 0x40;
        Spit(dir / "broken.exe", broken);
        Ran r = Pack("test " + Quote(dir / "broken.exe"));
        EXPECT_EQ(1, r.status) << r.output;
        EXPECT_NE(std::string::npos, r.output.find(c.line)) << r.output;
        EXPECT_NE(std::string::npos, r.output.find("1 failed")) << r.output;
    }
}

TEST_F(TarvPackTest, RefusesWhatTheInstallerCannotRead) {
    const struct {
        const char* what;
        std::vector<std::string> files;  // created below the package folder
        size_t installerSize;            // 0: keep the default
        std::string installerBytes;      // appended to the default installer
        std::string message;             // part of the message
    } cases[] = {
        {"installer too large", {"Presetup/a", "Data/b"}, kLastOffset + 1, "", "must start by offset"},
        {"name too long", {"Presetup/a", "Data/" + std::string(255, 'n')}, 0, "",
         "longer than 259 characters"},
        {"non-ASCII name", {"Presetup/a", "Data/caf\xc3\xa9.txt"}, 0, "", "not plain ASCII"},
        {"character Windows refuses", {"Presetup/a", "Data/a:b"}, 0, "", "does not allow"},
        {"trailing dot", {"Presetup/a", "Data/a."}, 0, "", "dot or a blank"},
        {"device name", {"Presetup/a", "Data/aux.txt"}, 0, "", "device name"},
        {"names differing in case", {"Presetup/a", "Data/A.txt", "Data/a.txt"}, 0, "",
         "differs only in case"},
        {"no Data folder", {"Presetup/a"}, 0, "", "Data: missing"},
        {"marker inside the installer", {"Presetup/a", "Data/b"}, 0,
         std::string("Rar!\x1a\x07\x00\x00\x00\x73", 10), "look like an archive start"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir / "pkg");
        for (const std::string& f : c.files) Spit(dir / "pkg" / f, "x");
        std::string inst = "MZ" + std::string(40000, '\x90') + c.installerBytes;
        if (c.installerSize) inst.resize(c.installerSize, '\x90');
        Spit(installer, inst);
        fs::path out = dir / "setup.exe";
        Ran r = Build(out);
        EXPECT_EQ(1, r.status) << r.output;
        EXPECT_NE(std::string::npos, r.output.find(c.message)) << r.output;
        EXPECT_FALSE(fs::exists(out));
    }
    // The largest installer that still works.
    fs::remove_all(dir / "pkg");
    Spit(dir / "pkg/Presetup/a", "x");
    Spit(dir / "pkg/Data/b", "y");
    std::string inst = "MZ" + std::string(kLastOffset - 2, '\x90');
    Spit(installer, inst);
    Ran r = Build(dir / "setup.exe");
    EXPECT_EQ(0, r.status) << r.output;
    EXPECT_EQ(0, Pack("test " + Quote(dir / "setup.exe")).status);
}

TEST_F(TarvPackTest, RefusesFilesOf4GB) {
    Spit(dir / "pkg/Presetup/a", "x");
    fs::create_directories(dir / "pkg/Data");
    {
        std::ofstream(dir / "pkg/Data/huge.bin");
    }
    fs::resize_file(dir / "pkg/Data/huge.bin", 0x100000000ull);  // sparse
    Ran r = Build(dir / "setup.exe");
    EXPECT_EQ(1, r.status);
    EXPECT_NE(std::string::npos, r.output.find("huge.bin: the file is 4 GB or larger")) << r.output;
}

TEST_F(TarvPackTest, UsageAndHelp) {
    const struct {
        std::string args;
        int status;
    } cases[] = {{"--help", 0}, {"", 2}, {"frobnicate x", 2}, {"list", 2}, {"build onlyone", 2}};
    for (const auto& c : cases) {
        Ran r = Pack(c.args);
        EXPECT_EQ(c.status, r.status) << c.args;
        EXPECT_NE(std::string::npos, r.output.find("TarvPack build")) << c.args;
    }
    Ran missing = Pack("test " + Quote(dir / "nothing.rar"));
    EXPECT_EQ(1, missing.status);
    EXPECT_NE(std::string::npos, missing.output.find("cannot open")) << missing.output;
}

}  // namespace
