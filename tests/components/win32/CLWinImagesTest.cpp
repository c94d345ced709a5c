// PNG pictures on the real imaging component: bitmaps, image lists cut from a strip, drawing.
#include "components/win32/CLWinImages.h"

#include "platform/win32/Win32Platform.h"
#include "support/win32/WinScratch.h"
#include "support/win32/WinScreenshot.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace {

using ktest::win32::SaveBgraPng;

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;
constexpr uint32_t kHalfWhite = 0x80FFFFFF;

// A strip of aColumns x aRows pictures of 16 x 16, each filled with its colour.
std::vector<uint32_t> Strip(int aColumns, int aRows, const std::vector<uint32_t>& aColours) {
  std::vector<uint32_t> pixels(size_t(aColumns) * 16 * aRows * 16);
  for (int y = 0; y < aRows * 16; ++y)
    for (int x = 0; x < aColumns * 16; ++x)
      pixels[size_t(y) * aColumns * 16 + x] = aColours[(y / 16) * aColumns + x / 16];
  return pixels;
}

// A black 32-bit DIB section of aSize x aSize selected into a memory DC.
class TCanvas {
public:
  explicit TCanvas(int aSize) : FSize(aSize) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = aSize;
    info.bmiHeader.biHeight = -aSize;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    FDC = ::CreateCompatibleDC(nullptr);
    FBitmap = ::CreateDIBSection(FDC, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&FBits),
                                 nullptr, 0);
    FOld = ::SelectObject(FDC, FBitmap);
    std::fill(FBits, FBits + aSize * aSize, 0xFF000000u);
  }
  ~TCanvas() {
    ::SelectObject(FDC, FOld);
    ::DeleteObject(FBitmap);
    ::DeleteDC(FDC);
  }
  HDC DC() const { return FDC; }
  uint32_t Pixel(int aX, int aY) const {
    ::GdiFlush();
    return FBits[aY * FSize + aX] & 0xFFFFFF;
  }

private:
  int FSize;
  HDC FDC = nullptr;
  HBITMAP FBitmap = nullptr;
  HGDIOBJ FOld = nullptr;
  uint32_t* FBits = nullptr;
};

class WinImages : public ::testing::Test {
protected:
  void SetUp() override {
    FFolder = ktest::win32::TempFolder() + L"KestrovaImagesTest\\";
    ktest::win32::RemoveTree(FFolder);
    ASSERT_TRUE(::CreateDirectoryW(FFolder.c_str(), nullptr));
  }
  void TearDown() override { ktest::win32::RemoveTree(FFolder); }

  std::wstring FFolder;
  kplat::win32::TWin32Platform FPlatform;
  kplat::TScopedPlatform FScope{FPlatform};
};

} // namespace

TEST_F(WinImages, DecodesPremultipliedAndDrawsBlended) {
  const std::wstring file = FFolder + L"strip.png";
  ASSERT_TRUE(SaveBgraPng(Strip(2, 2, {kRed, kGreen, kBlue, kHalfWhite}), 32, 32, file));

  int width = 0;
  int height = 0;
  HBITMAP bitmap = LoadPngBitmap(file, width, height);
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(width, 32);
  EXPECT_EQ(height, 32);
  DIBSECTION section = {};
  ASSERT_EQ(::GetObjectW(bitmap, sizeof(section), &section), int(sizeof(section)));
  EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
  const auto* bits = static_cast<const uint32_t*>(section.dsBm.bmBits);
  // Top-down: the first row is the picture's top.
  EXPECT_EQ(bits[0], kRed);
  EXPECT_EQ(bits[31 * 32], kBlue);
  const uint32_t half = bits[31 * 32 + 31];
  EXPECT_EQ(half >> 24, 0x80u);
  EXPECT_NEAR(double(half & 0xFF), 0x80, 1) << std::hex << half;

  // Scaled to half its size onto black: each quarter of the canvas is one picture, the
  // half-transparent white comes out grey.
  TCanvas canvas(16);
  DrawPng(canvas.DC(), bitmap, RECT{0, 0, 16, 16});
  EXPECT_EQ(canvas.Pixel(2, 2), kRed & 0xFFFFFF);
  EXPECT_EQ(canvas.Pixel(13, 2), kGreen & 0xFFFFFF);
  EXPECT_NEAR(double(canvas.Pixel(13, 13) & 0xFF), 0x80, 2);
  ::DeleteObject(bitmap);
}

TEST_F(WinImages, RefusesMissingAndCorruptFiles) {
  const std::wstring file = FFolder + L"strip.png";
  ASSERT_TRUE(SaveBgraPng(Strip(2, 1, {kRed, kGreen}), 32, 16, file));
  std::vector<char> data;
  {
    std::ifstream in(file.c_str(), std::ios::binary);
    data.assign(std::istreambuf_iterator<char>(in), {});
  }
  ASSERT_GT(data.size(), 60u);

  // The header is intact, so the list believes in two pictures; the pixel data is not there.
  const std::wstring truncated = FFolder + L"truncated.png";
  std::ofstream(truncated.c_str(), std::ios::binary).write(data.data(), 45);
  const std::wstring garbled = FFolder + L"garbled.png";
  std::vector<char> damaged = data;
  for (size_t i = 33; i < damaged.size(); ++i)
    damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
  std::ofstream(garbled.c_str(), std::ios::binary).write(damaged.data(), damaged.size());

  for (const std::wstring& bad : {FFolder + L"missing.png", truncated, garbled}) {
    int width = -1;
    int height = -1;
    EXPECT_EQ(LoadPngBitmap(bad, width, height), nullptr);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
  }

  TImageList list(nullptr);
  ASSERT_TRUE(list.LoadFromFile(truncated));
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(WinImageList(list), nullptr);
}

TEST_F(WinImages, ImageListIsCutInOrderAndFollowsItsFile) {
  const std::wstring square = FFolder + L"square.png";
  const std::wstring row = FFolder + L"row.png";
  ASSERT_TRUE(SaveBgraPng(Strip(2, 2, {kRed, kGreen, kBlue, kHalfWhite}), 32, 32, square));
  ASSERT_TRUE(SaveBgraPng(Strip(3, 1, {kBlue, kBlue, kGreen}), 48, 16, row));

  TImageList list(nullptr);
  EXPECT_EQ(WinImageList(list), nullptr);
  ASSERT_TRUE(list.LoadFromFile(square));
  HIMAGELIST images = WinImageList(list);
  ASSERT_NE(images, nullptr);
  EXPECT_EQ(WinImageList(list), images);
  ASSERT_EQ(ImageList_GetImageCount(images), 4);
  int width = 0;
  int height = 0;
  ImageList_GetIconSize(images, &width, &height);
  EXPECT_EQ(width, 16);
  EXPECT_EQ(height, 16);
  // Left to right, then top to bottom; the transparency survives.
  const uint32_t expected[] = {kRed, kGreen, kBlue};
  for (int i = 0; i < 3; ++i) {
    TCanvas canvas(16);
    ASSERT_TRUE(ImageList_Draw(images, i, canvas.DC(), 0, 0, ILD_NORMAL));
    EXPECT_EQ(canvas.Pixel(8, 8), expected[i] & 0xFFFFFF) << i;
  }
  TCanvas canvas(16);
  ASSERT_TRUE(ImageList_Draw(images, 3, canvas.DC(), 0, 0, ILD_NORMAL));
  EXPECT_NEAR(double(canvas.Pixel(8, 8) & 0xFF), 0x80, 2);

  ASSERT_TRUE(list.LoadFromFile(row));
  images = WinImageList(list);
  ASSERT_NE(images, nullptr);
  ASSERT_EQ(ImageList_GetImageCount(images), 3);
  TCanvas last(16);
  ASSERT_TRUE(ImageList_Draw(images, 2, last.DC(), 0, 0, ILD_NORMAL));
  EXPECT_EQ(last.Pixel(8, 8), kGreen & 0xFFFFFF);

  list.Clear();
  EXPECT_EQ(WinImageList(list), nullptr);
}
