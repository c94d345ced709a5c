#include "base/CLStrings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring CommaItems(std::wstring_view aText) {
  TStringList list;
  list.SetCommaText(aText);
  std::wstring joined;
  for (int i = 0; i < list.Count(); ++i)
    joined += L"[" + list.Strings(i) + L"]";
  return joined;
}

} // namespace

TEST(TStringList, NameValueLookupsIgnoreCaseAndUseTheFirstEquals) {
  TStringList list;
  list.Add(L"Name=Fonts");
  list.Add(L"REGITEM_0=\"a\"=dword:00000001");
  list.Add(L"no equals");
  list.Add(L"name=second");
  EXPECT_EQ(list.Values(L"NAME"), L"Fonts");
  EXPECT_EQ(list.Values(L"regitem_0"), L"\"a\"=dword:00000001");
  EXPECT_EQ(list.Values(L"no equals"), L"");
  EXPECT_EQ(list.Names(2), L"");
  EXPECT_EQ(list.IndexOfName(L"REGITEM_0"), 1);
  EXPECT_EQ(list.IndexOfName(L"REGITEM"), -1);
  EXPECT_EQ(list.ValueFromIndex(1), L"\"a\"=dword:00000001");

  list.SetValue(L"NAME", L"Changed");
  EXPECT_EQ(list.Strings(0), L"NAME=Changed");
  EXPECT_EQ(list.Values(L"name"), L"Changed");
  list.SetValue(L"New", L"1");
  EXPECT_EQ(list.Strings(4), L"New=1");
  list.SetValue(L"name", L"");
  EXPECT_EQ(list.Values(L"Name"), L"second");
  EXPECT_EQ(list.Count(), 4);
}

TEST(TStringList, OutOfRangeIsHarmlessAndObjectsRideAlong) {
  TStringList list;
  TObject object;
  EXPECT_EQ(list.AddObject(L"with", &object), 0);
  EXPECT_EQ(list.Add(L"WITHOUT"), 1);
  EXPECT_EQ(list.Objects(0), &object);
  EXPECT_EQ(list.Objects(1), nullptr);
  EXPECT_EQ(list.Objects(2), nullptr);
  EXPECT_EQ(list.Strings(-1), L"");
  EXPECT_EQ(list.IndexOf(L"without"), 1);
  EXPECT_EQ(list.IndexOf(L"absent"), -1);
  list.Delete(7);
  list.SetStrings(7, L"x");
  EXPECT_EQ(list.Text(), L"with\r\nWITHOUT\r\n");
  list.Delete(0);
  EXPECT_EQ(list.Objects(0), nullptr);
  EXPECT_EQ(list.Strings(0), L"WITHOUT");
}

TEST(TStringList, CommaTextSplitsAtCommasAndBlanksWithQuotedItems) {
  EXPECT_EQ(CommaItems(L"a.tmp,b.log"), L"[a.tmp][b.log]");
  EXPECT_EQ(CommaItems(L"  index.dat desktop.ini , thumbs.db "),
            L"[index.dat][desktop.ini][thumbs.db]");
  EXPECT_EQ(CommaItems(L"\"my file.txt\",other"), L"[my file.txt][other]");
  EXPECT_EQ(CommaItems(L"\"say \"\"hi\"\"\""), L"[say \"hi\"]");
  EXPECT_EQ(CommaItems(L"a,,b"), L"[a][][b]");
  EXPECT_EQ(CommaItems(L"a,"), L"[a][]");
  EXPECT_EQ(CommaItems(L"\"open"), L"[open]");
  EXPECT_EQ(CommaItems(L""), L"");
  EXPECT_EQ(CommaItems(L"   "), L"");
  EXPECT_EQ(CommaItems(std::wstring(L"a\0b", 3)), L"[a]");
}
