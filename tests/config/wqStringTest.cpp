// The string and Name=Value list types every module uses.
#include <gtest/gtest.h>

#include <string>

#include "config/wqString.h"
#include "support/TestPrint.h"

namespace {

TEST(TStrTest, AppendsFromItselfAndKeepsEmbeddedBytes) {
    TStr s = "0123456789abcdef";  // fills its first buffer
    TStr behind = "x";            // allocated next to it, so that growing moves it
    s.append(s.c_str() + 8, 8);   // a slice of itself, across the move
    s += s;
    EXPECT_EQ(s, "0123456789abcdef89abcdef0123456789abcdef89abcdef");
    s = s.c_str() + 40;  // assignment from its own buffer
    EXPECT_EQ(s, "89abcdef");
    s = TStr();  // an empty text leaves no trace of the old one
    EXPECT_STREQ(s.c_str(), "");
    TStr bytes("a\0b", 3);
    EXPECT_EQ(bytes.length(), 3u);
    EXPECT_NE(bytes, TStr("a"));
}

TEST(TStrTest, SlicesSearchesAndEdits) {
    TStr s = "Data\\sub\\a.txt";
    EXPECT_EQ(s.find('\\'), 4);
    EXPECT_EQ(s.rfind('\\'), 8);
    EXPECT_EQ(s.find("sub"), 5);
    EXPECT_EQ(s.find("txt"), 11);  // a match that ends the text
    EXPECT_EQ(s.find("zzz"), -1);
    EXPECT_EQ(s.find('x', 99), -1);
    EXPECT_EQ(s.substr(9), "a.txt");
    EXPECT_EQ(s.substr(99), "");
    EXPECT_EQ(s.substr(0, 99), s);
    s.erase(4, 4);
    s.insert(0, ">>", 2);
    EXPECT_EQ(s, ">>Data\\a.txt");
    EXPECT_STREQ(TStr().c_str(), "");
    EXPECT_EQ(TStr().last(), '\0');
}

TEST(TStrTest, FormatsTheDirectivesTheSystemUses) {
    EXPECT_EQ(Format("Cannot open file %s", "C:\\x.ini"), "Cannot open file C:\\x.ini");
    EXPECT_EQ(Format("%d.%.2d|%s.%.4d", 4, 1, "4.10", 1998), "4.01|4.10.1998");
    EXPECT_EQ(Format("%d|%u|%x|%%", -42, 42u, 255u), "-42|42|ff|%");
    EXPECT_EQ(IntToStr(-2147483647L - 1), "-2147483648");
    EXPECT_EQ(IntToStr(0), "0");
}

TEST(TStrTest, CaseRules) {
    EXPECT_TRUE(SameText("Config", "CONFIG"));
    EXPECT_FALSE(SameText("Config", "Config "));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
    EXPECT_EQ(CompareText("abc", "ABC"), 0);
    EXPECT_GT(CompareText("b", "A"), 0);
    EXPECT_EQ(UpperText("a1z_"), "A1Z_");
}

TEST(TStrListTest, NameLookupsIgnoreCaseAndTakeTheFirstItem) {
    TStrList list = ListOf({"Path=C:\\A", "path=C:\\B", "NoValue", "=empty name"});
    EXPECT_EQ(list.IndexOfName("PATH"), 0);
    EXPECT_EQ(list.Value("Path"), "C:\\A");
    EXPECT_EQ(list.IndexOfName("NoValue"), -1);  // no "=": no name
    EXPECT_EQ(list.IndexOfName(""), 3);
    EXPECT_EQ(list.IndexOf("novalue"), 2);
    list.SetValue("PATH", "D:\\");
    list.SetValue("New", "");
    EXPECT_EQ(list[0] + "|" + list[1] + "|" + list[4], "PATH=D:\\|path=C:\\B|New=");
}

TEST(TStrListTest, InsertDeleteCopyStableSortAndGrowth) {
    TStrList list = ListOf({"DEU=German", "enu=x", "ENU=x", "Abc=", "rus=Russian"});
    list.Insert(0, list[4]);  // an item of the list itself
    EXPECT_EQ(list.Count(), 6);
    list.Delete(0);
    list.Delete(99);
    TStrList copy = list;
    copy.Sort();
    std::string order;
    for (int i = 0; i < copy.Count(); ++i) order += std::string(copy[i].c_str()) + ";";
    EXPECT_EQ(order, "Abc=;DEU=German;enu=x;ENU=x;rus=Russian;");
    EXPECT_EQ(list[0], "DEU=German");  // the original is untouched
    copy.AddAll(copy);  // onto itself: each item once more
    EXPECT_EQ(copy.Count(), 10);
    list.Clear();
    for (int i = 0; i < 5000; ++i) list.Add(IntToStr(i) + "=" + IntToStr(i * 2));
    for (int i = 0; i < 2500; ++i) list.Delete(0);
    EXPECT_EQ(list.Count(), 2500);
    EXPECT_EQ(list.Value("4999"), "9998");
    EXPECT_EQ(list[0], "2500=5000");
}

}  // namespace
