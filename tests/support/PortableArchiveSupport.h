// Shared by the archive tests: fixture files, stored-entry archives built
// byte by byte, and the file entries of an archive held in memory (for the
// decoder tests, which sit below the reader).
#ifndef TARV_TESTS_PORTABLEARCHIVESUPPORT_H
#define TARV_TESTS_PORTABLEARCHIVESUPPORT_H

#include <stdint.h>

#include <string>
#include <vector>

#include "archive/RarFormat.h"

typedef std::vector<uint8_t> Bytes;

// The whole file; false when it cannot be opened.
bool ReadWholeFile(const std::string& path, Bytes* data);
// tests/fixtures/rar/<name>, with "/" separators.
std::string RarFixturePath(const std::string& name);
// The whole fixture file; empty, with a test failure, when it is missing.
Bytes LoadRarFixture(const std::string& name);

// A stored entry. The header is written by hand, so names of any length
// and lying sizes can be expressed.
struct BuiltEntry {
    std::string name;
    std::string data;
    uint8_t hostOs = 2;
    uint32_t attributes = 0x20;
    uint32_t dosTime = 0;
    bool badCrc = false;
    int32_t packSizeDelta = 0;      // added to the true packed size
    uint64_t unpSize = ~0ull;       // default: the data's size
};
// Marker, main header with `mainFlags`, then the entries.
Bytes BuildStoredArchive(const std::vector<BuiltEntry>& entries, uint16_t mainFlags = 0);

struct ArchiveEntry {
    rar::FileHeader h;
    size_t dataOffset;
};
// The file entries of `file`, in order, until a block does not parse.
std::vector<ArchiveEntry> FileEntries(const Bytes& file);

#endif
