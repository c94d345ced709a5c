// How much the scan engine adds to the raw cost of walking the registry and the disk.
//
// Builds a registry tree and a folder tree (100,000 keys and files by default; the first argument
// changes it), then times, in one run, a bare walk that opens, enumerates and reads the same keys,
// values and folders through the platform layer, and a scan of the same tree by the engine with
// pacing off. Natively it runs on the in-memory machine; built for Windows it runs on the real
// registry and disk (under Wine: the prefix's) and removes its trees afterwards. Prints the
// ratio engine / bare walk and places per second. Each figure is the best of several rounds (three
// on Windows, seven in memory), and the rounds of the bare walk and the scans take turns, so that
// a change in the machine's load meets them alike. Both walk on a thread started for the round.

#include "BenchMachine.h"
#include "BenchRow.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "engine/FigEngine.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"

#ifdef _WIN32
#include "platform/win32/Win32Platform.h"
#else
#include "platform/fake/FakeMachine.h"
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using kplat::Platform;
using kplat::regroot::CurrentUser;

const std::wstring kBenchKey = L"Software\\KestrovaBench";
constexpr int kPerGroup = 1000;
// The ratio engine / bare walk to stay within: the real system's walk costs far more than the
// in-memory machine's, so the engine's own work weighs less there. In memory a round takes a few
// hundredths of a second, where a moment's load elsewhere weighs much: more rounds.
#ifdef _WIN32
constexpr double kGoal = 1.05;
constexpr int kRounds = 3;
#else
constexpr double kGoal = 1.2;
constexpr int kRounds = 7;
#endif

// Runs each job once per round, taking turns, and returns each one's best time in seconds.
std::vector<double> BestSeconds(const std::vector<std::function<void()>>& aJobs) {
  std::vector<double> best(aJobs.size(), 1e300);
  for (int round = 0; round < kRounds; ++round) {
    for (size_t job = 0; job < aJobs.size(); ++job) {
      const auto start = std::chrono::steady_clock::now();
      aJobs[job]();
      const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
      best[job] = std::min(best[job], took.count());
    }
  }
  return best;
}

// The engine walks on a thread it starts for the scan; the bare walk does too, so that both pay
// for a thread's start and meet the same C library. That gives a thread other than the first a
// heap of its own, where the in-memory machine's listings cost up to 7 % more, and until a second
// thread starts it skips the atomic operations of the locks the in-memory machine takes.
void OnAThreadOfItsOwn(const std::function<void()>& aWalk) {
  std::thread(aWalk).join();
}

std::wstring Numbered(const wchar_t* aPrefix, int aNumber) {
  return aPrefix + std::to_wstring(100000 + aNumber).substr(1);
}

void MakeRegistryTree(int aKeys) {
  kplat::TRegKey group;
  for (int i = 0; i < aKeys; ++i) {
    if (i % kPerGroup == 0) {
      group.Create(CurrentUser, kBenchKey + L"\\" + Numbered(L"g", i / kPerGroup));
    }
    kplat::TRegKey key;
    key.Create(group.Handle(), Numbered(L"k", i));
    key.WriteString(L"Path", L"C:\\Program Files\\Bench\\tool" + std::to_wstring(i) + L".exe");
  }
}

// Files named .log, one in a hundred .tmp, so that the junk rule judges every one and finds some.
void MakeFolderTree(const std::wstring& aRoot, int aFiles) {
  std::wstring folder;
  const std::vector<uint8_t> content(16, 'x');
  for (int i = 0; i < aFiles; ++i) {
    if (i % kPerGroup == 0) {
      folder = aRoot + Numbered(L"d", i / kPerGroup) + L"\\";
      kplat::ForceFolders(folder);
    }
    const wchar_t* extension = i % 100 == 0 ? L".tmp" : L".log";
    Platform().Files().WriteFile(folder + Numbered(L"f", i) + extension, content);
  }
}

int64_t BareRegistryWalk(const std::wstring& aKey) {
  kplat::TRegKey key;
  if (key.Open(CurrentUser, aKey) != kplat::err::Success) {
    return 0;
  }
  int64_t places = 0;
  for (const std::wstring& name : key.ValueNames()) {
    kplat::TRegValue value;
    key.Query(name, value);
    ++places;
  }
  const std::vector<std::wstring> subKeys = key.SubKeyNames();
  key.Close();
  for (const std::wstring& subKey : subKeys) {
    places += BareRegistryWalk(aKey + L"\\" + subKey);
  }
  return std::max<int64_t>(places, 1);
}

int64_t BareFolderWalk(const std::wstring& aFolder) {
  int64_t places = 0;
  std::vector<std::wstring> subFolders;
  kplat::TFileFind find;
  kplat::TFindData data;
  for (bool found = find.First(aFolder + L"*.*", data); found; found = find.Next(data)) {
    if (kplat::IsDotEntry(data)) {
      continue;
    }
    ++places;
    if (data.Attributes & kplat::fileattr::Directory) {
      subFolders.push_back(data.Name);
    }
  }
  find.Close();
  for (const std::wstring& subFolder : subFolders) {
    places += BareFolderWalk(aFolder + subFolder + L"\\");
  }
  return places;
}

struct TScanResult {
  int64_t Places = 0;
  int64_t Findings = 0;
};

TScanResult EngineScan(TCLMainThread& aMain, const std::vector<std::wstring>& aLines) {
  TFigEngine engine;
  engine.SetPacing(false);
  TFigTopic* topic = engine.GetTopic(engine.AddTopic(L"Bench"));
  topic->SetCategory(tcARegFix);
  topic->SetEnabled(true);
  for (const std::wstring& line : aLines) {
    const size_t equals = line.find(L'=');
    topic->ValueList().SetValue(line.substr(0, equals), line.substr(equals + 1));
  }
  engine.StartScan();
  if (!aMain.RunUntil([&] { return !engine.IsRunning(); }, 3600000)) {
    std::fputs("the scan did not end within an hour\n", stderr);
    std::exit(1);
  }
  return TScanResult{engine.Summary().AllCount, engine.Summary().MatchedAllCount};
}

void Report(const std::string& aWhat, double aBare, double aEngine, const TScanResult& aResult) {
  PrintBenchRow("scan " + aWhat, aEngine, aBare, "bare walk", "s", kGoal);
  std::printf("%-46s bare %7.3f s  engine %7.3f s  ratio %5.2f  %9.0f places/s  %lld places, "
              "%lld findings\n",
              aWhat.c_str(), aBare, aEngine, aEngine / aBare,
              static_cast<double>(aResult.Places) / aEngine, static_cast<long long>(aResult.Places),
              static_cast<long long>(aResult.Findings));
}

int Run(int aCount) {
#ifdef _WIN32
  kplat::win32::InstallWin32Platform();
  const char* where = "the real registry and disk";
#else
  kplat::fake::TFakeMachineScope machine;
  const char* where = "the in-memory machine";
#endif
  const int count = std::max(1000, aCount);
  TCLMainThreadQueue mainThread(TCLIdleWait::WaitForCall);
  TCLScopedMainThread mainScope(mainThread);

  const std::wstring folder = GetTempDir() + L"KestrovaBench\\";
  Platform().Registry().DeleteKeyTree(CurrentUser, kBenchKey, kplat::TRegView::Default);
  RemoveBenchTree(folder);
  std::printf("scan engine on %s: %d keys with one value, %d files\n", where, count, count);
  MakeRegistryTree(count);
  MakeFolderTree(folder, count);

  const std::wstring location = L"LOCATION_0=lsRegistry,HKEY_CURRENT_USER\\" + kBenchKey;
  TScanResult valuesOff;
  TScanResult valuesOn;
  const std::vector<double> registry = BestSeconds({
      [&] { OnAThreadOfItsOwn([&] { BareRegistryWalk(kBenchKey); }); },
      [&] {
        valuesOff = EngineScan(
            mainThread, {L"Rule=rsHistoryNMRU", location, L"IncludeSubFolder=1", L"CHECKVALUES=0"});
      },
      [&] {
        valuesOn = EngineScan(
            mainThread, {L"Rule=rsHistoryNMRU", location, L"IncludeSubFolder=1", L"CHECKVALUES=1"});
      },
  });
  const std::string keys = std::to_string(count) + " registry keys";
  Report(keys + ", CHECKVALUES false", registry[0], registry[1], valuesOff);
  Report(keys + ", CHECKVALUES true", registry[0], registry[2], valuesOn);

  TScanResult diskResult;
  const std::vector<double> disk = BestSeconds({
      [&] { OnAThreadOfItsOwn([&] { BareFolderWalk(folder); }); },
      [&] {
        diskResult =
            EngineScan(mainThread, {L"Rule=rsJunkFile,.tmp", L"LOCATION_0=lsDisk," + folder,
                                    L"IncludeSubFolder=1"});
      },
  });
  Report(std::to_string(count) + " files, junk rule", disk[0], disk[1], diskResult);

  Platform().Registry().DeleteKeyTree(CurrentUser, kBenchKey, kplat::TRegView::Default);
  RemoveBenchTree(folder);
  return 0;
}

} // namespace

KESTROVA_BENCH_MAIN(Run, 100000)
