// The update server's answer comes from the network: what it may make the program show, open or
// store.
#include "base/CLUpdateAnswer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::wstring kMagic = L"KSTV";

TEST(UpdateAnswer, ReadsAGoodAnswerWithItsBanners) {
  const TUpdateAnswer answer = ParseUpdateAnswer(
      L"MagicWord = KSTV\r\nResult=1\r\ninfo=Version 2.1 is out\r\n"
      L"page=https://kestrova.example/download\r\nBanner.Home=http://kestrova.example/b.html\n"
      L"Banner.Side.Top=%exepath%res\\side.html\nno line at all\n",
      kMagic);
  EXPECT_TRUE(answer.Valid);
  EXPECT_EQ(answer.Result, 1);
  EXPECT_EQ(answer.Info, L"Version 2.1 is out");
  EXPECT_EQ(answer.Page, L"https://kestrova.example/download");
  ASSERT_EQ(answer.Banners.size(), 2u);
  EXPECT_EQ(answer.Banners[0].first, L"Banner.Home");
  EXPECT_EQ(answer.Banners[1].second, L"%exepath%res\\side.html");
}

// Appends aTail to a copy of aText (built piece by piece: GCC 12 misreads "a" + std::wstring()).
std::wstring With(std::wstring aText, const std::wstring& aTail) {
  aText += aTail;
  return aText;
}

TEST(UpdateAnswer, AnswersThatAreNoAnswerChangeNothing) {
  const std::wstring good = L"magicword=KSTV\nResult=1\nBanner.Home=http://a.example/\n";
  const std::vector<std::wstring> texts = {
      std::wstring(),
      L"magicword=OTHER\nResult=1\nBanner.Home=http://a.example/\n",
      L"Result=1\nBanner.Home=http://a.example/\n",
      With(With(good, std::wstring(1, L'\0')), L"x"),
      With(good, L"\x01\x02\x03"),
      With(good, std::wstring(TUpdateAnswer::kMaxAnswerChars, L'a'))};
  for (const std::wstring& text : texts) {
    const TUpdateAnswer answer = ParseUpdateAnswer(text, kMagic);
    EXPECT_FALSE(answer.Valid) << text.size();
    EXPECT_TRUE(answer.Banners.empty()) << text.size();
    EXPECT_TRUE(answer.Page.empty()) << text.size();
  }
}

TEST(UpdateAnswer, OpensOnlyWebPagesAndKnowsOnlyTwoResults) {
  for (const wchar_t* page : {L"file:///C:/Windows/System32/calc.exe", L"C:\\Windows\\notepad.exe",
                              L"javascript:alert(1)", L"http://", L"https:///path",
                              L"http://host name/", L"wcme:settings"}) {
    const TUpdateAnswer answer =
        ParseUpdateAnswer(With(L"magicword=KSTV\nResult=1\npage=", page), kMagic);
    EXPECT_TRUE(answer.Valid);
    EXPECT_TRUE(answer.Page.empty()) << page;
  }
  for (const wchar_t* result : {L"2", L"-1", L"x", L"", L"99999999999", L"1.0"})
    EXPECT_EQ(ParseUpdateAnswer(With(L"magicword=KSTV\nResult=", result), kMagic).Result, -1)
        << result;
  EXPECT_EQ(ParseUpdateAnswer(L"magicword=KSTV\nResult=0", kMagic).Result, 0);
}

TEST(UpdateAnswer, StoresOnlyPlainBannerSettings) {
  const std::wstring kLongName(TUpdateAnswer::kMaxBannerNameChars, L'n');
  const TUpdateAnswer answer = ParseUpdateAnswer(
      L"magicword=KSTV\nApp.MagicWord=x\nUpdate.Days=0\nBanner.=http://a.example/\n"
      L"Banner..x=http://a.example/\nBanner.a.=http://a.example/\nBanner.a b=http://a.example/\n"
      L"Banner.a\\b=http://a.example/\nBanner.Up=%exepath%..\\..\\evil.html\n"
      L"Banner.Cmd=cmd.exe /c del\nBanner." +
          kLongName + L"=http://a.example/\nBanner.Ok=\n",
      kMagic);
  EXPECT_TRUE(answer.Valid);
  ASSERT_EQ(answer.Banners.size(), 1u);
  EXPECT_EQ(answer.Banners[0].first, L"Banner.Ok");
  EXPECT_TRUE(answer.Banners[0].second.empty());
}

} // namespace
