// Repairs junk files (10,000 by default; the first argument changes it), a thousand to a folder,
// through a repair run without pacing: each file goes into the run's quarantine, its manifest line
// on disk first. Compared with the bare moves of the same files into folders of a thousand, nothing
// kept beside them: the system's own cost of taking them away. Built for Windows on the real disk
// (MoveFileW); natively on the in-memory machine, where only the work around the disk shows.
// A thousand to a folder, as junk lies on a real machine: under Wine each new name costs a scan of
// its folder, so one folder of 100,000 files takes hours to fill.

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

constexpr uint32_t kLimitMs = 3600000;

using TClock = std::chrono::steady_clock;

double MsSince(TClock::time_point aStart) {
  return std::chrono::duration<double, std::milli>(TClock::now() - aStart).count();
}

constexpr int kPerFolder = 1000;

// The folder of a junk file below the junk folder, with its backslash.
std::wstring JunkFolder(int aIndex) {
  return std::to_wstring(aIndex / kPerFolder) + L"\\";
}

std::wstring JunkName(int aIndex) {
  return L"junk" + std::to_wstring(aIndex) + L".tmp";
}

// Makes the folders of aCount junk files below aRoot.
bool MakeJunkFolders(const std::wstring& aRoot, int aCount) {
  for (int i = 0; i < aCount; i += kPerFolder) {
    if (ForceFolders(aRoot + JunkFolder(i)) != err::Success) {
      PrintNow("cannot make the bench folders\n");
      return false;
    }
  }
  return true;
}

bool WriteJunk(const std::wstring& aJunk, int aCount) {
  if (!MakeJunkFolders(aJunk, aCount)) {
    return false;
  }
  for (int i = 0; i < aCount; ++i) {
    const std::string content = "junk file " + std::to_string(i);
    if (Platform().Files().WriteFile(aJunk + JunkFolder(i) + JunkName(i),
                                     {content.begin(), content.end()}) != err::Success) {
      PrintNow("cannot write the junk files\n");
      return false;
    }
  }
  return true;
}

// One file moved by the system's own call, with nothing checked or kept; at the end of this file,
// below the system's headers.
bool BareMove(const std::wstring& aFrom, const std::wstring& aTo, const std::wstring& aFolder);

// Moves every junk file into the same folder below aTo, one call each; -1 when one does not move.
double TimeBareMoves(const std::wstring& aJunk, const std::wstring& aTo, int aCount) {
  if (!MakeJunkFolders(aTo, aCount)) {
    return -1;
  }
  const auto start = TClock::now();
  for (int i = 0; i < aCount; ++i) {
    const std::wstring folder = aJunk + JunkFolder(i);
    if (!BareMove(folder + JunkName(i), aTo + JunkFolder(i) + JunkName(i), folder)) {
      return -1;
    }
  }
  return MsSince(start);
}

int Bench(int aFiles) {
  const TBenchMachine machine;
  const int count = std::max(1, aFiles);
  const std::wstring folder = GetTempDir() + L"kestrova-bench-files\\";
  const std::wstring junk = folder + L"junk\\";
  const std::wstring moved = folder + L"moved\\";
  RemoveBenchTree(folder);
  if (ForceFolders(junk) != err::Success || ForceFolders(moved) != err::Success ||
      ForceFolders(folder + L"backup") != err::Success) {
    PrintNow("cannot make the bench folders\n");
    return 1;
  }
  TCLMainThreadQueue mainThread(TCLIdleWait::WaitForCall);
  TCLScopedMainThread scope(mainThread);
  TFigCure cure;
  cure.SetBackupPath(folder + L"backup");
  cure.SetPaced(false);
  if (!WriteJunk(junk, count)) {
    return 1;
  }
  for (int i = 0; i < count; ++i) {
    const std::wstring name = JunkName(i);
    TFigScanedItem item;
    item.TopicName = L"Junk";
    item.LocationStyle = lsDisk;
    item.RuleStyle = rsJunkFile;
    item.ScanedRoot = junk;
    item.ScanedPath = junk + JunkFolder(i);
    item.ScanedName = name;
    item.Checked = true;
    cure.AddMatchedItem(item);
  }
  int cured = 0;
  cure.OnCured = [&cured](const TFigScanedItem&, TFigCureStatus aStatus, int, int) {
    cured += aStatus == csCured ? 1 : 0;
  };
  const auto start = TClock::now();
  if (!cure.StartCure() || !mainThread.RunUntil([&cure] { return !cure.IsRunning(); }, kLimitMs) ||
      cured != count) {
    PrintNow("repair run failed: " + ToUtf8(cure.LastError()) + "\n");
    return 1;
  }
  const double ms = MsSince(start);
  PrintNow("repair run, " + std::to_string(count) +
           " junk files quarantined: " + std::to_string(static_cast<int>(ms)) + " ms (" +
           std::to_string(ms * 1000 / count) + " us per file)\n");
  // The same files again, moved by the bare calls.
  int rc = 0;
  const double bare = WriteJunk(junk, count) ? TimeBareMoves(junk, moved, count) : -1;
  if (bare < 0) {
    PrintNow("the bare moves failed\n");
    rc = 1;
  } else {
    PrintNow("bare moves: " + std::to_string(static_cast<int>(bare)) + " ms (" +
             std::to_string(bare * 1000 / count) +
             " us per file)\nratio repair / bare moves: " + std::to_string(ms / bare) + "\n");
    // A repair also hashes each file and writes its manifest line first: there is no goal.
    PrintBenchRow("quarantine " + std::to_string(count) + " junk files", ms / 1000, bare / 1000,
                  "bare moves", "s", 0);
  }
  RemoveBenchTree(folder);
  return rc;
}

} // namespace

KESTROVA_BENCH_MAIN(Bench, 10000)

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
bool BareMove(const std::wstring& aFrom, const std::wstring& aTo, const std::wstring&) {
  return ::MoveFileW(aFrom.c_str(), aTo.c_str()) != 0;
}
#else
bool BareMove(const std::wstring& aFrom, const std::wstring& aTo, const std::wstring& aFolder) {
  return kplat::Platform().Files().MoveFileInFolder(aFrom, aFolder, aTo) == kplat::err::Success;
}
#endif

} // namespace
