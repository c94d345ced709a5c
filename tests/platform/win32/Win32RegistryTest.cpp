#include "platform/ConformanceBackend.h"
#include "platform/RegKey.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class Win32Registry : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(kplat::err::Success,
              FScratch.Open(kplat::regroot::CurrentUser, FBackend->ScratchKey(),
                            kplat::TRegAccess::FullAccess));
  }

  std::unique_ptr<TConformanceBackend> FBackend = MakeConformanceBackend();
  kplat::IRegistry& FRegistry = FBackend->Platform().Registry();
  kplat::TRegKey FScratch;
};

TEST_F(Win32Registry, LongNamesAndLargeDataGrowTheBuffers) {
  const std::wstring valueName(1000, L'v');
  const std::wstring keyName(255, L'k');
  kplat::TRegValue large{kplat::regtype::Binary, std::vector<uint8_t>(100000)};
  for (size_t i = 0; i < large.Data.size(); ++i) {
    large.Data[i] = static_cast<uint8_t>(i * 7);
  }
  ASSERT_EQ(kplat::err::Success, FScratch.Write(valueName, large));
  ASSERT_EQ(kplat::err::Success, FScratch.WriteDword(L"short", 1));
  kplat::TRegKey sub;
  ASSERT_EQ(kplat::err::Success, sub.Create(FScratch.Handle(), keyName));

  std::vector<std::wstring> values = FScratch.ValueNames();
  std::sort(values.begin(), values.end());
  EXPECT_EQ((std::vector<std::wstring>{L"short", valueName}), values);
  EXPECT_EQ(std::vector<std::wstring>{keyName}, FScratch.SubKeyNames());
  kplat::TRegValue read;
  ASSERT_EQ(kplat::err::Success, FScratch.Query(valueName, read));
  EXPECT_EQ(large.Type, read.Type);
  EXPECT_TRUE(large.Data == read.Data);
}

TEST_F(Win32Registry, EmptyDataAndTheDefaultValueRoundTrip) {
  ASSERT_EQ(kplat::err::Success, FScratch.Write(L"empty", {kplat::regtype::Binary, {}}));
  ASSERT_EQ(kplat::err::Success, FScratch.WriteString(L"", L"default text"));
  kplat::TRegValue read{kplat::regtype::Sz, {1, 2}};
  ASSERT_EQ(kplat::err::Success, FScratch.Query(L"empty", read));
  EXPECT_EQ(kplat::regtype::Binary, read.Type);
  EXPECT_TRUE(read.Data.empty());
  EXPECT_EQ(L"default text", FScratch.ReadString(L"").value_or(L"?"));
  EXPECT_EQ(kplat::err::FileNotFound, FScratch.Query(L"missing", read));
  EXPECT_TRUE(read.Data.empty());
}

TEST_F(Win32Registry, DeleteKeyTreeRemovesNestedKeysInEachView) {
  for (const kplat::TRegView view :
       {kplat::TRegView::Default, kplat::TRegView::Native64, kplat::TRegView::Wow32}) {
    kplat::TRegKey deep;
    ASSERT_EQ(kplat::err::Success, deep.Create(FScratch.Handle(), L"A\\B\\C", view));
    ASSERT_EQ(kplat::err::Success, deep.WriteDword(L"x", 5));
    deep.Close();
    ASSERT_EQ(kplat::err::Success, FRegistry.DeleteKeyTree(FScratch.Handle(), L"A", view));
    kplat::TRegKey gone;
    EXPECT_EQ(kplat::err::FileNotFound,
              gone.Open(FScratch.Handle(), L"A", kplat::TRegAccess::Read, view));
  }
  EXPECT_EQ(kplat::err::FileNotFound,
            FRegistry.DeleteKeyTree(FScratch.Handle(), L"A", kplat::TRegView::Default));
  EXPECT_EQ(kplat::err::InvalidParameter,
            FRegistry.DeleteKeyTree(FScratch.Handle(), L"", kplat::TRegView::Default));
}

TEST_F(Win32Registry, PredefinedRootsStayOpen) {
  kplat::TRegHandle root = kplat::kNoRegHandle;
  ASSERT_EQ(kplat::err::Success,
            FRegistry.OpenKey(kplat::regroot::CurrentUser, L"", kplat::TRegAccess::Read,
                              kplat::TRegView::Default, root));
  FRegistry.CloseKey(root);
  FRegistry.CloseKey(kplat::regroot::CurrentUser);
  kplat::TRegKey again;
  EXPECT_EQ(kplat::err::Success, again.Open(kplat::regroot::CurrentUser, FBackend->ScratchKey()));
  kplat::TRegKeyInfo info;
  ASSERT_EQ(kplat::err::Success, FRegistry.QueryInfo(kplat::regroot::LocalMachine, info));
  EXPECT_GT(info.SubKeyCount, 0u);
}

} // namespace
