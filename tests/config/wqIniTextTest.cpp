// The INI syntax: line rules, options, duplicate sections, written layout.
// These rules are owned here; the file and profile layers are not tested for them again.
#include <gtest/gtest.h>

#include <string>

#include "config/wqIniText.h"
#include "support/TestPrint.h"

namespace {

// "[name]" then its lines, one per row, for every section.
std::string Dump(const TSectionList& sections) {
    std::string out;
    for (int s = 0; s < sections.Count(); ++s) {
        out += "[" + std::string(sections.Name(s).c_str()) + "]";
        for (int i = 0; i < sections.Lines(s).Count(); ++i)
            out += "|" + std::string(sections.Lines(s)[i].c_str(), sections.Lines(s)[i].length());
        out += "\n";
    }
    return out;
}

std::string Parse(const std::string& text, const TIniOptions& options = kIniDefaultOptions, size_t piece = 0) {
    TSectionList sections;
    TIniLoader loader(sections, options);
    if (piece == 0) piece = text.size() ? text.size() : 1;
    for (size_t at = 0; at < text.size(); at += piece)
        loader.Feed(text.data() + at, std::min(piece, text.size() - at));
    loader.Finish();
    sections.RemoveDuplicateSections();
    return Dump(sections);
}

TEST(IniLinesTest, KeyLinesWithAllOptions) {
    const struct { const char *line, *stored; } cases[] = {  // stored "" : dropped
        {"Key = \"a b\"", "Key=a b"}, {"Key=\"a\" \"b\"", "Key=a\" \"b"}, {"Key=\"", "Key=\""},
        {"Key='a\"", "Key='a\""},     {"Key='a'", "Key=a"},               {"Key=''", "Key="},
        {"  = value", "= value"},     {"\t =\tx", "=\tx"},                {"  Name  =  v  ", "  Name=v"},
        {"Name\t=\t", "Name="},       {"  ;not a comment", ""},           {"no equals here", ""},
        {"k=v\x01\x02 ", "k=v"},      {"a=b=c", "a=b=c"},
        {"k=\xE9t\xE9", "k=\xE9t\xE9"},  // high bytes are not control characters
    };
    for (const auto& c : cases) {
        std::string want = std::string("[S]") + (*c.stored ? std::string("|") + c.stored : "") + "\n";
        EXPECT_EQ(Parse(std::string("[S]\r\n") + c.line + "\r\n"), want) << c.line;
    }
}

TEST(IniLinesTest, HeadersCommentsAndStrayLines) {
    EXPECT_EQ(Parse("a=1\r\n[Config]  \r\nb=2\r\n"), "");  // no header at all: all dropped
    EXPECT_EQ(Parse("[A]\r\nx=1\r\n[Config] \r\ny=2\r\n"), "[A]|x=1|y=2\n");
    EXPECT_EQ(Parse("[ Config ]\r\nx=1\r\n"), "[ Config ]|x=1\n");
    EXPECT_EQ(Parse("[A]\r\n;a=b\r\n;\r\n\x1A\r\n\r\nc=d"), "[A]|c=d\n");
    EXPECT_EQ(Parse("[]\r\n=x\r\n"), "[]|=x\n");
    EXPECT_EQ(Parse("[A] ; note\r\nx=1\r\n"), "");
    EXPECT_EQ(Parse("[A]\r\nk=v ; note\r\n"), "[A]|k=v ; note\n");  // a comment after text is text
}

TEST(IniLinesTest, LineEndsAreCarriageReturnsOnly) {
    EXPECT_EQ(Parse("[A]\nx=1\ny=2\n"), "");  // one line: "[A]x=1y=2" is no header
    EXPECT_EQ(Parse("[A]\rx=1\ry=2"), "[A]|x=1|y=2\n");
    EXPECT_EQ(Parse("[A]\r\nx=1\n\ny=2\r\n"), "[A]|x=1y=2\n");
    EXPECT_EQ(Parse("[A]\r\n\nk=\nv\r\n"), "[A]|k=v\n");
}

TEST(IniLinesTest, OptionsOffKeepTheTextAsItIs) {
    const TIniOptions none = {false, false, false, false, false};
    EXPECT_EQ(Parse("[A]\r\n;c\r\n k = \"v\" \r\nbare\r\n", none), "[A]|;c| k = \"v\" |bare\n");
    TIniOptions keepQuotes = kIniDefaultOptions;
    keepQuotes.StripQuotes = false;
    EXPECT_EQ(Parse("[A]\r\nk = \"v\"\r\n", keepQuotes), "[A]|k=\"v\"\n");
}

TEST(IniLinesTest, ChunkBoundariesDoNotChangeTheResult) {
    const std::string text = "[A]\r\n k = \"1\"\r\n;c\r\n[B]\nq\r\nz=2\r\n\r\n[a]\r\nlost=1\r\n";
    // "[B]\nq" is one line "[B]q": no header, no "=", dropped
    EXPECT_EQ(Parse(text), "[A]| k=1|z=2\n");
    for (size_t piece = 1; piece < 8; ++piece) EXPECT_EQ(Parse(text, kIniDefaultOptions, piece), Parse(text));
}

TEST(SectionListTest, FirstOfEqualNamesSurvivesAndSearchIsCircular) {
    EXPECT_EQ(Parse("[A]\r\nx=1\r\n[B]\r\ny=2\r\n[a]\r\nz=3\r\n[b]\r\n[A]\r\nw=4\r\n"), "[A]|x=1\n[B]|y=2\n");
    TSectionList list;
    for (const char* name : {"One", "Two", "Three"}) list.Add(name);
    EXPECT_EQ(list.IndexOf("three"), 2);
    EXPECT_EQ(list.IndexOf("ONE"), 0);  // found behind the last hit
    EXPECT_EQ(list.IndexOf("Four"), -1);
    list.Delete(2);
    list.LastFound = 5;  // past the end after a delete
    EXPECT_EQ(list.IndexOf("Two"), 1);
}

TEST(IniLayoutTest, WritesNonEmptySectionsWithCrLfAndABlankLine) {
    TSectionList list;
    list.Lines(list.Add("A")).Add("k=1");
    list.Lines(list.Add("A")).Add("k=2");
    list.Add("Empty");
    list.Lines(list.Add("B")).Add("=x");
    list.Lines(list.Add("C")).Add("no equals");
    EXPECT_EQ(IniLayout(list), "[A]\r\nk=1\r\n\r\n[A]\r\nk=2\r\n\r\n[B]\r\n=x\r\n\r\n[C]\r\nno equals\r\n\r\n");
}

TEST(IniLoadTest, HugeAndHostileInputsLoadInLinearTime) {
    // 100,000 sections, half of them duplicates of the other half
    std::string many;
    for (int i = 0; i < 100000; ++i) many += "[S" + std::to_string(i % 50000) + "]\rk=" + std::to_string(i) + "\r";
    TSectionList sections;
    TIniLoader loader(sections, kIniDefaultOptions);
    loader.Feed(many.data(), many.size());
    loader.Finish();
    EXPECT_TRUE(sections.RemoveDuplicateSections());
    ASSERT_EQ(sections.Count(), 50000);
    EXPECT_EQ(sections.Lines(49999)[0], "k=49999");
    // a 10 MB line of blanks before "=", and NUL bytes kept as text
    EXPECT_EQ(Parse("[A]\r\nk" + std::string(10 << 20, ' ') + "= v\r\n"), "[A]|k=v\n");
    EXPECT_EQ(Parse(std::string("[A]\r\nz=a\0b\r\nn\0=1\r\n", 19)), std::string("[A]|z=a\0b|n\0=1\n", 15));
}

}  // namespace
