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

TEST(RegKeyData, MultiStringsDecodeWithAndWithoutTerminators) {
  EXPECT_EQ(RegDataToMultiString(MakeMultiStringValue({L"one", L"two"}).Data),
            (std::vector<std::wstring>{L"one", L"two"}));
  EXPECT_EQ(RegDataToMultiString(EncodeUtf16Le(std::wstring(L"one\0two", 7))),
            (std::vector<std::wstring>{L"one", L"two"}));
  EXPECT_TRUE(RegDataToMultiString({}).empty());
  EXPECT_EQ(RegDataToString(EncodeUtf16Le(std::wstring(L"ab\0cd", 5))), L"ab");
  EXPECT_EQ(RegDataToString(EncodeUtf16Le(L"no nul")), L"no nul");
}
