// The language list against Wine's real locale enumeration. The preselected
// code depends on the user's default language, which Wine takes from LANG.
#include "setup/Languages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/wqRegIni.h"
#include "config/RunState.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"

namespace {

typedef std::vector<std::string> Items;
std::string S(const TStr& s) { return std::string(s.c_str(), s.length()); }

// The system's own display name of a locale, asked for directly.
std::string DisplayName(LCID locale) {
    char name[100];
    return GetLocaleInfoA(locale, LOCALE_SLANGUAGE, name, sizeof name) > 0 ? name : "";
}

std::string UserCode() {
    char code[8];
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, code, sizeof code) ? code : "";
}

Items ItemsOf(const TStrList& list) {
    Items items;
    for (int i = 0; i < list.Count(); ++i) items.push_back(S(list[i]));
    return items;
}

const std::string kEnglish = "ENU=" + DisplayName(0x0409), kRussian = "RUS=" + DisplayName(0x0419),
                  kGerman = "DEU=" + DisplayName(0x0407);

class LanguagesTest : public testing::Test {
protected:
    void TearDown() override {
        ProfileFlushAll();
        RunState() = TRunState();
    }
    // Builds the list from a Tarv.ini with the given text (none when empty).
    Items Build(const std::string& ini) {
        ProfileFlushAll();
        ScratchFolder fresh;
        RunState().IniFileName = (fresh / "Tarv.ini").c_str();
        if (!ini.empty()) WriteBytes(fresh / "Tarv.ini", ini);
        BuildLanguageList();
        ProfileFlushAll();  // before the folder goes
        return ItemsOf(RunState().Languages);
    }
};

// The preselection is that of an English (United States) user.
TEST_F(LanguagesTest, ListsNamesAndPreselection) {
    ASSERT_EQ(kEnglish, "ENU=English (United States)");
    const struct { const char* ini; Items items; const char* language; } cases[] = {
        {"", {kEnglish}, "ENU"},  // no Tarv.ini at all
        {"[Config]\r\nOther=1\r\n", {kEnglish}, "ENU"},  // no Languages key
        {"[Config]\r\nLanguages=RUS,ENU\r\n", {kEnglish, kRussian}, "ENU"},
        {"[Config]\r\nLanguages=enu\r\n", {kEnglish}, "ENU"},  // the system's spelling
        {"[Config]\r\nLanguages=XYZ,,ENU\r\n", {kEnglish, "XYZ="}, "ENU"},
        {"[Config]\r\nLanguages=xyz\r\n", {"xyz="}, "xyz"},  // the author's spelling stays
        {"[Config]\r\nLanguages=RUS, ENU\r\n", {" ENU=", kRussian}, " ENU"},  // names no locale
        {"[Config]\r\nLanguages=RUS,DEU\r\n", {kGerman, kRussian}, "DEU"},
        {"[Config]\r\nLanguages=ENU,ENU\r\n", {"ENU=", kEnglish}, "ENU"},  // only the first gets the name
    };
    if (UserCode() != "ENU") GTEST_SKIP() << "user default is " << UserCode();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        EXPECT_EQ(Build(c.ini), c.items);
        EXPECT_EQ(S(RunState().Language), c.language);
    }
}

TEST_F(LanguagesTest, LocaleEnumProcCompletesTheFirstItemOfTheCode) {
    const struct { const char* locale; Items items; } cases[] = {
        {"409", {kEnglish, "enu=", "RUS="}},
        {"00010409", {kEnglish, "enu=", "RUS="}},  // only the language part counts
        {"00000407", {"enu=", "enu=", "RUS="}},    // DEU is not in the list
        {"zz", {"enu=", "enu=", "RUS="}},          // not hexadecimal: nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale);
        RunState().Languages.Clear();
        for (const char* item : {"enu=", "enu=", "RUS="}) RunState().Languages.Add(item);
        std::string text = c.locale;
        EXPECT_TRUE(LocaleEnumProc(&text[0]));
        EXPECT_EQ(ItemsOf(RunState().Languages), c.items);
    }
}

// Wine reads the user's language from the Unix locale when a process starts,
// so this runs only when the whole program is started that way:
//   LANG=de_DE.UTF-8 LOCPATH=<folder with a localedef-made de_DE.UTF-8> tools/wine-run.sh ...
TEST_F(LanguagesTest, GermanUser) {
    if (UserCode() != "DEU") GTEST_SKIP() << "start with LANG=de_DE.UTF-8 to run this";
    EXPECT_EQ(Build("[Config]\r\nLanguages=RUS,ENU\r\n"), Items({kEnglish, kRussian}));
    EXPECT_EQ(S(RunState().Language), "ENU");  // not offered: the first item
    EXPECT_EQ(Build("[Config]\r\nLanguages=RUS,deu,ENU\r\n")[0], kGerman);
    EXPECT_EQ(S(RunState().Language), "DEU");
    EXPECT_EQ(Build(""), Items({kEnglish}));
    EXPECT_EQ(S(RunState().Language), "ENU");
}

}  // namespace
