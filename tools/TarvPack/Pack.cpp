// Pack: collecting the package folder, checking it, writing the archive.
#include "Pack.h"

#include <algorithm>
#include <fstream>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "HostFiles.h"
#include "archive/RarFormat.h"

namespace tarvpack {

const uint64_t kLastArchiveOffset = rar::kLocateWindow - (rar::kMarkerSize + 3);

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

// One name component as Windows, and every ANSI code page, reads it.
void CheckComponent(const std::string& name, const fs::path& path) {
    for (unsigned char c : name) {
        if (c < 0x20 || c >= 0x7F)
            Refuse(path, "the name is not plain ASCII (the installer reads names in the target "
                         "system's code page)");
        if (std::string("\\/:*?\"<>|").find((char)c) != std::string::npos)
            Refuse(path, "the name holds a character Windows does not allow");
    }
    if (name.back() == '.' || name.back() == ' ')
        Refuse(path, "the name ends in a dot or a blank, which Windows drops");
    std::string base = Upper(name.substr(0, name.find('.')));
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL"};
    bool device = std::find(std::begin(devices), std::end(devices), base) != std::end(devices) ||
                  (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
                   base[3] >= '1' && base[3] <= '9');
    if (device) Refuse(path, "the name is a Windows device name");
}

void Collect(const fs::path& folder, const std::string& stored, std::vector<Item>& items) {
    std::vector<fs::directory_entry> children{fs::directory_iterator(folder), fs::directory_iterator()};
    std::sort(children.begin(), children.end(),
              [](const fs::directory_entry& a, const fs::directory_entry& b) {
                  return a.path().filename() < b.path().filename();
              });
    if (children.empty()) {
        uint32_t time = 0;
        DosTimeOf(folder, &time);
        items.push_back(Item{stored, folder, true, 0, time, 0x10});
    }
    for (const fs::directory_entry& child : children) {
        std::string name;
        if (!NarrowName(child.path().filename(), &name))
            Refuse(child.path(), "the name has no ANSI form");
        CheckComponent(name, child.path());
        std::string childStored = stored + "\\" + name;
        if (childStored.size() > rar::kMaxNameBytes)
            Refuse(child.path(), "the stored name " + childStored + " is longer than 259 characters");
        if (child.is_directory()) {
            Collect(child.path(), childStored, items);
        } else if (child.is_regular_file()) {
            uint64_t size = child.file_size();
            if (size > kMaxFileSize) Refuse(child.path(), "the file is 4 GB or larger");
            Item item{childStored, child.path(), false, size, 0, AttributesOf(child.path())};
            if (!DosTimeOf(child.path(), &item.dosTime)) Refuse(child.path(), "cannot read its time");
            items.push_back(item);
        } else {
            Refuse(child.path(), "neither a file nor a folder");
        }
    }
}

std::vector<Item> CollectPackage(const fs::path& package) {
    std::vector<Item> items;
    for (const char* top : {"Presetup", "Data"}) {
        fs::path folder = package / top;
        if (!fs::is_directory(folder)) Refuse(folder, "missing: a package holds Presetup and Data");
        Collect(folder, top, items);
    }
    // The installer's file system ignores case: two such names would collide.
    std::map<std::string, fs::path> seen;
    for (const Item& item : items) {
        auto at = seen.emplace(Upper(item.stored), item.source);
        if (!at.second) Refuse(item.source, "differs only in case from " + at.first->second.string());
    }
    return items;
}

rar::FileHeader HeaderFor(const Item& item, uint32_t crc) {
    rar::FileHeader h = {};
    h.block.flags = item.directory ? rar::kFileDirectory : 0;
    h.packSize = h.unpSize = item.size;
    h.hostOs = 2;  // Win32: the attributes are Windows attributes
    h.fileCrc = crc;
    h.dosTime = item.dosTime;
    h.unpVer = 20;
    h.method = 0x30;
    h.nameSize = (uint16_t)item.stored.size();
    h.attributes = item.attributes;
    std::copy(item.stored.begin(), item.stored.end(), h.name);
    return h;
}

void WriteOrFail(std::ofstream& out, const void* data, size_t size, const fs::path& path) {
    if (!out.write(static_cast<const char*>(data), (std::streamsize)size))
        Refuse(path, "cannot write");
}

class Writer {
public:
    Writer(const PackRequest& r, std::ostream& progress, uint64_t total)
        : request_(r), progress_(progress), total_(total) {}

    void Installer(PackSummary& summary) {
        std::ifstream in(request_.installer, std::ios::binary);
        if (!in) Refuse(request_.installer, "cannot open the installer");
        std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.size() > kLastArchiveOffset)
            Refuse(request_.installer,
                   "the installer is " + std::to_string(bytes.size()) +
                       " bytes; the archive behind it must start by offset " +
                       std::to_string(kLastArchiveOffset) + " to be found");
        Open();
        WriteOrFail(out_, bytes.data(), bytes.size(), request_.output);
        summary.archiveAt = bytes.size();
        uint8_t buf[rar::kMarkerSize + rar::kMainHeaderSize];
        size_t n = rar::WriteMarker(buf, sizeof buf);
        n += rar::WriteMainHeader(buf + n, sizeof buf - n, 0);
        WriteOrFail(out_, buf, n, request_.output);
    }

    // The header goes first with a zero CRC and is written again once the
    // data, read only once, has given its CRC.
    void Entry(const Item& item) {
        uint8_t header[rar::kFileHeaderFixedSize + 8 + rar::kMaxNameBytes];
        size_t n = rar::WriteFileHeader(header, sizeof header, HeaderFor(item, 0));
        std::streampos at = out_.tellp();
        WriteOrFail(out_, header, n, request_.output);
        if (item.directory) return;
        std::ifstream in(item.source, std::ios::binary);
        if (!in) Refuse(item.source, "cannot open");
        std::vector<char> chunk(kChunk);
        uint32_t crc = 0;
        uint64_t copied = 0;
        while (in.read(chunk.data(), (std::streamsize)chunk.size()) || in.gcount() > 0) {
            size_t got = (size_t)in.gcount();
            crc = rar::Crc32Update(crc, chunk.data(), got);
            WriteOrFail(out_, chunk.data(), got, request_.output);
            copied += got;
            Advance(got);
        }
        if (copied != item.size) Refuse(item.source, "the file changed while it was read");
        n = rar::WriteFileHeader(header, sizeof header, HeaderFor(item, crc));
        std::streampos end = out_.tellp();
        out_.seekp(at);
        WriteOrFail(out_, header, n, request_.output);
        out_.seekp(end);
    }

    // Removes what was written; a refusal before that leaves an older file
    // of the same name alone.
    void Discard() {
        if (!out_.is_open() && !wrote_) return;
        out_.close();
        std::error_code ignored;
        fs::remove(request_.output, ignored);
    }

    uint64_t Close() {
        wrote_ = true;
        uint64_t size = (uint64_t)out_.tellp();
        out_.close();
        if (!out_) Refuse(request_.output, "cannot write");
        return size;
    }

private:
    void Open() {
        out_.open(request_.output, std::ios::binary | std::ios::trunc);
        if (!out_) Refuse(request_.output, "cannot create");
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

    const PackRequest& request_;
    std::ostream& progress_;
    uint64_t total_;
    uint64_t done_ = 0;
    int shown_ = 0;
    bool wrote_ = false;  // closed after writing
    std::ofstream out_;
};

// The installer's own locating step must find the archive where it was
// written: an installer holding a marker block of its own would hide it.
void CheckLocated(const fs::path& output, uint64_t archiveAt) {
    std::ifstream in(output, std::ios::binary);
    std::vector<uint8_t> head(rar::kLocateWindow);
    in.read(reinterpret_cast<char*>(head.data()), (std::streamsize)head.size());
    rar::LocateResult at = rar::LocateArchive(head.data(), (size_t)in.gcount());
    if (at.status != rar::kLocateFound || at.offset != archiveAt)
        Refuse(output, "the installer in front holds bytes that look like an archive start; the "
                       "installer would not find its archive");
}

}  // namespace

PackSummary BuildPackage(const PackRequest& request, std::ostream& progress) {
    std::vector<Item> items = CollectPackage(request.package);
    PackSummary summary;
    uint64_t total = 0;
    for (const Item& item : items) total += item.size;
    Writer writer(request, progress, total);
    try {
        writer.Installer(summary);
        for (const Item& item : items) {
            writer.Entry(item);
            (item.directory ? summary.folders : summary.files)++;
            summary.bytesIn += item.size;
        }
        summary.bytesOut = writer.Close();
        CheckLocated(request.output, summary.archiveAt);
    } catch (...) {
        writer.Discard();
        throw;
    }
    return summary;
}

}  // namespace tarvpack
