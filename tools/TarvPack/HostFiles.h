// HostFiles: what the packaging tool needs from the system it runs on
// (Linux or Windows): MS-DOS times and attributes of files, setting them on
// extracted files, and reading an archive's volumes for the reader core.
#ifndef TARV_TOOLS_TARVPACK_HOSTFILES_H
#define TARV_TOOLS_TARVPACK_HOSTFILES_H

#include <stdint.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "archive/RarReader.h"

namespace tarvpack {

namespace fs = std::filesystem;

// The last-write time of a file as an MS-DOS date (high 16 bits) and time
// (low 16 bits) in local time, the form archives store; times before 1980
// or after 2107 are clamped to those years. False when the file cannot be
// examined.
bool DosTimeOf(const fs::path& path, uint32_t* dosTime);
// Gives the file the MS-DOS local time as its last-write time.
bool SetDosTime(const fs::path& path, uint32_t dosTime);

// Windows attributes for the archive: read-only, hidden, system and archive
// as the system keeps them (on Linux: archive, plus read-only when the owner
// cannot write).
uint32_t AttributesOf(const fs::path& path);
// Read-only on the extracted file when the attributes say so.
void ApplyAttributes(const fs::path& path, uint32_t attributes);

// A path as the ANSI text the reader core and archives speak (on Windows
// the system's ANSI code page, on Linux the bytes as they stand); false when
// it has no such form.
bool NarrowName(const fs::path& path, std::string* out);

// The folder that holds the running program.
fs::path ToolFolder();

// Volumes of an archive opened one at a time, as the reader core asks.
class VolumeFiles {
public:
    bool Open(const std::string& path);
    rar::VolumeIo Io() { return rar::VolumeIo{this, ReadAt, OpenNext}; }

private:
    static size_t ReadAt(void* ctx, uint64_t offset, uint8_t* buf, size_t size);
    static bool OpenNext(void* ctx, const char* path);
    std::ifstream file_;
};

}  // namespace tarvpack

#endif
