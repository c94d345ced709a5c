// The pictures the build renders beside the program: the icon with every size the shell asks
// for, and strips wide enough for every image index the windows and the tools list use.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

namespace {

std::string ShippedFile(const std::string& aRelative) {
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe");
  std::ifstream in(exe.parent_path() / aRelative, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t ReadBigEndian32(const std::string& aData, size_t aOffset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    value = (value << 8) | static_cast<unsigned char>(aData[aOffset + i]);
  }
  return value;
}

uint16_t ReadLittleEndian16(const std::string& aData, size_t aOffset) {
  return static_cast<uint16_t>(static_cast<unsigned char>(aData[aOffset]) |
                               (static_cast<unsigned char>(aData[aOffset + 1]) << 8));
}

uint32_t ReadLittleEndian32(const std::string& aData, size_t aOffset) {
  return ReadLittleEndian16(aData, aOffset) |
         (static_cast<uint32_t>(ReadLittleEndian16(aData, aOffset + 2)) << 16);
}

struct TPngSize {
  uint32_t Width = 0;
  uint32_t Height = 0;
};

// Width and height from the header chunk; zero when the file is no PNG picture.
TPngSize PngSize(const std::string& aData) {
  static const std::string kSignature("\x89PNG\r\n\x1a\n", 8);
  if (aData.size() < 24 || aData.compare(0, 8, kSignature) != 0 ||
      aData.compare(12, 4, "IHDR") != 0) {
    return {};
  }
  return {ReadBigEndian32(aData, 16), ReadBigEndian32(aData, 20)};
}

// The highest image index the tools list names.
int HighestToolIcon() {
  const std::string list = ShippedFile("data/utilities.db");
  const std::regex line(R"(TOOLS_\d+_\d+_ICON=(\d+))");
  int highest = -1;
  for (std::sregex_iterator it(list.begin(), list.end(), line), end; it != end; ++it) {
    highest = std::max(highest, std::stoi((*it)[1]));
  }
  return highest;
}

TEST(ShippedPictures, IconHoldsEverySizeTheShellAsksFor) {
  const std::string icon = ShippedFile("res/icon.ico");
  ASSERT_GE(icon.size(), 6u) << "res/icon.ico is not beside the test program";
  EXPECT_EQ(ReadLittleEndian16(icon, 0), 0);
  EXPECT_EQ(ReadLittleEndian16(icon, 2), 1) << "not an icon file";
  const uint16_t count = ReadLittleEndian16(icon, 4);
  ASSERT_GE(icon.size(), 6u + 16u * count);
  std::set<int> sizes;
  for (uint16_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * static_cast<size_t>(i);
    const int width = static_cast<unsigned char>(icon[entry]);
    const int height = static_cast<unsigned char>(icon[entry + 1]);
    EXPECT_EQ(width, height);
    sizes.insert(width == 0 ? 256 : width);
    const uint32_t length = ReadLittleEndian32(icon, entry + 8);
    const uint32_t offset = ReadLittleEndian32(icon, entry + 12);
    EXPECT_LE(static_cast<uint64_t>(offset) + length, icon.size()) << "image " << i << " is cut";
  }
  EXPECT_EQ(sizes, (std::set<int>{16, 24, 32, 48, 256}));
}

TEST(ShippedPictures, StripsHoldAnImageForEveryIndexInUse) {
  const TPngSize small = PngSize(ShippedFile("res/16.png"));
  ASSERT_EQ(small.Height, 16u) << "res/16.png is missing or not 16 pixels high";
  EXPECT_EQ(small.Width % 16, 0u);
  // Finding rows, the four categories, backups, settings and information.
  EXPECT_GE(small.Width / 16, 8u);

  const TPngSize large = PngSize(ShippedFile("res/32.png"));
  ASSERT_EQ(large.Height, 32u) << "res/32.png is missing or not 32 pixels high";
  EXPECT_EQ(large.Width % 32, 0u);
  const int highest = HighestToolIcon();
  ASSERT_GE(highest, 0) << "data/utilities.db names no icon";
  EXPECT_GT(large.Width / 32, static_cast<uint32_t>(highest));

  for (const char* picture :
       {"res/images/splash.png", "res/images/about.png", "res/images/update.png"}) {
    const TPngSize size = PngSize(ShippedFile(picture));
    EXPECT_GT(size.Width, 0u) << picture;
    EXPECT_GT(size.Height, 0u) << picture;
  }
}

} // namespace
