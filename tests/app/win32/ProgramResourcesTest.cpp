// Every shipped program carries the application icon and a version resource whose numbers are
// the product version in const.dat, as Explorer's properties page and the installer show them;
// the command-line program starts without the libraries of the shell and of COM.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

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

// The libraries the program's import table names, lower case, as the loader resolves them when
// the program starts; empty when the file is no program.
std::vector<std::string> ImportedLibraries(const std::wstring& aProgram) {
  std::ifstream in(std::filesystem::path(aProgram), std::ios::binary);
  const std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto at = [&image](size_t aOffset, auto& aValue) {
    if (aOffset + sizeof(aValue) > image.size()) {
      return false;
    }
    std::memcpy(&aValue, image.data() + aOffset, sizeof(aValue));
    return true;
  };
  IMAGE_DOS_HEADER dos;
  IMAGE_NT_HEADERS64 nt;
  if (!at(0, dos) || !at(static_cast<size_t>(dos.e_lfanew), nt)) {
    return {};
  }
  const size_t sections = static_cast<size_t>(dos.e_lfanew) +
                          offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                          nt.FileHeader.SizeOfOptionalHeader;
  // Where a virtual address lies in the file.
  const auto fileOffset = [&](DWORD aAddress) -> size_t {
    for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
      IMAGE_SECTION_HEADER section;
      if (at(sections + i * sizeof(section), section) && aAddress >= section.VirtualAddress &&
          aAddress < section.VirtualAddress + section.SizeOfRawData) {
        return aAddress - section.VirtualAddress + section.PointerToRawData;
      }
    }
    return image.size();
  };
  std::vector<std::string> names;
  const DWORD imports =
      nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  IMAGE_IMPORT_DESCRIPTOR entry;
  for (size_t offset = fileOffset(imports); at(offset, entry) && entry.Name != 0;
       offset += sizeof(entry)) {
    std::string name(image.c_str() + std::min(fileOffset(entry.Name), image.size()));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    names.push_back(name);
  }
  return names;
}

TEST(ProgramResources, CommandLineStartsWithoutTheShellAndComLibraries) {
  const std::vector<std::string> names = ImportedLibraries(ProgramFolder() + L"kestrova-cli.exe");
  ASSERT_NE(std::find(names.begin(), names.end(), "kernel32.dll"), names.end());
  for (const std::string library : {"shell32.dll", "ole32.dll", "user32.dll"}) {
    EXPECT_EQ(std::find(names.begin(), names.end(), library), names.end()) << library;
  }
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
