#include "base/CLMainThread.h"

#include "platform/Platform.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <shared_mutex>
#include <utility>
#include <vector>

namespace {

// Held shared by the threads that call into the dispatcher without owning it, exclusively while
// it is changed, so that a dispatcher is never removed under a call.
std::shared_mutex GMainThreadLock;
TCLMainThread* GMainThread = nullptr;

// RunUntil's condition may turn true without anything being queued (a worker that ends), so an
// idle loop looks at it again after this much real time at the latest.
constexpr uint32_t kRecheckMs = 10;

// How soon a worker waiting for the main thread notices that it was asked to stop.
constexpr uint32_t kStopCheckMs = 20;

// Posted calls and timer ticks have no caller to hand an exception to; one that escapes them ends
// the program here rather than unwinding through the loop (or the system's window procedure).
void RunUnanswered(const TMainThreadProc& aProc) noexcept {
  aProc();
}

} // namespace

TCLMainThread& GetCLMainThread() {
  TCLMainThread* mainThread = nullptr;
  {
    std::shared_lock lock(GMainThreadLock);
    mainThread = GMainThread;
  }
  if (mainThread == nullptr) {
    // A programming error, not a runtime condition: start-up installs the dispatcher first.
    std::fputs("Kestrova: no main-thread dispatcher was set\n", stderr);
    std::abort();
  }
  return *mainThread;
}

TCLMainThread* SetCLMainThread(TCLMainThread* aMainThread) {
  std::unique_lock lock(GMainThreadLock);
  return std::exchange(GMainThread, aMainThread);
}

bool PostToCLMainThread(TMainThreadProc aProc) {
  std::shared_lock lock(GMainThreadLock);
  return GMainThread != nullptr && GMainThread->Post(std::move(aProc));
}

bool SynchronizeWithCLMainThread(TMainThreadProc aProc, std::stop_token aStop) {
  std::shared_lock lock(GMainThreadLock);
  return GMainThread != nullptr && GMainThread->Synchronize(std::move(aProc), std::move(aStop));
}

bool TCLMainThread::WaitForWorker(std::thread& aWorker, const std::function<bool()>& aFinished,
                                  uint32_t aLimitMs) {
  if (!aWorker.joinable()) {
    return true;
  }
  if (!RunUntil(aFinished, aLimitMs)) {
    return false;
  }
  aWorker.join();
  return true;
}

// --- The shared call queue.

TCLCallQueue::TCLCallQueue(std::function<void()> aWake) : FWake(std::move(aWake)) {}

TCLCallQueue::~TCLCallQueue() {
  Shutdown();
}

bool TCLCallQueue::Enter() {
  std::lock_guard lock(FLock);
  if (FShutdown) {
    return false;
  }
  ++FInside;
  return true;
}

void TCLCallQueue::Leave() {
  // Notified under the lock: once Shutdown sees no one inside, the queue may be freed.
  std::lock_guard lock(FLock);
  if (--FInside == 0) {
    FAnswered.notify_all();
  }
}

bool TCLCallQueue::Push(const std::shared_ptr<TCall>& aCall) {
  bool wasEmpty = false;
  {
    std::lock_guard lock(FLock);
    if (FShutdown || aCall->State != TState::Queued) {
      return false;
    }
    wasEmpty = FCalls.empty();
    FCalls.push_back(aCall);
  }
  FQueued.notify_all();
  if (wasEmpty && FWake) {
    FWake();
  }
  return true;
}

bool TCLCallQueue::Call(TMainThreadProc aProc, std::stop_token aStop) {
  if (aStop.stop_requested() || !Enter()) {
    return false;
  }
  auto call = std::make_shared<TCall>();
  call->Proc = std::move(aProc);
  call->Waited = true;
  bool answered = false;
  std::exception_ptr error;
  if (Push(call)) {
    // A stop request is looked for between bounded waits rather than heard through a
    // std::stop_callback: removing a callback while the stopping thread runs it waits on a
    // semaphore, and the MinGW library's semaphore can miss its wake-up and wait for ever.
    std::unique_lock lock(FLock);
    while (!FAnswered.wait_for(lock, std::chrono::milliseconds(kStopCheckMs), [&] {
      return call->State == TState::Done || call->State == TState::Refused;
    })) {
      if (aStop.stop_requested() && call->State == TState::Queued) {
        call->State = TState::Refused;
      }
    }
    answered = call->State == TState::Done;
    error = call->Error;
  }
  Leave();
  if (error) {
    std::rethrow_exception(error);
  }
  return answered;
}

bool TCLCallQueue::Post(TMainThreadProc aProc) {
  if (!Enter()) {
    return false;
  }
  auto call = std::make_shared<TCall>();
  call->Proc = std::move(aProc);
  const bool queued = Push(call);
  Leave();
  return queued;
}

void TCLCallQueue::RunQueued() {
  std::unique_lock lock(FLock);
  for (size_t count = FCalls.size(); count > 0 && !FCalls.empty(); --count) {
    std::shared_ptr<TCall> call = std::move(FCalls.front());
    FCalls.pop_front();
    if (call->State != TState::Queued) {
      continue;
    }
    call->State = TState::Running;
    lock.unlock();
    if (call->Waited) {
      try {
        call->Proc();
      } catch (...) {
        call->Error = std::current_exception();
      }
    } else {
      RunUnanswered(call->Proc);
    }
    // The handler's captures die here, on the main thread, not in a worker.
    call->Proc = nullptr;
    lock.lock();
    call->State = TState::Done;
    FAnswered.notify_all();
  }
}

bool TCLCallQueue::Empty() const {
  std::lock_guard lock(FLock);
  return FCalls.empty();
}

size_t TCLCallQueue::WaitingCalls() const {
  std::lock_guard lock(FLock);
  return static_cast<size_t>(std::count_if(FCalls.begin(), FCalls.end(), [](const auto& aCall) {
    return aCall->Waited && aCall->State == TState::Queued;
  }));
}

void TCLCallQueue::Shutdown() {
  std::unique_lock lock(FLock);
  FShutdown = true;
  for (const std::shared_ptr<TCall>& call : FCalls) {
    if (call->State == TState::Queued) {
      call->State = TState::Refused;
    }
  }
  FCalls.clear();
  FAnswered.notify_all();
  FQueued.notify_all();
  FAnswered.wait(lock, [&] { return FInside == 0; });
}

bool TCLCallQueue::ShuttingDown() const {
  std::lock_guard lock(FLock);
  return FShutdown;
}

void TCLCallQueue::WaitForCall(uint32_t aMs) {
  std::unique_lock lock(FLock);
  FQueued.wait_for(lock, std::chrono::milliseconds(aMs),
                   [&] { return !FCalls.empty() || FShutdown; });
}

// --- The portable dispatcher.

TCLMainThreadQueue::TCLMainThreadQueue(TCLIdleWait aIdleWait)
    : FIdleWait(aIdleWait), FMainThreadId(std::this_thread::get_id()), FQueue(nullptr) {}

TCLMainThreadQueue::~TCLMainThreadQueue() {
  FQueue.Shutdown();
}

bool TCLCallQueue::Synchronize(bool aOnMainThread, TMainThreadProc aProc, std::stop_token aStop) {
  if (!aOnMainThread) {
    return Call(std::move(aProc), std::move(aStop));
  }
  if (aStop.stop_requested() || ShuttingDown()) {
    return false;
  }
  aProc();
  return true;
}

bool TCLMainThreadQueue::IsMainThread() const {
  return std::this_thread::get_id() == FMainThreadId;
}

bool TCLMainThreadQueue::Synchronize(TMainThreadProc aProc, std::stop_token aStop) {
  return FQueue.Synchronize(IsMainThread(), std::move(aProc), std::move(aStop));
}

bool TCLMainThreadQueue::Post(TMainThreadProc aProc) {
  return FQueue.Post(std::move(aProc));
}

TCLTimerHandle TCLMainThreadQueue::CreateTimer(uint32_t aIntervalMs, TMainThreadProc aOnTimer,
                                               bool aEnabled) {
  do {
    ++FLastTimer;
  } while (FLastTimer == 0 || FTimers.count(FLastTimer) != 0);
  TTimer& timer = FTimers[FLastTimer];
  timer.Interval = aIntervalMs;
  timer.Enabled = aEnabled;
  timer.Due = kplat::Platform().Clock().TickMs() + aIntervalMs;
  timer.OnTimer = std::make_shared<TMainThreadProc>(std::move(aOnTimer));
  return FLastTimer;
}

void TCLMainThreadQueue::SetTimerEnabled(TCLTimerHandle aTimer, bool aEnabled) {
  const auto found = FTimers.find(aTimer);
  if (found == FTimers.end() || found->second.Enabled == aEnabled) {
    return;
  }
  found->second.Enabled = aEnabled;
  found->second.Due = kplat::Platform().Clock().TickMs() + found->second.Interval;
}

void TCLMainThreadQueue::SetTimerInterval(TCLTimerHandle aTimer, uint32_t aIntervalMs) {
  const auto found = FTimers.find(aTimer);
  if (found == FTimers.end() || found->second.Interval == aIntervalMs) {
    return;
  }
  found->second.Interval = aIntervalMs;
  found->second.Due = kplat::Platform().Clock().TickMs() + aIntervalMs;
}

void TCLMainThreadQueue::DestroyTimer(TCLTimerHandle aTimer) {
  FTimers.erase(aTimer);
}

size_t TCLMainThreadQueue::WaitingCalls() const {
  return FQueue.WaitingCalls();
}

void TCLMainThreadQueue::ProcessMessages() {
  FQueue.RunQueued();
  FireDueTimers();
}

void TCLMainThreadQueue::FireDueTimers() {
  const uint64_t now = kplat::Platform().Clock().TickMs();
  std::vector<std::pair<uint64_t, TCLTimerHandle>> due;
  for (const auto& [handle, timer] : FTimers) {
    if (timer.Enabled && timer.Interval > 0 && timer.Due <= now) {
      due.emplace_back(timer.Due, handle);
    }
  }
  std::sort(due.begin(), due.end());
  for (const auto& [dueAt, handle] : due) {
    // An earlier handler may have destroyed, disabled or restarted this one.
    const auto found = FTimers.find(handle);
    if (found == FTimers.end() || !found->second.Enabled || found->second.Interval == 0 ||
        found->second.Due != dueAt) {
      continue;
    }
    found->second.Due = kplat::Platform().Clock().TickMs() + found->second.Interval;
    const std::shared_ptr<TMainThreadProc> onTimer = found->second.OnTimer;
    RunUnanswered(*onTimer);
  }
}

int64_t TCLMainThreadQueue::NextTimerDelay() const {
  const uint64_t now = kplat::Platform().Clock().TickMs();
  int64_t delay = -1;
  for (const auto& [handle, timer] : FTimers) {
    if (timer.Enabled && timer.Interval > 0) {
      const int64_t untilDue = timer.Due > now ? static_cast<int64_t>(timer.Due - now) : 0;
      delay = delay < 0 ? untilDue : std::min(delay, untilDue);
    }
  }
  return delay;
}

void TCLMainThreadQueue::IdleWait(uint32_t aMaxMs) {
  if (!FQueue.Empty()) {
    return;
  }
  const int64_t delay = NextTimerDelay();
  if (delay == 0) {
    return;
  }
  const uint32_t waitMs =
      delay < 0 ? aMaxMs : static_cast<uint32_t>(std::min<int64_t>(delay, aMaxMs));
  if (delay > 0 && FIdleWait == TCLIdleWait::SleepClock) {
    kplat::Platform().Clock().SleepMs(waitMs);
  } else {
    FQueue.WaitForCall(std::min(waitMs, kRecheckMs));
  }
}

bool TCLMainThreadQueue::RunUntil(const std::function<bool()>& aDone, uint32_t aLimitMs) {
  return Run(aDone, aLimitMs, true);
}

bool TCLMainThreadQueue::WaitForWorker(std::thread& aWorker, const std::function<bool()>& aFinished,
                                       uint32_t aLimitMs) {
  if (!aWorker.joinable()) {
    return true;
  }
  if (!Run(aFinished, aLimitMs, false)) {
    return false;
  }
  aWorker.join();
  return true;
}

bool TCLMainThreadQueue::Run(const std::function<bool()>& aDone, uint32_t aLimitMs,
                             bool aCountClock) {
  kplat::IClock& clock = kplat::Platform().Clock();
  const uint64_t startTick = clock.TickMs();
  const auto startReal = std::chrono::steady_clock::now();
  for (;;) {
    ProcessMessages();
    if (aDone()) {
      return true;
    }
    const auto realElapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - startReal)
                                 .count();
    const uint64_t clockElapsed = aCountClock ? clock.TickMs() - startTick : 0;
    const uint64_t elapsed = std::max<uint64_t>(clockElapsed, static_cast<uint64_t>(realElapsed));
    if (elapsed >= aLimitMs) {
      return false;
    }
    IdleWait(static_cast<uint32_t>(aLimitMs - elapsed));
  }
}
