// Expansion of "||" and %name% references over a table of Name=Value items.
#include <gtest/gtest.h>

#include <string>

#include "support/TestPrint.h"

#include "text/Expand.h"

namespace {

TStrList Table(std::initializer_list<const char*> items) {
    TStrList list;
    for (const char* item : items) list.Add(item);
    return list;
}

TStr Expanded(const TStr& text, const TStrList& table) {
    TStr result = "<untouched>";
    EXPECT_TRUE(ExpandText(text, table, result)) << text.c_str();
    return result;
}

struct ExpandCase {
    const char* text;
    const char* expected;
};

TEST(ExpandTextTest, ReferencesAndLineBreaks) {
    const TStrList table = Table({"ProgramName=Demo", "InstallPath=C:\\Apps\\Demo", "Empty=",
                                  "Bare", "Dup=first", "Dup=second", "a%b=pct", "Path=%InstallPath%\\bin"});
    const ExpandCase cases[] = {
        {"Line one||Line two", "Line one\rLine two"},
        {"|||", "\r|"},
        {"||||", "\r\r"},
        {"%ProgramName% Setup", "Demo Setup"},
        {"%installpath%", "%installpath%"},  // names match case and all
        {"%Unknown% stays", "%Unknown% stays"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"%", "%"},
        {"[%Empty%]", "[]"},
        {"[%Bare%]", "[]"},  // an item without "=" is a name with the empty value
        {"%Dup%", "first"},
        {"%a%b%", "pct"},
        {"%Path%", "C:\\Apps\\Demo\\bin"},
        {"%%ProgramName%%", "%Demo%"},
        {"%ProgramName%%ProgramName%", "DemoDemo"},
        {"", ""},
    };
    for (const ExpandCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(Expanded(c.text, table), c.expected);
    }
}

TEST(ExpandTextTest, LaterItemsWithinThePassEarlierOnesInTheNext) {
    // Dir refers to App (later: same pass) and ProgramFiles (earlier: next pass).
    const TStrList table = Table({"ProgramFiles=C:\\Program Files", "Dir=%ProgramFiles%\\%App%", "App=Demo"});
    EXPECT_EQ(Expanded("%Dir%", table), "C:\\Program Files\\Demo");
    // The line breaks are made before the variables, so "||" inside a value stays.
    EXPECT_EQ(Expanded("%Bars%", Table({"Bars=a||b"})), "a||b");
    EXPECT_EQ(Expanded("%%X%%", Table({"=E", "X=Y"})), "EXE");  // an empty name eats "%%"
}

TEST(ExpandTextTest, SelfAndMutualReferencesThatDoNotGrowStop) {
    EXPECT_EQ(Expanded("%X%", Table({"X=%X%"})), "%X%");
    EXPECT_EQ(Expanded("<%X%>", Table({"X=%Y%", "Y=%X%"})), "<%X%>");
    EXPECT_EQ(Expanded("%Y%", Table({"X=%Y%", "Y=%X%"})), "%X%");
}

TEST(ExpandTextTest, RunawayGivesTheTextWithOnlyItsLineBreaks) {
    const struct {
        const char* text;
        TStrList table;
        const char* returned;
    } cases[] = {
        {"%Loop%", Table({"Loop=x%Loop%"}), "%Loop%"},
        {"a||%Loop%", Table({"Loop=%Loop%x"}), "a\r%Loop%"},
        {"%X%", Table({"X=%X%%X%"}), "%X%"},  // doubles: stopped by the length bound
        // Never grows but never settles: the text alternates between two forms.
        {"%A%", Table({"C=%A%", "B=%C%", "A=%B%"}), "%A%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TStr result;
        EXPECT_FALSE(ExpandText(c.text, c.table, result));
        EXPECT_EQ(result, c.returned);
    }
}

// V0=end, V1=%V0%, ..., Vn=%V(n-1)%: each pass resolves one level of "%Vn%",
// so the text changes in n + 1 passes and pass n + 2 finds nothing to do.
TStrList BackwardChain(int n) {
    TStrList table;
    table.Add("V0=end");
    for (int i = 1; i <= n; ++i) table.Add(Format("V%d=%%V%d%%", i, i - 1));
    return table;
}

TEST(ExpandTextTest, AHundredChangingPassesAreAllowedNotMore) {
    TStr result;
    EXPECT_TRUE(ExpandText("%V98%", BackwardChain(98), result));  // 99 changing passes
    EXPECT_EQ(result, "end");
    EXPECT_FALSE(ExpandText("%V99%", BackwardChain(99), result));  // 100, so a 101st runs
    EXPECT_EQ(result, "%V99%");
}

TEST(ExpandTextTest, ReferencesMadeWithinAPassAreSeenByLaterItems) {
    // The same chain in forward order resolves in a single pass, however long.
    TStrList table;
    for (int i = 300; i >= 1; --i) table.Add(Format("V%d=<%%V%d%%>", i, i - 1));
    table.Add("V0=end");
    TStr expected = "end";
    for (int i = 0; i < 300; ++i) expected = "<" + expected + ">";
    EXPECT_EQ(Expanded("%V300%", table), expected);
}

// Big texts are compared by length and ends, so a failure prints little.
std::string Ends(const TStr& s) {
    std::string t(s.c_str(), s.length());
    return t.size() <= 16 ? t : t.substr(0, 8) + "..." + t.substr(t.size() - 8);
}

TEST(ExpandTextTest, LengthBound) {
    const std::string big(kMaxExpandedLength, 'b');
    TStr result;
    // Growing to exactly the bound is allowed; one character more runs away.
    EXPECT_TRUE(ExpandText("abc%X%", Table({("X=" + big.substr(3)).c_str()}), result));
    EXPECT_EQ(result.length(), kMaxExpandedLength);
    EXPECT_EQ(Ends(result), "abcbbbbb...bbbbbbbb");
    EXPECT_FALSE(ExpandText("abc%X%", Table({("X=" + big.substr(2)).c_str()}), result));
    EXPECT_EQ(result, "abc%X%");

    // A text already past the bound is fine as long as it does not grow.
    const TStrList table = Table({"S=", "Same=%Same%", "G=grows"});
    EXPECT_TRUE(ExpandText((big + "%S%%Same%").c_str(), table, result));
    EXPECT_EQ(result.length(), kMaxExpandedLength + 6);
    EXPECT_EQ(Ends(result), "bbbbbbbb...bb%Same%");
    EXPECT_FALSE(ExpandText((big + "%S%||%G%").c_str(), table, result));
    EXPECT_EQ(result.length(), kMaxExpandedLength + 7);
    EXPECT_EQ(Ends(result), "bbbbbbbb...b%S%\r%G%");
}

TEST(ExpandTextTest, HundredsOfVariablesAndALongText) {
    TStrList table;
    for (int i = 0; i < 500; ++i) table.Add(Format("Name%d=v%d", i, i));
    std::string text, expected;
    for (int i = 0; i < 4000; ++i) {
        int n = (i * 7919) % 500;
        text += "[%Name" + std::to_string(n) + "%|%name" + std::to_string(n) + "%]";
        expected += "[v" + std::to_string(n) + "|%name" + std::to_string(n) + "%]";
    }
    EXPECT_EQ(Expanded(text.c_str(), table), expected.c_str());
}

}  // namespace
