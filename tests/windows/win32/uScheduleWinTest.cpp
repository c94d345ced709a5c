// The Run entry in the real registry and the user's real date-time formats.
#include "windows/uSchedule.h"

#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"
#include "support/ProgramFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>

#include <iostream>
#include <optional>
#include <string>

namespace {

constexpr wchar_t kAppName[] = L"Kestrova Schedule Test";

// The Run value as the system reads it back, or nothing.
std::optional<std::wstring> ReadRunValue() {
  wchar_t data[1024] = {};
  DWORD size = sizeof(data);
  DWORD type = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, kAppName, RRF_RT_ANY, &type, data, &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ) {
    return std::nullopt;
  }
  return std::wstring(data);
}

class ScheduleWin : public ::testing::Test {
protected:
  void TearDown() override { RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, kAppName); }

  kplat::win32::TWin32Platform FPlatform;
  kplat::TScopedPlatform FScope{FPlatform};
};

} // namespace

TEST_F(ScheduleWin, RunEntryIsWrittenQuotedAndRemoved) {
  const std::wstring program = FPlatform.System().GetProgramPath();
  struct TEntry {
    bool Sweep;
    const wchar_t* Word;
    TLaunchAction Action;
  };
  for (const TEntry& entry : {TEntry{true, L"AutoSweep", TLaunchAction::laAutoSweep},
                              TEntry{false, L"ministart", TLaunchAction::laMiniStart}}) {
    WriteRunEntry(kAppName, RunEntryData(program, entry.Sweep, !entry.Sweep));
    EXPECT_EQ(ReadRunValue(), L"\"" + program + L"\" " + entry.Word);

    // The system splits the entry as the program's start-up does.
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(ReadRunValue().value_or(L"x").c_str(), &count);
    ASSERT_NE(arguments, nullptr);
    ASSERT_EQ(count, 2) << kplat::ToUtf8(entry.Word);
    EXPECT_EQ(std::wstring(arguments[0]), program);
    EXPECT_EQ(std::wstring(arguments[1]), entry.Word);
    EXPECT_EQ(PlanLaunch(arguments[1]).Action, entry.Action);
    LocalFree(arguments);
  }

  WriteRunEntry(kAppName, L"");
  EXPECT_FALSE(ReadRunValue());
  WriteRunEntry(kAppName, L"");
}

TEST_F(ScheduleWin, UsersFormatsReadBackADateTime) {
  const kplat::TDateTimeFormats formats = UserDateTimeFormats();
  const TDateTime value = *TryEncodeDateTime({2026, 11, 23, 17, 4, 58, 0});
  const std::wstring text = DateTimeToStr(value, formats);
  std::cout << "[ user format ] " << kplat::ToUtf8(text) << "\n";
  const std::optional<TDateTime> back = TryStrToDateTime(text, formats);
  ASSERT_TRUE(back) << kplat::ToUtf8(text);
  EXPECT_EQ(DateTimeToStr(*back, formats), text);
  EXPECT_EQ(DateTimeToStr(0.0, formats).empty(), false);
  EXPECT_TRUE(TryStrToDateTime(DateTimeToStr(0.0, formats), formats));
}
