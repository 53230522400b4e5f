// The language list against Wine's real locale enumeration. The preselected
// code depends on the user's default language, which Wine takes from LANG.
#include "setup/Languages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/RunState.h"
#include "config/wqErrors.h"
#include "config/wqRegIni.h"
#include "support/TestPrint.h"
#include "support/WinTestSupport.h"

namespace {

typedef std::vector<std::string> Items;

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
    for (int i = 0; i < list.Count(); ++i) items.push_back(list[i].c_str());
    return items;
}

const std::string kEnglish = "ENU=" + DisplayName(0x0409), kRussian = "RUS=" + DisplayName(0x0419),
                  kGerman = "DEU=" + DisplayName(0x0407), kDanish = "DAN=" + DisplayName(0x0406);

class LanguagesTest : public testing::Test {
protected:
    void TearDown() override {
        (void)ProfileFlushAll();
        RunState() = TRunState();
    }
    // Builds the list from a Tarv.ini with the given text (none when empty).
    Items Build(const std::string& ini) {
        EXPECT_TRUE(ProfileFlushAll());
        RunState().IniFileName = (folder / "Tarv.ini").c_str();
        DeleteFileA((folder / "Tarv.ini").c_str());
        if (!ini.empty()) WriteBytes(folder / "Tarv.ini", ini);
        EXPECT_TRUE(BuildLanguageList());
        return ItemsOf(RunState().Languages);
    }
    ScratchFolder folder;
};

// The preselection is that of an English (United States) user.
TEST_F(LanguagesTest, ListsNamesAndPreselection) {
    if (UserCode() != "ENU") GTEST_SKIP() << "user default is " << UserCode();
    ASSERT_EQ(kEnglish, "ENU=English (United States)");
    const struct { const char* ini; Items items; const char* language; } cases[] = {
        {"", {kEnglish}, "ENU"},                         // no Tarv.ini at all
        {"[Config]\r\nOther=1\r\n", {kEnglish}, "ENU"},  // no Languages key
        {"[Config]\r\nLanguages=RUS,DEU,ENU\r\n", {kGerman, kEnglish, kRussian}, "ENU"},  // the user's, not the first
        {"[Config]\r\nLanguages=enu\r\n", {kEnglish}, "ENU"},  // the system's spelling
        {"[Config]\r\nLanguages=XYZ,,ENU\r\n", {kEnglish, "XYZ="}, "ENU"},
        {"[Config]\r\nLanguages=xyz\r\n", {"xyz="}, "xyz"},  // the author's spelling stays
        {"[Config]\r\nLanguages=RUS, ENU\r\n", {" ENU=", kRussian}, " ENU"},  // names no locale
        {"[Config]\r\nLanguages=RUS,DEU\r\n", {kGerman, kRussian}, "DEU"},  // not offered: the first
        {"[Config]\r\nLanguages=ENU,ENU\r\n", {"ENU=", kEnglish}, "ENU"},  // only the first gets the name
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ini);
        EXPECT_EQ(Build(c.ini), c.items);
        EXPECT_EQ(RunState().Language, c.language);
    }
}

// Wine reads the user's language from the Unix locale when a process starts,
// so this runs only when the whole program is started that way:
//   LANG=de_DE.UTF-8 LOCPATH=<folder with a localedef-made de_DE.UTF-8> tools/wine-run.sh ...
TEST_F(LanguagesTest, GermanUser) {
    if (UserCode() != "DEU") GTEST_SKIP() << "start with LANG=de_DE.UTF-8 to run this";
    EXPECT_EQ(Build("[Config]\r\nLanguages=RUS,ENU\r\n"), Items({kEnglish, kRussian}));
    EXPECT_EQ(RunState().Language, "ENU");  // not offered: the first item
    EXPECT_EQ(Build("[Config]\r\nLanguages=RUS,deu,DAN\r\n"), Items({kDanish, kGerman, kRussian}));
    EXPECT_EQ(RunState().Language, "DEU");
}

// Completing the items is seen through BuildLanguageList above; here the
// identifiers the enumeration hands over.
TEST_F(LanguagesTest, LocaleEnumProcTakesTheLanguagePartOfTheIdentifier) {
    const struct { const char* locale; Items items; } cases[] = {
        {"00010409", {kEnglish, "enu=", "RUS="}},  // only the language part counts
        {"zz", {"enu=", "enu=", "RUS="}},          // not hexadecimal: nothing
    };
    for (const auto& c : cases) {
        RunState().Languages = ListOf({"enu=", "enu=", "RUS="});
        std::string text = c.locale;
        EXPECT_TRUE(LocaleEnumProc(&text[0]));
        EXPECT_EQ(ItemsOf(RunState().Languages), c.items) << c.locale;
    }
}

// Tarv.ini exists but cannot be opened: the list is not built, the language
// stays, and the profile layer's message arrives unchanged.
TEST_F(LanguagesTest, AnUnreadableTarvIniStopsTheList) {
    RunState().IniFileName = (folder / "Tarv.ini").c_str();
    RunState().Language = "before";
    WriteBytes(folder / "Tarv.ini", "[Config]\r\nLanguages=RUS\r\n");
    HANDLE holder = CreateFileA((folder / "Tarv.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(BuildLanguageList());
    CloseHandle(holder);
    EXPECT_EQ(RunState().Languages.Count(), 0);
    EXPECT_EQ(RunState().Language, "before");
    EXPECT_EQ(TakeError(), "Cannot open file " + RunState().IniFileName);
}

}  // namespace
