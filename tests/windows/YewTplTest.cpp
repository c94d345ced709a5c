#include "windows/YewTpl.h"

#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Fill(TYewTpl& aTpl, const std::wstring& aTemplate) {
  aTpl.SetTpl(aTemplate);
  EXPECT_TRUE(aTpl.MakeHtml()) << aTpl.LastError();
  return aTpl.OutPutHtml();
}

} // namespace

TEST(YewTpl, VariablesIgnoreCaseAndTheFirstValueWins) {
  TYewTpl tpl;
  tpl.SetVar(L"TITLE", L"It\\'s here");
  tpl.SetVar(L"title", L"second");
  EXPECT_EQ(tpl.GetVar(L"", L"Title"), L"It's here");
  EXPECT_EQ(Fill(tpl, L"<h1>{Title}</h1><p>{title} {unset}</p>"),
            L"<h1>It's here</h1><p>It's here </p>\r\n");
  EXPECT_EQ(TYewTpl::InStrRev(L"@row[1]@cell[0]", L"@"), 7);
  EXPECT_EQ(TYewTpl::InStrRev(L"row", L"@"), -1);
}

TEST(YewTpl, BlocksRepeatOncePerInstanceAndFindOuterVariables) {
  TYewTpl tpl;
  tpl.SetVar(L"site", L"K");
  for (const wchar_t* name : {L"a", L"b", L"c"}) {
    tpl.BeginBlock(L"row");
    tpl.SetVar(L"name", name);
    if (std::wstring(name) == L"b") {
      tpl.BeginBlock(L"cell");
      tpl.SetVar(L"v", L"1");
      tpl.EndBlock();
      tpl.BeginBlock(L"cell");
      tpl.SetVar(L"v", L"2");
      tpl.EndBlock();
    }
    tpl.EndBlock(L"row");
  }
  EXPECT_EQ(tpl.Variables().IndexOf(L"@row[1]@cell[0]="), 5);
  EXPECT_EQ(tpl.GetVar(L"@row[1]@cell[1]", L"name"), L"b");

  const std::wstring html =
      Fill(tpl, L"<ul>\n<!-- begin block row --><li>{name}/{site}"
                L"<!-- BEGIN BLOCK cell -->[{v}]<!-- end block cell --></li>\n"
                L"<!-- end block row --></ul>\n<!-- begin block none -->gone {name}"
                L"<!-- end block none -->end");
  EXPECT_EQ(html,
            L"<ul>\r\n<li>a/K</li>\r\n<li>b/K[1][2]</li>\r\n<li>c/K</li>\r\n</ul>\r\nend\r\n");
}

TEST(YewTpl, ABlockThatNeverEndsIsAnErrorNotACutPage) {
  struct TCase {
    const wchar_t* Template;
    const wchar_t* Block;
  };
  const TCase cases[] = {
      {L"a<!-- begin block row -->{v}\nmore text", L"row"},
      {L"a<!-- begin block none -->hidden\nmore text", L"none"},
      {L"a<!-- begin block row --><!-- begin block cell -->x<!-- end block row -->b", L"row"},
  };
  for (const TCase& c : cases) {
    TYewTpl tpl;
    tpl.BeginBlock(L"row");
    tpl.SetVar(L"v", L"1");
    tpl.EndBlock();
    tpl.SetTpl(c.Template);
    EXPECT_FALSE(tpl.MakeHtml()) << c.Template;
    EXPECT_NE(tpl.LastError().find(L"begins block " + std::wstring(c.Block) + L","),
              std::wstring::npos)
        << tpl.LastError();
  }
}

TEST(YewTpl, TemplatesBeyondTheFillersLimitsGiveAnErrorNotGarbage) {
  TYewTpl tpl;
  tpl.SetTpl(L"a<!-- end block x -->b");
  EXPECT_FALSE(tpl.MakeHtml());
  EXPECT_NE(tpl.LastError().find(L"never began"), std::wstring::npos);
  EXPECT_EQ(tpl.OutPutHtml(), L"a");

  std::wstring deep;
  for (int i = 0; i <= TYewTpl::kMaxBlockLevel; ++i)
    deep += L"<!-- begin block b" + std::to_wstring(i) + L" -->";
  tpl.SetTpl(deep);
  EXPECT_FALSE(tpl.MakeHtml());
  EXPECT_NE(tpl.LastError().find(L"deeper"), std::wstring::npos);

  // A refused block's end is refused too: what follows stays in the deepest block that opened.
  std::wstring path;
  std::wstring nested;
  std::wstring ends;
  for (int i = 0; i < TYewTpl::kMaxBlockLevel; ++i) {
    EXPECT_TRUE(tpl.BeginBlock(L"b"));
    path += L"@b[0]";
    nested += L"<!-- begin block b -->";
    ends += L"<!-- end block b -->";
  }
  EXPECT_FALSE(tpl.BeginBlock(L"c"));
  tpl.SetVar(L"v", L"in c");
  tpl.EndBlock(L"c");
  tpl.SetVar(L"w", L"after c");
  EXPECT_EQ(tpl.GetVar(path, L"w"), L"after c");
  EXPECT_EQ(tpl.GetVar(L"", L"w"), L"");
  for (int i = 0; i < TYewTpl::kMaxBlockLevel; ++i)
    tpl.EndBlock();
  tpl.SetVar(L"top", L"1");
  EXPECT_EQ(tpl.GetVar(L"", L"top"), L"1");
  EXPECT_EQ(Fill(tpl, nested + L"{v}/{w}/{top}" + ends), L"in c/after c/1\r\n");

  kplat::fake::TFakeMachineScope machine;
  EXPECT_FALSE(tpl.LoadTpl(L"C:\\Program Files\\Kestrova\\res\\info.html"));
  EXPECT_NE(tpl.LastError().find(L"info.html"), std::wstring::npos);
  machine.Machine().AddTextFile(L"C:\\Program Files\\Kestrova\\res\\info.html", "x{top}\r\ny");
  ASSERT_TRUE(tpl.LoadTpl(L"C:\\Program Files\\Kestrova\\res\\info.html"));
  ASSERT_TRUE(tpl.MakeHtml());
  EXPECT_EQ(tpl.OutPutHtml(), L"x1\r\ny\r\n");
}
