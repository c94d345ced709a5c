#include "support/win32/WinScreenshot.h"

#include "platform/win32/Win32Com.h"

#include <shlobj.h>
#include <wincodec.h>

#include <cstdlib>
#include <cstring>

using kplat::win32::TComPtr;

namespace ktest::win32 {

namespace {

template <typename T> T** Out(TComPtr<T>& aPointer) {
  return reinterpret_cast<T**>(aPointer.Receive());
}

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

std::wstring FullPath(const std::wstring& aPath) {
  const DWORD size = ::GetFullPathNameW(aPath.c_str(), 0, nullptr, nullptr);
  if (size == 0)
    return aPath;
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(aPath.c_str(), size, full.data(), nullptr);
  full.resize(length < size ? length : 0);
  return full.empty() ? aPath : full;
}

// Wine reaches the Unix file system through a drive of its own; its kernel32 translates.
std::wstring FromUnixPath(const std::string& aPath) {
  using TToDos = WCHAR*(CDECL*)(LPCSTR);
  const auto toDos = reinterpret_cast<TToDos>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (toDos == nullptr)
    return std::wstring(aPath.begin(), aPath.end());
  WCHAR* dos = toDos(aPath.c_str());
  if (dos == nullptr)
    return std::wstring();
  std::wstring result(dos);
  ::HeapFree(::GetProcessHeap(), 0, dos);
  return result;
}

std::wstring ScreenshotFolder() {
  const char* configured = std::getenv("KESTROVA_SCREENSHOTS");
  std::wstring folder;
  if (configured != nullptr && *configured == '/')
    folder = FromUnixPath(configured);
  else if (configured != nullptr && *configured != '\0')
    folder = FullPath(std::wstring(configured, configured + std::strlen(configured)));
  if (folder.empty())
    folder = FullPath(ProgramFolder() + L"..\\..\\screenshots");
  while (folder.size() > 3 && folder.back() == L'\\')
    folder.pop_back();
  return folder;
}

} // namespace

bool SaveBgraPng(const std::vector<uint32_t>& aPixels, int aWidth, int aHeight,
                 const std::wstring& aPath) {
  if (aWidth <= 0 || aHeight <= 0 || aPixels.size() != size_t(aWidth) * size_t(aHeight) ||
      !kplat::win32::EnsureComApartment())
    return false;
  TComPtr<IWICImagingFactory> factory;
  TComPtr<IWICStream> stream;
  TComPtr<IWICBitmapEncoder> encoder;
  TComPtr<IWICBitmapFrameEncode> frame;
  TComPtr<IPropertyBag2> options;
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  const UINT stride = static_cast<UINT>(aWidth) * 4;
  auto* bits = reinterpret_cast<BYTE*>(const_cast<uint32_t*>(aPixels.data()));
  const bool written =
      SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IWICImagingFactory, factory.Receive())) &&
      SUCCEEDED(factory->CreateStream(Out(stream))) &&
      SUCCEEDED(stream->InitializeFromFilename(aPath.c_str(), GENERIC_WRITE)) &&
      SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, Out(encoder))) &&
      SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
      SUCCEEDED(encoder->CreateNewFrame(Out(frame), Out(options))) &&
      SUCCEEDED(frame->Initialize(options.Get())) &&
      SUCCEEDED(frame->SetSize(static_cast<UINT>(aWidth), static_cast<UINT>(aHeight))) &&
      SUCCEEDED(frame->SetPixelFormat(&format)) &&
      IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) &&
      SUCCEEDED(frame->WritePixels(static_cast<UINT>(aHeight), stride, stride * aHeight, bits)) &&
      SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  return written;
}

bool SaveWindowPng(HWND aWindow, const std::wstring& aPath) {
  RECT rect = {};
  if (!::IsWindow(aWindow) || !::GetWindowRect(aWindow, &rect))
    return false;
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0)
    return false;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    copied = ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top,
                      SRCCOPY | CAPTUREBLT) != FALSE;
    ::SelectObject(memory, old);
  }
  std::vector<uint32_t> pixels;
  if (copied) {
    const auto* source = static_cast<const uint32_t*>(bits);
    pixels.assign(source, source + size_t(width) * size_t(height));
    // The screen has no transparency; its fourth byte is undefined.
    for (uint32_t& pixel : pixels)
      pixel |= 0xFF000000u;
  }
  if (bitmap != nullptr)
    ::DeleteObject(bitmap);
  if (memory != nullptr)
    ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return copied && SaveBgraPng(pixels, width, height, aPath);
}

std::wstring ScreenshotPath(const std::wstring& aName) {
  const std::wstring folder = ScreenshotFolder();
  ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return folder + L"\\" + aName + L".png";
}

bool PumpUntil(const std::function<bool()>& aDone, DWORD aLimitMs) {
  const ULONGLONG end = ::GetTickCount64() + aLimitMs;
  for (;;) {
    if (aDone())
      return true;
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
      if (aDone())
        return true;
    }
    const ULONGLONG now = ::GetTickCount64();
    if (now >= end)
      return aDone();
    const DWORD wait = static_cast<DWORD>(end - now < 20 ? end - now : 20);
    ::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

} // namespace ktest::win32
