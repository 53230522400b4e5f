#include "install/Script.h"

#include "archive/Extraction.h"
#include "config/RunState.h"
#include "config/wqArithm.h"
#include "config/wqPath.h"
#include "config/wqRegIni.h"
#include "config/wqStrUtils.h"
#include "system/wqFileUtils.h"
#include "system/wqUtils.h"
#include "text/Common.h"

TStr ScriptField(const TStr& value, int n) { return GetField(n, value, TCharSet(",")); }

long ScriptNumber(const TStr& value, int n) { return TextToIntDef(ScriptField(value, n), 0); }

namespace {

// CopyFiles: the target name is the text before the first comma, quotes or
// not; an empty one means the source as written.
void AddCopyFile(const TStr& source, const TStr& value, const TStr& folder) {
    TRunState& run = RunState();
    bool local = (ScriptNumber(value, 3) & cfLocalSource) != 0;
    long comma = value.find(',');
    TStr target = comma < 0 ? value : value.substr(0, (size_t)comma);
    TStr rest = comma < 0 ? TStr() : value.substr((size_t)comma);
    if (target.empty()) target = source;
    TStrList& list = local ? run.LocalFileList : run.ArchiveFileList;
    list.SetValue(local ? source : "Data\\" + source, AddBackslash(folder) + target + rest);
}

void AddRegValue(const TStr& name, const TStr& value, const TStr& key) {
    SetListValue(RunState().RegValueList, AddBackslash(key) + name, value);
}

void AddShortcut(const TStr& name, const TStr& value, const TStr& folder) {
    SetListValue(RunState().ShortcutList, AddBackslash(folder) + name, value);
}

void AddIniValue(const TStr& name, const TStr& value, const TStr& file) {
    SetListValue(RunState().IniValueList, file + "," + name, value);
}

void AddRunApp(const TStr&, const TStr& value) { RunState().RunList.Add(value); }

// Turns quote stripping back on however the reading ends.
struct TQuotesKept {
    TQuotesKept() { ProfileStripQuotes(false); }
    ~TQuotesKept() { ProfileStripQuotes(true); }
};

}  // namespace

bool ReadTwoLevelSection(const TStr& path, const TStr& section, TLineHandler lineHandler,
                         TGroupLineHandler groupHandler) {
    TStrList top;
    if (!ProfileReadSection(path, section, top)) return false;
    for (int i = 0; i < top.Count(); ++i) {
        TStr group = NamePart(top[i]);
        TStr parameter = ExpandVariables(ValuePart(top[i]));
        if (lineHandler) lineHandler(ExpandVariables(group), parameter);
        TStrList lines;
        if (!ProfileReadSection(path, group, lines)) return false;
        if (!groupHandler) continue;
        for (int j = 0; j < lines.Count(); ++j)
            groupHandler(ExpandVariables(NamePart(lines[j])), ExpandVariables(ValuePart(lines[j])),
                         parameter);
    }
    return true;
}

bool ReadScriptSections(const TStr& path, const TStr& suffix) {
    return ReadTwoLevelSection(path, "CopyFiles" + suffix, nullptr, AddCopyFile) &&
           ReadTwoLevelSection(path, "AddReg" + suffix, nullptr, AddRegValue) &&
           ReadTwoLevelSection(path, "Shortcuts" + suffix, nullptr, AddShortcut) &&
           ReadTwoLevelSection(path, "AddIni" + suffix, nullptr, AddIniValue) &&
           ReadTwoLevelSection(path, "RunApp" + suffix, AddRunApp, nullptr);
}

bool ReadInstallScript(const TStr& path) {
    if (!FileExists(path)) return true;
    return ReadScriptSections(path, "") && ReadScriptSections(path, "." + RunState().Language);
}

bool ReadInstallScripts() {
    const TRunState& run = RunState();
    TQuotesKept keep;
    TStr words;
    if (!ProfileReadString(run.IniFileName, "Config", "InsFiles", "", words)) return false;
    const TCharSet commas(",");
    TOSKind kind = OSVersion().Kind;
    TStr platformExt = kind == osWinNT || kind == osWin2000 ? ".nt" : ".9x";
    for (int i = 1; i <= CountWords(words, commas); ++i) {
        TStr base = run.TempDir + GetWord(i, words, commas);
        if (!ReadInstallScript(ChangeFileExt(base, ".ins")) ||
            !ReadInstallScript(ChangeFileExt(base, platformExt)))
            return false;
    }
    return true;
}
