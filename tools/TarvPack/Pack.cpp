// Pack: collecting the package folder, checking it, writing the archive.
#include "Pack.h"

#include <string.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "HostFiles.h"
#include "PackageCheck.h"
#include "archive/RarReader.h"

namespace tarvpack {

namespace {

const uint64_t kMaxFileSize = 0xFFFFFFFFull;  // sizes are 32-bit for the installer
const size_t kChunk = 1 << 20;
const uint64_t kProgressFrom = 32ull << 20;  // payloads smaller than this finish quietly

struct Item {
    std::string stored;  // "Data\sub\a.txt"
    fs::path source;
    bool directory;
    uint64_t size;
    uint32_t dosTime;
    uint32_t attributes;
};

[[noreturn]] void Refuse(const fs::path& path, const std::string& why) {
    throw std::runtime_error(path.string() + ": " + why);
}

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    return s;
}

uint32_t Get16(const std::vector<char>& b, size_t at) {
    return (uint32_t)(uint8_t)b[at] | (uint32_t)(uint8_t)b[at + 1] << 8;
}

uint32_t Get32(const std::vector<char>& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }

// `inner` is `outer` or lies below it (both canonical).
bool IsWithin(const fs::path& inner, const fs::path& outer) {
    auto o = outer.begin(), i = inner.begin();
    for (; o != outer.end(); ++o, ++i)
        if (i == inner.end() || *i != *o) return false;
    return true;
}

// What Windows and every ANSI code page read the same way; the installer's
// own name rule (rar::CheckName) is applied to the whole stored name.
void CheckComponent(const std::string& name, const fs::path& path) {
    for (unsigned char c : name) {
        if (c < 0x20 || c >= 0x7F)
            Refuse(path, "the name is not plain ASCII (the installer reads names in the target "
                         "system's code page)");
        if (std::string("\\/:*?\"<>|").find((char)c) != std::string::npos)
            Refuse(path, "the name holds a character Windows does not allow");
    }
}

void CheckStoredName(const std::string& stored, const fs::path& path) {
    rar::NameProblem problem = rar::CheckName(stored.c_str());
    if (problem == rar::kNameTooLong)
        Refuse(path, "the stored name " + stored + " is longer than 259 characters");
    if (problem != rar::kNameSafe)
        Refuse(path, std::string("the installer refuses the name: ") + rar::NameProblemText(problem));
}

// A file to store under `stored`; `named` is how the user named it.
Item FileItem(const std::string& stored, const fs::path& real, const fs::path& named) {
    std::error_code ec;
    uint64_t size = fs::file_size(real, ec);
    if (ec) Refuse(named, "cannot read its size (" + ec.message() + ")");
    if (size > kMaxFileSize) Refuse(named, "the file is 4 GB or larger");
    Item item{stored, real, false, size, 0, AttributesOf(real)};
    if (!DosTimeOf(real, &item.dosTime)) Refuse(named, "cannot read its time");
    return item;
}

// The names directly in Presetup\.
std::vector<std::string> PresetupNames(const std::vector<Item>& items) {
    std::vector<std::string> names;
    const std::string prefix = "Presetup\\";
    for (const Item& item : items)
        if (item.stored.compare(0, prefix.size(), prefix) == 0 &&
            item.stored.find('\\', prefix.size()) == std::string::npos)
            names.push_back(item.stored.substr(prefix.size()));
    return names;
}

// Adds the uninstaller program as Presetup\UnTarv.exe, behind the other
// setup files (the Presetup\ entries must lead the archive).
void AddUninstaller(std::vector<Item>& items, const fs::path& uninstaller) {
    auto firstData = std::find_if(items.begin(), items.end(), [](const Item& item) {
        return item.stored.compare(0, 5, "Data\\") == 0 || item.stored == "Data";
    });
    items.insert(firstData, FileItem("Presetup\\UnTarv.exe", fs::canonical(uninstaller), uninstaller));
}

// The package folder's files, in archive order. Links are followed through
// their canonical targets; `open` holds the folders being collected,
// outermost first, so a link back into one of them is a loop.
class Collector {
public:
    explicit Collector(const fs::path& package) : root_(Canonical(package, package)) {}

    std::vector<Item> Run(const fs::path& package) {
        open_.push_back(root_);
        for (const char* top : {"Presetup", "Data"}) {
            fs::path folder = package / top;
            std::error_code ec;
            if (!fs::is_directory(folder, ec)) Refuse(folder, "missing: a package holds Presetup and Data");
            Folder(folder, top);
        }
        // The installer's file system ignores case: two such names would collide.
        std::map<std::string, fs::path> seen;
        for (const Item& item : items_) {
            auto at = seen.emplace(Upper(item.stored), item.source);
            if (!at.second) Refuse(item.source, "differs only in case from " + at.first->second.string());
        }
        return items_;
    }

private:
    static fs::path Canonical(const fs::path& path, const fs::path& named) {
        std::error_code ec;
        fs::path real = fs::canonical(path, ec);
        if (ec == std::errc::too_many_symbolic_link_levels) Refuse(named, "symbolic link loop");
        if (ec) Refuse(named, "cannot be followed (" + ec.message() + "): a broken symbolic link?");
        return real;
    }

    void Folder(const fs::path& folder, const std::string& stored) {
        std::error_code ec;
        std::vector<fs::directory_entry> children;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
            children.push_back(*it);
        if (ec) Refuse(folder, "cannot read the folder (" + ec.message() + ")");
        std::sort(children.begin(), children.end(),
                  [](const fs::directory_entry& a, const fs::directory_entry& b) {
                      return a.path().filename() < b.path().filename();
                  });
        if (children.empty()) {
            uint32_t time = 0;
            DosTimeOf(folder, &time);
            items_.push_back(Item{stored, folder, true, 0, time, 0x10});
        }
        open_.push_back(Canonical(folder, folder));
        for (const fs::directory_entry& child : children) Child(child.path(), stored);
        open_.pop_back();
    }

    void Child(const fs::path& path, const std::string& folderStored) {
        std::string name;
        if (!NarrowName(path.filename(), &name)) Refuse(path, "the name has no ANSI form");
        CheckComponent(name, path);
        std::string stored = folderStored + "\\" + name;
        CheckStoredName(stored, path);
        std::error_code ec;
        bool link = fs::is_symlink(path, ec);
        fs::path real = Canonical(path, path);
        if (fs::is_directory(real, ec)) {
            if (link && !IsWithin(real, root_))
                Refuse(path, "symbolic link to a folder outside the package (" + real.string() + ")");
            if (std::find(open_.begin(), open_.end(), real) != open_.end())
                Refuse(path, "symbolic link loop: it leads back to " + real.string());
            Folder(path, stored);
        } else if (fs::is_regular_file(real, ec)) {
            items_.push_back(FileItem(stored, real, path));
        } else {
            Refuse(path, "neither a file nor a folder");
        }
    }

    fs::path root_;
    std::vector<fs::path> open_;
    std::vector<Item> items_;
};

// The installer's bytes, checked: a Windows program (MZ and PE headers) for
// i386 or AMD64, small enough for the archive behind it to be found.
std::vector<char> ReadInstaller(const fs::path& path, PackSummary& summary) {
    std::ifstream in(path, std::ios::binary);
    if (!in) Refuse(path, "cannot open the installer");
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() < 0x40 || bytes[0] != 'M' || bytes[1] != 'Z')
        Refuse(path, "the installer is not a Windows program (no MZ header)");
    uint32_t pe = Get32(bytes, 0x3C);
    if (pe > bytes.size() - 6 || memcmp(&bytes[pe], "PE\0\0", 4) != 0)
        Refuse(path, "the installer is not a Windows program (no PE header)");
    uint32_t machine = Get16(bytes, pe + 4);
    if (machine == 0x14C) summary.machine = "i386";
    else if (machine == 0x8664) summary.machine = "AMD64";
    else Refuse(path, "the installer is a Windows program for neither i386 nor AMD64");
    if (bytes.size() > rar::kLastMarkerOffset)
        Refuse(path, "the installer is " + std::to_string(bytes.size()) +
                         " bytes; the archive behind it must start by offset " +
                         std::to_string(rar::kLastMarkerOffset) + " to be found");
    return bytes;
}

// The output must not overwrite or land among the inputs.
void CheckOutputPlace(const PackRequest& request, const std::vector<Item>& items) {
    std::error_code ec;
    fs::path out = fs::weakly_canonical(request.output, ec);
    if (ec) Refuse(request.output, "cannot resolve the output path (" + ec.message() + ")");
    if (IsWithin(out, fs::canonical(request.package, ec)))
        Refuse(request.output, "the output lies inside the package folder");
    if (!fs::exists(request.output, ec)) return;
    if (fs::equivalent(request.output, request.installer, ec))
        Refuse(request.output, "the output is the installer");
    for (const Item& item : items)
        if (!item.directory && fs::equivalent(request.output, item.source, ec))
            Refuse(request.output, "the output is the package file " + item.source.string());
}

rar::FileHeader HeaderFor(const Item& item, uint32_t crc, const rar20::EntryOutcome& packed) {
    rar::FileHeader h = {};
    h.block.flags = item.directory ? rar::kFileDirectory : 0;
    if (!packed.stored)
        h.block.flags = (uint16_t)((packed.solid ? rar::kFileSolid : 0) | packed.dictionaryBits << 5);
    h.unpSize = item.size;
    h.packSize = packed.stored ? item.size : packed.packedSize;
    h.hostOs = 2;  // Win32: the attributes are Windows attributes
    h.fileCrc = crc;
    h.dosTime = item.dosTime;
    h.unpVer = 20;
    h.method = packed.method;
    h.nameSize = (uint16_t)item.stored.size();
    h.attributes = item.attributes;
    std::copy(item.stored.begin(), item.stored.end(), h.name);
    return h;
}

void WriteOrFail(std::ostream& out, const void* data, size_t size, const fs::path& path) {
    if (!out.write(static_cast<const char*>(data), (std::streamsize)size)) Refuse(path, "cannot write");
}

// A name beside the output that nothing else uses.
fs::path TemporaryBeside(const fs::path& output) {
    std::random_device random;
    for (;;) {
        fs::path p = output;
        p += "." + std::to_string(random() % 1000000) + ".partial";
        std::error_code ec;
        if (!fs::exists(p, ec)) return p;
    }
}

// Writes the program into `path`: installer, marker, main header, a blank
// integrity record, the entries, the end block; then fills in the record
// from what reached the file.
class Writer {
public:
    Writer(const fs::path& path, const PackRequest& request, std::ostream& progress, uint64_t total)
        : path_(path), progress_(progress), total_(total) {
        if (request.compress) encoder_.reset(new rar20::Encoder(request.compression));
        solid_ = request.compress && request.compression.solid;
    }

    void Start(const std::vector<char>& installer) {
        out_.open(path_, std::ios::binary | std::ios::trunc);
        if (!out_) Refuse(path_, "cannot create");
        WriteOrFail(out_, installer.data(), installer.size(), path_);
        archiveAt_ = installer.size();
        uint8_t buf[rar::kMarkerSize + rar::kMainHeaderSize + rar::kIntegrityBlockSize];
        size_t n = rar::WriteMarker(buf, sizeof buf);
        n += rar::WriteMainHeader(buf + n, sizeof buf - n, solid_ ? rar::kMainSolid : 0);
        recordAt_ = archiveAt_ + n;
        n += rar::WriteIntegrityBlock(buf + n, sizeof buf - n, rar::IntegrityRecord{0, 0});
        WriteOrFail(out_, buf, n, path_);
    }

    // The header goes first with a zero CRC and is written again once the
    // data has given its CRC and packed size. The data is read once through
    // the encoder; an entry that does not shrink is read a second time and
    // written stored over the packed bytes.
    void Entry(const Item& item, PackSummary& summary) {
        uint8_t header[rar::kFileHeaderFixedSize + 8 + rar::kMaxNameBytes];
        rar20::EntryOutcome packed;
        size_t n = rar::WriteFileHeader(header, sizeof header, HeaderFor(item, 0, packed));
        std::streampos at = out_.tellp();
        WriteOrFail(out_, header, n, path_);
        if (item.directory) return;
        std::streampos data = out_.tellp();
        uint32_t crc = 0;
        if (encoder_) {
            encoder_->BeginEntry(item.size, [this](const uint8_t* p, size_t size) { WriteOrFail(out_, p, size, path_); });
            bool packing = true;
            crc = ReadEach(item, true, [&](const char* p, size_t size) {
                if (packing) packing = encoder_->Feed(reinterpret_cast<const uint8_t*>(p), size);
            });
            packed = encoder_->EndEntry();
        }
        if (packed.stored) {
            out_.seekp(data);
            uint32_t again = ReadEach(item, !encoder_, [&](const char* p, size_t size) { WriteOrFail(out_, p, size, path_); });
            if (encoder_ && again != crc) Refuse(item.source, "the file changed while it was read");
            crc = again;
        }
        summary.packed += packed.stored ? item.size : packed.packedSize;
        n = rar::WriteFileHeader(header, sizeof header, HeaderFor(item, crc, packed));
        std::streampos end = out_.tellp();
        out_.seekp(at);
        WriteOrFail(out_, header, n, path_);
        out_.seekp(end);
    }

    // Ends the archive and records its length and CRC-32; the file's size.
    // A stored entry written over longer packed bytes may have left their
    // tail behind the end block: it is cut off.
    uint64_t Finish() {
        uint8_t end[rar::kEndBlockSize];
        WriteOrFail(out_, end, rar::WriteEndBlock(end, sizeof end), path_);
        uint64_t size = (uint64_t)out_.tellp();
        out_.close();
        if (!out_) Refuse(path_, "cannot write");
        std::error_code ec;
        if (fs::file_size(path_, ec) != size) fs::resize_file(path_, size, ec);
        if (ec) Refuse(path_, "cannot write (" + ec.message() + ")");
        rar::IntegrityRecord record = {size - archiveAt_, ArchiveCrc(size)};
        uint8_t block[rar::kIntegrityBlockSize];
        std::fstream patch(path_, std::ios::binary | std::ios::in | std::ios::out);
        patch.seekp((std::streamoff)recordAt_);
        WriteOrFail(patch, block, rar::WriteIntegrityBlock(block, sizeof block, record), path_);
        patch.close();
        if (!patch) Refuse(path_, "cannot write");
        return size;
    }

    uint64_t ArchiveAt() const { return archiveAt_; }

private:
    // The CRC-32 of the archive as it reached the file, the record left out.
    uint32_t ArchiveCrc(uint64_t size) {
        std::ifstream in(path_, std::ios::binary);
        std::vector<char> chunk(kChunk);
        uint32_t crc = 0;
        uint64_t at = archiveAt_;
        in.seekg((std::streamoff)at);
        while (at < size) {
            uint64_t stop = at < recordAt_ ? recordAt_ : size;
            size_t want = (size_t)std::min<uint64_t>(stop - at, chunk.size());
            if (!in.read(chunk.data(), (std::streamsize)want)) Refuse(path_, "cannot read back");
            crc = rar::Crc32Update(crc, chunk.data(), want);
            at += want;
            if (at == recordAt_) {
                at += rar::kIntegrityBlockSize;
                in.seekg((std::streamoff)at);
            }
        }
        return crc;
    }

    // Reads the whole file in pieces, counting them as progress when asked;
    // returns its CRC-32.
    template <typename Consume>
    uint32_t ReadEach(const Item& item, bool progress, Consume consume) {
        std::ifstream in(item.source, std::ios::binary);
        if (!in) Refuse(item.source, "cannot open");
        std::vector<char> chunk(kChunk);
        uint32_t crc = 0;
        uint64_t read = 0;
        while (in.read(chunk.data(), (std::streamsize)chunk.size()) || in.gcount() > 0) {
            size_t got = (size_t)in.gcount();
            crc = rar::Crc32Update(crc, chunk.data(), got);
            consume(chunk.data(), got);
            read += got;
            if (progress) Advance(got);
        }
        if (in.bad()) Refuse(item.source, "cannot read");
        if (read != item.size) Refuse(item.source, "the file changed while it was read");
        return crc;
    }

    void Advance(uint64_t bytes) {
        if (total_ < kProgressFrom) return;
        done_ += bytes;
        int percent = (int)(done_ * 100 / total_);
        if (percent / 10 != shown_ / 10) {
            progress_ << "  " << percent << "%" << std::endl;
            shown_ = percent;
        }
    }

    fs::path path_;
    std::ostream& progress_;
    uint64_t total_;
    uint64_t done_ = 0;
    int shown_ = 0;
    uint64_t archiveAt_ = 0;
    uint64_t recordAt_ = 0;
    std::ofstream out_;
    std::unique_ptr<rar20::Encoder> encoder_;
    bool solid_ = false;
};

size_t CountBytes(void*, const uint8_t*, size_t size) { return size; }

// Reads the written program back the way the installer will: its locating
// step must find the archive where it was written (an installer holding a
// marker block of its own would hide it), the integrity record must match,
// and every entry must unpack with its CRC to a clean end.
void ReadBack(const fs::path& path, const fs::path& output, uint64_t archiveAt, size_t entries) {
    {
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> head(rar::kLocateWindow);
        in.read(reinterpret_cast<char*>(head.data()), (std::streamsize)head.size());
        rar::LocateResult at = rar::LocateArchive(head.data(), (size_t)in.gcount());
        if (at.status != rar::kLocateFound || at.offset != archiveAt)
            Refuse(output, "the installer in front holds bytes that look like an archive start; the "
                           "installer would not find its archive");
    }
    std::string narrow;
    VolumeFiles volumes;
    std::unique_ptr<rar::RarReader> reader(new rar::RarReader);
    if (!NarrowName(path, &narrow) || !volumes.Open(narrow) || !reader->AllocateWindow() ||
        reader->Open(volumes.Io(), narrow.c_str()) != rar::kOpenOk ||
        reader->VerifyIntegrity() != rar::kIntegrityOk)
        Refuse(output, "the written file does not read back as written");
    rar::FileHeader h;
    rar::EntrySink sink = {nullptr, CountBytes, nullptr};
    size_t seen = 0;
    rar::WalkStatus walk;
    while ((walk = reader->NextEntry(&h)) == rar::kWalkEntry) {
        if (reader->ProcessFile(rar::kProcessExtract, sink) != rar::kExtractOk)
            Refuse(output, std::string("the written entry ") + h.name + " does not read back");
        ++seen;
    }
    if (walk != rar::kWalkEnd || seen != entries) Refuse(output, "the written archive does not read back whole");
}

}  // namespace

PackSummary BuildPackage(const PackRequest& request, std::ostream& progress) {
    PackSummary summary;
    std::vector<Item> items = Collector(request.package).Run(request.package);
    fs::path uninstaller = request.uninstaller.empty()
                               ? request.installer.parent_path() / "UnTarv.exe"
                               : request.uninstaller;
    PackagePlan plan = CheckPackage(request.package, PresetupNames(items), uninstaller);
    summary.warnings = plan.warnings;
    if (!plan.addUninstaller.empty()) AddUninstaller(items, plan.addUninstaller);
    std::vector<char> installer = ReadInstaller(request.installer, summary);
    CheckOutputPlace(request, items);
    uint64_t total = 0;
    for (const Item& item : items) total += item.size;
    fs::path temporary = TemporaryBeside(request.output);
    try {
        Writer writer(temporary, request, progress, total);
        writer.Start(installer);
        for (const Item& item : items) {
            writer.Entry(item, summary);
            (item.directory ? summary.folders : summary.files)++;
            summary.bytesIn += item.size;
        }
        summary.bytesOut = writer.Finish();
        summary.archiveAt = writer.ArchiveAt();
        ReadBack(temporary, request.output, summary.archiveAt, items.size());
        std::error_code ec;
        fs::rename(temporary, request.output, ec);
        if (ec) Refuse(request.output, "cannot replace (" + ec.message() + ")");
    } catch (...) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw;
    }
    return summary;
}

}  // namespace tarvpack
