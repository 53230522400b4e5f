// TarvPack end to end: packages built by the tool are read back by our own
// reader and by an independent one (unar/lsar), corruption is caught by its
// test command, and everything the installer could not read is refused.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The last offset at which the installer finds an archive.
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
    bool Says(const std::string& text) const { return output.find(text) != std::string::npos; }
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

// A local time, or the same fields read as UTC (as unar reads MS-DOS times).
struct Stamp {
    int year, month, day, hour, minute, second;
    time_t Time(bool utc) const {
        struct tm t = {};
        t.tm_year = year - 1900;
        t.tm_mon = month - 1;
        t.tm_mday = day;
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        t.tm_isdst = -1;
        return utc ? timegm(&t) : mktime(&t);
    }
};

struct SourceFile {
    std::string path;  // below the package folder
    std::string data;
    Stamp stamp;
    bool readOnly;
};

std::string Pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (char& c : s) {
        seed = seed * 1103515245u + 12345u;
        c = (char)(seed >> 16);
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

std::string DefaultInstaller() { return "MZ" + std::string(40000, '\x90'); }

class TarvPackTest : public testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tarvpack-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        installer = dir / "Tarv.exe";
        out = dir / "setup.exe";
        Spit(installer, DefaultInstaller());
    }
    void TearDown() override {
        std::error_code ignored;
        for (auto& e : fs::recursive_directory_iterator(dir, ignored))
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
    }
    Ran Build() {
        return Pack("build " + Quote(dir / "pkg") + " " + Quote(out) + " --installer " + Quote(installer));
    }
    // The sample package with an empty folder, built into `out`.
    Ran BuildPackage() {
        for (const SourceFile& f : Package()) {
            fs::path p = dir / "pkg" / f.path;
            Spit(p, f.data);
            time_t t = f.stamp.Time(false);
            struct utimbuf times = {t, t};
            EXPECT_EQ(0, utime(p.c_str(), &times));
            if (f.readOnly)
                fs::permissions(p, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                fs::perm_options::remove);
        }
        fs::create_directories(dir / "pkg/Data/emptydir");
        return Build();
    }

    fs::path dir, installer, out;
};

TEST_F(TarvPackTest, OutputReadsBackThroughUnarAndLsar) {
    if (Shell("command -v unar lsar").status != 0) GTEST_SKIP() << "unar/lsar not installed";
    ASSERT_EQ(0, BuildPackage().status);
    Ran tested = Shell("lsar -t " + Quote(out));
    EXPECT_EQ(0, tested.status) << tested.output;
    fs::path x = dir / "unar";
    Ran unpacked = Shell("unar -q -D -o " + Quote(x) + " " + Quote(out));
    ASSERT_EQ(0, unpacked.status) << unpacked.output;
    size_t files = 0;
    for (auto& e : fs::recursive_directory_iterator(x)) files += e.is_regular_file();
    EXPECT_EQ(Package().size(), files);
    for (const SourceFile& f : Package()) {
        EXPECT_EQ(f.data, Slurp(x / f.path)) << f.path;
        struct stat st;
        ASSERT_EQ(0, stat((x / f.path).c_str(), &st)) << f.path;
        EXPECT_EQ(f.stamp.Time(true), st.st_mtime) << f.path;
    }
    EXPECT_TRUE(fs::is_directory(x / "Data/emptydir"));
}

// The tool's list, test and extract commands run on the installer's reader
// core, so they read the package back as the installer will.
TEST_F(TarvPackTest, OutputReadsBackThroughOurReaderWhichFindsCorruption) {
    Ran built = BuildPackage();
    ASSERT_EQ(0, built.status) << built.output;
    EXPECT_TRUE(built.Says("7 entries (6 files, 1 folders)")) << built.output;
    std::string bytes = Slurp(out);
    EXPECT_EQ(Slurp(installer), bytes.substr(0, fs::file_size(installer)));
    EXPECT_EQ(0, bytes.compare(fs::file_size(installer), 7, std::string("Rar!\x1a\x07\x00", 7)));
    // Presetup entries lead the archive, in order; names use "\".
    Ran listed = Pack("list " + Quote(out));
    size_t ini = listed.output.find("Presetup\\Tarv.ini"), lng = listed.output.find("Presetup\\Tarv.lng");
    EXPECT_TRUE(ini < lng && lng < listed.output.find("Data\\")) << listed.output;
    Ran ok = Pack("test " + Quote(out));
    EXPECT_EQ(0, ok.status) << ok.output;
    EXPECT_TRUE(ok.Says("6 entries, 0 failed")) << ok.output;
    Ran extracted = Pack("extract " + Quote(out) + " " + Quote(dir / "x"));
    EXPECT_EQ(0, extracted.status) << extracted.output;
    for (const SourceFile& f : Package()) {
        EXPECT_EQ(f.data, Slurp(dir / "x" / f.path)) << f.path;
        struct stat st;
        ASSERT_EQ(0, stat((dir / "x" / f.path).c_str(), &st));
        EXPECT_EQ(f.stamp.Time(false), st.st_mtime) << f.path;
        EXPECT_EQ(f.readOnly, (st.st_mode & S_IWUSR) == 0) << f.path;
    }
    const struct {
        std::string needle;  // the byte at `offset` from its first occurrence is changed
        long offset;
        const char* line;    // the failing entry's name and result
    } cases[] = {
        {Pattern(700000, 7).substr(0, 64), 100, "Data\\sub\\deeper\\big.bin  CRC failed"},
        {"Presetup\\Tarv.lng", -1, "Presetup\\Tarv.lng  OK, header CRC failed"},  // attributes
    };
    for (const auto& c : cases) {
        std::string broken = bytes;
        size_t at = broken.find(c.needle);
        ASSERT_NE(std::string::npos, at);
        broken[at + c.offset] ^= 0x40;
        Spit(dir / "broken.exe", broken);
        Ran r = Pack("test " + Quote(dir / "broken.exe"));
        EXPECT_EQ(1, r.status) << r.output;
        EXPECT_TRUE(r.Says(c.line) && r.Says("1 failed")) << r.output;
    }
}

TEST_F(TarvPackTest, RefusesWhatTheInstallerCannotReadNamingTheFile) {
    const struct {
        std::vector<std::string> files;  // below the package folder; "Data/huge" is 4 GB
        size_t installerSize;            // 0: the default
        std::string installerTail;       // appended to the default installer
        std::string message;
    } cases[] = {
        {{"Presetup/a", "Data/b"}, kLastOffset + 1, "", "must start by offset"},
        {{"Presetup/a", "Data/" + std::string(255, 'n')}, 0, "",
         "Data\\" + std::string(255, 'n') + " is longer than 259 characters"},
        {{"Presetup/a", "Data/caf\xc3\xa9.txt"}, 0, "", "Data/caf\xc3\xa9.txt: the name is not plain ASCII"},
        {{"Presetup/a", "Data/a:b"}, 0, "", "Data/a:b: the name holds a character Windows does not allow"},
        {{"Presetup/a", "Data/a."}, 0, "", "Data/a.: the name ends in a dot or a blank"},
        {{"Presetup/a", "Data/aux.txt"}, 0, "", "Data/aux.txt: the name is a Windows device name"},
        {{"Presetup/a", "Data/A.txt", "Data/a.txt"}, 0, "", "Data/a.txt: differs only in case"},
        {{"Presetup/a"}, 0, "", "Data: missing"},
        {{"Presetup/a", "Data/huge"}, 0, "", "Data/huge: the file is 4 GB or larger"},
        {{"Presetup/a", "Data/b"}, 0, std::string("Rar!\x1a\x07\x00\x00\x00\x73", 10),
         "look like an archive start"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.files.back());
        fs::remove_all(dir / "pkg");
        for (const std::string& f : c.files) Spit(dir / "pkg" / f, "x");
        if (fs::exists(dir / "pkg/Data/huge")) fs::resize_file(dir / "pkg/Data/huge", 0x100000000ull);
        std::string inst = DefaultInstaller() + c.installerTail;
        if (c.installerSize) inst.resize(c.installerSize, '\x90');
        Spit(installer, inst);
        Ran r = Build();
        EXPECT_EQ(1, r.status) << r.output;
        EXPECT_TRUE(r.Says(c.message)) << r.output;
        EXPECT_FALSE(fs::exists(out));
    }
    // The largest installer that still works.
    fs::remove_all(dir / "pkg");
    Spit(dir / "pkg/Presetup/a", "x");
    Spit(dir / "pkg/Data/b", "y");
    Spit(installer, "MZ" + std::string(kLastOffset - 2, '\x90'));
    Ran r = Build();
    EXPECT_EQ(0, r.status) << r.output;
    EXPECT_EQ(0, Pack("test " + Quote(out)).status);
}

TEST_F(TarvPackTest, UsageErrors) {
    const struct {
        std::string args;
        int status;
    } cases[] = {{"--help", 0}, {"", 2}, {"frobnicate x", 2}, {"list", 2}, {"build onlyone", 2}};
    for (const auto& c : cases) {
        Ran r = Pack(c.args);
        EXPECT_EQ(c.status, r.status) << c.args;
        EXPECT_TRUE(r.Says("TarvPack build")) << c.args;
    }
    Ran missing = Pack("test " + Quote(dir / "nothing.rar"));
    EXPECT_EQ(1, missing.status);
    EXPECT_TRUE(missing.Says("cannot open")) << missing.output;
}

}  // namespace
