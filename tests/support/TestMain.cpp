#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

// A test that runs longer than this is taken to hang: its name is printed and the program ends,
// so that a hang names its test instead of running into the runner's limit for the whole program.
constexpr std::chrono::seconds kDefaultHangLimit{300};

std::chrono::seconds HangLimit() {
  if (const char* text = std::getenv("KESTROVA_TEST_HANG_SECONDS")) {
    const long seconds = std::strtol(text, nullptr, 10);
    if (seconds > 0) {
      return std::chrono::seconds(seconds);
    }
  }
  return kDefaultHangLimit;
}

class THangWatch : public testing::EmptyTestEventListener {
public:
  explicit THangWatch(std::chrono::seconds aLimit) : FLimit(aLimit) {
    FWatcher = std::thread([this] { Watch(); });
  }

  ~THangWatch() override {
    {
      std::lock_guard lock(FLock);
      FDone = true;
    }
    FChanged.notify_all();
    FWatcher.join();
  }

  void OnTestStart(const testing::TestInfo& aTest) override {
    {
      std::lock_guard lock(FLock);
      FRunning = std::string(aTest.test_suite_name()) + "." + aTest.name();
      FStarted = std::chrono::steady_clock::now();
    }
    FChanged.notify_all();
  }

  void OnTestEnd(const testing::TestInfo&) override {
    {
      std::lock_guard lock(FLock);
      FRunning.clear();
    }
    FChanged.notify_all();
  }

private:
  void Watch() {
    std::unique_lock lock(FLock);
    while (!FDone) {
      if (FRunning.empty()) {
        FChanged.wait(lock);
        continue;
      }
      const std::string running = FRunning;
      const auto deadline = FStarted + FLimit;
      if (FChanged.wait_until(lock, deadline, [&] { return FDone || FRunning != running; })) {
        continue;
      }
      if (FRunning == running && std::chrono::steady_clock::now() >= deadline) {
        std::fprintf(stderr, "\n[  HUNG    ] %s has run for over %lld s; ending the program\n",
                     running.c_str(), static_cast<long long>(FLimit.count()));
        std::fflush(stderr);
        std::fflush(stdout);
        std::_Exit(3);
      }
    }
  }

  const std::chrono::seconds FLimit;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::string FRunning;
  std::chrono::steady_clock::time_point FStarted;
  bool FDone = false;
  std::thread FWatcher;
};

int RunTests() {
  // Owned by gtest once appended; released before the program ends so that the watcher stops.
  auto* watch = new THangWatch(HangLimit());
  testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
  listeners.Append(watch);
  const int result = RUN_ALL_TESTS();
  delete listeners.Release(watch);
  return result;
}

} // namespace

#ifdef _WIN32
// The Windows build links with -municode, whose start-up code calls wmain.
int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RunTests();
}
#else
int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  return RunTests();
}
#endif
