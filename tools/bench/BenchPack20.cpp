// BenchPack20: sizes and speeds of the RAR 2.0 encoder, side by side with
// the real RAR 2.x archiver's figures (from the fixture archive), gzip -9 and
// xz -9 on the same data. Prints figures only; nothing here fails on a slow
// machine.
//
//   BenchPack20 <fixtures folder>      (tests/fixtures/rar/v20)
//
// Data:
//   - etalon.bin of the fixtures, which the real archiver packed with every
//     method (test_v2.rar);
//   - a mixed corpus: Windows DLLs of the mingw-w64 runtime and the bash
//     executable (as installed on Debian 12), the Perl library's top-level
//     .pm/.pod files (text; also the "many small files" case), and a 24-bit
//     BMP picture and a 16-bit stereo WAV sound generated here from fixed
//     formulas and a fixed-seed noise. Missing system files are skipped and
//     named.
// Every packed stream is decoded again with our decoder and compared; the
// decoder's speed on our output is printed per level. Speeds are in CPU time
// of this process, so other work on a shared machine does not skew them.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "Rar20Encoder.h"
#include "archive/RarFormat.h"
#include "archive/Unpack20.h"

using namespace tarvpack::rar20;
namespace fs = std::filesystem;
typedef std::vector<uint8_t> Bytes;

namespace {

struct File {
    std::string name;
    Bytes data;
};

struct Corpus {
    std::string label;
    std::vector<File> files;
    uint64_t Bytes() const {
        uint64_t n = 0;
        for (const File& f : files) n += f.data.size();
        return n;
    }
};

bool Load(const fs::path& path, Bytes* out) {
    FILE* f = fopen(path.string().c_str(), "rb");
    if (!f) return false;
    uint8_t buf[1 << 16];
    size_t n;
    out->clear();
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
    fclose(f);
    return true;
}

double CpuNow() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// ---- generated data ----

uint32_t g_seed = 12345;
int Noise(int range) {
    g_seed = g_seed * 1103515245u + 12345u;
    return (int)((g_seed >> 16) % (unsigned)(2 * range + 1)) - range;
}

void Put16(Bytes& b, unsigned v) {
    b.push_back((uint8_t)v);
    b.push_back((uint8_t)(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A 24-bit picture: smooth colour fields, rings and some sensor noise.
Bytes MakeBmp(int w, int h) {
    Bytes b = {'B', 'M'};
    uint32_t row = (uint32_t)(w * 3 + 3) & ~3u;
    Put32(b, 54 + row * h);
    Put32(b, 0);
    Put32(b, 54);
    Put32(b, 40);
    Put32(b, (uint32_t)w);
    Put32(b, (uint32_t)h);
    Put16(b, 1);
    Put16(b, 24);
    for (int i = 0; i < 6; ++i) Put32(b, 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double r = std::sqrt((x - w / 3.0) * (x - w / 3.0) + (y - h / 2.0) * (y - h / 2.0));
            int base = (int)(96 + 80 * std::sin(r / 23.0) + 40 * std::cos(x / 57.0));
            for (int c = 0; c < 3; ++c) {
                int v = base + c * 25 + (y * (c + 1)) / 9 + Noise(3);
                b.push_back((uint8_t)std::min(255, std::max(0, v)));
            }
        }
        for (uint32_t p = (uint32_t)w * 3; p < row; ++p) b.push_back(0);
    }
    return b;
}

// 16-bit stereo sound: a few tones with a slow envelope and a little noise.
Bytes MakeWav(int samples) {
    Bytes b = {'R', 'I', 'F', 'F'};
    Put32(b, 36 + samples * 4);
    for (char c : std::string("WAVEfmt ")) b.push_back((uint8_t)c);
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, 2);
    Put32(b, 44100);
    Put32(b, 44100 * 4);
    Put16(b, 4);
    Put16(b, 16);
    for (char c : std::string("data")) b.push_back((uint8_t)c);
    Put32(b, (uint32_t)samples * 4);
    for (int i = 0; i < samples; ++i) {
        double t = i / 44100.0;
        double env = 0.5 + 0.5 * std::sin(t * 1.7);
        double left = env * (6000 * std::sin(2 * M_PI * 220 * t) + 2500 * std::sin(2 * M_PI * 331 * t));
        double right = env * (5000 * std::sin(2 * M_PI * 277 * t) + 3000 * std::sin(2 * M_PI * 440 * t));
        Put16(b, (unsigned)(int)(left + Noise(40)) & 0xFFFF);
        Put16(b, (unsigned)(int)(right + Noise(40)) & 0xFFFF);
    }
    return b;
}

void AddFiles(Corpus* c, const std::vector<std::string>& paths) {
    for (const std::string& p : paths) {
        File f{fs::path(p).filename().string(), {}};
        if (Load(p, &f.data))
            c->files.push_back(std::move(f));
        else
            printf("  (missing, skipped: %s)\n", p.c_str());
    }
}

// The Perl library's top-level modules and documents, sorted, up to `limit` bytes.
Corpus PerlText(uint64_t limit) {
    Corpus c{"text", {}};
    std::vector<fs::path> paths;
    std::error_code ec;
    for (const fs::path& dir : {fs::path("/usr/share/perl/5.36.0"), fs::path("/usr/share/perl/5.36")})
        if (fs::is_directory(dir, ec)) {
            for (const auto& e : fs::directory_iterator(dir, ec))
                if (e.is_regular_file() && (e.path().extension() == ".pm" || e.path().extension() == ".pod"))
                    paths.push_back(e.path());
            break;
        }
    std::sort(paths.begin(), paths.end());
    uint64_t total = 0;
    for (const fs::path& p : paths) {
        File f{p.filename().string(), {}};
        if (!Load(p, &f.data) || total + f.data.size() > limit) continue;
        total += f.data.size();
        c.files.push_back(std::move(f));
    }
    if (c.files.empty()) printf("  (no Perl library found: the text corpus is empty)\n");
    return c;
}

// ---- packing and unpacking ----

struct Packed {
    std::vector<Bytes> entries;  // packed data, or the original for a stored entry
    std::vector<EntryOutcome> outcomes;
    uint64_t bytes = 0;          // packed payload bytes
    double seconds = 0;
};

Packed Pack(const Corpus& c, int level, bool solid) {
    EncoderOptions o;
    o.level = level;
    o.solid = solid;
    Encoder enc(o);
    Packed p;
    double t0 = CpuNow();
    for (const File& f : c.files) {
        Bytes out;
        EntryOutcome r = enc.Encode(f.data.data(), f.data.size(), &out);
        if (r.stored) out = f.data;
        p.bytes += out.size();
        p.entries.push_back(std::move(out));
        p.outcomes.push_back(r);
    }
    p.seconds = CpuNow() - t0;
    return p;
}

struct Source {
    const uint8_t* p;
    size_t left;
};
size_t ReadSource(void* ctx, uint8_t* buf, size_t max) {
    Source* s = static_cast<Source*>(ctx);
    size_t n = std::min(s->left, max);
    memcpy(buf, s->p, n);
    s->p += n;
    s->left -= n;
    return n;
}

// Decodes every compressed entry; false on any difference. *seconds is the
// decoding time of the compressed entries.
bool Unpack(const Corpus& c, const Packed& p, rar::Unpack20& dec, double* seconds, uint64_t* bytes) {
    bool ok = true;
    *seconds = 0;
    *bytes = 0;
    Bytes got;
    for (size_t i = 0; i < c.files.size(); ++i) {
        const EntryOutcome& r = p.outcomes[i];
        if (r.stored) continue;
        Source src = {p.entries[i].data(), p.entries[i].size()};
        rar::UnpackEntry e = {p.entries[i].size(), c.files[i].data.size(), r.dictionaryBits, r.solid, ReadSource, &src};
        got.clear();
        double t0 = CpuNow();
        dec.Begin(e);
        const uint8_t* piece;
        size_t n;
        while ((n = dec.Read(&piece, 1 << 16)) > 0) got.insert(got.end(), piece, piece + n);
        *seconds += CpuNow() - t0;
        *bytes += got.size();
        ok = ok && dec.Done() && got == c.files[i].data;
    }
    return ok;
}

// Size of a shell tool's output for the concatenated corpus, or 0.
uint64_t ToolSize(const Corpus& c, const char* command, const fs::path& scratch) {
    FILE* f = fopen(scratch.string().c_str(), "wb");
    if (!f) return 0;
    for (const File& file : c.files) fwrite(file.data.data(), 1, file.data.size(), f);
    fclose(f);
    std::string cmd = std::string(command) + " < '" + scratch.string() + "' | wc -c";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return 0;
    unsigned long long n = 0;
    if (fscanf(p, "%llu", &n) != 1) n = 0;
    pclose(p);
    return n;
}

// Sum of a tool's output sizes over the files one by one.
uint64_t ToolSizeEach(const Corpus& c, const char* command, const fs::path& scratch) {
    uint64_t total = 0;
    for (const File& f : c.files) total += ToolSize(Corpus{"", {f}}, command, scratch);
    return total;
}

// The real archiver's packed entries of etalon.bin: p1..p5 by method (as
// Packed with one entry each), and the size of pMM in multimedia mode.
void RealArchiverEntries(const fs::path& archive, Packed bySolo[6], uint64_t* multimedia) {
    Bytes file;
    if (!Load(archive, &file)) return;
    size_t pos = rar::kMarkerSize;
    while (pos < file.size()) {
        rar::BlockHeader b;
        if (rar::ParseBlockHeader(&file[pos], file.size() - pos, &b) != rar::kParseOk || b.headSize < 7 ||
            b.headSize + (uint64_t)b.dataSize > file.size() - pos)
            break;
        rar::FileHeader h;
        if (b.type == rar::kBlockFile && rar::ParseFileHeader(&file[pos], file.size() - pos, &h) == rar::kParseOk) {
            const uint8_t* data = &file[pos + b.headSize];
            if (strcmp(h.name, "pMM.bin") == 0) {
                *multimedia = h.packSize;
            } else if (h.method > 0x30 && h.method <= 0x35) {
                Packed& p = bySolo[h.method - 0x30];
                EntryOutcome o;
                o.stored = false;
                o.method = h.method;
                o.dictionaryBits = rar::DictionaryBits(h.block.flags);
                p.entries.assign(1, Bytes(data, data + h.packSize));
                p.outcomes.assign(1, o);
                p.bytes = h.packSize;
            }
        }
        pos += b.headSize + b.dataSize;
    }
}

// Decoding speed of packed entries of `c`, repeated for about 0.3 s of CPU time.
double UnpackRate(const Corpus& c, const Packed& p, rar::Unpack20& dec) {
    double total = 0, seconds = 0;
    uint64_t bytes = 0;
    while (total < 0.3) {
        double s;
        uint64_t n;
        if (!Unpack(c, p, dec, &s, &n)) return 0;
        total += s;
        seconds += s;
        bytes += n;
    }
    return bytes / 1e6 / seconds;
}

void EtalonTable(const fs::path& fixtures, const fs::path& scratch) {
    Corpus c{"etalon.bin", {}};
    AddFiles(&c, {(fixtures / "etalon.bin").string()});
    if (c.files.empty()) return;
    Packed real[6];
    uint64_t realMm = 0;
    RealArchiverEntries(fixtures / "test_v2.rar", real, &realMm);
    printf("\netalon.bin (%llu bytes): packed data bytes, and our decoder's MB/s on each\n",
           (unsigned long long)c.Bytes());
    printf("  %-8s %10s %14s %12s %12s\n", "method", "ours", "real archiver", "unpack ours", "unpack real");
    rar::Unpack20 dec;
    dec.SetWindow(nullptr);
    for (int level = 1; level <= 5; ++level) {
        Packed p = Pack(c, level, false);
        double s;
        uint64_t n;
        bool ok = Unpack(c, p, dec, &s, &n);
        printf("  0x%02X     %10llu %14llu %12.1f %12.1f%s\n", 0x30 + level, (unsigned long long)p.bytes,
               (unsigned long long)real[level].bytes, UnpackRate(c, p, dec),
               real[level].bytes ? UnpackRate(c, real[level], dec) : 0.0, ok ? "" : "  DECODE MISMATCH");
    }
    printf("  multimedia mode (real archiver, forced): %llu; ours decides by trying (LZ above)\n",
           (unsigned long long)realMm);
    printf("  gzip -9: %llu   xz -9: %llu   (whole files: headers included)\n",
           (unsigned long long)ToolSize(c, "gzip -9 -n -c", scratch),
           (unsigned long long)ToolSize(c, "xz -9 -c", scratch));
}

void CorpusTable(const std::vector<Corpus>& parts, const fs::path& scratch) {
    Corpus all{"all", {}};
    for (const Corpus& c : parts)
        for (const File& f : c.files) all.files.push_back(f);
    printf("\nmixed corpus: packed bytes per part (level 5, solid), gzip -9 and xz -9 of the concatenated part\n");
    printf("  %-8s %6s %10s %10s %10s %10s\n", "part", "files", "bytes", "ours", "gzip -9", "xz -9");
    for (const Corpus& c : parts) {
        if (c.files.empty()) continue;
        Packed p = Pack(c, 5, true);
        printf("  %-8s %6zu %10llu %10llu %10llu %10llu\n", c.label.c_str(), c.files.size(),
               (unsigned long long)c.Bytes(), (unsigned long long)p.bytes,
               (unsigned long long)ToolSize(c, "gzip -9 -n -c", scratch),
               (unsigned long long)ToolSize(c, "xz -9 -c", scratch));
    }
    printf("\nwhole corpus (%llu bytes, %zu files), solid and entry by entry, per level\n",
           (unsigned long long)all.Bytes(), all.files.size());
    printf("  %-6s %10s %9s %10s %9s %11s\n", "level", "solid", "pack MB/s", "one by one", "pack MB/s",
           "unpack MB/s");
    rar::Unpack20 dec;
    dec.SetWindow(nullptr);
    for (int level = 1; level <= 5; ++level) {
        Packed solid = Pack(all, level, true);
        Packed each = Pack(all, level, false);
        double s;
        uint64_t n;
        bool ok = Unpack(all, solid, dec, &s, &n) & Unpack(all, each, dec, &s, &n);
        Unpack(all, solid, dec, &s, &n);
        printf("  0x%02X   %10llu %9.1f %10llu %9.1f %11.1f%s\n", 0x30 + level, (unsigned long long)solid.bytes,
               all.Bytes() / 1e6 / solid.seconds, (unsigned long long)each.bytes, all.Bytes() / 1e6 / each.seconds,
               n / 1e6 / s, ok ? "" : "  DECODE MISMATCH");
    }
    printf("  gzip -9: %llu   xz -9: %llu (concatenated)\n",
           (unsigned long long)ToolSize(all, "gzip -9 -n -c", scratch),
           (unsigned long long)ToolSize(all, "xz -9 -c", scratch));
}

void SmallFilesTable(const Corpus& text, const fs::path& scratch) {
    if (text.files.empty()) return;
    printf("\nmany small files: %zu text files, %llu bytes\n", text.files.size(), (unsigned long long)text.Bytes());
    for (int level : {1, 3, 5}) {
        Packed solid = Pack(text, level, true);
        Packed each = Pack(text, level, false);
        printf("  0x%02X  solid %9llu   one by one %9llu   (%.1f%% smaller)\n", 0x30 + level,
               (unsigned long long)solid.bytes, (unsigned long long)each.bytes,
               100.0 - 100.0 * solid.bytes / each.bytes);
    }
    printf("  gzip -9 one by one %llu\n", (unsigned long long)ToolSizeEach(text, "gzip -9 -n -c", scratch));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s <fixtures folder with etalon.bin and test_v2.rar>\n", argv[0]);
        return 2;
    }
    fs::path scratch = fs::temp_directory_path() / ("benchpack20-" + std::to_string((long)getpid()));
    printf("RAR 2.0 encoder: sizes and speeds (MB = 10^6 bytes, speeds in CPU time)\n");
    EtalonTable(argv[1], scratch);

    Corpus exe{"exe", {}};
    AddFiles(&exe, {"/usr/lib/gcc/i686-w64-mingw32/12-win32/libgcc_s_dw2-1.dll",
                    "/usr/lib/gcc/i686-w64-mingw32/12-win32/libgomp-1.dll", "/usr/bin/bash"});
    Corpus text = PerlText(1500000);
    Corpus image{"image", {{"picture.bmp", MakeBmp(800, 600)}}};
    Corpus audio{"audio", {{"sound.wav", MakeWav(300000)}}};
    CorpusTable({exe, text, image, audio}, scratch);
    SmallFilesTable(text, scratch);
    std::error_code ignored;
    fs::remove(scratch, ignored);
    return 0;
}
