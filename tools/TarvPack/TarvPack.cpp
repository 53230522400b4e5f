// TarvPack: builds installer packages and checks archives with the
// installer's own reader (locating step, integrity record, header walk,
// decoder), so what it reports is what the installer will see.
#include <stdio.h>

#include <exception>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "HostFiles.h"
#include "Pack.h"
#include "archive/RarReader.h"

using namespace tarvpack;

namespace {

const char kUsage[] =
    "Usage:\n"
    "  TarvPack build <package folder> <setup.exe> [--installer PATH]\n"
    "                [--uninstaller PATH] [--method 0..5] [--no-solid] [--window KB]\n"
    "      Writes the installer followed by a RAR 2.x archive of the package\n"
    "      folder's Presetup and Data folders. The installer is Tarv.exe beside\n"
    "      TarvPack unless --installer names another. Entries are packed with\n"
    "      the RAR 2.0 compression: --method 1 (fastest) to 5 (best, the\n"
    "      default), or 0 to store every entry; as one solid stream unless\n"
    "      --no-solid; with a dictionary of 64, 128, 256, 512 or 1024 KB\n"
    "      (--window, default 1024). Entries that do not shrink are stored.\n"
    "      When Tarv.ini sets [Config] Uninstall=1 and Presetup brings no\n"
    "      UnTarv.exe, the uninstaller beside the installer (or --uninstaller)\n"
    "      is added to Presetup.\n"
    "  TarvPack list <file>       one line per entry: name, size, packed size,\n"
    "                             method, version, stored CRC (folders end in \\)\n"
    "  TarvPack test <file>       checks the integrity record, unpacks every\n"
    "                             entry and checks its CRC\n"
    "  TarvPack extract <file> <folder>\n"
    "                             extracts every entry below the folder\n"
    "  TarvPack --help\n"
    "list, test and extract exit with 1 when an entry fails or the archive is\n"
    "damaged, 2 on a usage error.\n";

enum Command { kList, kTest, kExtract };

// Where an entry's bytes go: a file (extract) or nowhere (test).
struct Output {
    std::ofstream* file;
    bool failed;  // a write did not reach the file
};

size_t Write(void* ctx, const uint8_t* data, size_t size) {
    Output* out = static_cast<Output*>(ctx);
    if (!out->file) return size;
    if (!out->file->write(reinterpret_cast<const char*>(data), (std::streamsize)size)) {
        out->failed = true;
        return 0;
    }
    return size;
}

// A name as it may go to a terminal: control characters as \xNN.
std::string Printable(const std::string& name) {
    std::string s;
    for (unsigned char c : name) {
        if (c >= 0x20 && c != 0x7F) {
            s += (char)c;
            continue;
        }
        char esc[5];
        snprintf(esc, sizeof esc, "\\x%02X", c);
        s += esc;
    }
    return s;
}

// The entry's result text, the header's own failure first.
std::string Status(rar::RarReader& reader, const rar::FileHeader& h, int result) {
    if (!reader.HeaderCrcMatched()) return "header CRC failed";
    return rar::ResultText(result, h).c_str();
}

// Extracts the current entry below `folder`; the text of its result.
std::string ExtractEntry(rar::RarReader& reader, const rar::FileHeader& h, const fs::path& folder,
                         bool* ok) {
    Output out = {nullptr, false};
    rar::EntrySink sink = {&out, Write, nullptr};
    *ok = false;
    int refused = reader.CheckEntry();
    if (refused != rar::kExtractOk) {
        reader.ProcessFile(rar::kProcessSkip, sink);
        return Status(reader, h, refused) + ", not written";
    }
    std::string relative = h.name;
    for (char& c : relative)
        if (c == '\\') c = '/';
    fs::path path = folder / fs::path(relative);
    std::error_code ec;
    if (rar::IsDirectory(h.block.flags)) {
        reader.ProcessFile(rar::kProcessList, sink);
        fs::create_directories(path, ec);
        if (ec) return "cannot create the folder " + path.string();
        *ok = true;
        return "OK";
    }
    fs::create_directories(path.parent_path(), ec);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        reader.ProcessFile(rar::kProcessSkip, sink);
        return "cannot create " + path.string();
    }
    out.file = &file;
    int result = reader.ProcessFile(rar::kProcessExtract, sink);
    file.close();
    out.failed = out.failed || !file;  // the last buffered bytes are written at the close
    if (result != rar::kExtractOk || out.failed) {
        fs::remove(path, ec);
        return out.failed ? "cannot write " + path.string() : Status(reader, h, result);
    }
    SetDosTime(path, h.dosTime);
    ApplyAttributes(path, h.attributes);
    *ok = true;
    return "OK";
}

// The integrity record's verdict (test only); false when it fails.
bool ReportIntegrity(rar::RarReader& reader) {
    switch (reader.VerifyIntegrity()) {
    case rar::kIntegrityOk:
        std::cout << "integrity record: length and CRC-32 match\n";
        return true;
    case rar::kIntegrityAbsent:
        std::cout << "no integrity record (another archiver's): checked entry by entry\n";
        return true;
    default:
        std::cout << "integrity record: the file is damaged or incomplete\n";
        return false;
    }
}

int CheckArchive(Command command, const std::string& file, const fs::path& folder) {
    VolumeFiles volumes;
    if (!volumes.Open(file)) {
        std::cerr << file << ": cannot open\n";
        return 1;
    }
    std::unique_ptr<rar::RarReader> reader(new rar::RarReader);
    if (!reader->AllocateWindow()) {
        std::cerr << "out of memory\n";
        return 1;
    }
    switch (reader->Open(volumes.Io(), file.c_str())) {
    case rar::kOpenOk:
        break;
    case rar::kOpenOldFormat:
        std::cerr << file << ": a RAR 1.x archive, which the installer refuses\n";
        return 1;
    default:
        std::cerr << file << ": no RAR 2.x archive where the installer looks for one\n";
        return 1;
    }
    bool intact = command != kTest || ReportIntegrity(*reader);
    int entries = 0, failed = 0;
    rar::FileHeader h;
    rar::WalkStatus walk;
    while ((walk = reader->NextEntry(&h)) == rar::kWalkEntry) {
        ++entries;
        bool ok = true;
        std::string status;
        Output discard = {nullptr, false};
        rar::EntrySink sink = {&discard, Write, nullptr};
        if (command == kList) {
            reader->ProcessFile(rar::kProcessList, sink);
            if (!reader->HeaderCrcMatched()) status = "header CRC failed";
        } else if (command == kTest) {
            int result = reader->ProcessFile(rar::kProcessExtract, sink);
            status = Status(*reader, h, result);
            ok = result == rar::kExtractOk;
        } else {
            status = ExtractEntry(*reader, h, folder, &ok);
        }
        ok = ok && reader->HeaderCrcMatched();
        if (!ok) ++failed;
        char line[96];
        snprintf(line, sizeof line, "%10llu %10llu  m%d  v%d.%d  %08X  ", (unsigned long long)h.unpSize,
                 (unsigned long long)h.packSize, h.method - 0x30, h.unpVer / 10, h.unpVer % 10,
                 (unsigned)h.fileCrc);
        std::cout << line << Printable(h.name) << (rar::IsDirectory(h.block.flags) ? "\\" : "")
                  << (status.empty() ? "" : "  ") << status << "\n";
    }
    if (walk == rar::kWalkDamaged)
        std::cout << "damaged archive at offset " << reader->DamagedAt() << ": " << reader->DamageText()
                  << "\n";
    std::cout << entries << " entries";
    if (command != kList || failed) std::cout << ", " << failed << " failed";
    if (walk == rar::kWalkDamaged || !intact) std::cout << "; the archive is damaged";
    std::cout << "\n";
    return failed || walk == rar::kWalkDamaged || !intact ? 1 : 0;
}

// A whole decimal number within [low, high], or -1.
long Number(const std::string& text, long low, long high) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return -1;
    long v = std::stol(text);
    return v >= low && v <= high ? v : -1;
}

int Build(const std::vector<std::string>& args) {
    PackRequest request;
    std::vector<std::string> positional;
    std::string bad;
    for (size_t i = 0; i < args.size() && bad.empty(); ++i) {
        bool hasValue = i + 1 < args.size();
        if (args[i] == "--installer" && hasValue) {
            request.installer = args[++i];
        } else if (args[i] == "--uninstaller" && hasValue) {
            request.uninstaller = args[++i];
        } else if (args[i] == "--method" && hasValue) {
            long m = Number(args[++i], 0, 5);
            if (m < 0) bad = "--method takes 0 (store) to 5 (best)";
            request.compress = m > 0;
            request.compression.level = (int)m;
        } else if (args[i] == "--window" && hasValue) {
            long kb = Number(args[++i], 1, 1024);
            request.compression.window = kb > 0 ? (uint32_t)kb << 10 : 0;
        } else if (args[i] == "--no-solid") {
            request.compression.solid = false;
        } else if (args[i].compare(0, 2, "--") == 0) {
            bad = "unknown option " + args[i];
        } else {
            positional.push_back(args[i]);
        }
    }
    const char* why = nullptr;
    if (bad.empty() && request.compress && !rar20::ValidOptions(request.compression, &why)) bad = why;
    if (!bad.empty() || positional.size() != 2) {
        if (!bad.empty()) std::cerr << "TarvPack: " << bad << "\n";
        std::cerr << kUsage;
        return 2;
    }
    request.package = positional[0];
    request.output = positional[1];
    if (request.installer.empty()) request.installer = ToolFolder() / "Tarv.exe";
    PackSummary s = BuildPackage(request, std::cerr);
    for (const std::string& warning : s.warnings) std::cerr << "warning: " << warning << "\n";
    std::cout << request.output.string() << ": " << s.files + s.folders << " entries (" << s.files
              << " files, " << s.folders << " folders), " << s.bytesIn << " bytes in, " << s.packed
              << " packed, " << s.bytesOut
              << " bytes out, archive at offset " << s.archiveAt << ", installer for " << s.machine << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        std::cout << kUsage;
        return args.empty() ? 2 : 0;
    }
    std::string command = args[0];
    args.erase(args.begin());
    try {
        if (command == "build") return Build(args);
        if ((command == "list" || command == "test") && args.size() == 1)
            return CheckArchive(command == "list" ? kList : kTest, args[0], fs::path());
        if (command == "extract" && args.size() == 2)
            return CheckArchive(kExtract, args[0], fs::path(args[1]));
    } catch (const std::exception& e) {
        std::cerr << "TarvPack: " << e.what() << "\n";
        return 1;
    }
    std::cerr << kUsage;
    return 2;
}
