// BenchPayload <package folder> [files]: writes the install benchmark's
// package: Presetup/Tarv.ini and Data/ with `files` (default 3000) files of
// mixed sizes in 30 x 4 folders: 83 % of 1-16 KiB, 15 % of 16-256 KiB, 2 %
// of 1-2 MiB (about 190 MB); every other file is text made of words from a
// small vocabulary (it compresses), the others bytes that do not; all from a
// fixed seed, so every run installs the same tree.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

uint64_t state = 0x9E3779B97F4A7C15ull;

uint64_t Next() {  // xorshift64*
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
}

uint64_t Between(uint64_t low, uint64_t high) { return low + Next() % (high - low + 1); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: BenchPayload <package folder> [files]\n");
        return 2;
    }
    fs::path base = argv[1];
    int files = argc > 2 ? atoi(argv[2]) : 3000;
    fs::create_directories(base / "Presetup");
    std::ofstream(base / "Presetup" / "Tarv.ini") << "[Config]\n";
    std::vector<char> bytes;
    uint64_t total = 0;
    for (int i = 0; i < files; ++i) {
        uint64_t pick = Next() % 100;
        uint64_t size = pick < 83 ? Between(1 << 10, 16 << 10)
                        : pick < 98 ? Between(16 << 10, 256 << 10)
                                    : Between(1 << 20, 2 << 20);
        bytes.resize(size);
        if (i % 2) {
            static const char* const words[] = {"install ", "setup ", "folder ", "file ", "archive ",
                                                "registry ", "value ", "shortcut ", "font ", "log\r\n"};
            for (size_t k = 0; k < size;)
                for (const char* w = words[Next() % 10]; *w && k < size;) bytes[k++] = *w++;
        } else {
            for (size_t k = 0; k + 8 <= size; k += 8) {
                uint64_t v = Next();
                for (int b = 0; b < 8; ++b) bytes[k + b] = (char)(v >> (8 * b));
            }
        }
        char folder[32], name[32];
        snprintf(folder, sizeof folder, "d%02d/s%d", i % 30, i % 4);
        snprintf(name, sizeof name, "f%04d.bin", i);
        fs::path dir = base / "Data" / folder;
        fs::create_directories(dir);
        std::ofstream out(dir / name, std::ios::binary);
        out.write(bytes.data(), (std::streamsize)size);
        if (!out) {
            fprintf(stderr, "cannot write %s\n", (dir / name).string().c_str());
            return 1;
        }
        total += size;
    }
    printf("%d files, %llu bytes\n", files, (unsigned long long)total);
    return 0;
}
