// A default scan of the whole machine: how long "kestrova-cli scan" (the program beside this
// one, pacing off as it runs by default) takes, process start included, against a bare walk of
// the same locations, done here through the platform layer: the registry keys and values, the
// folders and the registry items of every topic the default scan enables, to the same depth.
// tools/run-bench runs it on the demo machine and on a fresh Wine prefix. The first argument
// (the other benchmarks' size) is not used: the machine decides how much there is. Built
// natively there is no machine to scan, and nothing is measured.

#include "BenchRow.h"

#include <cstdio>

#ifdef _WIN32
#include "appengine/CLEngine.h"
#include "appengine/FigEngineSettings.h"
#include "base/CLHelpers.h"
#include "base/CLMainThread.h"
#include "base/CLSettings.h"
#include "base/RegNotation.h"
#include "cli/KestrovaCli.h"
#include "engine/FigDiskLocation.h"
#include "engine/FigEngine.h"
#include "platform/FileIO.h"
#include "platform/RegKey.h"
#include "platform/win32/Win32Platform.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 3;

struct TWalk {
  int Depth = -1;
  bool SubFolders = false;
  bool AllValues = false;
};

int64_t WalkKey(kplat::TRegHandle aRoot, const std::wstring& aKey, const TWalk& aWalk, int aDepth) {
  if (aDepth == 0) {
    return 0;
  }
  kplat::TRegKey key;
  if (key.Open(aRoot, aKey, kplat::TRegAccess::Read) != kplat::err::Success) {
    return 0;
  }
  int64_t places = 0;
  for (const std::wstring& name : key.ValueNames()) {
    kplat::TRegValue value;
    key.Query(name, value);
    ++places;
    if (!aWalk.AllValues) {
      break;
    }
  }
  if (!aWalk.SubFolders) {
    return std::max<int64_t>(places, 1);
  }
  const std::vector<std::wstring> subKeys = key.SubKeyNames();
  key.Close();
  for (const std::wstring& subKey : subKeys) {
    places += WalkKey(aRoot, aKey.empty() ? subKey : aKey + L"\\" + subKey, aWalk, aDepth - 1);
  }
  return std::max<int64_t>(places, 1);
}

int64_t WalkFolder(const std::wstring& aFolder, const TWalk& aWalk, int aDepth) {
  if (aDepth == 0) {
    return 0;
  }
  int64_t places = 0;
  std::vector<std::wstring> subFolders;
  kplat::TFileFind find;
  kplat::TFindData data;
  for (bool found = find.First(aFolder + L"*.*", data); found; found = find.Next(data)) {
    if (kplat::IsDotEntry(data)) {
      continue;
    }
    ++places;
    if ((data.Attributes & kplat::fileattr::Directory) && aWalk.SubFolders &&
        !(data.Attributes & kplat::fileattr::ReparsePoint)) {
      subFolders.push_back(data.Name);
    }
  }
  find.Close();
  for (const std::wstring& subFolder : subFolders) {
    places += WalkFolder(aFolder + subFolder + L"\\", aWalk, aDepth - 1);
  }
  return places;
}

// The root and the key path of a registry location ("HKEY_CURRENT_USER\Software\...").
std::pair<kplat::TRegHandle, std::wstring> RegistryPlace(const std::wstring& aLocation) {
  const size_t slash = aLocation.find(L'\\');
  return {RootKeyFromName(aLocation.substr(0, slash)),
          slash == std::wstring::npos ? std::wstring() : aLocation.substr(slash + 1)};
}

int64_t WalkTopic(const TFigTopic& aTopic) {
  TWalk walk;
  walk.Depth = aTopic.GetInteger(kTopicKeyFolderDepth, -1);
  walk.SubFolders = aTopic.GetBool(kTopicKeyIncludeSubFolder, false);
  walk.AllValues = aTopic.GetBool(kTopicKeyCheckValues, false);
  int64_t places = 0;
  for (int n = 0; n < aTopic.LocationsCount(); ++n) {
    const std::wstring location = aTopic.GetLocation(n);
    const size_t comma = location.find(L',');
    if (comma == std::wstring::npos) {
      continue;
    }
    const std::wstring style = location.substr(0, comma);
    const std::wstring where = location.substr(comma + 1);
    if (style == L"lsRegistry") {
      const auto [root, key] = RegistryPlace(where);
      places += WalkKey(root, key, walk, walk.Depth);
    } else if (style == L"lsDisk") {
      for (const std::wstring& folder : DiskFoldersOf(where)) {
        places += WalkFolder(NormalizeFolder(folder), walk, walk.Depth);
      }
    } else if (style == L"lsRegistryItem") {
      const auto [root, path] = RegistryPlace(where);
      kplat::TRegKey key;
      const bool open = key.Open(root, path, kplat::TRegAccess::Read) == kplat::err::Success;
      for (int i = 0; i < aTopic.RegItemsCount(); ++i) {
        const std::wstring line = aTopic.GetRegItem(i);
        kplat::TRegValue value;
        if (open) {
          key.Query(line.substr(0, line.find(L'=')), value);
        }
        ++places;
      }
    }
  }
  return places;
}

// The topics a default "kestrova-cli scan" enables: the topic database beside the programs with
// the window's settings, as the command line reads them.
std::vector<const TFigTopic*> DefaultTopics(TFigEngine& aScan, TCLEngine& aEngine) {
  std::vector<const TFigTopic*> topics;
  if (!LoadTopicDatabase(aScan, JoinPath(GetAppPath(), L"data\\topic.db"), aEngine).empty()) {
    return topics;
  }
  aScan.SortByCategory();
  LoadFigEngineSettings(aScan, LoadCategorySwitches());
  for (int i = 0; i < aScan.TopicCount(); ++i) {
    if (const TFigTopic* topic = aScan.GetTopic(i); topic != nullptr && topic->Enabled()) {
      topics.push_back(topic);
    }
  }
  return topics;
}

double CliScanSeconds() {
  const std::wstring cli = JoinPath(GetAppPath(), L"kestrova-cli.exe");
  std::wstring commandLine = L"\"" + cli + L"\" scan --json";
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE nul = ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = nul;
  startup.hStdError = nul;
  startup.hStdInput = nullptr;
  PROCESS_INFORMATION info{};
  const auto start = std::chrono::steady_clock::now();
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &info)) {
    ::CloseHandle(nul);
    return -1;
  }
  ::WaitForSingleObject(info.hProcess, INFINITE);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  DWORD exitCode = 1;
  ::GetExitCodeProcess(info.hProcess, &exitCode);
  ::CloseHandle(info.hThread);
  ::CloseHandle(info.hProcess);
  ::CloseHandle(nul);
  return exitCode == 0 ? took.count() : -1;
}

int Run() {
  kplat::win32::InstallWin32Platform();
  TCLMainThreadQueue mainThread(TCLIdleWait::WaitForCall);
  TCLScopedMainThread mainScope(mainThread);
  TCLEngine engine(nullptr);
  UseWindowDataFolder(engine);
  TFigEngine scan;
  const std::vector<const TFigTopic*> topics = DefaultTopics(scan, engine);
  if (topics.empty()) {
    std::printf("no topic of the topic database beside this program is enabled\n");
    return 1;
  }
  double bare = 1e300;
  double cli = 1e300;
  int64_t places = 0;
  // The two take turns, each at its best of the rounds.
  for (int round = 0; round < kRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
    places = 0;
    for (const TFigTopic* topic : topics) {
      places += WalkTopic(*topic);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    bare = std::min(bare, took.count());
    const double scanned = CliScanSeconds();
    if (scanned < 0) {
      std::printf("kestrova-cli scan failed\n");
      return 1;
    }
    cli = std::min(cli, scanned);
  }
  std::printf("default scan of %zu topics: bare walk %.3f s (%lld places), kestrova-cli scan "
              "%.3f s (process start included), ratio %.2f\n",
              topics.size(), bare, static_cast<long long>(places), cli, cli / bare);
  PrintBenchRow("default scan of the machine, kestrova-cli", cli, bare, "bare walk", "s", 0);
  FreeCLSettings();
  return 0;
}

} // namespace

int wmain() {
  return Run();
}

#else

int main() {
  std::printf("the whole-machine scan is measured on Windows only\n");
  return 0;
}

#endif
