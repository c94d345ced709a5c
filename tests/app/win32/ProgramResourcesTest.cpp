// Every shipped program carries the application icon and a version resource whose numbers are
// the product version in const.dat, as Explorer's properties page and the installer show them.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace {

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  const std::wstring file(path, length);
  return file.substr(0, file.find_last_of(L'\\') + 1);
}

// "1.2.3.4" from the App.Ver line of the const.dat beside the programs.
std::string ProductVersion() {
  std::ifstream in(std::filesystem::path(ProgramFolder() + L"const.dat"), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::smatch match;
  if (!std::regex_search(text, match, std::regex(R"(App\.Ver=(\d+\.\d+\.\d+\.\d+))"))) {
    return {};
  }
  return match[1];
}

struct TProgramResources {
  bool Loaded = false;
  bool HasIcon = false;
  std::string FileVersion;
  std::string ProductVersion;
};

std::string VersionText(DWORD aMost, DWORD aLeast) {
  return std::to_string(HIWORD(aMost)) + "." + std::to_string(LOWORD(aMost)) + "." +
         std::to_string(HIWORD(aLeast)) + "." + std::to_string(LOWORD(aLeast));
}

// Reads the resources straight from the file, as the shell does, without running the program.
TProgramResources ReadResources(const std::wstring& aProgram) {
  TProgramResources result;
  HMODULE module = LoadLibraryExW(aProgram.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) {
    return result;
  }
  result.Loaded = true;
  result.HasIcon = FindResourceW(module, MAKEINTRESOURCEW(1), RT_GROUP_ICON) != nullptr;
  if (HRSRC version = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION)) {
    const DWORD size = SizeofResource(module, version);
    const auto* data =
        static_cast<const unsigned char*>(LockResource(LoadResource(module, version)));
    // The fixed part follows the block's header; its signature marks it wherever padding puts it.
    for (DWORD at = 0; data && at + sizeof(VS_FIXEDFILEINFO) <= size; at += 4) {
      VS_FIXEDFILEINFO fixed;
      std::memcpy(&fixed, data + at, sizeof(fixed));
      if (fixed.dwSignature == 0xFEEF04BD) {
        result.FileVersion = VersionText(fixed.dwFileVersionMS, fixed.dwFileVersionLS);
        result.ProductVersion = VersionText(fixed.dwProductVersionMS, fixed.dwProductVersionLS);
        break;
      }
    }
  }
  FreeLibrary(module);
  return result;
}

TEST(ProgramResources, EveryProgramHasTheIconAndTheProductVersion) {
  const std::string version = ProductVersion();
  ASSERT_FALSE(version.empty()) << "no App.Ver in the const.dat beside the test program";
  for (const std::string name : {"Kestrova.exe", "kestrova-cli.exe", "sweephelper.exe"}) {
    SCOPED_TRACE(name);
    const TProgramResources resources =
        ReadResources(ProgramFolder() + std::wstring(name.begin(), name.end()));
    ASSERT_TRUE(resources.Loaded);
    EXPECT_TRUE(resources.HasIcon);
    EXPECT_EQ(resources.FileVersion, version);
    EXPECT_EQ(resources.ProductVersion, version);
  }
}

} // namespace
