#include "PackageCheck.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "config/wqIniText.h"
#include "config/wqStrUtils.h"
#include "config/wqString.h"
#include "ui/PageNames.h"

namespace tarvpack {

namespace fs = std::filesystem;

namespace {

// The name as Presetup\ holds it, found without regard to case; empty when
// there is none.
std::string FindName(const std::vector<std::string>& names, const char* wanted) {
    for (const std::string& name : names)
        if (SameText(name.c_str(), wanted)) return name;
    return std::string();
}

// Tarv.ini as the installer reads it (all parse options on).
class Config {
public:
    explicit Config(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        TIniLoader loader(sections_, kIniDefaultOptions);
        loader.Feed(bytes.data(), bytes.size());
        loader.Finish();
        sections_.RemoveDuplicateSections();
    }
    // The value of the first line of that name, or `fallback`.
    std::string Value(const char* section, const char* key, const char* fallback) {
        int s = sections_.IndexOf(section);
        int line = s < 0 ? -1 : sections_.Lines(s).IndexOfName(key);
        if (line < 0) return fallback;
        const TStr& text = sections_.Lines(s)[line];
        return text.c_str() + text.find('=') + 1;
    }

private:
    TSectionList sections_;
};

// Warns about every word of a sequence key that names no page, read as the
// installer reads it: words between commas, upper-cased, blanks kept.
void CheckSequence(Config& config, const char* key, std::vector<std::string>& warnings) {
    TStr words = config.Value("Config", key, "").c_str();
    const TCharSet comma(",");
    for (int i = 1, n = CountWords(words, comma); i <= n; ++i) {
        std::string name = GetWord(i, words, comma).c_str();
        for (char& c : name)
            if (c >= 'a' && c <= 'z') c = (char)(c - 32);
        if (!IsPageName(name.c_str()))
            warnings.push_back(std::string("[Config] ") + key + " names \"" + name +
                               "\", which is no page of the installer: it will be passed over");
    }
}

}  // namespace

PackagePlan CheckPackage(const fs::path& package, const std::vector<std::string>& presetupNames,
                         const fs::path& uninstaller) {
    PackagePlan plan;
    std::string ini = FindName(presetupNames, "Tarv.ini");
    if (ini.empty()) return plan;  // the installer then runs with every default
    Config config(package / "Presetup" / ini);
    CheckSequence(config, "PreInstallDialogSequence", plan.warnings);
    CheckSequence(config, "PostInstallDialogSequence", plan.warnings);
    if (config.Value("Config", "Uninstall", "0") != "1") return plan;
    if (config.Value("Config", "LogFile", "").empty())
        plan.warnings.push_back("[Config] Uninstall is 1 but LogFile is empty: without an install "
                                "log the installer registers no uninstaller");
    if (!FindName(presetupNames, "UnTarv.exe").empty()) return plan;
    std::error_code ec;
    if (!fs::is_regular_file(uninstaller, ec))
        throw std::runtime_error(uninstaller.string() +
                                 ": [Config] Uninstall is 1, the package brings no UnTarv.exe, and "
                                 "this uninstaller program cannot be read (--uninstaller names another)");
    plan.addUninstaller = uninstaller;
    return plan;
}

}  // namespace tarvpack
