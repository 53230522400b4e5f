// The string and Name=Value list types every module uses.
#include <gtest/gtest.h>

#include <string>

#include "config/wqString.h"
#include "support/TestPrint.h"

namespace {

TEST(TStrTest, AppendsFromItselfAndKeepsEmbeddedBytes) {
    TStr s = "abc";
    s += s;
    EXPECT_EQ(s, "abcabc");
    s.append(s.c_str() + 1, 2);  // a slice of itself, across a reallocation
    EXPECT_EQ(s, "abcabcbc");
    TStr bytes("a\0b", 3);
    EXPECT_EQ(bytes.length(), 3u);
    EXPECT_NE(bytes, TStr("a"));
    s = s.c_str() + 3;  // assignment from its own buffer
    EXPECT_EQ(s, "abcbc");
}

TEST(TStrTest, SlicesSearchesAndEdits) {
    TStr s = "Data\\sub\\a.txt";
    EXPECT_EQ(s.find('\\'), 4);
    EXPECT_EQ(s.rfind('\\'), 8);
    EXPECT_EQ(s.find("sub"), 5);
    EXPECT_EQ(s.find("zzz"), -1);
    EXPECT_EQ(s.find('x', 99), -1);
    EXPECT_EQ(s.substr(9), "a.txt");
    EXPECT_EQ(s.substr(99), "");
    EXPECT_EQ(s.substr(0, 99), s);
    s.erase(4, 4);
    EXPECT_EQ(s, "Data\\a.txt");
    s.insert(0, ">>", 2);
    EXPECT_EQ(s, ">>Data\\a.txt");
    TStr e;
    EXPECT_STREQ(e.c_str(), "");
    EXPECT_EQ(e.last(), '\0');
}

TEST(TStrTest, FormatsTheDirectivesTheSystemUses) {
    EXPECT_EQ(Format("Cannot open file %s", "C:\\x.ini"), "Cannot open file C:\\x.ini");
    EXPECT_EQ(Format("%d.%.2d", 4, 1), "4.01");
    EXPECT_EQ(Format("%s.%.4d", "4.10", 1998), "4.10.1998");
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
    TStrList list;
    list.Add("Path=C:\\A");
    list.Add("path=C:\\B");
    list.Add("NoValue");
    list.Add("=empty name");
    EXPECT_EQ(list.IndexOfName("PATH"), 0);
    EXPECT_EQ(list.Value("Path"), "C:\\A");
    EXPECT_EQ(list.IndexOfName("NoValue"), -1);  // no "=": no name
    EXPECT_EQ(list.IndexOfName(""), 3);
    EXPECT_EQ(list.IndexOf("novalue"), 2);
    list.SetValue("PATH", "D:\\");
    EXPECT_EQ(list[0], "PATH=D:\\");
    EXPECT_EQ(list[1], "path=C:\\B");
    list.SetValue("New", "");
    EXPECT_EQ(list[4], "New=");
}

TEST(TStrListTest, InsertDeleteCopyAndStableSort) {
    TStrList list;
    for (const char* s : {"DEU=German", "enu=x", "ENU=x", "Abc=", "rus=Russian"}) list.Add(s);
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
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(TStrListTest, ManyItemsStayIntact) {
    TStrList list;
    for (int i = 0; i < 5000; ++i) list.Add(IntToStr(i) + "=" + IntToStr(i * 2));
    for (int i = 0; i < 2500; ++i) list.Delete(0);
    EXPECT_EQ(list.Count(), 2500);
    EXPECT_EQ(list.Value("4999"), "9998");
    EXPECT_EQ(list[0], "2500=5000");
}

}  // namespace
