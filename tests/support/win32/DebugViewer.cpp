#include "support/win32/DebugViewer.h"

#include <chrono>
#include <cstring>

namespace ktest::win32 {

TDebugViewer::TDebugViewer(DWORD aLimitMs)
    : FLimitMs(aLimitMs),
      FBufferReady(::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY")),
      FDataReady(::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY")),
      FMapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                    L"DBWIN_BUFFER")),
      FView(static_cast<const char*>(::MapViewOfFile(FMapping, FILE_MAP_READ, 0, 0, 4096))),
      FThread([this] { Run(); }) {}

TDebugViewer::~TDebugViewer() {
  FStop = true;
  FThread.join();
  ::UnmapViewOfFile(FView);
  ::CloseHandle(FMapping);
  ::CloseHandle(FDataReady);
  ::CloseHandle(FBufferReady);
}

bool TDebugViewer::WaitFor(DWORD aProcessId,
                           const std::function<bool(const std::vector<std::string>&)>& aDone,
                           std::vector<std::string>& aLines) {
  std::unique_lock lock(FLock);
  return FChanged.wait_for(lock, std::chrono::milliseconds(FLimitMs), [&] {
    aLines.clear();
    for (const auto& [process, line] : FLines)
      if (process == aProcessId)
        aLines.push_back(line);
    return aDone(aLines);
  });
}

void TDebugViewer::Run() {
  while (!FStop) {
    ::SetEvent(FBufferReady);
    if (::WaitForSingleObject(FDataReady, 50) != WAIT_OBJECT_0)
      continue;
    DWORD process = 0;
    std::memcpy(&process, FView, sizeof(process));
    std::string line(FView + sizeof(process), strnlen(FView + sizeof(process), 4092));
    {
      std::lock_guard lock(FLock);
      FLines.emplace_back(process, std::move(line));
    }
    FChanged.notify_all();
  }
}

bool Contains(const std::vector<std::string>& aLines, const std::string& aText) {
  for (const std::string& line : aLines)
    if (line.find(aText) != std::string::npos)
      return true;
  return false;
}

} // namespace ktest::win32
