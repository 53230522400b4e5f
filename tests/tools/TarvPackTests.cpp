// TarvPack end to end: packages built by the tool are read back by our own
// reader and by an independent one (unar/lsar, which skip the integrity
// record), any cut or corruption is caught by its test command, its inputs
// are never changed, and everything the installer could not read is refused.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "archive/RarFormat.h"
#include "support/PortableArchiveSupport.h"

namespace fs = std::filesystem;

namespace {

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

// The headers of a Windows program for `machine` (0x14C i386, 0x8664 AMD64).
std::string Program(unsigned machine = 0x14C, size_t size = 40000) {
    std::string s(size, '\x90');
    s.replace(0, 2, "MZ");
    s.replace(0x3C, 8, std::string("\x40\0\0\0PE\0\0", 8));
    s[0x44] = (char)machine;
    s[0x45] = (char)(machine >> 8);
    return s;
}

// Every file below `root` (links not followed) with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (auto& e : fs::recursive_directory_iterator(root))
        files[e.path().string()] = e.is_symlink() ? "-> " + fs::read_symlink(e.path()).string()
                                                  : e.is_regular_file() ? Slurp(e.path()) : "<dir>";
    return files;
}

class TarvPackTest : public testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/tarvpack-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        installer = dir / "Tarv.exe";
        out = dir / "setup.exe";
        Spit(installer, Program());
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
TEST_F(TarvPackTest, OutputReadsBackThroughOurReader) {
    Ran built = BuildPackage();
    ASSERT_EQ(0, built.status) << built.output;
    EXPECT_TRUE(built.Says("7 entries (6 files, 1 folders)") && built.Says("installer for i386")) << built.output;
    std::string bytes = Slurp(out);
    EXPECT_EQ(Slurp(installer), bytes.substr(0, fs::file_size(installer)));
    EXPECT_EQ(0, bytes.compare(fs::file_size(installer), 7, std::string("Rar!\x1a\x07\x00", 7)));
    // Presetup entries lead the archive, in order; names use "\".
    Ran listed = Pack("list " + Quote(out));
    size_t ini = listed.output.find("Presetup\\Tarv.ini"), lng = listed.output.find("Presetup\\Tarv.lng");
    EXPECT_TRUE(ini < lng && lng < listed.output.find("Data\\")) << listed.output;
    Ran ok = Pack("test " + Quote(out));
    EXPECT_EQ(0, ok.status) << ok.output;
    EXPECT_TRUE(ok.Says("integrity record: length and CRC-32 match") && ok.Says("7 entries, 0 failed"))
        << ok.output;
    Ran extracted = Pack("extract " + Quote(out) + " " + Quote(dir / "x"));
    EXPECT_EQ(0, extracted.status) << extracted.output;
    for (const SourceFile& f : Package()) {
        EXPECT_EQ(f.data, Slurp(dir / "x" / f.path)) << f.path;
        struct stat st;
        ASSERT_EQ(0, stat((dir / "x" / f.path).c_str(), &st));
        EXPECT_EQ(f.stamp.Time(false), st.st_mtime) << f.path;
        EXPECT_EQ(f.readOnly, (st.st_mode & S_IWUSR) == 0) << f.path;
    }
    EXPECT_TRUE(fs::is_directory(dir / "x/Data/emptydir"));
}

TEST_F(TarvPackTest, RefusesWhatTheInstallerCannotReadNamingTheFile) {
    const std::string last = Program(0x14C, rar::kLastMarkerOffset);
    const struct {
        std::vector<std::string> files;  // below the package folder; "Data/huge" is 4 GB
        std::string installer;           // "": the default
        std::string message;
        std::string link = "", target = "";  // a symbolic link below the package folder
    } cases[] = {
        {{"Presetup/a", "Data/b"}, last + "x", "must start by offset"},
        {{"Presetup/a", "Data/b"}, std::string(5000, 'M'), "not a Windows program (no MZ header)"},
        {{"Presetup/a", "Data/b"}, "MZ" + std::string(5000, '\0'), "not a Windows program (no PE header)"},
        {{"Presetup/a", "Data/b"}, Program(0x1C4), "for neither i386 nor AMD64"},
        {{"Presetup/a", "Data/" + std::string(255, 'n')}, "",
         "Data\\" + std::string(255, 'n') + " is longer than 259 characters"},
        {{"Presetup/a", "Data/caf\xc3\xa9.txt"}, "", "Data/caf\xc3\xa9.txt: the name is not plain ASCII"},
        {{"Presetup/a", "Data/a:b"}, "", "Data/a:b: the name holds a character Windows does not allow"},
        {{"Presetup/a", "Data/a."}, "", "Data/a.: the installer refuses the name: a part of it ends in a dot"},
        {{"Presetup/a", "Data/Aux .txt"}, "", "Data/Aux .txt: the installer refuses the name: a Windows device"},
        {{"Presetup/a", "Data/A.txt", "Data/a.txt"}, "", "Data/a.txt: differs only in case"},
        {{"Presetup/a"}, "", "Data: missing"},
        {{"Presetup/a", "Data/huge"}, "", "Data/huge: the file is 4 GB or larger"},
        {{"Presetup/a", "Data/b"}, Program() + std::string("Rar!\x1a\x07\x00\x00\x00\x73", 10),
         "look like an archive start"},
        {{"Presetup/a", "Data/b"}, "", "pkg/Data/loop: symbolic link loop", "Data/loop", ".."},
        {{"Presetup/a", "Data/b"}, "", "pkg/Data/self: symbolic link loop", "Data/self", "self"},
        {{"Presetup/a", "Data/b"}, "", "pkg/Data/out: symbolic link to a folder outside", "Data/out", "/tmp"},
        {{"Presetup/a", "Data/b"}, "", "pkg/Data/broken: cannot be followed", "Data/broken", "nothing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        fs::remove_all(dir / "pkg");
        for (const std::string& f : c.files) Spit(dir / "pkg" / f, "x");
        if (fs::exists(dir / "pkg/Data/huge")) fs::resize_file(dir / "pkg/Data/huge", 0x100000000ull);
        if (!c.link.empty()) fs::create_symlink(c.target, dir / "pkg" / c.link);
        Spit(installer, c.installer.empty() ? Program() : c.installer);
        Ran r = Build();
        EXPECT_EQ(1, r.status) << r.output;
        EXPECT_TRUE(r.Says(c.message)) << r.output;
        EXPECT_FALSE(fs::exists(out));
    }
    // The largest installer that still works, for either machine.
    fs::remove_all(dir / "pkg");
    Spit(dir / "pkg/Presetup/a", "x");
    Spit(dir / "pkg/Data/b", "y");
    for (unsigned machine : {0x14C, 0x8664}) {
        Spit(installer, Program(machine, rar::kLastMarkerOffset));
        Ran r = Build();
        EXPECT_EQ(0, r.status) << r.output;
        EXPECT_TRUE(r.Says(machine == 0x14C ? "installer for i386" : "installer for AMD64")) << r.output;
        EXPECT_EQ(0, Pack("test " + Quote(out)).status);
    }
}

// Cut at any length, a built program never passes the test command, which
// checks what the installer's pre-setup stage checks.
TEST_F(TarvPackTest, EveryCutOfABuiltProgramFailsItsTest) {
    Spit(installer, Program(0x14C, 256));
    Spit(dir / "pkg/Presetup/Tarv.ini", "[Config]");
    Spit(dir / "pkg/Data/b.txt", "payload");
    fs::create_directories(dir / "pkg/Data/empty");
    ASSERT_EQ(0, Build().status);
    std::string whole = Slurp(out);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        Spit(dir / "cut.exe", whole.substr(0, cut));
        ASSERT_EQ(1, Pack("test " + Quote(dir / "cut.exe")).status) << "cut at " << cut;
    }
}

// The output may not be, or land among, the inputs; a refused build leaves
// every file as it was, an older output included (also when the refusal
// comes from reading the written program back), and no temporary file. A
// link to a file outside the package is followed.
TEST_F(TarvPackTest, NeverChangesItsInputs) {
    Spit(dir / "pkg/Presetup/a", "x");
    Spit(dir / "pkg/Data/b", "y");
    Spit(dir / "elsewhere/linked.bin", "linked");
    fs::create_symlink(dir / "elsewhere/linked.bin", dir / "pkg/Data/linked.bin");
    Spit(out, "an older setup program");
    const struct {
        fs::path output;
        std::string message;
    } cases[] = {
        {installer, "the output is the installer"},
        {dir / "pkg/Data/b", "the output lies inside the package folder"},
        {dir / "pkg/Data/new.exe", "the output lies inside the package folder"},
        {dir / "elsewhere/linked.bin", "the output is the package file"},
        {out, "look like an archive start"},  // an installer that hides its archive
    };
    for (const auto& c : cases) {
        if (c.output == out) Spit(installer, Program() + std::string("Rar!\x1a\x07\x00\x00\x00\x73", 10));
        std::map<std::string, std::string> before = Snapshot(dir);
        Ran r = Pack("build " + Quote(dir / "pkg") + " " + Quote(c.output) + " --installer " + Quote(installer));
        EXPECT_EQ(1, r.status) << r.output;
        EXPECT_TRUE(r.Says(c.message)) << r.output;
        EXPECT_TRUE(before == Snapshot(dir)) << c.output;
    }
    Spit(installer, Program());
    ASSERT_EQ(0, Build().status);
    ASSERT_EQ(0, Pack("extract " + Quote(out) + " " + Quote(dir / "x")).status);
    EXPECT_EQ("linked", Slurp(dir / "x/Data/linked.bin"));
}

// Entries the installer would refuse fail the test and are not extracted;
// names reach the terminal with control characters escaped; a full disk
// fails the entry, whether a write or only the close finds it.
TEST_F(TarvPackTest, TestAndExtractReportWhatTheInstallerWouldRefuse) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    Bytes crafted = BuildStoredArchive({{"Data\\a\x1b[2Jb.txt", "shown escaped"},
                                        {"Data\\nul.txt", "device"},
                                        {"Data\\secret", "x", 2, 0x20, 0, false, 0, ~0ull, rar::kFileEncrypted},
                                        {"Data\\big", std::string(100000, 'b')},
                                        {"Data\\small", "held in the buffer until the close"}});
    Spit(dir / "crafted.rar", std::string(crafted.begin(), crafted.end()));
    fs::create_directories(dir / "x/Data");
    for (const char* name : {"x/Data/big", "x/Data/small"}) fs::create_symlink("/dev/full", dir / name);
    const struct {
        std::string args;
        std::vector<std::string> lines;
    } cases[] = {
        {"test " + Quote(dir / "crafted.rar"),
         {"Data\\a\\x1B[2Jb.txt  OK", "Data\\nul.txt  unsafe name: a Windows device name",
          "Data\\secret  encrypted", "5 entries, 2 failed"}},
        {"extract " + Quote(dir / "crafted.rar") + " " + Quote(dir / "x"),
         {"Data\\nul.txt  unsafe name: a Windows device name, not written",
          "cannot write " + (dir / "x/Data/big").string(), "cannot write " + (dir / "x/Data/small").string(),
          "5 entries, 4 failed"}},
        {"test " + Quote(RarFixturePath("v29/rar3-solid.rar")), {"unsupported version 2.9"}},
    };
    for (const auto& c : cases) {
        Ran r = Pack(c.args);
        EXPECT_EQ(1, r.status) << r.output;
        for (const std::string& line : c.lines) EXPECT_TRUE(r.Says(line)) << line << "\n" << r.output;
        EXPECT_FALSE(r.Says("\x1b")) << r.output;
    }
    EXPECT_EQ("shown escaped", Slurp(dir / "x/Data/a\x1b[2Jb.txt"));
    EXPECT_FALSE(fs::exists(dir / "x/Data/nul.txt") || fs::exists(dir / "x/Data/secret"));
}

// Every packing option gives a program that our reader and unar read back;
// a compressible file is packed with the method asked for, noise is stored.
TEST_F(TarvPackTest, PackingOptionsReadBack) {
    const struct {
        std::string options;
        const char* method;  // in the list line of the compressible file
    } cases[] = {{"", "m5"}, {"--method 0", "m0"}, {"--method 1 --no-solid --window 64", "m1"},
                 {"--method 3 --window 256", "m3"}};
    std::string text;
    for (int i = 0; text.size() < 60000; ++i) text += "line " + std::to_string(i % 97) + " of the readme\r\n";
    Spit(dir / "pkg/Presetup/Tarv.ini", "[Config]\r\n");
    Spit(dir / "pkg/Data/readme.txt", text);
    Spit(dir / "pkg/Data/noise.bin", Pattern(30000, 3));
    Spit(dir / "pkg/Data/empty.txt", "");
    bool unar = Shell("command -v lsar").status == 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        Ran built = Pack("build " + Quote(dir / "pkg") + " " + Quote(out) + " --installer " + Quote(installer) + " " +
                         c.options);
        ASSERT_EQ(0, built.status) << built.output;
        Ran listed = Pack("list " + Quote(out));
        size_t readme = listed.output.find("Data\\readme.txt");
        ASSERT_NE(std::string::npos, readme) << listed.output;
        EXPECT_NE(std::string::npos, listed.output.rfind(std::string(c.method) + "  v2.0", readme)) << listed.output;
        EXPECT_EQ(0, Pack("test " + Quote(out)).status);
        if (unar) EXPECT_EQ(0, Shell("lsar -t " + Quote(out)).status);
    }
}

// Tarv.ini's uninstall setting: the uninstaller is added behind the other
// setup files unless the package brings one, a missing one is refused, and
// an uninstaller without a log is warned about.
TEST_F(TarvPackTest, TheUninstallerJoinsThePackageThatAsksForIt) {
    const std::string uninstallerBytes = Program(0x14C, 5000);
    Spit(dir / "UnTarv.exe", uninstallerBytes);
    Spit(dir / "pkg/Data/a.txt", "a");
    const struct {
        const char* ini;
        bool ownCopy;
        const char* uninstaller;  // --uninstaller; null: beside the installer
        int status;
        bool added, warned;
    } cases[] = {
        {"[Config]\r\nUninstall=1\r\nLogFile=%InstallPath%\\u.log\r\n", false, nullptr, 0, true, false},
        {"[config]\r\nuninstall = 1\r\n", false, nullptr, 0, true, true},
        {"[Config]\r\nUninstall=yes\r\n", false, nullptr, 0, false, false},
        {"[Config]\r\nUninstall=1\r\nLogFile=x\r\n", true, nullptr, 0, false, false},
        {"[Config]\r\nUninstall=1\r\nLogFile=x\r\n", false, "missing.exe", 1, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        fs::remove_all(dir / "pkg/Presetup");
        Spit(dir / "pkg/Presetup/Tarv.ini", c.ini);
        if (c.ownCopy) Spit(dir / "pkg/Presetup/untarv.EXE", "own");
        std::string extra = c.uninstaller ? " --uninstaller " + Quote(dir / c.uninstaller) : "";
        Ran built = Pack("build " + Quote(dir / "pkg") + " " + Quote(out) + " --installer " + Quote(installer) + extra);
        ASSERT_EQ(c.status, built.status) << built.output;
        EXPECT_EQ(c.warned, built.Says("warning: [Config] Uninstall is 1 but LogFile is empty")) << built.output;
        if (c.status != 0) {
            EXPECT_TRUE(built.Says("missing.exe")) << built.output;
            continue;
        }
        Ran listed = Pack("list " + Quote(out));
        size_t added = listed.output.find("Presetup\\UnTarv.exe");
        EXPECT_EQ(c.added, added != std::string::npos) << listed.output;
        if (c.added) EXPECT_LT(added, listed.output.find("Data\\a.txt")) << "setup files lead the archive";
    }
}

TEST_F(TarvPackTest, UnknownPageNamesAreWarnedAbout) {
    Spit(dir / "pkg/Data/a.txt", "a");
    Spit(dir / "pkg/Presetup/Tarv.ini",
         "[Config]\r\nPreInstallDialogSequence=dlg_welcome,,DLG_WELCOM, DLG_DIR\r\n"
         "PostInstallDialogSequence=DLG_PROGRESS,DLG_FINISH\r\n");
    Ran built = Build();
    ASSERT_EQ(0, built.status) << built.output;
    for (const char* named : {"\"DLG_WELCOM\"", "\" DLG_DIR\"", "\"DLG_PROGRESS\""})
        EXPECT_TRUE(built.Says(named)) << named << "\n" << built.output;
    EXPECT_FALSE(built.Says("\"DLG_WELCOME\"")) << built.output;
    EXPECT_FALSE(built.Says("\"DLG_FINISH\"")) << built.output;
}

TEST_F(TarvPackTest, UsageErrors) {
    const struct {
        std::string args;
        int status;
    } cases[] = {{"--help", 0},
                 {"", 2},
                 {"frobnicate x", 2},
                 {"list", 2},
                 {"build onlyone", 2},
                 {"build a b --method 6", 2},
                 {"build a b --window 100", 2},
                 {"build a b --window 2048", 2},
                 {"build a b --solid-ish", 2}};
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
