#pragma once
// The fixture of the conformance suite: a fresh backend per case, its scratch key and folder, and
// registry handles that are closed when the case ends.

#include "platform/ConformanceBackend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

class Conformance : public testing::Test {
protected:
  Conformance() : FBackend(MakeConformanceBackend()) {}
  ~Conformance() override {
    for (kplat::TRegHandle key : FOpenKeys) {
      Reg().CloseKey(key);
    }
  }

  kplat::IRegistry& Reg() { return FBackend->Platform().Registry(); }
  kplat::IFileSystem& Files() { return FBackend->Platform().Files(); }
  kplat::ISystem& System() { return FBackend->Platform().System(); }
  TConformanceBackend& Backend() { return *FBackend; }

  // The scratch key (or a key below it), created when missing.
  kplat::TRegHandle Key(const std::wstring& aBelow = L"") {
    const std::wstring path = FBackend->ScratchKey() + (aBelow.empty() ? L"" : L"\\" + aBelow);
    kplat::TRegHandle key = kplat::kNoRegHandle;
    EXPECT_EQ(Reg().CreateKey(kplat::regroot::CurrentUser, path, kplat::TRegView::Default, key),
              kplat::err::Success);
    FOpenKeys.push_back(key);
    return key;
  }
  kplat::TErrorCode Open(const std::wstring& aBelow, kplat::TRegAccess aAccess,
                         kplat::TRegHandle& aKey) {
    const kplat::TErrorCode rc =
        Reg().OpenKey(kplat::regroot::CurrentUser, FBackend->ScratchKey() + L"\\" + aBelow, aAccess,
                      kplat::TRegView::Default, aKey);
    if (rc == kplat::err::Success) {
      FOpenKeys.push_back(aKey);
    }
    return rc;
  }
  std::wstring Path(const std::wstring& aName) { return FBackend->ScratchFolder() + L"\\" + aName; }
  std::vector<std::wstring> Find(const std::wstring& aPattern) {
    std::vector<std::wstring> names;
    kplat::TFindHandle find = kplat::kNoFindHandle;
    kplat::TFindData data;
    if (Files().FindFirst(aPattern, find, data) == kplat::err::Success) {
      do {
        names.push_back(data.Name);
      } while (Files().FindNext(find, data) == kplat::err::Success);
      Files().FindClose(find);
    }
    return names;
  }

private:
  std::unique_ptr<TConformanceBackend> FBackend;
  std::vector<kplat::TRegHandle> FOpenKeys;
};
