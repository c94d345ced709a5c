#include "platform/win32/Win32Com.h"
#include "platform/win32/Win32Handle.h"
#include "platform/win32/Win32Parts.h"

#include <shlobj.h>
#include <shobjidl.h>

namespace kplat::win32 {

namespace {

// Longest path a shortcut's target can hold, and the shell's limit for its arguments.
constexpr int kMaxLinkPath = 32768;
constexpr int kMaxLinkArguments = INFOTIPSIZE;

struct TLinkObject {
  TComPtr<IShellLinkW> Link;
  TComPtr<IPersistFile> File;

  HRESULT Create() {
    HRESULT hr =
        ComCreateInstance(CLSID_ShellLink, CLSCTX_INPROC_SERVER, IID_IShellLinkW, Link.Receive());
    if (SUCCEEDED(hr)) {
      hr = Link->QueryInterface(IID_IPersistFile, File.Receive());
    }
    return hr;
  }
};

// Reads one of the link's texts; the shell truncates silently, so the buffer is sized to the
// limit up front. S_FALSE (no such text) reads as empty.
template <typename TRead> HRESULT ReadLinkText(int aCapacity, std::wstring& aText, TRead aRead) {
  std::wstring buffer(static_cast<size_t>(aCapacity), L'\0');
  const HRESULT hr = aRead(buffer.data(), aCapacity);
  if (FAILED(hr)) {
    aText.clear();
    return hr;
  }
  buffer[buffer.size() - 1] = L'\0';
  aText.assign(buffer.c_str());
  return S_OK;
}

class TWin32ShellLinks : public IShellLinks {
public:
  TErrorCode ReadShortcut(const std::wstring& aPath, TShortcut& aShortcut) override {
    aShortcut = TShortcut{};
    if (!EnsureComApartment()) {
      return err::NotSupported;
    }
    TLinkObject object;
    HRESULT hr = object.Create();
    if (SUCCEEDED(hr)) {
      hr = object.File->Load(aPath.c_str(), STGM_READ);
    }
    TShortcut shortcut;
    if (SUCCEEDED(hr)) {
      // Without SLGP_RAWPATH the target comes back with its environment variables expanded; a
      // target on a network share is given in its UNC form rather than as a mapped drive.
      hr = ReadLinkText(kMaxLinkPath, shortcut.Target, [&object](wchar_t* aBuffer, int aSize) {
        return object.Link->GetPath(aBuffer, aSize, nullptr, SLGP_UNCPRIORITY);
      });
    }
    if (SUCCEEDED(hr)) {
      hr = ReadLinkText(kMaxLinkArguments, shortcut.Arguments,
                        [&object](wchar_t* aBuffer, int aSize) {
                          return object.Link->GetArguments(aBuffer, aSize);
                        });
    }
    if (SUCCEEDED(hr)) {
      hr = ReadLinkText(kMaxLinkPath, shortcut.WorkingFolder,
                        [&object](wchar_t* aBuffer, int aSize) {
                          return object.Link->GetWorkingDirectory(aBuffer, aSize);
                        });
    }
    if (FAILED(hr)) {
      return HResultToError(hr);
    }
    aShortcut = std::move(shortcut);
    return err::Success;
  }

  TErrorCode WriteShortcut(const std::wstring& aPath, const TShortcut& aShortcut) override {
    if (!EnsureComApartment()) {
      return err::NotSupported;
    }
    TLinkObject object;
    HRESULT hr = object.Create();
    if (SUCCEEDED(hr)) {
      hr = object.Link->SetPath(aShortcut.Target.c_str());
    }
    if (SUCCEEDED(hr)) {
      hr = object.Link->SetArguments(aShortcut.Arguments.c_str());
    }
    if (SUCCEEDED(hr)) {
      hr = object.Link->SetWorkingDirectory(aShortcut.WorkingFolder.c_str());
    }
    if (SUCCEEDED(hr)) {
      hr = object.File->Save(aPath.c_str(), TRUE);
    }
    return HResultToError(hr);
  }
};

} // namespace

std::unique_ptr<IShellLinks> MakeWin32ShellLinks() {
  return std::make_unique<TWin32ShellLinks>();
}

} // namespace kplat::win32
