// Expansion of "||" and %name% references over a table of Name=Value items.
#include <gtest/gtest.h>

#include <string>

#include "support/TestPrint.h"
#include "text/Expand.h"

namespace {

TEST(ExpandTextTest, Rules) {
    const TStrList table = ListOf({"ProgramName=Demo", "InstallPath=C:\\Apps\\Demo", "Empty=", "Bare",
                                  "Dup=first", "Dup=second", "a%b=pct", "Path=%InstallPath%\\bin"});
    const struct { const char* text; TStrList table; const char* result; bool ok; } cases[] = {
        {"Line one||Line two", table, "Line one\rLine two", true},
        {"|||", table, "\r|", true},
        {"%ProgramName% Setup", table, "Demo Setup", true},
        {"%installpath%", table, "%installpath%", true},  // names match case and all
        {"%Unknown% 100%", table, "%Unknown% 100%", true},
        {"%%", table, "%%", true},
        {"[%Empty%%Bare%]", table, "[]", true},  // an item without "=" has the empty value
        {"%Dup%", table, "first", true},
        {"%a%b%", table, "pct", true},
        {"%Path%", table, "C:\\Apps\\Demo\\bin", true},
        {"%%ProgramName%%", table, "%Demo%", true},
        {"", table, "", true},
        // Dir refers to App (later: same pass) and ProgramFiles (earlier: next pass).
        {"%Dir%", ListOf({"ProgramFiles=C:\\PF", "Dir=%ProgramFiles%\\%App%", "App=Demo"}), "C:\\PF\\Demo", true},
        {"%Bars%", ListOf({"Bars=a||b"}), "a||b", true},  // line breaks are made first
        {"%%X%%", ListOf({"=E", "X=Y"}), "EXE", true},   // an empty name eats "%%"
        // References that do not grow stop; runaways give the text with its line breaks.
        {"%X%", ListOf({"X=%X%"}), "%X%", true},
        {"<%X%>", ListOf({"X=%Y%", "Y=%X%"}), "<%X%>", true},
        {"%Y%", ListOf({"X=%Y%", "Y=%X%"}), "%X%", true},
        {"%Loop%", ListOf({"Loop=x%Loop%"}), "%Loop%", false},
        {"a||%Loop%", ListOf({"Loop=%Loop%x"}), "a\r%Loop%", false},
        {"%X%", ListOf({"X=%X%%X%"}), "%X%", false},            // doubles: stopped by the length bound
        {"%A%", ListOf({"C=%A%", "B=%C%", "A=%B%"}), "%A%", false},  // alternates, never settles
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TStr result = "<untouched>";
        EXPECT_EQ(ExpandText(c.text, c.table, result), c.ok);
        EXPECT_EQ(result, c.result);
    }
}

// V0=end, Vi=%V(i-1)%: each pass resolves one level of a backward chain, so
// "%Vn%" changes in n + 1 passes. In forward order one pass does it all.
TStrList Chain(int n, bool backward) {
    TStrList table;
    if (backward) table.Add("V0=end");
    for (int i = 1; i <= n; ++i) {
        int k = backward ? i : n + 1 - i;
        table.Add(Format(backward ? "V%d=%%V%d%%" : "V%d=<%%V%d%%>", k, k - 1));
    }
    if (!backward) table.Add("V0=end");
    return table;
}

TEST(ExpandTextTest, PassLimit) {
    TStr result;
    EXPECT_TRUE(ExpandText("%V98%", Chain(98, true), result));  // 99 changing passes
    EXPECT_EQ(result, "end");
    EXPECT_FALSE(ExpandText("%V99%", Chain(99, true), result));  // 100, so a 101st runs
    EXPECT_EQ(result, "%V99%");
    TStr expected = "end";
    for (int i = 0; i < 300; ++i) expected = "<" + expected + ">";
    EXPECT_TRUE(ExpandText("%V300%", Chain(300, false), result));
    EXPECT_EQ(result, expected);
}

// Big texts are compared by length and ends, so a failure prints little.
std::string Ends(const TStr& s) {
    std::string t(s.c_str(), s.length());
    return t.substr(0, 8) + "..." + t.substr(t.size() - 8);
}

TEST(ExpandTextTest, LengthBound) {
    const std::string big(kMaxExpandedLength, 'b');
    TStr result;
    // Growing to exactly the bound is allowed; one character more runs away.
    EXPECT_TRUE(ExpandText("abc%X%", ListOf({("X=" + big.substr(3)).c_str()}), result));
    EXPECT_EQ(result.length(), kMaxExpandedLength);
    EXPECT_EQ(Ends(result), "abcbbbbb...bbbbbbbb");
    EXPECT_FALSE(ExpandText("abc%X%", ListOf({("X=" + big.substr(2)).c_str()}), result));
    EXPECT_EQ(result, "abc%X%");
    // A text already past the bound is fine as long as it does not grow.
    const TStrList table = ListOf({"S=", "Same=%Same%", "G=grows"});
    EXPECT_TRUE(ExpandText((big + "%S%%Same%").c_str(), table, result));
    EXPECT_EQ(result.length(), kMaxExpandedLength + 6);
    EXPECT_FALSE(ExpandText((big + "%S%||%G%").c_str(), table, result));
    EXPECT_EQ(result.length(), kMaxExpandedLength + 7);
    EXPECT_EQ(Ends(result), "bbbbbbbb...b%S%\r%G%");
}

TEST(ExpandTextTest, HundredsOfVariablesAndALongText) {
    TStrList table;
    for (int i = 0; i < 500; ++i) table.Add(Format("Name%d=v%d", i, i));
    std::string text, expected;
    for (int i = 0; i < 4000; ++i) {
        std::string n = std::to_string((i * 7919) % 500);
        text += "[%Name" + n + "%|%name" + n + "%]";
        expected += "[v" + n + "|%name" + n + "%]";
    }
    TStr result;
    EXPECT_TRUE(ExpandText(text.c_str(), table, result));
    EXPECT_EQ(result, expected.c_str());
}

}  // namespace
