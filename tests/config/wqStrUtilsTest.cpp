// Text functions: words, fields, masks, quoting, replacing.
#include <gtest/gtest.h>

#include "support/TestPrint.h"

#include "config/wqStrUtils.h"

namespace {

const TCharSet kComma(",");

struct WordCase {
    const char* text;
    int count;
    const char* second;  // GetWord 2
    int secondStart;     // WordStart 2
};

TEST(WordsTest, RunsOfDelimitersCountAsOneAndBlanksStayInWords) {
    const WordCase cases[] = {
        {"", 0, "", 0},
        {",,,", 0, "", 0},
        {"a,,b", 2, "b", 4},
        {",a,b,", 2, "b", 4},
        {"dlg_welcome,,dlg_dir", 2, "dlg_dir", 14},
        {"DLG_WELCOME, DLG_DIR", 2, " DLG_DIR", 13},
        {"one", 1, "", 0},
    };
    for (const WordCase& c : cases) {
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
    struct {
        const char* text;
        int n;
        const char* field;
    } cases[] = {
        {"a,\"b,c\",d", 2, "\"b,c\""},
        {"a,\"b,c\",d", 3, "d"},
        {"a,,b", 2, ""},
        {"a,,b", 3, "b"},
        {"a,,b", 4, ""},
        {"a,,b", 1, "a"},
        {",x", 1, ""},
        {"x", 0, ""},
        {"\"unclosed,still,one", 1, "\"unclosed,still,one"},
        {"a,b\"c,d\"e,f", 2, "b\"c,d\"e"},
        {"a,b\"c,d\"e,f", 3, "f"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " #" << c.n);
        EXPECT_EQ(GetField(c.n, c.text, kComma), c.field);
    }
}

TEST(MaskMatchTest, MatchesLikeFileMasksWithDotAsOrdinaryCharacter) {
    struct {
        const char* name;
        const char* mask;
        bool ignoreCase;
        bool match;
    } cases[] = {
        {"setup.exe", "*.EXE", true, true},
        {"setup.exe", "*.EXE", false, false},
        {"readme.txt", "read??.*", true, true},
        {"README", "*.*", true, false},
        {"anything", "*", false, true},
        {"anything", "**", false, true},
        {"", "*", false, true},
        {"", "", false, true},
        {"", "a*", false, false},
        {"a", "", false, false},
        {"ab", "a*ab", false, false},
        {"aab", "a*ab", false, true},
        {"abcabd", "*abd", false, true},
        {"Data\\sub\\a.txt", "Data\\*.*", true, true},
        {"Presetup\\Tarv.ini", "Presetup\\*.*", true, true},
        {"Presetupx\\Tarv.ini", "Presetup\\*.*", true, false},
        {"abc", "abc*", false, true},
        {"abc", "ab", false, false},
        {"ab", "abc", false, false},
        {"abXcdYef", "ab*cd*ef", false, true},
        {"abXcdYeg", "ab*cd*ef", false, false},
        {"a.b.c", "*.?", false, true},
        {"x", "?", false, true},
        {"xy", "?", false, false},
        // middle segments take their first occurrence, without back-tracking
        {"axbxc", "a*x*c", false, true},
        {"abab", "*ab*b", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name << " ~ " << c.mask);
        EXPECT_EQ(MaskMatch(c.name, c.mask, c.ignoreCase), c.match);
    }
}

TEST(PosWithWildcardTest, QuestionMarkMatchesAnyOneCharacter) {
    EXPECT_EQ(PosWithWildcard("b?d", "abcd"), 2);
    EXPECT_EQ(PosWithWildcard("cd", "abcd"), 3);
    EXPECT_EQ(PosWithWildcard("", "abcd"), 0);
    EXPECT_EQ(PosWithWildcard("????x", "abcd"), 0);
    EXPECT_EQ(PosWithWildcard("?", ""), 0);
    EXPECT_EQ(PosWithWildcard("x", "abcd"), 0);
}

TEST(TextTest, ReplaceDeletePadAndSlices) {
    EXPECT_EQ(ReplaceAllText("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAllText("a%x%b%x%", "%x%", "%x%%x%"), "a%x%%x%b%x%%x%");
    EXPECT_EQ(ReplaceAllText("abc", "", "z"), "abc");
    // a search text with a NUL byte inside is compared over its whole length
    EXPECT_EQ(ReplaceAllText(TStr("\x01", 1), TStr("\x01\0", 2), "z"), TStr("\x01", 1));
    EXPECT_EQ(ReplaceAllText(TStr("a\0b\0", 4), TStr("\0", 1), "-"), "a-b-");
    EXPECT_EQ(DeleteChars("a-b--c", '-'), "abc");
    EXPECT_EQ(PadLeft('0', "7", 3), "007");
    EXPECT_EQ(PadLeft('0', "1234", 3), "1234");
    EXPECT_EQ(LeftText("abc", 2), "ab");
    EXPECT_EQ(LeftText("abc", 9), "abc");
    EXPECT_EQ(LeftText("abc", -1), "");
    EXPECT_EQ(RightText("abc", 2), "bc");
    EXPECT_EQ(RightText("abc", 0), "");
    EXPECT_EQ(NamePart("Key=Val=ue"), "Key");
    EXPECT_EQ(ValuePart("Key=Val=ue"), "Val=ue");
    EXPECT_EQ(NamePart("NoEquals"), "NoEquals");
    EXPECT_EQ(ValuePart("NoEquals"), "");
}

TEST(TextTest, UnquoteAndCutAtStar) {
    EXPECT_EQ(Unquote("\"a \"\"b\"\" c\" tail", '"'), "a \"b\" c");
    EXPECT_EQ(Unquote("\"open to end", '"'), "open to end");
    EXPECT_EQ(Unquote("plain \"x\"", '"'), "plain \"x\"");
    EXPECT_EQ(Unquote("", '"'), "");
    TStr text = "Data\\*.txt";
    EXPECT_EQ(CutAtStar(text), 6);
    EXPECT_EQ(text, "Data\\");
    TStr none = "abc";
    EXPECT_EQ(CutAtStar(none), 0);
    EXPECT_EQ(none, "abc");
}

int CharWidth(void*, const TStr& text) { return (int)text.length() * 10; }

TEST(WrapTextTest, BreaksBetweenWordsAndNeverInsideOne) {
    EXPECT_EQ(WrapText("", 100, CharWidth, nullptr), "");
    EXPECT_EQ(WrapText("aaaa bbbb cccc", 90, CharWidth, nullptr), "aaaa bbbb\r\ncccc");
    EXPECT_EQ(WrapText("aaaa bbbb cccc", 89, CharWidth, nullptr), "aaaa\r\nbbbb\r\ncccc");
    EXPECT_EQ(WrapText("averyveryverylongword x", 30, CharWidth, nullptr),
              "averyveryverylongword\r\nx");
    EXPECT_EQ(WrapText("  spaced   out  ", 1000, CharWidth, nullptr), "spaced out");
}

}  // namespace
