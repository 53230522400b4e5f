// BenchUnpack20: decodes the RAR 2.0 entries of the archives named on the
// command line again and again and prints the output rate per method.
//
//   BenchUnpack20 [-t seconds] archive.rar...
//   BenchUnpack20 --make out.rar copies archive.rar...
//
// Each round decodes every entry of an archive in order (so solid chains stay
// intact); rounds repeat until the time budget per archive (default 1 s) is
// spent. The first round checks every entry's CRC-32. Rates are unpacked
// bytes per second of decoding, in MB/s (10^6 bytes); the "+crc" column adds
// the CRC-32 of the output, as an extractor would compute it.
//
// --make writes a large archive for the comparison with other readers: the
// packed entries of the given archives, `copies` times over, each with its
// own flags (so solid chains restart at each copy of their first entry), in
// an archive marked solid when any entry is.
#include "archive/RarFormat.h"
#include "archive/Unpack20.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <chrono>
#include <vector>

using namespace rar;

namespace {

struct Entry {
    FileHeader h;
    const uint8_t* data;
};

struct Source {
    const uint8_t* p;
    size_t left;
};

size_t ReadSource(void* ctx, uint8_t* buf, size_t max) {
    Source* s = static_cast<Source*>(ctx);
    size_t n = s->left < max ? s->left : max;
    memcpy(buf, s->p, n);
    s->p += n;
    s->left -= n;
    return n;
}

bool LoadFile(const char* path, std::vector<uint8_t>* out) {
    FILE* f = fopen(path, "rb");
    if (!f) return false;
    uint8_t buf[1 << 16];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
    fclose(f);
    return true;
}

// The packed RAR 2.0 entries of the archive, in order; false on a broken chain.
bool ListEntries(const std::vector<uint8_t>& file, std::vector<Entry>* entries) {
    LocateResult at = LocateArchive(file.data(), file.size());
    if (at.status != kLocateFound) return false;
    size_t pos = at.offset + kMarkerSize;
    while (pos < file.size()) {
        const uint8_t* p = file.data() + pos;
        size_t left = file.size() - pos;
        BlockHeader b;
        if (ParseBlockHeader(p, left, &b) != kParseOk || b.headSize > left ||
            b.dataSize > left - b.headSize)
            return false;
        Entry e;
        if (b.type == kBlockFile && ParseFileHeader(p, left, &e.h) == kParseOk &&
            (e.h.unpVer == 20 || e.h.unpVer == 26) && e.h.method >= 0x31 && e.h.method <= 0x35 &&
            !IsDirectory(e.h.block.flags)) {
            e.data = p + b.headSize;
            entries->push_back(e);
        }
        pos += b.headSize + b.dataSize;
    }
    return true;
}

struct Tally {
    double seconds[2];  // decode only, decode + CRC
    uint64_t bytes[2];

    void Add(const Tally& o) {
        for (int k = 0; k < 2; ++k) {
            seconds[k] += o.seconds[k];
            bytes[k] += o.bytes[k];
        }
    }
    void Print(const char* label) const {
        if (!bytes[0] || !bytes[1]) return;
        printf("%-24s %10.1f  %7.1f  %7.1f\n", label, bytes[0] / 1e6, bytes[0] / 1e6 / seconds[0],
               bytes[1] / 1e6 / seconds[1]);
    }
};

// Decodes one entry; returns false on a decoder error or CRC mismatch.
bool DecodeEntry(Unpack20& dec, const Entry& e, bool withCrc, bool check) {
    Source src = {e.data, (size_t)e.h.packSize};
    UnpackEntry u = {e.h.packSize, e.h.unpSize, DictionaryBits(e.h.block.flags),
                     (e.h.block.flags & kFileSolid) != 0, ReadSource, &src};
    if (!dec.Begin(u)) return false;
    const uint8_t* piece;
    size_t n;
    uint32_t crc = 0;
    while ((n = dec.Read(&piece, 1 << 16)) > 0)
        if (withCrc || check) crc = Crc32Update(crc, piece, n);
    return dec.Done() && (!check || crc == e.h.fileCrc);
}

bool BenchArchive(const char* path, double budget, Unpack20& dec, Tally* byMethod) {
    std::vector<uint8_t> file;
    std::vector<Entry> entries;
    if (!LoadFile(path, &file) || !ListEntries(file, &entries)) {
        fprintf(stderr, "%s: cannot read the archive\n", path);
        return false;
    }
    if (entries.empty()) {
        fprintf(stderr, "%s: no RAR 2.0 packed entries\n", path);
        return true;
    }
    for (const Entry& e : entries) {
        if (!DecodeEntry(dec, e, false, true)) {
            fprintf(stderr, "%s: %s fails (error %d)\n", path, e.h.name, dec.Error());
            return false;
        }
    }
    std::vector<Tally> byEntry(entries.size(), Tally());
    typedef std::chrono::steady_clock Clock;
    Clock::time_point start = Clock::now();
    for (unsigned round = 0; std::chrono::duration<double>(Clock::now() - start).count() < budget;
         ++round) {
        int mode = round & 1;
        for (size_t i = 0; i < entries.size(); ++i) {
            Clock::time_point t0 = Clock::now();
            DecodeEntry(dec, entries[i], mode == 1, false);
            byEntry[i].seconds[mode] += std::chrono::duration<double>(Clock::now() - t0).count();
            byEntry[i].bytes[mode] += entries[i].h.unpSize;
        }
    }
    printf("%s\n", path);
    for (size_t i = 0; i < entries.size(); ++i) {
        char label[64];
        snprintf(label, sizeof label, "  %.14s (0x%02X)", entries[i].h.name, entries[i].h.method);
        if (entries.size() <= 16) byEntry[i].Print(label);
        byMethod[entries[i].h.method - 0x31].Add(byEntry[i]);
    }
    return true;
}

void Append(std::vector<uint8_t>* out, const uint8_t* p, size_t n) { out->insert(out->end(), p, p + n); }

int MakeArchive(const char* outPath, int copies, char** archives, int count) {
    std::vector<std::vector<uint8_t>> files(count);
    std::vector<Entry> entries;
    for (int i = 0; i < count; ++i) {
        if (!LoadFile(archives[i], &files[i]) || !ListEntries(files[i], &entries)) {
            fprintf(stderr, "%s: cannot read the archive\n", archives[i]);
            return 1;
        }
    }
    uint16_t mainFlags = 0;
    for (const Entry& e : entries)
        if (e.h.block.flags & kFileSolid) mainFlags = kMainSolid;
    std::vector<uint8_t> out;
    uint8_t header[kMaxHeaderSize];
    Append(&out, header, WriteMarker(header, sizeof header));
    Append(&out, header, WriteMainHeader(header, sizeof header, mainFlags));
    uint64_t unpacked = 0;
    for (int copy = 0; copy < copies; ++copy) {
        for (const Entry& e : entries) {
            FileHeader h = e.h;
            snprintf(h.name, sizeof h.name, "copy%04d\\%.200s", copy, e.h.name);
            h.nameSize = (uint16_t)strlen(h.name);
            h.block.flags &= (uint16_t)~kFileComment;
            size_t n = WriteFileHeader(header, sizeof header, h);
            if (n == 0) return 1;
            Append(&out, header, n);
            Append(&out, e.data, (size_t)e.h.packSize);
            unpacked += e.h.unpSize;
        }
    }
    FILE* f = fopen(outPath, "wb");
    if (!f || fwrite(out.data(), 1, out.size(), f) != out.size() || fclose(f) != 0) {
        fprintf(stderr, "%s: cannot write\n", outPath);
        return 1;
    }
    printf("%s: %zu entries, %zu bytes packed, %llu bytes unpacked\n", outPath,
           entries.size() * (size_t)copies, out.size(), (unsigned long long)unpacked);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 4 && strcmp(argv[1], "--make") == 0) return MakeArchive(argv[2], atoi(argv[3]), argv + 4, argc - 4);
    double budget = 1.0;
    int first = 1;
    if (argc > 2 && strcmp(argv[1], "-t") == 0) {
        budget = atof(argv[2]);
        first = 3;
    }
    if (first >= argc) {
        fprintf(stderr, "usage: %s [-t seconds] archive.rar...\n       %s --make out.rar copies archive.rar...\n",
                argv[0], argv[0]);
        return 2;
    }
    Unpack20 dec;
    if (!dec.SetWindow(nullptr)) return 1;
    printf("%-24s %10s  %7s  %7s\n", "entry (method)", "MB", "MB/s", "+crc");
    Tally byMethod[5] = {};
    bool ok = true;
    for (int i = first; i < argc; ++i) ok = BenchArchive(argv[i], budget, dec, byMethod) && ok;
    printf("per method\n");
    Tally all = {};
    for (int m = 0; m < 5; ++m) {
        char label[32];
        snprintf(label, sizeof label, "  0x%02X", 0x31 + m);
        byMethod[m].Print(label);
        all.Add(byMethod[m]);
    }
    all.Print("  all");
    return ok ? 0 : 1;
}
