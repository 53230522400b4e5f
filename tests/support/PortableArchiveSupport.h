// Shared by the archive tests: fixture files, RAR 2.x blocks crafted byte by
// byte (so headers can lie), archives sealed with an integrity record as the
// packaging tool writes them, and the file entries of an archive held in
// memory (for the decoder tests, which sit below the reader).
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

// One block: the 7 common bytes (CRC over the whole header, size counted)
// followed by `fields`; with kFlagLongBlock in `flags`, `fields` starts with
// the 4-byte data size.
Bytes Block(uint8_t type, uint16_t flags, const Bytes& fields);

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
    uint64_t unpSize = ~0ull;       // default: the data's size; 4 GB and more: flag 0x100
    uint16_t flags = 0;             // file flags besides kFlagLongBlock
    uint32_t packSizeHigh = 0;      // not 0: flag 0x100
};
// Marker, main header with `mainFlags`, then the entries' blocks.
Bytes BuildStoredArchive(const std::vector<BuiltEntry>& entries, uint16_t mainFlags = 0);
// `program` followed by the archive, an integrity record behind its main
// header and an end block, as the packaging tool writes setup programs.
Bytes SealedArchive(const std::vector<BuiltEntry>& entries, const Bytes& program = Bytes());

struct ArchiveEntry {
    rar::FileHeader h;
    size_t headerOffset;
    size_t dataOffset;
};
// The file entries of `file`, in order, until a block does not parse.
std::vector<ArchiveEntry> FileEntries(const Bytes& file);
// Every offset at which a block of `file` starts, and its end.
std::vector<size_t> BlockBoundaries(const Bytes& file);
// Overwrites header bytes of the entry at `at` and gives the header its
// matching CRC again.
void PatchHeader(Bytes& file, const ArchiveEntry& entry, size_t at, const Bytes& bytes);

#endif
