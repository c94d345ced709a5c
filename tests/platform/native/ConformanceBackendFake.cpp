#include "platform/ConformanceBackend.h"

#include "platform/fake/FakeMachine.h"

namespace {

// A fresh in-memory machine per test case, installed as the platform so that the helpers built
// on Platform() (ForceFolders, WriteFileAtomic) see the same machine.
class TFakeConformanceBackend : public TConformanceBackend {
public:
  TFakeConformanceBackend() {
    FScope.Machine().AddFolder(kScratchFolder);
    FScope.Machine().AddRegKey(kplat::regroot::CurrentUser, kScratchKey);
  }

  kplat::IPlatform& Platform() override { return FScope.Machine(); }
  std::wstring ScratchFolder() override { return kScratchFolder; }
  std::wstring ScratchKey() override { return kScratchKey; }
  bool CanMakeHugeFiles() const override { return true; }
  void MakeFile(const std::wstring& aPath, uint64_t aSize) override {
    FScope.Machine().AddFile(aPath, aSize);
  }
  bool MakeJunction(const std::wstring& aLink, const std::wstring& aTarget) override {
    FScope.Machine().AddFolderLink(aLink, aTarget);
    return true;
  }

private:
  static constexpr const wchar_t* kScratchFolder =
      L"C:\\Users\\User\\AppData\\Local\\Temp\\KestrovaConformance";
  static constexpr const wchar_t* kScratchKey = L"Software\\KestrovaConformance\\1";
  kplat::fake::TFakeMachineScope FScope;
};

} // namespace

std::unique_ptr<TConformanceBackend> MakeConformanceBackend() {
  return std::make_unique<TFakeConformanceBackend>();
}
