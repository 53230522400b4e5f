#include "support/PortableArchiveSupport.h"

#include <gtest/gtest.h>

#include <stdio.h>

using namespace rar;

std::string RarFixturePath(const std::string& name) {
    return std::string(TARV_FIXTURES_DIR) + "/rar/" + name;
}

bool ReadWholeFile(const std::string& path, Bytes* data) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    uint8_t buf[65536];
    size_t n;
    data->clear();
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) data->insert(data->end(), buf, buf + n);
    fclose(f);
    return true;
}

Bytes LoadRarFixture(const std::string& name) {
    Bytes data;
    if (!ReadWholeFile(RarFixturePath(name), &data)) ADD_FAILURE() << "missing fixture " << name;
    return data;
}

static void Put(Bytes& b, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back((uint8_t)(v >> 8 * i));
}

static void SetCrc(Bytes& b, size_t header, size_t crcEnd) {
    uint16_t crc = HeaderCrc16(&b[header], crcEnd);
    b[header] = (uint8_t)crc;
    b[header + 1] = (uint8_t)(crc >> 8);
}

Bytes Block(uint8_t type, uint16_t flags, const Bytes& fields) {
    Bytes b;
    Put(b, 0, 2);
    b.push_back(type);
    Put(b, flags, 2);
    Put(b, kBlockHeaderSize + fields.size(), 2);
    b.insert(b.end(), fields.begin(), fields.end());
    SetCrc(b, 0, b.size());
    return b;
}

static Bytes FileBlock(const BuiltEntry& e) {
    Bytes f;
    uint64_t unpSize = e.unpSize == ~0ull ? e.data.size() : e.unpSize;
    bool large = unpSize >> 32 != 0 || e.packSizeHigh;
    Put(f, (uint32_t)(e.data.size() + e.packSizeDelta), 4);
    Put(f, unpSize, 4);
    f.push_back(e.hostOs);
    Put(f, Crc32(e.data.data(), e.data.size()) ^ (e.badCrc ? 1 : 0), 4);
    Put(f, e.dosTime, 4);
    f.push_back(20);
    f.push_back(0x30);
    Put(f, e.name.size(), 2);
    Put(f, e.attributes, 4);
    if (large) Put(f, (unpSize >> 32) << 32 | e.packSizeHigh, 8);  // high halves
    f.insert(f.end(), e.name.begin(), e.name.end());
    Bytes b = Block(kBlockFile, kFlagLongBlock | e.flags | (large ? kFileLargeSizes : 0), f);
    b.insert(b.end(), e.data.begin(), e.data.end());
    return b;
}

Bytes BuildStoredArchive(const std::vector<BuiltEntry>& entries, uint16_t mainFlags) {
    Bytes b(kMarkerSize + kMainHeaderSize);
    WriteMarker(b.data(), kMarkerSize);
    WriteMainHeader(b.data() + kMarkerSize, kMainHeaderSize, mainFlags);
    for (const BuiltEntry& e : entries) {
        Bytes block = FileBlock(e);
        b.insert(b.end(), block.begin(), block.end());
    }
    return b;
}

Bytes SealedArchive(const std::vector<BuiltEntry>& entries, const Bytes& program) {
    Bytes b = program, archive = BuildStoredArchive(entries);
    size_t at = program.size(), record = at + kMarkerSize + kMainHeaderSize;
    b.insert(b.end(), archive.begin(), archive.end());
    b.insert(b.begin() + record, kIntegrityBlockSize, 0);
    b.resize(b.size() + kEndBlockSize);
    WriteEndBlock(&b[b.size() - kEndBlockSize], kEndBlockSize);
    uint32_t crc = Crc32Update(Crc32(&b[at], record - at), &b[record + kIntegrityBlockSize],
                               b.size() - record - kIntegrityBlockSize);
    WriteIntegrityBlock(&b[record], kIntegrityBlockSize, IntegrityRecord{b.size() - at, crc});
    return b;
}

// Calls `visit` with each block's offset and header, from the marker on.
template <typename Visit>
static void WalkBlocks(const Bytes& file, Visit visit) {
    LocateResult at = LocateArchive(file.data(), file.size());
    size_t pos = at.status == kLocateFound ? at.offset + kMarkerSize : file.size();
    while (pos < file.size()) {
        BlockHeader b;
        if (ParseBlockHeader(&file[pos], file.size() - pos, &b) != kParseOk || b.headSize > file.size() - pos)
            break;
        uint64_t dataSize = visit(pos, b);
        pos += b.headSize + dataSize;
    }
}

std::vector<ArchiveEntry> FileEntries(const Bytes& file) {
    std::vector<ArchiveEntry> entries;
    WalkBlocks(file, [&](size_t pos, const BlockHeader& b) -> uint64_t {
        ArchiveEntry e;
        if (b.type != kBlockFile || ParseFileHeader(&file[pos], file.size() - pos, &e.h) != kParseOk)
            return b.dataSize;
        e.headerOffset = pos;
        e.dataOffset = pos + b.headSize;
        entries.push_back(e);
        return e.h.packSize;
    });
    return entries;
}

std::vector<size_t> BlockBoundaries(const Bytes& file) {
    std::vector<size_t> starts;
    size_t end = 0;
    WalkBlocks(file, [&](size_t pos, const BlockHeader& b) -> uint64_t {
        starts.push_back(pos);
        end = pos + b.headSize + b.dataSize;
        return b.dataSize;
    });
    starts.push_back(end);
    return starts;
}

void PatchHeader(Bytes& file, const ArchiveEntry& entry, size_t at, const Bytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), file.begin() + entry.headerOffset + at);
    SetCrc(file, entry.headerOffset, entry.h.crcEnd);
}
