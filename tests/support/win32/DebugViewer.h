#pragma once
// What the processes of this session send to the debug channel, as a debug viewer receives it.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ktest::win32 {

class TDebugViewer {
public:
  // Waits at most aLimitMs for what a process sends.
  explicit TDebugViewer(DWORD aLimitMs);
  ~TDebugViewer();
  TDebugViewer(const TDebugViewer&) = delete;
  TDebugViewer& operator=(const TDebugViewer&) = delete;

  bool Valid() const { return FView != nullptr; }

  // The lines of one process, once aDone holds for them (false at the limit).
  bool WaitFor(DWORD aProcessId, const std::function<bool(const std::vector<std::string>&)>& aDone,
               std::vector<std::string>& aLines);

private:
  void Run();

  DWORD FLimitMs;
  HANDLE FBufferReady;
  HANDLE FDataReady;
  HANDLE FMapping;
  const char* FView;
  std::atomic<bool> FStop{false};
  std::mutex FLock;
  std::condition_variable FChanged;
  std::vector<std::pair<DWORD, std::string>> FLines;
  std::thread FThread;
};

// Whether one of aLines holds aText.
bool Contains(const std::vector<std::string>& aLines, const std::string& aText);

} // namespace ktest::win32
