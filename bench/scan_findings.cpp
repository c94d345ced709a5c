// What a scan with very many findings costs in memory, and whether one folder of a million files
// is walked whole.
//
// On the in-memory machine (on every platform), one folder holds N junk files (1,000,000 by
// default; the first argument changes it). A junk topic scans it with the repair manager
// attached, so every file becomes a finding kept for repair. The program counts the bytes its
// allocations hold, and prints the bytes each finding adds, measured at a tenth of N and at N:
// the two figures agree when memory grows in proportion to the findings. It also prints how long
// the walk of the one large folder took.

#include "BenchRow.h"
#include "base/CLMainThread.h"
#include "cure/FigCure.h"
#include "engine/FigEngine.h"
#include "platform/fake/FakeMachine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <new>
#include <string>

namespace {

std::atomic<int64_t> GLiveBytes{0};
// Each block carries its size in front, so that a release knows what it gives back.
constexpr size_t kHeader = 16;

} // namespace

void* operator new(size_t aSize) {
  void* block = std::malloc(aSize + kHeader);
  if (block == nullptr) {
    throw std::bad_alloc();
  }
  *static_cast<size_t*>(block) = aSize;
  GLiveBytes += static_cast<int64_t>(aSize);
  return static_cast<char*>(block) + kHeader;
}

void operator delete(void* aBlock) noexcept {
  if (aBlock == nullptr) {
    return;
  }
  void* block = static_cast<char*>(aBlock) - kHeader;
  GLiveBytes -= static_cast<int64_t>(*static_cast<size_t*>(block));
  std::free(block);
}

void operator delete(void* aBlock, size_t) noexcept {
  operator delete(aBlock);
}

namespace {

const std::wstring kFolder = L"C:\\Junk\\";

struct TMeasure {
  int64_t Findings = 0;
  int64_t Places = 0;
  double BytesPerFinding = 0;
  double Seconds = 0;
};

TMeasure Measure(int aFiles) {
  kplat::fake::TFakeMachineScope machine;
  TCLMainThreadQueue mainThread(TCLIdleWait::WaitForCall);
  TCLScopedMainThread mainScope(mainThread);
  for (int i = 0; i < aFiles; ++i) {
    machine.Machine().AddFile(kFolder + L"file" + std::to_wstring(i) + L".tmp", 512);
  }
  TFigCure cure;
  TFigEngine engine;
  engine.SetPacing(false);
  engine.SetFigCure(&cure);
  TFigTopic* topic = engine.GetTopic(engine.AddTopic(L"Junk"));
  topic->SetCategory(tcCJunkFile);
  topic->SetEnabled(true);
  topic->ValueList().SetValue(L"LOCATION_0", L"lsDisk," + kFolder);
  topic->ValueList().SetValue(L"Rule", L"rsJunkFile,.tmp");
  topic->ValueList().SetValue(L"LEVEL", L"1");

  const int64_t before = GLiveBytes;
  const auto start = std::chrono::steady_clock::now();
  engine.StartScan();
  if (!mainThread.RunUntil([&] { return !engine.IsRunning(); }, 3600000)) {
    std::fputs("the scan did not end within an hour\n", stderr);
    std::exit(1);
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  TMeasure measure;
  measure.Findings = cure.ItemCount();
  measure.Places = engine.Summary().AllCount;
  measure.BytesPerFinding =
      static_cast<double>(GLiveBytes - before) / std::max<int64_t>(1, measure.Findings);
  measure.Seconds = took.count();
  return measure;
}

void Report(int aFiles, const TMeasure& aMeasure) {
  std::printf("%8d files: %8lld places, %8lld findings, %6.0f bytes per finding, walk and scan "
              "%6.2f s\n",
              aFiles, static_cast<long long>(aMeasure.Places),
              static_cast<long long>(aMeasure.Findings), aMeasure.BytesPerFinding,
              aMeasure.Seconds);
}

int Bench(int aFiles) {
  const int files = std::max(1000, aFiles);
  std::printf("one folder of junk files on the in-memory machine; a finding is %llu bytes itself\n",
              static_cast<unsigned long long>(sizeof(TFigScanedItem)));
  const TMeasure small = Measure(files / 10);
  Report(files / 10, small);
  const TMeasure large = Measure(files);
  Report(files, large);
  const bool whole = large.Findings == files;
  PrintBenchRow("memory per finding, " + std::to_string(files) + " against " +
                    std::to_string(files / 10) + " findings",
                large.BytesPerFinding, small.BytesPerFinding, "a tenth as many", "B", 0);
  std::printf("every file found: %s; bytes per finding at %d against %d files: %.2f\n",
              whole ? "yes" : "NO", files, files / 10,
              large.BytesPerFinding / small.BytesPerFinding);
  return whole ? 0 : 1;
}

} // namespace

KESTROVA_BENCH_MAIN(Bench, 1000000)
