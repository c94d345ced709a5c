// The settings window on the real system, over the shipped topics: OK writes and removes the
// log-on sweep's Run entry as the system's own registry tool reads it, and every page is shown.
#include "ui/uSettings.h"

#include "engine/FigEngine.h"
#include "framework/CLEngine.h"
#include "framework/CLHelpers.h"
#include "framework/CLMainThread.h"
#include "framework/CLMultiLang.h"
#include "framework/CLSettings.h"
#include "framework/win32/CLMainThreadWin.h"
#include "platform/TextCodec.h"
#include "platform/win32/Win32Platform.h"
#include "support/win32/WinScratch.h"
#include "support/win32/WinScreenshot.h"
#include "ui/uSchedule.h"
#include "ui/win32/CLWinBinding.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class TRecordingBox : public ICLMessageBox {
public:
  TModalResult Show(const TCLMessageRequest& aRequest, bool& aFlagChecked) override {
    Texts.push_back(aRequest.Text);
    aFlagChecked = false;
    return mr::OK;
  }
  std::vector<std::wstring> Texts;
};

// What "reg query" prints about the Run key; the registry tool's exit code in aExitCode.
std::string QueryRunKey(DWORD& aExitCode) {
  const std::wstring outFile = ktest::win32::TempFolder() + L"kestrova-reg-query.txt";
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE out = ::CreateFileW(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE)
    return "<no output file>";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = out;
  startup.hStdError = out;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"reg query \"HKCU\\";
  commandLine += kRunKey;
  commandLine += L"\"";
  const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  ::CloseHandle(out);
  if (!started)
    return "<reg not started>";
  const bool ended = ::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
  aExitCode = 99;
  ::GetExitCodeProcess(process.hProcess, &aExitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  if (!ended)
    return "<reg did not end>";
  std::ifstream file(std::filesystem::path(outFile), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  file.close();
  ::DeleteFileW(outFile.c_str());
  // The tool writes ANSI text, or UTF-16 on some systems; the texts looked for are ASCII.
  std::erase(text, '\0');
  return text;
}

void Paint(HWND aWindow) {
  ::RedrawWindow(aWindow, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_PAINT) == 0; }, 2000);
}

// The user's click on a check box or button.
void Click(TControl& aControl) {
  HWND window = ControlWindow(aControl);
  ASSERT_NE(window, nullptr);
  ::SendMessageW(window, BM_CLICK, 0, 0);
}

class SettingsWin : public ::testing::Test {
protected:
  SettingsWin() {
    FPrevious = SetCLMainThread(&FMainThread);
    InstallWin32Binding();
    FLanguage.DefaultData().LoadFromString(CLBuiltInEnglish());
    FEngine.SetLanguageData(&FLanguage);
    FEngine.SetMessageBox(&FBox);
    EXPECT_TRUE(FFigEngine.LoadTopics(GetAppPath() + L"data\\topic.db"));
  }
  ~SettingsWin() override {
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, RunEntryName().c_str());
    FreeCLSettings();
    SetCLMainThread(FPrevious);
  }

  // Opens the window, sets the two ticks that decide the Run entry as the user clicks them and
  // presses OK.
  void ChooseLogOnSweep(bool aSweep) {
    TfrmSettings window(nullptr, FFigEngine);
    window.ShowForm();
    window.SetPage(0);
    if (window.cbStartup->Checked())
      Click(*window.cbStartup);
    window.SetPage(15);
    if (window.cbASWLogin->Checked() != aSweep)
      Click(*window.cbASWLogin);
    EXPECT_EQ(window.cbASWLogin->Checked(), aSweep);
    Click(*window.btnOk);
    EXPECT_EQ(GetCLSettings().GetSettingBool(L"AutoSweep.Login"), aSweep);
  }

  kplat::win32::TWin32Platform FPlatform;
  kplat::TScopedPlatform FScope{FPlatform};
  TCLMainThreadWin FMainThread;
  TCLMainThread* FPrevious = nullptr;
  TCLMultiLangData FLanguage{nullptr};
  TRecordingBox FBox;
  TCLEngine FEngine{nullptr};
  TFigEngine FFigEngine;
};

TEST_F(SettingsWin, OkWritesAndRemovesTheLogOnSweepRunEntry) {
  const std::string name = kplat::ToUtf8(RunEntryName());
  ASSERT_FALSE(name.empty());
  std::string data = "\"";
  data += kplat::ToUtf8(FPlatform.System().GetProgramPath());
  data += "\" AutoSweep";

  ChooseLogOnSweep(true);
  DWORD exitCode = 99;
  std::string listing = QueryRunKey(exitCode);
  EXPECT_EQ(exitCode, 0u) << listing;
  const size_t line = listing.find(name);
  ASSERT_NE(line, std::string::npos) << listing;
  const std::string entry = listing.substr(line, listing.find_first_of("\r\n", line) - line);
  EXPECT_NE(entry.find("REG_SZ"), std::string::npos) << entry;
  EXPECT_EQ(entry.substr(entry.size() - std::min(entry.size(), data.size())), data) << entry;

  ChooseLogOnSweep(false);
  listing = QueryRunKey(exitCode);
  EXPECT_EQ(listing.find(name), std::string::npos) << listing;
  EXPECT_EQ(listing.find("AutoSweep"), std::string::npos) << listing;
}

TEST_F(SettingsWin, EveryPageOnScreen) {
  TfrmSettings window(nullptr, FFigEngine);
  window.ShowForm();
  HWND form = FormWindow(window);
  ASSERT_NE(form, nullptr);
  for (int page : {0, 2, 3, 10, 11, 12, 13, 14, 15}) {
    window.SetPage(page);
    EXPECT_EQ(window.Page(), page);
    Paint(form);
    std::wstring shot = L"settings-";
    shot += std::to_wstring(page);
    EXPECT_TRUE(ktest::win32::SaveWindowPng(form, ktest::win32::ScreenshotPath(shot)));
  }
  // The shipped topics fill the lists of the three scan pages.
  EXPECT_GT(window.lbRegistryFixList->Items().Count(), 0);
  EXPECT_GT(window.tvPSList->Items().Count(), 0);
  EXPECT_GT(window.lbJunkFiles->Items().Count(), 0);
}

} // namespace
