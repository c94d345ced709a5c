#include "components/win32/CLWinImageSite.h"

#include "components/win32/CLWinImages.h"

TImageSite::~TImageSite() {
  Drop();
}

void TImageSite::Drop() {
  if (FPicture != nullptr)
    ::DeleteObject(FPicture);
  FPicture = nullptr;
  FWidth = 0;
  FHeight = 0;
}

void TImageSite::PushState() {
  Drop();
  const auto& image = static_cast<const TImage&>(Control());
  if (!image.FileName().empty())
    FPicture = LoadPngBitmap(image.FileName(), FWidth, FHeight);
}

void TImageSite::PropertyChanged(std::wstring_view aProperty) {
  if (aProperty != L"Picture") {
    TContainerSite::PropertyChanged(aProperty);
    return;
  }
  Push();
  Invalidate();
}

void TImageSite::Paint(HDC aDC) {
  if (FPicture == nullptr)
    return;
  RECT client{};
  ::GetClientRect(Window(), &client);
  DrawPng(aDC, FPicture, client);
}
