// TarvPack: builds installer packages and checks archives with the
// installer's own reader (locating step, header walk, decoder), so what it
// reports is what the installer will see.
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
    "      Writes the installer followed by a RAR 2.x archive of the package\n"
    "      folder's Presetup and Data folders. The installer is Tarv.exe beside\n"
    "      TarvPack unless --installer names another.\n"
    "  TarvPack list <file>       one line per entry: name, size, packed size,\n"
    "                             method, version, stored CRC\n"
    "  TarvPack test <file>       unpacks every entry and checks its CRC\n"
    "  TarvPack extract <file> <folder>\n"
    "                             extracts every entry below the folder\n"
    "  TarvPack --help\n"
    "list, test and extract exit with 1 when an entry fails, 2 on a usage error.\n";

enum Command { kList, kTest, kExtract };

struct Output {
    std::ofstream* file;
    uint64_t bytes;
};

size_t Write(void* ctx, const uint8_t* data, size_t size) {
    Output* out = static_cast<Output*>(ctx);
    if (out->file && !out->file->write(reinterpret_cast<const char*>(data), (std::streamsize)size))
        return 0;
    out->bytes += size;
    return size;
}

// Extracts the current entry below `folder`; the text of its result.
std::string ExtractEntry(rar::RarReader& reader, const rar::FileHeader& h, const fs::path& folder,
                         bool* ok) {
    rar::EntrySink discard = {nullptr, Write, nullptr};
    Output out = {nullptr, 0};
    discard.ctx = &out;
    *ok = false;
    if (!rar::IsSafeName(h.name)) {
        reader.ProcessFile(rar::kProcessSkip, discard);
        return "unsafe name, not written";
    }
    std::string relative = h.name;
    for (char& c : relative)
        if (c == '\\') c = '/';
    fs::path path = folder / fs::path(relative);
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        reader.ProcessFile(rar::kProcessSkip, discard);
        return "cannot create " + path.string();
    }
    out.file = &file;
    int result = reader.ProcessFile(rar::kProcessExtract, discard);
    file.close();
    if (result != rar::kExtractOk) {
        fs::remove(path, ignored);
        return "CRC failed";
    }
    SetDosTime(path, h.dosTime);
    ApplyAttributes(path, h.attributes);
    *ok = true;
    return "OK";
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
    int entries = 0, failed = 0;
    rar::FileHeader h;
    while (reader->ReadFileHeader(&h)) {
        ++entries;
        bool headerOk = reader->HeaderCrcMatched();
        bool ok = true;
        std::string status;
        Output count = {nullptr, 0};
        rar::EntrySink sink = {&count, Write, nullptr};
        if (command == kList) {
            reader->ProcessFile(rar::kProcessList, sink);
        } else if (command == kTest) {
            ok = reader->ProcessFile(rar::kProcessExtract, sink) == rar::kExtractOk;
            status = ok ? "OK" : "CRC failed";
        } else {
            status = ExtractEntry(*reader, h, folder, &ok);
        }
        if (!headerOk) {
            ok = false;
            status += status.empty() ? "header CRC failed" : ", header CRC failed";
        }
        if (!ok) ++failed;
        char line[96];
        snprintf(line, sizeof line, "%10llu %10llu  m%d  v%d.%d  %08X  ", (unsigned long long)h.unpSize,
                 (unsigned long long)h.packSize, h.method - 0x30, h.unpVer / 10, h.unpVer % 10,
                 (unsigned)h.fileCrc);
        std::cout << line << h.name << (status.empty() ? "" : "  ") << status << "\n";
    }
    std::cout << entries << " entries";
    if (command != kList || failed) std::cout << ", " << failed << " failed";
    std::cout << "\n";
    return failed ? 1 : 0;
}

int Build(const std::vector<std::string>& args) {
    PackRequest request;
    std::vector<std::string> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--installer" && i + 1 < args.size())
            request.installer = args[++i];
        else
            positional.push_back(args[i]);
    }
    if (positional.size() != 2) {
        std::cerr << kUsage;
        return 2;
    }
    request.package = positional[0];
    request.output = positional[1];
    if (request.installer.empty()) request.installer = ToolFolder() / "Tarv.exe";
    PackSummary s = BuildPackage(request, std::cerr);
    std::cout << request.output.string() << ": " << s.files + s.folders << " entries (" << s.files
              << " files, " << s.folders << " folders), " << s.bytesIn << " bytes in, " << s.bytesOut
              << " bytes out, archive at offset " << s.archiveAt << "\n";
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
