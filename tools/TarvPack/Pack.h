// Pack: writes an installer package: the installer program followed by a
// RAR 2.x archive of the Presetup and Data trees of a package folder.
//
// The archive holds what the installer can read and nothing else: the
// integrity record (length and CRC-32 of the archive) right behind the main
// header, the Presetup entries first (the pre-setup stage stops at the first
// other entry, and in a solid archive decodes only the entries before it),
// then the Data entries, then an end-of-archive block; "\" separators;
// entries packed with the RAR 2.0 compression (version 20, host Win32;
// stored, method 0x30, when they do not shrink) with their header and data
// CRCs, MS-DOS local times and Windows attributes; a directory entry for
// every empty folder; by default one solid stream (main header flag 0x08,
// file flag 0x10 on each compressed entry that continues it).
//
// Everything the installer could not read is refused before anything is
// written: an installer that is no i386 or AMD64 Windows program or so large
// that the archive would start beyond the locating step's window, names the
// installer's name rule refuses or that are not plain ASCII or not valid on
// Windows, names that differ only in case, files of 4 GB or more, anything
// that is neither a file nor a folder. Symbolic links to files are followed;
// a link loop, a broken link or a link to a folder outside the package is
// refused, naming the link.
//
// The inputs are never touched: an output that is the installer, a package
// file (also through a link) or lies inside the package folder is refused,
// and the program is written to a temporary file beside the output, read
// back with the installer's own reader, and only then renamed into place.
#ifndef TARV_TOOLS_TARVPACK_PACK_H
#define TARV_TOOLS_TARVPACK_PACK_H

#include <stdint.h>

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "Rar20Encoder.h"

namespace tarvpack {

struct PackRequest {
    std::filesystem::path package;    // holds Presetup/ and Data/
    std::filesystem::path output;     // the setup program to write
    std::filesystem::path installer;  // the installer program to put in front
    std::filesystem::path uninstaller;  // added as Presetup\UnTarv.exe when Tarv.ini asks for
                                        // it; empty: UnTarv.exe beside the installer
    bool compress = true;             // false: every entry stored, no solid stream
    rar20::EncoderOptions compression;  // method (level), solid, window; must be valid
};

struct PackSummary {
    uint64_t files = 0;
    uint64_t folders = 0;    // directory entries
    uint64_t bytesIn = 0;    // payload bytes read
    uint64_t packed = 0;     // payload bytes in the archive
    uint64_t bytesOut = 0;   // size of the written program
    uint64_t archiveAt = 0;  // offset of the archive's marker block
    const char* machine = "";  // the installer's: "i386" or "AMD64"
    std::vector<std::string> warnings;  // what the package's Tarv.ini gets wrong
};

// Writes the package; on a refusal or an I/O error throws std::runtime_error
// with a message that names the file concerned, leaving an existing output
// as it was and no temporary file behind. Progress for large payloads goes
// to `progress`.
PackSummary BuildPackage(const PackRequest& request, std::ostream& progress);

}  // namespace tarvpack

#endif
