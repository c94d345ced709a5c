// The application manifest every program carries, as the loader applies it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>
#include <string>

TEST(WinManifest, LoadsCommonControlsSixAndIsDpiAware) {
  HMODULE controls = ::LoadLibraryW(L"comctl32.dll");
  ASSERT_NE(controls, nullptr);
  // Version 6 is only found through the manifest, in the side-by-side store; the one in the
  // system folder is version 5.
  wchar_t path[MAX_PATH] = {};
  ASSERT_NE(::GetModuleFileNameW(controls, path, MAX_PATH), 0u);
  std::wstring lower(path);
  for (wchar_t& c : lower)
    c = static_cast<wchar_t>(std::towlower(c));
  EXPECT_NE(lower.find(L"\\winsxs\\"), std::wstring::npos) << path;
  EXPECT_NE(lower.find(L"common-controls"), std::wstring::npos) << path;
  EXPECT_NE(::GetProcAddress(controls, "TaskDialogIndirect"), nullptr);
  ::FreeLibrary(controls);

  EXPECT_TRUE(::IsProcessDPIAware());
}
