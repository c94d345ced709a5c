#pragma once
// The main thread's dispatcher: every event handler and timer of the program runs on the main
// thread, and worker threads (scan, repair, download) reach it through Synchronize (run there and
// wait) or Post (queue and go on).
//
// One dispatcher serves the process. The start-up code creates it on the main thread and installs
// it with SetCLMainThread before any window or worker exists; everything else reaches it through
// GetCLMainThread(). Two implementations: TCLMainThreadQueue (portable, driven by the platform
// clock, used by native tests and the command-line front end) and TCLMainThreadWin (a hidden
// message-only window served by the thread's ordinary message loop, Windows build only).
//
// A worker that is asked to stop must not hang in a call into the main thread: Synchronize takes
// the worker's stop token, and a stop request answers a call that has not started yet with false
// at once. Destroying the dispatcher answers every waiting call with false.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

using TMainThreadProc = std::function<void()>;
// Names a timer of one dispatcher; 0 is never a timer.
using TCLTimerHandle = uint32_t;

class TCLMainThread {
public:
  virtual ~TCLMainThread() = default;

  virtual bool IsMainThread() const = 0;

  // Runs aProc on the main thread and returns when it has run: at once when called on the main
  // thread itself, otherwise when the main thread's loop has taken it (a call from a worker simply
  // waits while the main thread is busy). False, without running aProc, when the dispatcher is
  // shutting down or aStop is (or becomes, before aProc starts) stop-requested. An exception that
  // escapes aProc is carried over and rethrown in the caller.
  virtual bool Synchronize(TMainThreadProc aProc, std::stop_token aStop = {}) = 0;
  // Queues aProc for the main thread (also when called there) and returns at once; calls run in
  // the order they were queued, together with Synchronize calls. False when shutting down.
  virtual bool Post(TMainThreadProc aProc) = 0;

  // Timers run their handler on the main thread every aIntervalMs while enabled; an interval of 0
  // never fires. They are created, changed and destroyed on the main thread only; a timer that is
  // disabled or destroyed (also from inside its own or another timer's handler) does not fire
  // again, and a tick missed while the main thread was busy is not made up for.
  virtual TCLTimerHandle CreateTimer(uint32_t aIntervalMs, TMainThreadProc aOnTimer,
                                     bool aEnabled) = 0;
  virtual void SetTimerEnabled(TCLTimerHandle aTimer, bool aEnabled) = 0;
  // A different interval starts anew from now.
  virtual void SetTimerInterval(TCLTimerHandle aTimer, uint32_t aIntervalMs) = 0;
  virtual void DestroyTimer(TCLTimerHandle aTimer) = 0;

  // Calls from other threads that wait for the main thread to take them.
  virtual size_t WaitingCalls() const = 0;

  // Main thread only. Runs what is queued and the timers that are due, then returns.
  virtual void ProcessMessages() = 0;
  // Main thread only. Serves the main thread until aDone() holds (true) or aLimitMs have passed
  // (false); the Windows loop also ends, false, at a quit message, which it leaves queued. aDone
  // is tested after every round and, while idle, at least every 10 ms.
  virtual bool RunUntil(const std::function<bool()>& aDone, uint32_t aLimitMs) = 0;

  // Main thread only. Joins aWorker while serving the main thread, so a worker that waits in
  // Synchronize can finish; aFinished tells when the worker has left its work (a flag it sets as
  // its last step). False, with the worker not joined, when it has not finished within aLimitMs.
  virtual bool WaitForWorker(std::thread& aWorker, const std::function<bool()>& aFinished,
                             uint32_t aLimitMs);
};

// The process's dispatcher; set once at start (and by tests around each case); not owned.
TCLMainThread& GetCLMainThread();
TCLMainThread* SetCLMainThread(TCLMainThread* aMainThread); // returns the previous one
// For a worker that may outlive the dispatcher (a transfer left running at exit): Post and
// Synchronize on the process's dispatcher, or false, without running aProc, when none is set. The
// dispatcher is not removed while the call is inside it, so a worker that waits in
// SynchronizeWithCLMainThread must have a stop token that is requested before it goes.
bool PostToCLMainThread(TMainThreadProc aProc);
bool SynchronizeWithCLMainThread(TMainThreadProc aProc, std::stop_token aStop);

// Installs a dispatcher for the lifetime of the object and puts the previous one back.
class TCLScopedMainThread {
public:
  explicit TCLScopedMainThread(TCLMainThread& aMainThread)
      : FPrevious(SetCLMainThread(&aMainThread)) {}
  ~TCLScopedMainThread() { SetCLMainThread(FPrevious); }
  TCLScopedMainThread(const TCLScopedMainThread&) = delete;
  TCLScopedMainThread& operator=(const TCLScopedMainThread&) = delete;

private:
  TCLMainThread* FPrevious;
};

// The queue both dispatchers share: calls from any thread, taken by the main thread in order.
class TCLCallQueue {
public:
  // aWake is called (outside the queue's lock) when the queue turns from empty to non-empty, so
  // that a sleeping main thread looks at it.
  explicit TCLCallQueue(std::function<void()> aWake);
  ~TCLCallQueue();
  TCLCallQueue(const TCLCallQueue&) = delete;
  TCLCallQueue& operator=(const TCLCallQueue&) = delete;

  // Queues aProc and waits until it has run (true) or was refused (false); see Synchronize.
  bool Call(TMainThreadProc aProc, std::stop_token aStop);
  // Synchronize for a dispatcher built on this queue: on the main thread the call runs at once,
  // from any other thread it is queued and waited for.
  bool Synchronize(bool aOnMainThread, TMainThreadProc aProc, std::stop_token aStop);
  bool Post(TMainThreadProc aProc);
  // Runs the calls queued before it started; calls queued meanwhile wait for the next round, so
  // a handler that posts again cannot keep the main thread here. Main thread only.
  void RunQueued();
  bool Empty() const;
  size_t WaitingCalls() const;
  // Refuses every call from now on, answers every waiting one with false and returns when every
  // caller has left. Main thread only, and not from inside a handler of a waited call.
  void Shutdown();
  bool ShuttingDown() const;

  // Waits up to aMs for a call to be queued (the portable loop's idle wait).
  void WaitForCall(uint32_t aMs);

private:
  enum class TState { Queued, Running, Done, Refused };
  struct TCall {
    TMainThreadProc Proc;
    TState State = TState::Queued;
    bool Waited = false;
    std::exception_ptr Error;
  };

  // A caller from another thread is counted while inside, so that Shutdown can wait for it to
  // leave before the queue is freed.
  bool Enter();
  void Leave();
  bool Push(const std::shared_ptr<TCall>& aCall);

  std::function<void()> FWake;
  mutable std::mutex FLock;
  std::condition_variable FAnswered;
  std::condition_variable FQueued;
  std::deque<std::shared_ptr<TCall>> FCalls;
  size_t FInside = 0;
  bool FShutdown = false;
};

// How the portable loop spends idle time while a timer is due later.
enum class TCLIdleWait {
  // Sleeps through the platform clock, so a virtual clock passes it at once; a call queued
  // meanwhile waits until the sleep ends.
  SleepClock,
  // Waits on the queue itself and wakes at once for a call; the platform clock must run in real
  // time for timers to come due.
  WaitForCall,
};

// The portable dispatcher: a queue plus timers judged by the platform clock, served by
// ProcessMessages and RunUntil on the thread that created it. RunUntil's limit counts on the
// platform clock and in real time, whichever passes first, so a virtual clock that stands still
// while the loop waits for a call cannot make it wait for ever. WaitForWorker's limit counts in
// real time only: the worker runs in real time, while an idle loop sleeping through a virtual
// clock lets the timers race ahead.
class TCLMainThreadQueue : public TCLMainThread {
public:
  explicit TCLMainThreadQueue(TCLIdleWait aIdleWait = TCLIdleWait::SleepClock);
  // Main thread only; answers every waiting call with false.
  ~TCLMainThreadQueue() override;
  TCLMainThreadQueue(const TCLMainThreadQueue&) = delete;
  TCLMainThreadQueue& operator=(const TCLMainThreadQueue&) = delete;

  bool IsMainThread() const override;
  bool Synchronize(TMainThreadProc aProc, std::stop_token aStop = {}) override;
  bool Post(TMainThreadProc aProc) override;

  TCLTimerHandle CreateTimer(uint32_t aIntervalMs, TMainThreadProc aOnTimer,
                             bool aEnabled) override;
  void SetTimerEnabled(TCLTimerHandle aTimer, bool aEnabled) override;
  void SetTimerInterval(TCLTimerHandle aTimer, uint32_t aIntervalMs) override;
  void DestroyTimer(TCLTimerHandle aTimer) override;

  size_t WaitingCalls() const override;
  void ProcessMessages() override;
  bool RunUntil(const std::function<bool()>& aDone, uint32_t aLimitMs) override;
  bool WaitForWorker(std::thread& aWorker, const std::function<bool()>& aFinished,
                     uint32_t aLimitMs) override;

private:
  struct TTimer {
    uint32_t Interval = 0;
    bool Enabled = false;
    uint64_t Due = 0;
    // Shared so that a handler that destroys its own timer keeps running on a live copy.
    std::shared_ptr<TMainThreadProc> OnTimer;
  };

  void FireDueTimers();
  // Milliseconds until the next enabled timer is due (0: one is due now), or -1 with none.
  int64_t NextTimerDelay() const;
  void IdleWait(uint32_t aMaxMs);
  bool Run(const std::function<bool()>& aDone, uint32_t aLimitMs, bool aCountClock);

  const TCLIdleWait FIdleWait;
  const std::thread::id FMainThreadId;
  TCLCallQueue FQueue;
  std::map<TCLTimerHandle, TTimer> FTimers;
  TCLTimerHandle FLastTimer = 0;
};
