// Text functions: words, fields, masks, quoting, replacing, wrapping.
#include <gtest/gtest.h>

#include "support/TestPrint.h"

#include "config/wqStrUtils.h"

namespace {

const TCharSet kComma(",");

TEST(WordsTest, RunsOfDelimitersCountAsOneAndBlanksStayInWords) {
    const struct { const char* text; int count; const char* second; int secondStart; } cases[] = {
        {"", 0, "", 0},          {",,,", 0, "", 0},  {"a,,b", 2, "b", 4}, {",a,b,", 2, "b", 4},
        {"dlg_welcome,,dlg_dir", 2, "dlg_dir", 14}, {"DLG_WELCOME, DLG_DIR", 2, " DLG_DIR", 13},
        {"one", 1, "", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(CountWords(c.text, kComma), c.count);
        EXPECT_EQ(GetWord(2, c.text, kComma), c.second);
        EXPECT_EQ(WordStart(2, c.text, kComma), c.secondStart);
    }
    EXPECT_EQ(GetWord(0, "a,b", kComma), "");
    EXPECT_EQ(GetWord(-1, "a,b", kComma), "");
    EXPECT_EQ(GetWord(1, ",a,b", kComma), "a");
}

TEST(FieldsTest, EverySingleDelimiterOutsideQuotesEndsAField) {
    const struct { const char* text; int n; const char* field; } cases[] = {
        {"a,\"b,c\",d", 2, "\"b,c\""}, {"a,\"b,c\",d", 3, "d"}, {"a,,b", 1, "a"}, {"a,,b", 2, ""},
        {"a,,b", 3, "b"}, {"a,,b", 4, ""}, {",x", 1, ""}, {"x", 0, ""},
        {"\"unclosed,still,one", 1, "\"unclosed,still,one"},
        {"a,b\"c,d\"e,f", 2, "b\"c,d\"e"}, {"a,b\"c,d\"e,f", 3, "f"},
    };
    for (const auto& c : cases) EXPECT_EQ(GetField(c.n, c.text, kComma), c.field) << c.text << " #" << c.n;
}

TEST(MaskMatchTest, MatchesLikeFileMasksWithDotAsOrdinaryCharacter) {
    const struct { const char *name, *mask; bool ignoreCase, match; } cases[] = {
        {"setup.exe", "*.EXE", true, true},         {"setup.exe", "*.EXE", false, false},
        {"readme.txt", "read??.*", true, true},      {"README", "*.*", true, false},
        {"anything", "*", false, true},              {"anything", "**", false, true},
        {"", "*", false, true},                      {"", "", false, true},
        {"", "a*", false, false},                    {"a", "", false, false},
        {"ab", "a*ab", false, false},                {"aab", "a*ab", false, true},
        {"abcabd", "*abd", false, true},             {"Data\\sub\\a.txt", "Data\\*.*", true, true},
        {"Presetup\\Tarv.ini", "Presetup\\*.*", true, true}, {"Presetupx\\Tarv.ini", "Presetup\\*.*", true, false},
        {"abc", "abc*", false, true},                {"abc", "ab", false, false},
        {"ab", "abc", false, false},                 {"abXcdYef", "ab*cd*ef", false, true},
        {"abXcdYeg", "ab*cd*ef", false, false},      {"a.b.c", "*.?", false, true},
        {"x", "?", false, true},                     {"xy", "?", false, false},
        // middle segments take their first occurrence, without back-tracking
        {"axbxc", "a*x*c", false, true},             {"abab", "*ab*b", false, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MaskMatch(c.name, c.mask, c.ignoreCase), c.match) << c.name << " ~ " << c.mask;
}

TEST(PosWithWildcardTest, QuestionMarkMatchesAnyOneCharacter) {
    const struct { const char* pattern; int pos; } cases[] = {
        {"b?d", 2}, {"cd", 3}, {"", 0}, {"????x", 0}, {"x", 0}};
    for (const auto& c : cases) EXPECT_EQ(PosWithWildcard(c.pattern, "abcd"), c.pos) << c.pattern;
    EXPECT_EQ(PosWithWildcard("?", ""), 0);
}

TEST(TextTest, ReplaceDeletePadAndSlices) {
    EXPECT_EQ(ReplaceAllText("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAllText("a%x%b%x%", "%x%", "%x%%x%"), "a%x%%x%b%x%%x%");
    EXPECT_EQ(ReplaceAllText("abc", "", "z"), "abc");
    // a search text with a NUL byte inside is compared over its whole length
    EXPECT_EQ(ReplaceAllText(TStr("\x01", 1), TStr("\x01\0", 2), "z"), TStr("\x01", 1));
    EXPECT_EQ(ReplaceAllText(TStr("a\0b\0", 4), TStr("\0", 1), "-"), "a-b-");
    EXPECT_EQ(DeleteChars("a-b--c", '-'), "abc");
    EXPECT_EQ(PadLeft('0', "7", 3) + PadLeft('0', "1234", 3), "0071234");
    EXPECT_EQ(LeftText("abc", 2) + "|" + LeftText("abc", 9) + "|" + LeftText("abc", -1), "ab|abc|");
    EXPECT_EQ(RightText("abc", 2) + "|" + RightText("abc", 0), "bc|");
    EXPECT_EQ(NamePart("Key=Val=ue") + "|" + ValuePart("Key=Val=ue"), "Key|Val=ue");
    EXPECT_EQ(NamePart("NoEquals") + "|" + ValuePart("NoEquals"), "NoEquals|");
}

TEST(TextTest, UnquoteAndCutAtStar) {
    EXPECT_EQ(Unquote("\"a \"\"b\"\" c\" tail", '"'), "a \"b\" c");
    EXPECT_EQ(Unquote("\"open to end", '"'), "open to end");
    EXPECT_EQ(Unquote("plain \"x\"", '"'), "plain \"x\"");
    EXPECT_EQ(Unquote("", '"'), "");
    TStr text = "Data\\*.txt", none = "abc";
    EXPECT_EQ(CutAtStar(text), 6);
    EXPECT_EQ(text, "Data\\");
    EXPECT_EQ(CutAtStar(none), 0);
    EXPECT_EQ(none, "abc");
}

int CharWidth(void*, const TStr& text) { return (int)text.length() * 10; }

TEST(WrapTextTest, BreaksBetweenWordsAndNeverInsideOne) {
    const struct { const char* text; int width; const char* wrapped; } cases[] = {
        {"", 100, ""},
        {"aaaa bbbb cccc", 90, "aaaa bbbb\r\ncccc"},  // exactly as wide as allowed
        {"aaaa bbbb cccc", 89, "aaaa\r\nbbbb\r\ncccc"},
        {"averyveryverylongword x", 30, "averyveryverylongword\r\nx"},
        {"  spaced   out  ", 1000, "spaced out"},
    };
    for (const auto& c : cases) EXPECT_EQ(WrapText(c.text, c.width, CharWidth, nullptr), c.wrapped) << c.text;
}

#ifdef _WIN32
// Measuring and wrapping on a real device context (Windows builds only).
TEST(WrapToWidthTest, EveryLineFitsUnlessItIsOneWord) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    SelectObject(dc, GetStockObject(SYSTEM_FONT));
    const TStr text = "The quick brown fox jumps over the lazy dog and an extraordinarilylongwordthatcannotfit";
    const int width = TextExtentOnDC(dc, "The quick brown").cx;
    const TStr wrapped = WrapToWidth(dc, text, width) + "\r\n";
    int count = 0;
    for (long at = 0, end; (end = wrapped.find("\r\n", (size_t)at)) >= 0; at = end + 2, ++count) {
        TStr line = wrapped.substr((size_t)at, (size_t)(end - at));
        if (line.find(' ') >= 0) EXPECT_LE(TextExtentOnDC(dc, line).cx, width) << line.c_str();
    }
    EXPECT_GE(count, 4);
    EXPECT_EQ(ReplaceAllText(wrapped, "\r\n", " "), text + " ");  // nothing lost, nothing added
    EXPECT_EQ(TextExtentOnDC(dc, "").cx, 0);
    DeleteDC(dc);
}

TEST(TextExtentOfWindowTest, UsesTheWindowsOwnFont) {
    HWND edit = CreateWindowA("EDIT", "", WS_POPUP, 0, 0, 100, 20, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    SendMessageA(edit, WM_SETFONT, (WPARAM)GetStockObject(ANSI_FIXED_FONT), FALSE);
    const long one = TextExtentOfWindow(edit, "i").cx;
    EXPECT_GT(one, 0);
    EXPECT_EQ(TextExtentOfWindow(edit, "iiiiiiiiii").cx, 10 * one);
    EXPECT_EQ(TextExtentOfWindow(edit, "W").cx, one);  // a fixed-pitch font: the window's, not the DC's default
    DestroyWindow(edit);
}
#endif

}  // namespace
