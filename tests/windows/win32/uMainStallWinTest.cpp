// Whether the main window keeps serving its messages while it scans a large tree and repairs
// thousands of findings: a main-thread timer notes the gaps between its ticks, and the longest
// gap and the 99th percentile are printed (also as rows for tools/run-bench). The number of
// places is KESTROVA_STALL_PLACES (5,000 when unset; `make bench` gives BENCH_SIZE), a tenth of
// them findings: junk files in a folder tree, and a hundredth of the places registry values with a
// backup each.
#include "windows/uMain.h"

#include "../bench/BenchRow.h"
#include "base/CLSettings.h"
#include "platform/TextCodec.h"
#include "support/win32/WinScratch.h"
#include "support/win32/WinWindowTest.h"
#include "windows/uMaintain.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kStallKey[] = L"Software\\KestrovaStallWinTest";
constexpr UINT kProbeMs = 10;
constexpr int kPerFolder = 1000;
constexpr DWORD kStallRunLimitMs = 1800000;

int PlacesWanted() {
  const char* text = std::getenv("KESTROVA_STALL_PLACES");
  const int places = text != nullptr ? std::atoi(text) : 0;
  return places > 0 ? places : 5000;
}

// The times of the probe's ticks; the timer procedure has no context of its own.
std::vector<ULONGLONG>* GTicks = nullptr;

void CALLBACK ProbeTick(HWND, UINT, UINT_PTR, DWORD) {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  GTicks->push_back(static_cast<ULONGLONG>(now.QuadPart));
}

struct TGaps {
  double LongestMs = 0;
  double P99Ms = 0;
  double TotalMs = 0;
  size_t Count = 0;
};

TGaps GapsOf(const std::vector<ULONGLONG>& aTicks) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  std::vector<double> gaps;
  for (size_t i = 1; i < aTicks.size(); ++i)
    gaps.push_back(static_cast<double>(aTicks[i] - aTicks[i - 1]) * 1000.0 /
                   static_cast<double>(frequency.QuadPart));
  TGaps result;
  if (gaps.empty())
    return result;
  std::sort(gaps.begin(), gaps.end());
  result.LongestMs = gaps.back();
  result.P99Ms = gaps[std::min(gaps.size() - 1, gaps.size() * 99 / 100)];
  result.Count = gaps.size();
  result.TotalMs = static_cast<double>(aTicks.back() - aTicks.front()) * 1000.0 /
                   static_cast<double>(frequency.QuadPart);
  return result;
}

class MainWindowStall : public WinWindowTest {
protected:
  MainWindowStall() {
    FBox.DeclineQuestions = true;
    TfrmMain::SetDefaultMessageBox(&FBox);
  }
  ~MainWindowStall() override {
    FForm.reset();
    TfrmMain::SetDefaultMessageBox(nullptr);
    ktest::win32::RemoveTree(FFolder);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kStallKey);
  }

  // aFiles files in folders of a thousand, every tenth of them junk, and aValues registry values
  // under the scratch key; the topics that find them.
  void Plant(int aFiles, int aValues) {
    ktest::win32::RemoveTree(FFolder);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kStallKey);
    const std::wstring tree = FFolder + L"tree\\";
    ::SHCreateDirectoryExW(nullptr, tree.c_str(), nullptr);
    std::wstring folder;
    for (int i = 0; i < aFiles; ++i) {
      if (i % kPerFolder == 0) {
        folder = tree + L"d" + std::to_wstring(i / kPerFolder) + L"\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
      }
      const std::wstring name =
          folder + L"f" + std::to_wstring(i) + (i % 10 == 0 ? L".tmp" : L".log");
      HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      DWORD written = 0;
      ::WriteFile(file, "junk", 4, &written, nullptr);
      ::CloseHandle(file);
    }
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, (std::wstring(kStallKey) + L"\\History").c_str(),
                                0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (int i = 0; i < aValues; ++i) {
      const std::wstring data = L"C:\\Documents\\file" + std::to_wstring(i) + L".txt";
      ::RegSetValueExW(key, (L"MRU" + std::to_wstring(i)).c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.c_str()),
                       static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }
    ::RegCloseKey(key);
    std::ofstream(std::filesystem::path(FFolder + L"topics.db"))
        << "[GLOBAL]\nMAGICWORD=FIG\nDATETIME=12/9/2026\n"
           "[TOPIC_0]\nNAME=KestrovaStallHistory\nCategory=tcBPrivacySweep\n"
           "Rule_Caption=History\nLOCATION_0=lsRegistry,HKEY_CURRENT_USER\\"
        << kplat::ToUtf8(kStallKey)
        << "\\History\nRule=rsRegistryHistory,History\nLEVEL=2\nCHECKVALUES=1\n"
           "[TOPIC_1]\nNAME=KestrovaStallJunk\nCategory=tcCJunkFile\nRule_Caption=Old files\n"
           "LOCATION_0=lsDisk,"
        << kplat::ToUtf8(tree) << "\nRule=rsJunkFile,.tmp\nLEVEL=2\nIncludeSubFolder=1\n";
  }

  TfrmMain& Open() {
    FForm = std::make_unique<TfrmMain>(nullptr);
    FForm->tmrCleannow->SetEnabled(false);
    FForm->FigEngine().SetPacing(false);
    FForm->FigCure().SetPaced(false);
    TCLSettings& settings = GetCLSettings();
    settings.SetSettingBool(L"PrivacySweep.KestrovaStallHistory", true);
    settings.SetSettingBool(L"JunkFiles.KestrovaStallJunk", true);
    FForm->Maintain()->SetCategorySwitches({false, true, true, false});
    EXPECT_TRUE(FForm->FigEngine().LoadTopics(FFolder + L"topics.db"));
    return *FForm;
  }

  const std::wstring FFolder = ktest::win32::TempFolder() + L"KestrovaStallWin\\";
  std::unique_ptr<TfrmMain> FForm;
};

void Print(const char* aWhat, int aCount, const char* aUnit, const TGaps& aGaps) {
  std::printf("%s, %d %s: longest gap %.1f ms, 99th percentile %.1f ms, %zu ticks in %.1f s\n",
              aWhat, aCount, aUnit, aGaps.LongestMs, aGaps.P99Ms, aGaps.Count,
              aGaps.TotalMs / 1000.0);
  const std::string work =
      std::string(aWhat) + " " + std::to_string(aCount) + " " + std::string(aUnit);
  PrintBenchRow(work + ": longest main-thread gap", aGaps.LongestMs, 50, "50 ms", "ms", 1);
  PrintBenchRow(work + ": 99th percentile gap", aGaps.P99Ms, 50, "50 ms", "ms", 1);
}

TEST_F(MainWindowStall, ScanAndRepairKeepTheMainThreadServing) {
  const int places = PlacesWanted();
  const int values = places / 100;
  Plant(places - values, values);
  ASSERT_FALSE(::testing::Test::HasFailure());
  TfrmMain& form = Open();
  ASSERT_FALSE(::testing::Test::HasFailure());
  form.actMaintainWindows->Execute();
  form.ShowForm();
  // The window's start-up work (its first paint, the tray icon it posts for later) is no part of
  // the scan: the probe starts once the window has nothing left to do.
  ktest::win32::PumpUntil([] { return ::GetQueueStatus(QS_ALLINPUT) == 0; }, 2000);

  std::vector<ULONGLONG> ticks;
  GTicks = &ticks;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, kProbeMs, ProbeTick);
  ASSERT_NE(timer, 0u);
  // The call that starts the work counts too: its time is the first tick's.
  ProbeTick(nullptr, 0, 0, 0);
  form.actScan->Execute();
  const bool scanned =
      ktest::win32::PumpUntil([&form] { return !form.FigEngine().IsRunning(); }, kStallRunLimitMs);
  const TGaps scan = GapsOf(ticks);
  ticks.clear();
  const int findings = form.FigCure().ItemCount();
  ProbeTick(nullptr, 0, 0, 0);
  form.actCure->Execute();
  const bool repaired =
      ktest::win32::PumpUntil([&form] { return !form.FigCure().IsRunning(); }, kStallRunLimitMs);
  ::KillTimer(nullptr, timer);
  GTicks = nullptr;
  const TGaps repair = GapsOf(ticks);
  ASSERT_TRUE(scanned);
  ASSERT_TRUE(repaired);

  // Every place was judged and every finding repaired: the figures are of the whole work.
  EXPECT_GE(form.FigEngine().Summary().AllCount, places);
  EXPECT_EQ(findings, values + (places - values + 9) / 10);
  EXPECT_EQ(form.Maintain()->lblResultPrivacySweep->Caption(), L"No problem.");
  EXPECT_EQ(form.Maintain()->lblResultJunkFiles->Caption(), L"No problem.");
  Print("scan", places, "places", scan);
  Print("repair", findings, "findings", repair);
}

} // namespace
