#include "platform/win32/Win32Handle.h"
#include "platform/win32/Win32Parts.h"

namespace kplat::win32 {

namespace {

class TWin32Debug : public IDebugOutput {
public:
  // Without a debugger or viewer attached the text goes nowhere, which is fine.
  void Output(const std::wstring& aTag, const std::wstring& aText) override {
    const std::wstring line = L"Kestrova [" + aTag + L"] " + aText;
    ::OutputDebugStringW(line.c_str());
  }
};

} // namespace

std::unique_ptr<IDebugOutput> MakeWin32Debug() {
  return std::make_unique<TWin32Debug>();
}

} // namespace kplat::win32
