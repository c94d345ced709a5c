// Backs up and deletes registry values (10,000 by default; the first argument changes it, and a
// tenth and a hundredth of it are measured too, from 100 values up) through a repair run without
// pacing, each backup entry flushed to disk before its value goes, and compares the time with
// exporting the same values and deleting them by other means. Built for Windows, those are the
// system's registry editor ("regedit /e") and "reg delete"; natively, on the in-memory machine, a
// bare export of the key into one file followed by deleting each value.

#include "BenchMachine.h"
#include "BenchRow.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "cure/FigCure.h"
#include "cure/RegUtils.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace kplat;

constexpr uint32_t kLimitMs = 600000;
const std::wstring kKey = L"Software\\KestrovaBench\\CureBackup";

using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point aStart) {
  return std::chrono::duration<double, std::milli>(TClock::now() - aStart).count();
}

bool Seed(int aValues) {
  TRegKey key;
  if (key.Create(regroot::CurrentUser, kKey) != err::Success) {
    return false;
  }
  for (int i = 0; i < aValues; ++i) {
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

// The repair run; -1 when it did not go through.
double TimeRepair(const std::wstring& aFolder, int aValues) {
  TCLMainThreadQueue mainThread(TCLIdleWait::WaitForCall);
  TCLScopedMainThread scope(mainThread);
  TFigCure cure;
  cure.SetBackupPath(aFolder);
  cure.SetPaced(false);
  for (int i = 0; i < aValues; ++i) {
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
      cured != aValues) {
    PrintNow("repair run failed: " + ToUtf8(cure.LastError()) + "\n");
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

const char* const kReference = "regedit /e + reg delete";
constexpr double kGoal = 0.8;

// The system's registry editor exports the key, then "reg delete" removes its values.
bool ExportAndDelete(const std::wstring& aExport, double& aExportMs, double& aDeleteMs) {
  const std::wstring windows = Platform().System().GetWindowsFolder();
  auto start = TClock::now();
  const bool exported = RunAndWait(L"\"" + windows + L"\\regedit.exe\" /e \"" + aExport +
                                   L"\" \"HKEY_CURRENT_USER\\" + kKey + L"\"");
  aExportMs = MsSince(start);
  start = TClock::now();
  const bool deleted =
      RunAndWait(L"\"" + windows + L"\\system32\\reg.exe\" delete \"HKCU\\" + kKey + L"\" /va /f");
  aDeleteMs = MsSince(start);
  return exported && deleted;
}
#else
const char* const kReference = "bare export + delete";
// A bare export keeps nothing on disk before each change, so there is no goal to meet here.
constexpr double kGoal = 0;

// One export of every value into one file, written once, then each value deleted.
bool ExportAndDelete(const std::wstring& aExport, double& aExportMs, double& aDeleteMs) {
  auto start = TClock::now();
  TRegKey key;
  if (key.Open(regroot::CurrentUser, kKey, TRegAccess::FullAccess) != err::Success) {
    return false;
  }
  const std::vector<std::wstring> names = key.ValueNames();
  TRegExporter exporter;
  for (const std::wstring& name : names) {
    exporter.AddItem(L"HKEY_CURRENT_USER", kKey, name);
  }
  const bool exported = exporter.SaveToFile(aExport) == err::Success;
  aExportMs = MsSince(start);
  start = TClock::now();
  bool deleted = true;
  for (const std::wstring& name : names) {
    deleted = key.DeleteValue(name) == err::Success && deleted;
  }
  aDeleteMs = MsSince(start);
  return exported && deleted;
}
#endif

int BenchSize(const std::wstring& aFolder, int aValues) {
  const int values = std::max(1, aValues);
  if (!Seed(values)) {
    PrintNow("cannot seed the registry\n");
    return 1;
  }
  const double repair = TimeRepair(aFolder, values);
  if (repair < 0) {
    return 1;
  }
  PrintNow("repair run, " + std::to_string(values) +
           " values backed up and deleted: " + std::to_string(static_cast<int>(repair)) + " ms (" +
           std::to_string(repair * 1000 / values) + " us per value)\n");
  int rc = 0;
  if (!Seed(values)) {
    PrintNow("cannot seed the registry\n");
    return 1;
  }
  const std::wstring exported = aFolder + L"\\reference-export.reg";
  double exportMs = 0;
  double deleteMs = 0;
  TRegKey key;
  TRegKeyInfo info;
  if (!ExportAndDelete(exported, exportMs, deleteMs) ||
      key.Open(regroot::CurrentUser, kKey) != err::Success || key.Info(info) != err::Success ||
      info.ValueCount != 0) {
    PrintNow(std::string(kReference) + " failed\n");
    rc = 1;
  } else {
    PrintNow(std::string(kReference) + ": export " + std::to_string(static_cast<int>(exportMs)) +
             " ms, delete " + std::to_string(static_cast<int>(deleteMs)) + " ms\n");
    PrintNow("ratio repair / (export + delete): " + std::to_string(repair / (exportMs + deleteMs)) +
             "\nratio repair / export: " + std::to_string(repair / exportMs) + "\n");
    PrintBenchRow("back up and delete " + std::to_string(values) + " values", repair / 1000,
                  (exportMs + deleteMs) / 1000, kReference, "s", kGoal);
  }
  key.Close();
  Platform().Files().DeleteFile(exported);
  Platform().Registry().DeleteKeyTree(regroot::CurrentUser, L"Software\\KestrovaBench",
                                      TRegView::Default);
  return rc;
}

// Wine keeps a key's values in one array and closes the gap at every deletion, so the cost of a
// deletion grows with the key: the sizes show where that begins to weigh.
int Bench(int aValues) {
  const TBenchMachine machine;
  const std::wstring folder = GetTempDir() + L"kestrova-bench-cure";
  ForceFolders(folder);
  int rc = 0;
  for (const int values : {aValues / 100, aValues / 10, aValues}) {
    if (values >= 100 || values == aValues) {
      rc = BenchSize(folder, values) != 0 ? 1 : rc;
    }
  }
  std::vector<std::wstring> files;
  FindFiles(folder + L"\\*", files, true);
  for (const std::wstring& file : files) {
    Platform().Files().DeleteFile(file);
  }
  Platform().Files().RemoveFolder(folder);
  return rc;
}

} // namespace

KESTROVA_BENCH_MAIN(Bench, 10000)
