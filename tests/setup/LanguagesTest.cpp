// The language list against Wine's real locale enumeration. Which code is
// preselected depends on the user's default language, which Wine takes from
// the environment (LANG).
#include "setup/Languages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/wqRegIni.h"
#include "setup/RunState.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"

namespace {

std::string S(const TStr& s) { return std::string(s.c_str(), s.length()); }

// The system's own display name of a locale, asked for directly.
std::string DisplayName(LCID locale) {
    char name[100];
    int n = GetLocaleInfoA(locale, LOCALE_SLANGUAGE, name, sizeof name);
    return n > 0 ? name : "";
}

std::string UserCode() {
    char code[8];
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, code, sizeof code) ? code : "";
}

const LCID kEnglishUS = 0x0409, kRussian = 0x0419, kGerman = 0x0407;

class LanguagesTest : public testing::Test {
protected:
    void TearDown() override {
        ProfileFlushAll();
        RunState() = TRunState();
    }
    // Builds the list from a Tarv.ini with the given text (none when empty);
    // returns the items.
    std::vector<std::string> Build(const std::string& ini) {
        ProfileFlushAll();
        ScratchFolder fresh;
        RunState().IniFileName = (fresh / "Tarv.ini").c_str();
        if (!ini.empty()) WriteBytes(fresh / "Tarv.ini", ini);
        BuildLanguageList();
        ProfileFlushAll();  // before the folder goes
        std::vector<std::string> items;
        for (int i = 0; i < RunState().Languages.Count(); ++i) items.push_back(S(RunState().Languages[i]));
        return items;
    }
};

using Items = std::vector<std::string>;

TEST_F(LanguagesTest, ListsNamesAndPreselection) {
    const std::string english = "ENU=" + DisplayName(kEnglishUS);
    const std::string russian = "RUS=" + DisplayName(kRussian);
    const std::string german = "DEU=" + DisplayName(kGerman);
    ASSERT_EQ(DisplayName(kEnglishUS), "English (United States)");
    // The expected preselection on an English (United States) user's system.
    const struct {
        const char* ini;
        Items items;
        const char* language;
    } cases[] = {
        {"", {english}, "ENU"},  // no Tarv.ini at all
        {"[Config]\r\nOther=1\r\n", {english}, "ENU"},
        {"[Config]\r\nLanguages=\r\n", {english}, "ENU"},
        {"[Config]\r\nLanguages=RUS,ENU\r\n", {english, russian}, "ENU"},
        {"[Config]\r\nLanguages=enu\r\n", {english}, "ENU"},  // the system's spelling
        {"[Config]\r\nLanguages=XYZ,,ENU\r\n", {english, "XYZ="}, "ENU"},
        {"[Config]\r\nLanguages=xyz\r\n", {"xyz="}, "xyz"},  // the author's spelling stays
        {"[Config]\r\nLanguages=RUS, ENU\r\n", {" ENU=", russian}, " ENU"},  // names no locale
        {"[Config]\r\nLanguages=RUS,DEU\r\n", {german, russian}, "DEU"},
        // The same code twice: only the first item gets the name.
        {"[Config]\r\nLanguages=ENU,ENU\r\n", {"ENU=", english}, "ENU"},
    };
    if (UserCode() != "ENU") GTEST_SKIP() << "user default is " << UserCode();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        EXPECT_EQ(Build(c.ini), c.items);
        EXPECT_EQ(S(RunState().Language), c.language);
    }
}

TEST_F(LanguagesTest, LocaleEnumProcCompletesTheFirstItemOfTheCode) {
    const std::string english = "ENU=" + DisplayName(kEnglishUS);
    const struct {
        const char* locale;
        Items items;
    } cases[] = {
        {"00000409", {english, "enu=", "RUS="}},
        {"409", {english, "enu=", "RUS="}},
        {"00010409", {english, "enu=", "RUS="}},  // only the language part counts
        {"00000407", {"enu=", "enu=", "RUS="}},   // DEU is not in the list
        {"zz", {"enu=", "enu=", "RUS="}},         // not hexadecimal: nothing
        {"", {"enu=", "enu=", "RUS="}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        TStrList& list = RunState().Languages;
        list.Clear();
        for (const char* item : {"enu=", "enu=", "RUS="}) list.Add(item);
        std::string text = c.locale;
        EXPECT_TRUE(LocaleEnumProc(&text[0]));
        Items items;
        for (int i = 0; i < list.Count(); ++i) items.push_back(S(list[i]));
        EXPECT_EQ(items, c.items);
    }
}

// ---- A German user ----
//
// Wine takes the user's default language from the Unix locale when a process
// starts (children started by a Wine process keep the parent's), so this
// runs when the whole program is started that way:
//   LANG=de_DE.UTF-8 tools/wine-run.sh build/win64/setup_tests.exe
// (the Unix locale must be installed; `locale -a` lists it).

TEST_F(LanguagesTest, GermanUser) {
    if (UserCode() != "DEU") GTEST_SKIP() << "start with LANG=de_DE.UTF-8 to run this";
    const std::string german = "DEU=" + DisplayName(kGerman);
    EXPECT_EQ(Build("[Config]\r\nLanguages=RUS,ENU\r\n"),
              Items({"ENU=" + DisplayName(kEnglishUS), "RUS=" + DisplayName(kRussian)}));
    EXPECT_EQ(S(RunState().Language), "ENU");  // not offered: the first item
    EXPECT_EQ(Build("[Config]\r\nLanguages=RUS,deu,ENU\r\n")[0], german);
    EXPECT_EQ(S(RunState().Language), "DEU");
    EXPECT_EQ(Build(""), Items({"ENU=" + DisplayName(kEnglishUS)}));
    EXPECT_EQ(S(RunState().Language), "ENU");
}

}  // namespace
