// Repairs junk files (10,000 by default; the first argument changes it) through a repair run
// without pacing: each file goes into the run's quarantine, its manifest line on disk first. Built
// for Windows on the real disk; natively on the in-memory machine, where only the work around the
// disk shows.

#include "BenchMachine.h"
#include "BenchRow.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "cure/FigCure.h"
#include "platform/FileIO.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace kplat;

constexpr uint32_t kLimitMs = 600000;

// The bench folder as this program leaves it: the junk folder, the backup folder and one run's
// quarantine in it.
void RemoveTree(const std::wstring& aFolder) {
  std::vector<std::wstring> folders = {aFolder + L"\\junk", aFolder + L"\\backup"};
  std::vector<std::wstring> quarantines;
  FindFiles(aFolder + L"\\backup\\*.files", quarantines, true);
  folders.insert(folders.begin(), quarantines.begin(), quarantines.end());
  for (const std::wstring& folder : folders) {
    std::vector<std::wstring> files;
    FindFiles(folder + L"\\*", files, true);
    for (const std::wstring& file : files) {
      Platform().Files().SetAttributes(file, fileattr::Normal);
      Platform().Files().DeleteFile(file);
    }
    Platform().Files().RemoveFolder(folder);
  }
  Platform().Files().RemoveFolder(aFolder);
}

int Bench(int aFiles) {
  const TBenchMachine machine;
  const int count = std::max(1, aFiles);
  const std::wstring folder = GetTempDir() + L"kestrova-bench-files";
  const std::wstring junk = folder + L"\\junk\\";
  RemoveTree(folder);
  if (ForceFolders(junk) != err::Success || ForceFolders(folder + L"\\backup") != err::Success) {
    PrintNow("cannot make the bench folders\n");
    return 1;
  }
  TCLMainThreadQueue mainThread(TCLIdleWait::WaitForCall);
  TCLScopedMainThread scope(mainThread);
  TFigCure cure;
  cure.SetBackupPath(folder + L"\\backup");
  cure.SetPaced(false);
  for (int i = 0; i < count; ++i) {
    const std::wstring name = L"junk" + std::to_wstring(i) + L".tmp";
    const std::string content = "junk file " + std::to_string(i);
    if (Platform().Files().WriteFile(junk + name, {content.begin(), content.end()}) !=
        err::Success) {
      PrintNow("cannot write the junk files\n");
      return 1;
    }
    TFigScanedItem item;
    item.TopicName = L"Junk";
    item.LocationStyle = lsDisk;
    item.RuleStyle = rsJunkFile;
    item.ScanedRoot = junk;
    item.ScanedPath = junk;
    item.ScanedName = name;
    item.Checked = true;
    cure.AddMatchedItem(item);
  }
  int cured = 0;
  cure.OnCured = [&cured](const TFigScanedItem&, TFigCureStatus aStatus, int, int) {
    cured += aStatus == csCured ? 1 : 0;
  };
  const auto start = std::chrono::steady_clock::now();
  if (!cure.StartCure() || !mainThread.RunUntil([&cure] { return !cure.IsRunning(); }, kLimitMs) ||
      cured != count) {
    PrintNow("repair run failed: " + ToUtf8(cure.LastError()) + "\n");
    return 1;
  }
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  PrintNow("repair run, " + std::to_string(count) +
           " junk files quarantined: " + std::to_string(static_cast<int>(ms)) + " ms (" +
           std::to_string(ms * 1000 / count) + " us per file)\n");
  RemoveTree(folder);
  return 0;
}

} // namespace

KESTROVA_BENCH_MAIN(Bench, 10000)
