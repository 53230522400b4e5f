// BenchIntegrity: the rate of the CRC-32 and of the whole-file integrity
// check that the installer runs before it unpacks anything.
//
//   BenchIntegrity [megabytes]      (default 64)
//
// Prints MB/s (10^6 bytes) of Crc32 over a buffer in memory, and of
// RarReader::VerifyIntegrity over a sealed archive of that size held in
// memory (reads through VolumeIo in the reader's own pieces), the best of
// five runs each. A figure, not a test: nothing here fails on a slow machine.
#include "archive/RarReader.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

using namespace rar;

namespace {

typedef std::chrono::steady_clock Clock;

size_t ReadAt(void* ctx, uint64_t offset, uint8_t* buf, size_t size) {
    const std::vector<uint8_t>& file = *static_cast<std::vector<uint8_t>*>(ctx);
    if (offset >= file.size()) return 0;
    size_t n = std::min<uint64_t>(size, file.size() - offset);
    memcpy(buf, &file[offset], n);
    return n;
}

bool NoVolume(void*, const char*) { return false; }

// Marker, main header, integrity record, one stored entry of `payload`
// bytes, end block: the layout the packaging tool writes.
std::vector<uint8_t> SealedArchive(size_t payload) {
    std::vector<uint8_t> a(kMarkerSize + kMainHeaderSize + kIntegrityBlockSize + 64 + payload + kEndBlockSize);
    size_t n = WriteMarker(a.data(), a.size());
    n += WriteMainHeader(&a[n], a.size() - n, 0);
    size_t record = n;
    n += kIntegrityBlockSize;
    FileHeader h = {};
    h.packSize = h.unpSize = payload;
    h.unpVer = 20;
    h.method = 0x30;
    h.nameSize = 8;
    memcpy(h.name, "Data\\big", 8);
    uint8_t* data = &a[n + kFileHeaderFixedSize + h.nameSize];
    for (size_t i = 0; i < payload; ++i) data[i] = (uint8_t)(i * 2654435761u >> 24);
    h.fileCrc = Crc32(data, payload);
    n += WriteFileHeader(&a[n], a.size() - n, h) + payload;
    n += WriteEndBlock(&a[n], a.size() - n);
    a.resize(n);
    uint32_t crc = Crc32Update(Crc32(a.data(), record), &a[record + kIntegrityBlockSize],
                               n - record - kIntegrityBlockSize);
    WriteIntegrityBlock(&a[record], kIntegrityBlockSize, IntegrityRecord{n, crc});
    return a;
}

// Best of five runs of `run`, as MB/s over `bytes`.
template <typename Run>
double Rate(size_t bytes, Run run) {
    double best = 1e30;
    for (int i = 0; i < 5; ++i) {
        Clock::time_point t0 = Clock::now();
        run();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return bytes / 1e6 / best;
}

}  // namespace

int main(int argc, char** argv) {
    size_t megabytes = argc > 1 ? (size_t)atoi(argv[1]) : 64;
    std::vector<uint8_t> archive = SealedArchive(megabytes << 20);
    volatile uint32_t sink = 0;
    double crc = Rate(archive.size(), [&] { sink = sink + Crc32(archive.data(), archive.size()); });
    std::unique_ptr<RarReader> reader(new RarReader);
    VolumeIo io = {&archive, ReadAt, NoVolume};
    if (reader->Open(io, "bench.rar") != kOpenOk || reader->VerifyIntegrity() != kIntegrityOk) {
        fprintf(stderr, "the sealed archive does not verify\n");
        return 1;
    }
    double verify = Rate(archive.size(), [&] { sink = sink + reader->VerifyIntegrity(); });
    printf("%-32s %8.1f MB %9.1f MB/s\n", "CRC-32 (slicing by 8)", archive.size() / 1e6, crc);
    printf("%-32s %8.1f MB %9.1f MB/s\n", "integrity check (in memory)", archive.size() / 1e6, verify);
    return 0;
}
