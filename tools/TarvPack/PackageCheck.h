// PackageCheck: what a package's Tarv.ini asks of the packaging tool, read
// with the installer's own INI rules before anything is written.
//
//   - [Config] Uninstall is "1" and Presetup\ brings no UnTarv.exe: the tool
//     adds the uninstaller program it was given, so the installation can be
//     removed; none at hand is a refusal (the package could not do what it
//     says).
//   - Uninstall is "1" but LogFile is empty: a warning, as the installer then
//     registers no uninstaller (it has no log to undo).
//   - A page sequence names a page the installer does not have (a typing
//     error, or a word with a blank before it): a warning, as the
//     installer passes over such a page without a word.
#ifndef TARV_TOOLS_TARVPACK_PACKAGECHECK_H
#define TARV_TOOLS_TARVPACK_PACKAGECHECK_H

#include <filesystem>
#include <string>
#include <vector>

namespace tarvpack {

struct PackagePlan {
    std::vector<std::string> warnings;
    std::filesystem::path addUninstaller;  // to store as Presetup\UnTarv.exe; empty: none
};

// `presetupNames` are the file names found directly in Presetup\; the
// uninstaller is `uninstaller` (an existing file is required only when it
// has to be added). Throws std::runtime_error naming the file on a refusal.
PackagePlan CheckPackage(const std::filesystem::path& package,
                         const std::vector<std::string>& presetupNames,
                         const std::filesystem::path& uninstaller);

}  // namespace tarvpack

#endif
