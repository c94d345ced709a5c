#include "platform/TextCodec.h"
#include "platform/RegKey.h"

#include <gtest/gtest.h>

using namespace kplat;

TEST(TextCodec, Utf16AndUtf8RoundTripOutsideTheBasicPlane) {
  const std::wstring text = FromUtf8("a\xC3\xA9\xF0\x9F\x98\x80z"); // a, e-acute, U+1F600, z
  const std::vector<uint8_t> utf16 = EncodeUtf16Le(text, true);
  // The emoji is a surrogate pair: 5 code units plus the NUL.
  ASSERT_EQ(utf16.size(), 12u);
  EXPECT_EQ(utf16[4], 0x3D);
  EXPECT_EQ(utf16[5], 0xD8);
  std::wstring decoded = DecodeUtf16Le(utf16);
  ASSERT_FALSE(decoded.empty());
  EXPECT_EQ(decoded.back(), L'\0');
  decoded.pop_back();
  EXPECT_EQ(decoded, text);
  EXPECT_EQ(ToUtf8(text), "a\xC3\xA9\xF0\x9F\x98\x80z");
}

TEST(TextCodec, InvalidInputBecomesReplacementCharacters) {
  EXPECT_EQ(FromUtf8("a\xFF"
                     "b"),
            L"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");           // overlong
  EXPECT_EQ(FromUtf8("\xE2\x82"), L"\uFFFD\uFFFD");           // cut short
  const std::vector<uint8_t> lone = {0x00, 0xD8, 0x41, 0x00}; // a high surrogate alone, then A
  EXPECT_EQ(DecodeUtf16Le(lone), L"\uFFFDA");
}

TEST(TextCodec, LettersBeyondAsciiFoldAsTheSystemComparesNames) {
  struct TCase {
    std::wstring Small;
    std::wstring Capital;
  };
  const TCase cases[] = {
      {L"\u00E4\u00F6\u00FC\u00E9\u00F8\u00FE", L"\u00C4\u00D6\u00DC\u00C9\u00D8\u00DE"},
      {L"\u00FF\u0101\u0107\u010D\u0142\u0144\u0151\u017E",
       L"\u0178\u0100\u0106\u010C\u0141\u0143\u0150\u017D"},
      {L"\u0219\u021B\u01CE", L"\u0218\u021A\u01CD"},
      {L"\u03B1\u03C9\u03C3\u03AC\u03CE", L"\u0391\u03A9\u03A3\u0386\u038F"},
      {L"\u0436\u044F\u0451\u0457\u0491\u04D9", L"\u0416\u042F\u0401\u0407\u0490\u04D8"},
      {L"\u0561\u1E41\u1EA1\uFF41", L"\u0531\u1E40\u1EA0\uFF21"},
  };
  for (const TCase& c : cases) {
    EXPECT_EQ(UpperCase(c.Small), c.Capital) << ToUtf8(c.Small);
    EXPECT_TRUE(SameText(c.Small, c.Capital)) << ToUtf8(c.Small);
  }
  // What has no capital of its own stays; ordering is by the upper-cased units.
  EXPECT_EQ(UpperCase(L"\u00DF\u00F7\u03C2\u4E2D"), L"\u00DF\u00F7\u03C2\u4E2D");
  EXPECT_LT(CompareText(L"\u00E4", L"\u00D6"), 0);
  EXPECT_TRUE(MatchesWildcard(L"\u00C4rger.txt", L"\u00E4*"));
}

TEST(RegKeyData, MultiStringsDecodeWithAndWithoutTerminators) {
  EXPECT_EQ(RegDataToMultiString(MakeMultiStringValue({L"one", L"two"}).Data),
            (std::vector<std::wstring>{L"one", L"two"}));
  EXPECT_EQ(RegDataToMultiString(EncodeUtf16Le(std::wstring(L"one\0two", 7))),
            (std::vector<std::wstring>{L"one", L"two"}));
  EXPECT_TRUE(RegDataToMultiString({}).empty());
  EXPECT_EQ(RegDataToString(EncodeUtf16Le(std::wstring(L"ab\0cd", 5))), L"ab");
  EXPECT_EQ(RegDataToString(EncodeUtf16Le(L"no nul")), L"no nul");
}
