#include "base/CLHelpers.h"

#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using Lines = std::vector<std::wstring>;

namespace {

std::string DecodeError(const std::string& aText) {
  try {
    HTTPDecode(aText);
  } catch (const ECLError& e) {
    EXPECT_EQ(std::string(e.what()), kplat::ToUtf8(e.Message()));
    return e.what();
  }
  return "no error";
}

} // namespace

TEST(SplitText, KeepsEmptyPiecesAndAppends) {
  Lines list{L"kept"};
  SplitText(L"a,,b", L',', list);
  EXPECT_EQ(list, (Lines{L"kept", L"a", L"", L"b"}));

  Lines edges;
  SplitText(L",", L',', edges);
  EXPECT_EQ(edges, (Lines{L"", L""}));

  Lines none;
  SplitText(L"", L',', none);
  EXPECT_TRUE(none.empty());
  SplitText(L"whole", L',', none);
  EXPECT_EQ(none, (Lines{L"whole"}));
}

TEST(StartsText, IgnoresCase) {
  EXPECT_TRUE(StartsText(L"HTTPS://host", L"https://"));
  EXPECT_TRUE(StartsText(L"abc", L""));
  EXPECT_FALSE(StartsText(L"ht", L"http"));
  EXPECT_FALSE(StartsText(L"file:x", L"file://"));
}

TEST(StringToolkit, TrimsReplacesAndFormatsAtTheEdges) {
  const auto isSpace = [](wchar_t aChar) { return aChar == L' '; };
  const struct {
    std::wstring Got;
    std::wstring Want;
  } kCases[] = {
      // Every control character (NUL among them) and the space are blanks; U+00A0 is not.
      {Trim(std::wstring(L"\0\x1A\t a b\r\n\0", 10)), L"a b"},
      {Trim(L"\u00A0x\u00A0"), L"\u00A0x\u00A0"},
      {Trim(L" \t "), L""},
      {std::wstring(TrimBy(L"\x01 x \x01", isSpace)), L"\x01 x \x01"},
      {std::wstring(TrimBy(L"  x y  ", isSpace)), L"x y"},
      {std::wstring(TrimSpaces(L"\t x\r \t")), L"x\r"},
      // What the replacement brings in is not searched again; an empty pattern replaces nothing.
      {ReplaceAll(L"aaa", L"a", L"aa"), L"aaaaaa"},
      {ReplaceAll(L"Ab ab", L"ab", L"x"), L"Ab x"},
      {ReplaceAll(L"abc", L"", L"x"), L"abc"},
      {ReplaceText(L"{appname}, {AppName}", L"{APPNAME}", L"{appname}"), L"{appname}, {appname}"},
      {ReplaceText(L"abc", L"", L"x"), L"abc"},
      {ZeroPadded(5, 2), L"05"},
      {ZeroPadded(123, 2), L"123"},
      {ZeroPadded(-5, 3), L"-05"},
      {UpperHex(0), L"0"},
      {UpperHex(0xAB, 4), L"00AB"},
      {UpperHex(0x1234F, 2), L"1234F"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.Got, c.Want);
  }
  EXPECT_EQ(HexDigitValue(L'0'), 0);
  EXPECT_EQ(HexDigitValue(L'f'), 15);
  EXPECT_EQ(HexDigitValue(L'F'), 15);
  EXPECT_EQ(HexDigitValue(L'g'), -1);
  EXPECT_EQ(HexDigitValue(L'\uFF10'), -1); // a full-width zero
}

TEST(FormatArgs, ReplacesEveryPlaceholderOnce) {
  EXPECT_EQ(FormatArgs(L"{1} of {2}", {L"3", L"5"}), L"3 of 5");
  EXPECT_EQ(FormatArgs(L"{1}+{1}={2}", {L"1", L"2"}), L"1+1=2");
  EXPECT_EQ(FormatArgs(L"{1} {3}", {L"a", L"b"}), L"a {3}");
  // An argument that holds a placeholder is not replaced again.
  EXPECT_EQ(FormatArgs(L"{1} and {2}", {L"{2}", L"x"}), L"{2} and x");
  EXPECT_EQ(FormatArgs(L"{0} {01} {} {1", {L"a"}), L"{0} {01} {} {1");
  std::vector<std::wstring> eleven(11, L"-");
  eleven[10] = L"k";
  EXPECT_EQ(FormatArgs(L"{11}{1}", eleven), L"k-");
  EXPECT_EQ(FormatArgs(L"{99999999999999999999}", {L"a"}), L"{99999999999999999999}");
}

TEST(HTTPEncode, KeepsSafeBytesAndEscapesTheRest) {
  EXPECT_EQ(HTTPEncode("a-b_c.d"), "a-b_c.d");
  EXPECT_EQ(HTTPEncode("*@$!'()"), "*@$!'()");
  EXPECT_EQ(HTTPEncode("a b/c"), "a+b%2Fc");
  EXPECT_EQ(HTTPEncode("+%&=\n"), "%2B%25%26%3D%0A");
  EXPECT_EQ(HTTPEncode("\xE9\xFF"), "%E9%FF");
  EXPECT_EQ(HTTPEncode(std::string("\0", 1)), "%00");
}

TEST(HTTPDecode, ReversesTheEncoding) {
  EXPECT_EQ(HTTPDecode("a+b%2Fc"), "a b/c");
  EXPECT_EQ(HTTPDecode("100%%"), "100%");
  EXPECT_EQ(HTTPDecode("%e9%C9"), "\xE9\xC9");
  const std::string all = "x y\t%+&=\xE9/";
  EXPECT_EQ(HTTPDecode(HTTPEncode(all)), all);
}

TEST(HTTPDecode, ReportsBadEscapesWithTheirPosition) {
  EXPECT_EQ(DecodeError("ab%"), "Error decoding URL style (%XX) encoded string at position 3");
  EXPECT_EQ(DecodeError("%4"), "Error decoding URL style (%XX) encoded string at position 1");
  EXPECT_EQ(DecodeError("a%zz"), "Invalid URL encoded character (zz) at position 2");
  EXPECT_EQ(DecodeError("%%%4G"), "Invalid URL encoded character (4G) at position 3");
}

TEST(AnsiCodePage, ConvertsWindows1252) {
  EXPECT_EQ(WideToAnsi(L"abc\u00E9\u20AC\u0178"), "abc\xE9\x80\x9F");
  EXPECT_EQ(AnsiToWide("abc\xE9\x80\x9F\x81"), L"abc\u00E9\u20AC\u0178\u0081");
  EXPECT_EQ(WideToAnsi(L"\u0100\u4E2D"), "??");
  // A character outside the basic plane is one "?" whether wchar_t holds UTF-16 or not.
  EXPECT_EQ(WideToAnsi(kplat::FromUtf8("\xF0\x9F\x98\x80!")), "?!");
}

TEST(ParseURLParams, AppendsThePiecesAfterTheQuery) {
  Lines list{L"kept"};
  ParseURLParams(L"http://host/page?a=1&b=x%20y&&c", list, false);
  EXPECT_EQ(list, (Lines{L"kept", L"a=1", L"b=x%20y", L"", L"c"}));

  Lines scheme;
  ParseURLParams(L"kestrova:?cmd:run=1&v=2", scheme, false);
  EXPECT_EQ(scheme, (Lines{L"run=1", L"v=2"}));

  Lines empty;
  ParseURLParams(L"http://host/page?", empty, false);
  EXPECT_TRUE(empty.empty());
}

TEST(ParseURLParams, DecodesValuesByName) {
  Lines list;
  ParseURLParams(L"http://host/?name=J%E9r%F4me+B&Mode=1&bad=%zz&mode=2&flag&=x", list, true);
  EXPECT_EQ(list, (Lines{L"name=J\u00E9r\u00F4me B", L"mode=2", L"flag="}));
}

TEST(FitRect, ScalesToTheTargetAndCentres) {
  // Wider than the target: the width limits.
  EXPECT_EQ(FitRect({0, 0, 200, 100}, {10, 10, 110, 110}), (TRect{10, 35, 110, 85}));
  // Taller: the height limits; odd remainders are halved toward zero.
  EXPECT_EQ(FitRect({0, 0, 10, 30}, {0, 0, 101, 60}), (TRect{40, 0, 60, 60}));
  // A smaller source grows to fit.
  EXPECT_EQ(FitRect({5, 5, 6, 7}, {0, 0, 40, 40}), (TRect{10, 0, 30, 40}));
  EXPECT_EQ(FitRect({0, 0, 3, 3}, {0, 0, 10, 7}), (TRect{1, 0, 8, 7}));
}

TEST(FitRect, ZeroSidesTakeTheOtherSize) {
  EXPECT_EQ(FitRect({0, 0, 50, 50}, {10, 10, 10, 90}), (TRect{10, 10, 10, 90}));
  EXPECT_EQ(FitRect({0, 0, 0, 20}, {0, 0, 100, 100}), (TRect{50, 40, 50, 60}));
  // A source larger than the target, used as it is, is centred toward zero.
  EXPECT_EQ(FitRect({0, 0, 0, 105}, {0, 0, 100, 100}), (TRect{50, -2, 50, 103}));
  EXPECT_EQ(FitRect({10, 10, 0, 0}, {0, 0, 100, 100}), (TRect{50, 50, 50, 50}));
}
