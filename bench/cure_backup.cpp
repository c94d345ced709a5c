// Backs up and deletes 10,000 registry values through a repair run without pacing, each backup
// entry flushed to disk before its value goes, and compares the time with the system's registry
// editor exporting the same values ("regedit /e") and "reg delete" removing them. On Linux the
// run goes against the in-memory machine and there is no system editor to compare with.

#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "cure/FigCure.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#ifdef _WIN32
#include "platform/win32/Win32Platform.h"
#else
#include "platform/fake/FakeMachine.h"
#endif

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace kplat;

constexpr int kValues = 10000;
constexpr uint32_t kLimitMs = 600000;
const std::wstring kKey = L"Software\\KestrovaBench\\CureBackup";

using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point aStart) {
  return std::chrono::duration<double, std::milli>(TClock::now() - aStart).count();
}

bool Seed() {
  TRegKey key;
  if (key.Create(regroot::CurrentUser, kKey) != err::Success) {
    return false;
  }
  for (int i = 0; i < kValues; ++i) {
    const std::wstring name = L"value " + std::to_wstring(i);
    const TErrorCode rc =
        i % 2 == 0
            ? key.WriteString(name, L"C:\\Program Files\\App " + std::to_wstring(i) + L"\\app.exe")
            : key.WriteDword(name, static_cast<uint32_t>(i));
    if (rc != err::Success) {
      return false;
    }
  }
  return true;
}

void Print(const std::string& aText) {
  std::fwrite(aText.data(), 1, aText.size(), stdout);
  std::fflush(stdout);
}

// The repair run; -1 when it did not go through.
double TimeRepair(const std::wstring& aFolder) {
  TCLMainThreadQueue mainThread(TCLIdleWait::WaitForCall);
  TCLScopedMainThread scope(mainThread);
  TFigCure cure;
  cure.SetBackupPath(aFolder);
  cure.SetPaced(false);
  for (int i = 0; i < kValues; ++i) {
    TFigScanedItem item;
    item.LocationStyle = lsRegistry;
    item.ScanedRoot = L"HKEY_CURRENT_USER";
    item.ScanedPath = kKey;
    item.ScanedSection = L"value " + std::to_wstring(i);
    item.ValueCheck = true;
    item.Checked = true;
    cure.AddMatchedItem(item);
  }
  int cured = 0;
  cure.OnCured = [&cured](const TFigScanedItem&, TFigCureStatus aStatus, int, int) {
    cured += aStatus == csCured ? 1 : 0;
  };
  const auto start = TClock::now();
  if (!cure.StartCure() || !mainThread.RunUntil([&cure] { return !cure.IsRunning(); }, kLimitMs) ||
      cured != kValues) {
    Print("repair run failed: " + ToUtf8(cure.LastError()) + "\n");
    return -1;
  }
  return MsSince(start);
}

#ifdef _WIN32
bool RunAndWait(const std::wstring& aCommandLine) {
  TProcessStart start;
  start.CommandLine = aCommandLine;
  start.Hidden = true;
  start.WaitMs = kLimitMs;
  TProcessResult result;
  return Platform().Processes().StartProcess(start, result) == err::Success && result.Finished;
}
#endif

int Bench() {
#ifdef _WIN32
  win32::InstallWin32Platform();
#else
  fake::TFakeMachine machine;
  TScopedPlatform platform(machine);
#endif
  const std::wstring folder = GetTempDir() + L"kestrova-bench-cure";
  ForceFolders(folder);
  if (!Seed()) {
    Print("cannot seed the registry\n");
    return 1;
  }
  const double repair = TimeRepair(folder);
  if (repair < 0) {
    return 1;
  }
  Print("repair run, " + std::to_string(kValues) +
        " values backed up and deleted: " + std::to_string(static_cast<int>(repair)) + " ms (" +
        std::to_string(repair * 1000 / kValues) + " us per value)\n");
  int rc = 0;
#ifdef _WIN32
  if (!Seed()) {
    Print("cannot seed the registry\n");
    return 1;
  }
  const std::wstring windows = Platform().System().GetWindowsFolder();
  const std::wstring exported = folder + L"\\regedit-export.reg";
  auto start = TClock::now();
  const bool exportOk = RunAndWait(L"\"" + windows + L"\\regedit.exe\" /e \"" + exported +
                                   L"\" \"HKEY_CURRENT_USER\\" + kKey + L"\"");
  const double exportMs = MsSince(start);
  start = TClock::now();
  const bool deleteOk =
      RunAndWait(L"\"" + windows + L"\\system32\\reg.exe\" delete \"HKCU\\" + kKey + L"\" /va /f");
  const double deleteMs = MsSince(start);
  TRegKey key;
  TRegKeyInfo info;
  if (!exportOk || !deleteOk || key.Open(regroot::CurrentUser, kKey) != err::Success ||
      key.Info(info) != err::Success || info.ValueCount != 0) {
    Print("the system editor's export or reg delete failed\n");
    rc = 1;
  } else {
    Print("regedit /e: " + std::to_string(static_cast<int>(exportMs)) +
          " ms, reg delete: " + std::to_string(static_cast<int>(deleteMs)) + " ms\n");
    Print("ratio repair / (export + delete): " + std::to_string(repair / (exportMs + deleteMs)) +
          "\nratio repair / export: " + std::to_string(repair / exportMs) + "\n");
  }
  key.Close();
  Platform().Files().DeleteFile(exported);
#endif
  Platform().Registry().DeleteKeyTree(regroot::CurrentUser, L"Software\\KestrovaBench",
                                      TRegView::Default);
  std::vector<std::wstring> files;
  FindFiles(folder + L"\\*", files, true);
  for (const std::wstring& file : files) {
    Platform().Files().DeleteFile(file);
  }
  Platform().Files().RemoveFolder(folder);
  return rc;
}

} // namespace

#ifdef _WIN32
// The Windows build links with -municode, whose start-up code calls wmain.
int wmain() {
  return Bench();
}
#else
int main() {
  return Bench();
}
#endif
