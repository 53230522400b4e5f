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

Bytes BuildStoredArchive(const std::vector<BuiltEntry>& entries, uint16_t mainFlags) {
    Bytes b(kMarker, kMarker + kMarkerSize);
    b.resize(kMarkerSize + kMainHeaderSize);
    WriteMainHeader(b.data() + kMarkerSize, kMainHeaderSize, mainFlags);
    for (const BuiltEntry& e : entries) {
        Bytes h;
        Put(h, 0, 2);
        h.push_back(kBlockFile);
        Put(h, kFlagLongBlock, 2);
        Put(h, kFileHeaderFixedSize + e.name.size(), 2);
        Put(h, (uint32_t)(e.data.size() + e.packSizeDelta), 4);
        Put(h, e.unpSize == ~0ull ? e.data.size() : e.unpSize, 4);
        h.push_back(e.hostOs);
        Put(h, Crc32(e.data.data(), e.data.size()) ^ (e.badCrc ? 1 : 0), 4);
        Put(h, e.dosTime, 4);
        h.push_back(20);
        h.push_back(0x30);
        Put(h, e.name.size(), 2);
        Put(h, e.attributes, 4);
        h.insert(h.end(), e.name.begin(), e.name.end());
        uint16_t crc = HeaderCrc16(h.data(), h.size());
        h[0] = (uint8_t)crc;
        h[1] = (uint8_t)(crc >> 8);
        b.insert(b.end(), h.begin(), h.end());
        b.insert(b.end(), e.data.begin(), e.data.end());
    }
    return b;
}

std::vector<ArchiveEntry> FileEntries(const Bytes& file) {
    std::vector<ArchiveEntry> entries;
    LocateResult at = LocateArchive(file.data(), file.size());
    size_t pos = at.status == kLocateFound ? at.offset + kMarkerSize : file.size();
    while (pos < file.size()) {
        const uint8_t* p = file.data() + pos;
        size_t left = file.size() - pos;
        BlockHeader b;
        if (ParseBlockHeader(p, left, &b) != kParseOk || b.headSize > left) break;
        ArchiveEntry e;
        if (b.type == kBlockFile) {
            if (ParseFileHeader(p, left, &e.h) != kParseOk) break;
            e.dataOffset = pos + b.headSize;
            entries.push_back(e);
        }
        pos += b.headSize + b.dataSize;
    }
    return entries;
}
