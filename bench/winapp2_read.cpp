// Reads a generated Winapp2 file of the published file's shape (4,000 entries by default, about
// 1.8 MB; the first argument changes the count) and decides for every entry whether it applies,
// with the goal of one second per 4,000 entries. Built for Windows it reads and detects on the
// real system; natively on the in-memory machine. A tenth of the entries find their registry
// key; the rest look for keys and folders that do not exist, as most entries do on a machine.

#include "BenchMachine.h"
#include "BenchRow.h"
#include "engine/FigWinapp2.h"
#include "platform/FileIO.h"
#include "platform/Platform.h"
#include "platform/RegKey.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

using namespace kplat;

const std::wstring kBenchKey = L"Software\\KestrovaBench\\Winapp2";
constexpr double kEntriesPerSecond = 4000;

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point aStart) {
  return std::chrono::duration<double>(TClock::now() - aStart).count();
}

// One entry in the shape of the published file: a category, one detection key (registry or
// folder, some with wildcards), three or four FileKeys (two in five with a wildcard folder part)
// and most with a RegKey naming a value.
std::string Entry(int aIndex) {
  const std::string n = std::to_string(aIndex);
  const std::string app = "Vendor" + n + "\\Application " + n;
  std::string entry = "[Application " + n + " Cleanup *]\r\n";
  entry += aIndex % 9 < 5 ? "LangSecRef=302" + std::to_string(1 + aIndex % 4) + "\r\n"
                          : "Section=Games\r\n";
  if (aIndex % 10 == 0) {
    entry += "Detect=HKCU\\Software\\KestrovaBench\\Winapp2\\" + app + "\r\n";
  } else if (aIndex % 10 < 4) {
    entry += "Detect=HKLM\\Software\\" + app + "\r\n";
  } else if (aIndex % 10 == 4) {
    entry += "DetectFile=%ProgramFiles%\\Vendor" + n + "\\Application*\r\n";
  } else {
    entry += "DetectFile=%LocalAppData%\\" + app + "\r\n";
  }
  entry += "FileKey1=%LocalAppData%\\" + app + "\\User Data\\*\\Cache|*|REMOVESELF\r\n";
  entry += "FileKey2=%LocalAppData%\\" + app + "\\Logs|*.log;*.txt\r\n";
  entry += "FileKey3=%AppData%\\" + app + "\\Crash Reports|*.dmp|RECURSE\r\n";
  if (aIndex % 2 == 0) {
    entry += "FileKey4=%ProgramData%\\" + app + "\\Temp|*\r\n";
  }
  if (aIndex % 10 != 9) {
    entry += "RegKey1=HKCU\\Software\\" + app + "\\Recent|LastFolder\r\n";
  }
  return entry + "\r\n";
}

int Bench(int aEntries) {
  const TBenchMachine machine;
  const int entries = std::max(100, aEntries);
  std::string text = "; Version: 990101\r\n; # of entries: " + std::to_string(entries) + "\r\n\r\n";
  for (int i = 0; i < entries; ++i) {
    text += Entry(i);
    if (i % 10 == 0) {
      TRegKey key;
      key.Create(regroot::CurrentUser, kBenchKey + L"\\Vendor" + std::to_wstring(i) +
                                           L"\\Application " + std::to_wstring(i));
    }
  }
  const std::wstring file = Platform().System().GetTempFolder() + L"KestrovaBench-Winapp2.ini";
  if (Platform().Files().WriteFile(file, std::vector<uint8_t>(text.begin(), text.end())) !=
      err::Success) {
    std::fputs("the generated file could not be written\n", stderr);
    return 1;
  }

  const auto start = TClock::now();
  const TWinapp2File rules = ReadWinapp2File(file);
  const double read = SecondsSince(start);
  const auto detectStart = TClock::now();
  TWinapp2Detector detector;
  int applying = 0;
  for (const TWinapp2Entry& entry : rules.Entries) {
    applying += detector.Applies(entry) ? 1 : 0;
  }
  const double detect = SecondsSince(detectStart);

  Platform().Files().DeleteFile(file);
  Platform().Registry().DeleteKeyTree(regroot::CurrentUser, L"Software\\KestrovaBench\\Winapp2",
                                      TRegView::Default);

  const bool whole = static_cast<int>(rules.Entries.size()) == entries && rules.Issues.empty();
  std::printf("%d entries, %.2f MB: read %.3f s, detection %.3f s, %d entries apply; every "
              "entry read: %s\n",
              entries, static_cast<double>(text.size()) / 1e6, read, detect, applying,
              whole ? "yes" : "NO");
  PrintBenchRow("read and detect " + std::to_string(entries) + " Winapp2 entries", read + detect,
                entries / kEntriesPerSecond, "1 s per 4,000 entries", "s", 1.0);
  return whole && applying == (entries + 9) / 10 ? 0 : 1;
}

} // namespace

KESTROVA_BENCH_MAIN(Bench, 4000)
