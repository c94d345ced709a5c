#include "platform/ConformanceFixture.h"

#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <algorithm>

using namespace kplat;

namespace {
std::vector<std::wstring> Sorted(std::vector<std::wstring> aNames) {
  std::sort(aNames.begin(), aNames.end());
  return aNames;
}
} // namespace

class RegistryConformance : public Conformance {};

TEST_F(RegistryConformance, SubKeysEnumerateSortedByUpperCaseName) {
  const TRegHandle key = Key();
  for (const wchar_t* name : {L"b", L"_x", L"Zeta", L"A", L"c"}) {
    TRegHandle child = kNoRegHandle;
    ASSERT_EQ(Reg().CreateKey(key, name, TRegView::Default, child), err::Success);
    Reg().CloseKey(child);
  }
  std::vector<std::wstring> names;
  ASSERT_EQ(Reg().EnumSubKeys(key, names), err::Success);
  // Without regard to case, and lower-cased as Wine compares: '_' (0x5F) before the letters.
  // (Windows compares upper-cased and puts "_x" last; nothing relies on where it goes.)
  EXPECT_EQ(names, (std::vector<std::wstring>{L"_x", L"A", L"b", L"c", L"Zeta"}));
}

TEST_F(RegistryConformance, ValuesEnumerateEveryNameOnce) {
  const TRegHandle key = Key();
  for (const wchar_t* name : {L"b", L"_x", L"Zeta", L"A", L""}) {
    ASSERT_EQ(Reg().SetValue(key, name, MakeDwordValue(1)), err::Success);
  }
  std::vector<std::wstring> names;
  ASSERT_EQ(Reg().EnumValues(key, names), err::Success);
  // Wine sorts values by name, Windows keeps creation order: only the set is common ground.
  EXPECT_EQ(Sorted(names), Sorted({L"b", L"_x", L"Zeta", L"A", L""}));
  TRegKeyInfo info;
  ASSERT_EQ(Reg().QueryInfo(key, info), err::Success);
  EXPECT_EQ(info.ValueCount, 5u);
  EXPECT_EQ(info.SubKeyCount, 0u);
}

TEST_F(RegistryConformance, NamesIgnoreCaseAndKeepTheirFirstCase) {
  const TRegHandle key = Key(L"MixedCase");
  ASSERT_EQ(Reg().SetValue(key, L"ValueName", MakeStringValue(L"one")), err::Success);
  ASSERT_EQ(Reg().SetValue(key, L"VALUENAME", MakeStringValue(L"two")), err::Success);

  TRegHandle again = kNoRegHandle;
  ASSERT_EQ(Open(L"MIXEDCASE", TRegAccess::Read, again), err::Success);
  TRegValue value;
  ASSERT_EQ(Reg().QueryValue(again, L"valuename", value), err::Success);
  EXPECT_EQ(RegDataToString(value.Data), L"two");
  std::vector<std::wstring> names;
  ASSERT_EQ(Reg().EnumValues(again, names), err::Success);
  EXPECT_EQ(names, std::vector<std::wstring>{L"ValueName"});
  ASSERT_EQ(Reg().EnumSubKeys(Key(), names), err::Success);
  EXPECT_EQ(names, std::vector<std::wstring>{L"MixedCase"});

  // Letters beyond ASCII fold as well.
  ASSERT_EQ(Reg().SetValue(key, L"\u00C4pfel \u0398\u0416", MakeStringValue(L"three")),
            err::Success);
  ASSERT_EQ(Reg().QueryValue(again, L"\u00E4PFEL \u03B8\u0436", value), err::Success);
  EXPECT_EQ(RegDataToString(value.Data), L"three");
}

TEST_F(RegistryConformance, DefaultValueIsDistinctFromNamedValues) {
  const TRegHandle key = Key();
  TRegValue value;
  EXPECT_EQ(Reg().QueryValue(key, L"", value), err::FileNotFound);
  ASSERT_EQ(Reg().SetValue(key, L"", MakeStringValue(L"default")), err::Success);
  ASSERT_EQ(Reg().SetValue(key, L"Named", MakeStringValue(L"named")), err::Success);
  ASSERT_EQ(Reg().QueryValue(key, L"", value), err::Success);
  EXPECT_EQ(RegDataToString(value.Data), L"default");
  ASSERT_EQ(Reg().DeleteValue(key, L"Named"), err::Success);
  ASSERT_EQ(Reg().QueryValue(key, L"", value), err::Success);
  ASSERT_EQ(Reg().DeleteValue(key, L""), err::Success);
  EXPECT_EQ(Reg().QueryValue(key, L"", value), err::FileNotFound);
}

TEST_F(RegistryConformance, MissingKeysAndValuesReportFileNotFound) {
  const TRegHandle key = Key();
  TRegHandle missing = kNoRegHandle;
  EXPECT_EQ(Open(L"Missing", TRegAccess::Read, missing), err::FileNotFound);
  EXPECT_EQ(Open(L"Missing", TRegAccess::FullAccess, missing), err::FileNotFound);
  TRegValue value;
  EXPECT_EQ(Reg().QueryValue(key, L"Missing", value), err::FileNotFound);
  EXPECT_EQ(Reg().DeleteValue(key, L"Missing"), err::FileNotFound);
  EXPECT_EQ(Reg().DeleteKeyTree(key, L"Missing", TRegView::Default), err::FileNotFound);
  std::vector<std::wstring> names;
  ASSERT_EQ(Reg().EnumSubKeys(key, names), err::Success);
  EXPECT_TRUE(names.empty()); // opening never created anything
}

TEST_F(RegistryConformance, CreateKeyMakesParentsAndTellsWhetherItWasNew) {
  Key();
  TRegHandle key = kNoRegHandle;
  bool created = false;
  const std::wstring path = Backend().ScratchKey() + L"\\One\\Two\\Three";
  ASSERT_EQ(Reg().CreateKey(regroot::CurrentUser, path, TRegView::Default, key, &created),
            err::Success);
  EXPECT_TRUE(created);
  Reg().CloseKey(key);
  ASSERT_EQ(Reg().CreateKey(regroot::CurrentUser, path, TRegView::Default, key, &created),
            err::Success);
  EXPECT_FALSE(created);
  Reg().CloseKey(key);
  TRegHandle middle = kNoRegHandle;
  EXPECT_EQ(Open(L"One\\Two", TRegAccess::Read, middle), err::Success);
}

TEST_F(RegistryConformance, DeleteKeyTreeRemovesEverythingBelowAndInvalidatesHandles) {
  const TRegHandle deep = Key(L"Tree\\Branch\\Leaf");
  ASSERT_EQ(Reg().SetValue(deep, L"v", MakeDwordValue(7)), err::Success);
  ASSERT_EQ(Reg().SetValue(Key(L"Tree"), L"w", MakeDwordValue(8)), err::Success);
  Key(L"Tree\\Other");
  const TRegHandle scratch = Key();

  ASSERT_EQ(Reg().DeleteKeyTree(scratch, L"Tree", TRegView::Default), err::Success);
  TRegHandle gone = kNoRegHandle;
  EXPECT_EQ(Open(L"Tree", TRegAccess::Read, gone), err::FileNotFound);
  TRegValue value;
  EXPECT_EQ(Reg().QueryValue(deep, L"v", value), err::KeyDeleted);
  TRegKeyInfo info;
  ASSERT_EQ(Reg().QueryInfo(scratch, info), err::Success);
  EXPECT_EQ(info.SubKeyCount, 0u);
}

TEST_F(RegistryConformance, ValueDataRoundTripsExactly) {
  const TRegHandle key = Key();
  std::vector<uint8_t> longBinary(70000);
  for (size_t i = 0; i < longBinary.size(); ++i) {
    longBinary[i] = static_cast<uint8_t>(i * 7);
  }
  const std::vector<std::pair<std::wstring, TRegValue>> cases = {
      {L"sz", MakeStringValue(L"text \u00e9\u20ac")},
      {L"szNoNul", TRegValue{regtype::Sz, EncodeUtf16Le(L"abc", false)}},
      {L"szEmpty", TRegValue{regtype::Sz, {}}},
      {L"expand", MakeStringValue(L"%SystemRoot%\\x", regtype::ExpandSz)},
      {L"multi", MakeMultiStringValue({L"one", L"two", L""})},
      {L"dword", MakeDwordValue(0xDEADBEEFu)},
      {L"qword", MakeQwordValue(0x0123456789ABCDEFull)},
      {L"binEmpty", TRegValue{regtype::Binary, {}}},
      {L"binLong", TRegValue{regtype::Binary, longBinary}},
      {L"none", TRegValue{regtype::None, {1, 2, 3}}},
      {L"noneEmpty", TRegValue{regtype::None, {}}},
  };
  for (const auto& [name, written] : cases) {
    ASSERT_EQ(Reg().SetValue(key, name, written), err::Success) << ToUtf8(name);
  }
  for (const auto& [name, written] : cases) {
    TRegValue read;
    ASSERT_EQ(Reg().QueryValue(key, name, read), err::Success) << ToUtf8(name);
    EXPECT_EQ(read.Type, written.Type) << ToUtf8(name);
    EXPECT_EQ(read.Data, written.Data) << ToUtf8(name);
  }
}

TEST_F(RegistryConformance, ReadOnlyKeyRefusesChanges) {
  ASSERT_EQ(Reg().SetValue(Key(L"Locked"), L"v", MakeDwordValue(1)), err::Success);
  TRegHandle key = kNoRegHandle;
  ASSERT_EQ(Open(L"Locked", TRegAccess::Read, key), err::Success);
  EXPECT_EQ(Reg().SetValue(key, L"v", MakeDwordValue(2)), err::AccessDenied);
  EXPECT_EQ(Reg().DeleteValue(key, L"v"), err::AccessDenied);
  TRegValue value;
  ASSERT_EQ(Reg().QueryValue(key, L"v", value), err::Success);
  EXPECT_EQ(value.Data, MakeDwordValue(1).Data);
}

TEST_F(RegistryConformance, ProtectedKeyIsMadeWithItsParentsAndOpensAgain) {
  Key();
  const std::wstring path = Backend().ScratchKey() + L"\\Guarded\\Inner";
  for (int round = 0; round < 2; ++round) {
    TRegHandle key = kNoRegHandle;
    ASSERT_EQ(Reg().CreateProtectedKey(regroot::CurrentUser, path, TRegView::Default, key),
              err::Success);
    if (round == 0) {
      EXPECT_EQ(Reg().SetValue(key, L"v", MakeDwordValue(7)), err::Success);
    } else {
      TRegValue value;
      EXPECT_EQ(Reg().QueryValue(key, L"v", value), err::Success);
      EXPECT_EQ(value.Data, MakeDwordValue(7).Data);
    }
    Reg().CloseKey(key);
  }
}
