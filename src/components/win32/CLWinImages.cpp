#include "components/win32/CLWinImages.h"

#include "platform/win32/Win32Com.h"

#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>

using kplat::win32::TComPtr;

namespace {

template <typename T> T** Out(TComPtr<T>& aPointer) {
  return reinterpret_cast<T**>(aPointer.Receive());
}

// Larger pictures are refused rather than decoded: nothing the program shows comes near it.
constexpr UINT kMaxSide = 16384;
constexpr uint64_t kMaxPixels = 64ull * 1024 * 1024;

HBITMAP NewTopDownDib(int aWidth, int aHeight, void*& aBits) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = aWidth;
  info.bmiHeader.biHeight = -aHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  aBits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &aBits, nullptr, 0);
  return aBits != nullptr ? bitmap : nullptr;
}

// The file's first frame in aFormat as a top-down DIB section.
HBITMAP DecodePicture(const std::wstring& aPath, const GUID& aFormat, int& aWidth, int& aHeight) {
  aWidth = 0;
  aHeight = 0;
  if (aPath.empty() || !kplat::win32::EnsureComApartment())
    return nullptr;
  TComPtr<IWICImagingFactory> factory;
  TComPtr<IWICBitmapDecoder> decoder;
  TComPtr<IWICBitmapFrameDecode> frame;
  TComPtr<IWICFormatConverter> converter;
  UINT width = 0;
  UINT height = 0;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, factory.Receive())) ||
      FAILED(factory->CreateDecoderFromFilename(aPath.c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, Out(decoder))) ||
      FAILED(decoder->GetFrame(0, Out(frame))) ||
      FAILED(factory->CreateFormatConverter(Out(converter))) ||
      FAILED(converter->Initialize(frame.Get(), aFormat, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->GetSize(&width, &height)))
    return nullptr;
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
      uint64_t{width} * height > kMaxPixels)
    return nullptr;
  void* bits = nullptr;
  HBITMAP bitmap = NewTopDownDib(static_cast<int>(width), static_cast<int>(height), bits);
  if (bitmap == nullptr)
    return nullptr;
  const UINT stride = width * 4;
  // A file whose data ends early or is damaged fails here, after its header was read.
  if (FAILED(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(bits)))) {
    ::DeleteObject(bitmap);
    return nullptr;
  }
  aWidth = static_cast<int>(width);
  aHeight = static_cast<int>(height);
  return bitmap;
}

// Image lists keep their pictures with straight alpha, so the strip is decoded without
// premultiplying.
HIMAGELIST CutImageList(const std::wstring& aPath, int aWidth, int aHeight, int aCount) {
  int stripWidth = 0;
  int stripHeight = 0;
  HBITMAP strip = DecodePicture(aPath, GUID_WICPixelFormat32bppBGRA, stripWidth, stripHeight);
  if (strip == nullptr)
    return nullptr;
  DIBSECTION section = {};
  ::GetObjectW(strip, sizeof(section), &section);
  const auto* stripBits = static_cast<const uint32_t*>(section.dsBm.bmBits);
  const int columns = stripWidth / aWidth;
  const int count = std::min(aCount, columns * (stripHeight / aHeight));
  HIMAGELIST list = count > 0 ? ImageList_Create(aWidth, aHeight, ILC_COLOR32, count, 0) : nullptr;
  void* cellBits = nullptr;
  HBITMAP cell = list != nullptr ? NewTopDownDib(aWidth, aHeight, cellBits) : nullptr;
  bool complete = cell != nullptr;
  for (int i = 0; complete && i < count; ++i) {
    const int left = (i % columns) * aWidth;
    const int top = (i / columns) * aHeight;
    for (int y = 0; y < aHeight; ++y)
      std::memcpy(static_cast<uint32_t*>(cellBits) + size_t(y) * aWidth,
                  stripBits + size_t(top + y) * stripWidth + left, size_t(aWidth) * 4);
    complete = ImageList_Add(list, cell, nullptr) >= 0;
  }
  if (cell != nullptr)
    ::DeleteObject(cell);
  if (!complete && list != nullptr) {
    ImageList_Destroy(list);
    list = nullptr;
  }
  ::DeleteObject(strip);
  return list;
}

ULONGLONG LastWriteTime(const std::wstring& aPath) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!::GetFileAttributesExW(aPath.c_str(), GetFileExInfoStandard, &data))
    return 0;
  return (ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32) |
         data.ftLastWriteTime.dwLowDateTime;
}

// The image lists made so far, one per TImageList, each destroyed when its list is freed.
class TImageListCache : public TComponent {
public:
  TImageListCache() : TComponent(nullptr) {}
  ~TImageListCache() override {
    for (auto& [list, entry] : FEntries) {
      RemoveFreeNotification(list);
      ImageList_Destroy(entry.Handle);
    }
  }

  HIMAGELIST Get(TImageList& aList) {
    TEntry wanted;
    wanted.FileName = aList.FileName();
    wanted.Width = aList.Width();
    wanted.Height = aList.Height();
    wanted.Count = aList.Count();
    wanted.WriteTime = wanted.Count > 0 ? LastWriteTime(wanted.FileName) : 0;
    auto it = FEntries.find(&aList);
    if (it != FEntries.end() && it->second.SameSource(wanted))
      return it->second.Handle;
    if (wanted.Count > 0)
      wanted.Handle = CutImageList(wanted.FileName, wanted.Width, wanted.Height, wanted.Count);
    if (it != FEntries.end()) {
      ImageList_Destroy(it->second.Handle);
      it->second = wanted;
    } else {
      FEntries.emplace(&aList, wanted);
      FreeNotification(&aList);
    }
    return wanted.Handle;
  }

protected:
  void Notification(TComponent& aComponent, TOperation aOperation) override {
    if (aOperation != TOperation::opRemove)
      return;
    auto it = FEntries.find(static_cast<TImageList*>(&aComponent));
    if (it != FEntries.end()) {
      ImageList_Destroy(it->second.Handle);
      FEntries.erase(it);
    }
  }

private:
  struct TEntry {
    std::wstring FileName;
    int Width = 0;
    int Height = 0;
    int Count = 0;
    ULONGLONG WriteTime = 0;
    HIMAGELIST Handle = nullptr;
    bool SameSource(const TEntry& aOther) const {
      return FileName == aOther.FileName && Width == aOther.Width && Height == aOther.Height &&
             Count == aOther.Count && WriteTime == aOther.WriteTime;
    }
  };
  std::map<TImageList*, TEntry> FEntries;
};

} // namespace

HBITMAP LoadPngBitmap(const std::wstring& aPath, int& aWidth, int& aHeight) {
  return DecodePicture(aPath, GUID_WICPixelFormat32bppPBGRA, aWidth, aHeight);
}

void DrawPng(HDC aDC, HBITMAP aBitmap, RECT aRect) {
  BITMAP info = {};
  if (aDC == nullptr || aBitmap == nullptr || ::GetObjectW(aBitmap, sizeof(info), &info) == 0)
    return;
  HDC source = ::CreateCompatibleDC(aDC);
  if (source == nullptr)
    return;
  HGDIOBJ old = ::SelectObject(source, aBitmap);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::AlphaBlend(aDC, aRect.left, aRect.top, aRect.right - aRect.left, aRect.bottom - aRect.top,
               source, 0, 0, info.bmWidth, info.bmHeight, blend);
  ::SelectObject(source, old);
  ::DeleteDC(source);
}

HIMAGELIST WinImageList(TImageList& aList) {
  static TImageListCache GCache;
  return GCache.Get(aList);
}
