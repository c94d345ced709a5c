// The conformance suite's backend in the Windows build: the real API, with a scratch key and a
// scratch folder of each case's own so that cases running side by side never meet.

#include "platform/ConformanceBackend.h"

#include "platform/win32/Win32Handle.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/WinScratch.h"

#include <winioctl.h>

#include <atomic>
#include <cstring>
#include <vector>

namespace {

using kplat::win32::THandle;
using ktest::win32::RemoveTree;
using ktest::win32::TempFolder;

std::wstring UniqueName() {
  static std::atomic<unsigned> GCounter{0};
  return std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(++GCounter);
}

class TWin32ConformanceBackend : public TConformanceBackend {
public:
  TWin32ConformanceBackend() {
    const std::wstring name = UniqueName();
    FKey = std::wstring(kKeyParent) + L"\\" + name;
    HKEY key = nullptr;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, FKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key, nullptr) == ERROR_SUCCESS) {
      ::RegCloseKey(key);
    }
    FFolder = TempFolder() + L"KestrovaConformance-" + name;
    ::CreateDirectoryW(FFolder.c_str(), nullptr);
    // Where files can be sparse a file of any size costs nothing; elsewhere (FAT) big files
    // would really be written, so the huge-file cases are left out.
    const std::wstring probe = FFolder + L"\\sparse.probe";
    {
      THandle file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
      FSparseFiles = file.IsValid() && MakeSparse(file.Get());
    }
    ::DeleteFileW(probe.c_str());
  }

  ~TWin32ConformanceBackend() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, FKey.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, FKey.c_str());
    // Only succeeds once the last backend of every process has gone, which is what we want.
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kKeyParent);
    RemoveTree(FFolder);
  }

  kplat::IPlatform& Platform() override { return FPlatform; }
  std::wstring ScratchFolder() override { return FFolder; }
  std::wstring ScratchKey() override { return FKey; }
  bool CanMakeHugeFiles() const override { return FSparseFiles; }
  bool RunsRealPrograms() const override { return true; }

  void MakeFile(const std::wstring& aPath, uint64_t aSize) override {
    THandle file(::CreateFileW(aPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
      return;
    }
    if (FSparseFiles) {
      MakeSparse(file.Get());
    }
    LARGE_INTEGER size;
    size.QuadPart = static_cast<LONGLONG>(aSize);
    if (::SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN)) {
      ::SetEndOfFile(file.Get());
    }
  }

  bool MakeJunction(const std::wstring& aLink, const std::wstring& aTarget) override {
    return ktest::win32::MakeJunction(aLink, aTarget);
  }

private:
  static constexpr const wchar_t* kKeyParent = L"Software\\KestrovaConformance";

  static bool MakeSparse(HANDLE aFile) {
    DWORD returned = 0;
    return ::DeviceIoControl(aFile, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
  }

  kplat::win32::TWin32Platform FPlatform;
  kplat::TScopedPlatform FScope{FPlatform};
  std::wstring FKey;
  std::wstring FFolder;
  bool FSparseFiles = false;
};

} // namespace

std::unique_ptr<TConformanceBackend> MakeConformanceBackend() {
  return std::make_unique<TWin32ConformanceBackend>();
}
