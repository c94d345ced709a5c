#include "platform/ConformanceBackend.h"
#include "platform/TextCodec.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class Win32System : public ::testing::Test {
protected:
  std::unique_ptr<TConformanceBackend> FBackend = MakeConformanceBackend();
  kplat::IPlatform& FPlatform = FBackend->Platform();
  kplat::ISystem& FSystem = FPlatform.System();
};

TEST_F(Win32System, FoldersComeInTheirDocumentedForm) {
  const std::wstring temp = FSystem.GetTempFolder();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(L'\\', temp.back());
  for (const std::wstring& folder :
       {FSystem.GetWindowsFolder(), FSystem.GetSystemFolder(), FSystem.GetCurrentFolder()}) {
    ASSERT_GT(folder.size(), 3u);
    EXPECT_NE(L'\\', folder.back()) << kplat::ToUtf8(folder);
  }
  EXPECT_TRUE(
      kplat::SameText(FSystem.GetWindowsFolder() + L"\\system32", FSystem.GetSystemFolder()));
  const std::wstring program = FSystem.GetProgramPath();
  EXPECT_TRUE(
      kplat::SameText(L"platform_tests.exe", program.substr(program.find_last_of(L'\\') + 1)));
}

TEST_F(Win32System, VersionIsTheRealOne) {
  const kplat::TOSVersion version = FSystem.GetVersion();
  EXPECT_GE(version.Major, 6u);
  EXPECT_GT(version.Build, 0u);
  EXPECT_TRUE(version.ProductType >= 1 && version.ProductType <= 3) << version.ProductType;
  // A 64-bit program runs on x64, or emulated on ARM64; the native machine is what counts.
  EXPECT_TRUE(version.ProcessorArchitecture == 9 || version.ProcessorArchitecture == 12)
      << version.ProcessorArchitecture;
  EXPECT_NE(0, FSystem.GetSystemDefaultLangID());
}

TEST_F(Win32System, EmptyVariableIsDefinedUnlikeAMissingOne) {
  const std::wstring name = L"KESTROVA_EMPTY_" + std::to_wstring(FPlatform.Clock().TickMs());
  std::wstring value = L"stale";
  EXPECT_FALSE(FSystem.GetEnv(name, value));
  EXPECT_EQ(L"", value);
  ASSERT_EQ(kplat::err::Success, FSystem.SetEnv(name, L""));
  value = L"stale";
  EXPECT_TRUE(FSystem.GetEnv(name, value));
  EXPECT_EQ(L"", value);

  const std::wstring longValue(5000, L'v');
  ASSERT_EQ(kplat::err::Success, FSystem.SetEnv(name, longValue));
  EXPECT_TRUE(FSystem.GetEnv(name, value));
  EXPECT_EQ(longValue, value);
  EXPECT_EQ(L"<" + longValue + L"> %KESTROVA_UNDEFINED_NAME%",
            FSystem.ExpandEnvironmentStrings(L"<%" + name + L"%> %KESTROVA_UNDEFINED_NAME%"));
}

TEST(Win32Clock, LocalTimeKeepsTheFinerPartAndTicksNeverGoBack) {
  std::unique_ptr<TConformanceBackend> backend = MakeConformanceBackend();
  kplat::IClock& clock = backend->Platform().Clock();
  const kplat::TFileTime utc = 133000000001234567ull; // a moment in 2022, not on a millisecond
  const kplat::TFileTime local = clock.UtcToLocal(utc);
  EXPECT_EQ(utc % 10000, local % 10000);
  // No zone is more than 14 hours away.
  const int64_t offset = static_cast<int64_t>(local) - static_cast<int64_t>(utc);
  EXPECT_LE(std::abs(offset), 14ll * 3600 * 10000000);
  const uint64_t first = clock.TickMs();
  EXPECT_GE(clock.TickMs(), first);
}

TEST(Win32Debug, OutputWithoutAViewerReturns) {
  std::unique_ptr<TConformanceBackend> backend = MakeConformanceBackend();
  kplat::IDebugOutput& debug = backend->Platform().Debug();
  // From two threads at once, with a long text and one outside the basic plane.
  std::thread other([&debug] { debug.Output(L"Worker", std::wstring(70000, L'w')); });
  debug.Output(L"Settings", L"Setting Not Found : App.GUID \u00e9\U0001F600");
  other.join();
  SUCCEED();
}

} // namespace
