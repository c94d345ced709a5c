#include "base/CLMainThread.h"

#include "platform/fake/FakeMachine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

// Bounds every wait on another thread; reached only when the code under test hangs.
constexpr uint32_t kLimitMs = 20000;

// A flag one thread raises and another waits for, bounded.
class TSignal {
public:
  void Raise() {
    {
      std::lock_guard lock(FLock);
      FRaised = true;
    }
    FChanged.notify_all();
  }
  bool Wait() {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, std::chrono::milliseconds(kLimitMs), [&] { return FRaised; });
  }

private:
  std::mutex FLock;
  std::condition_variable FChanged;
  bool FRaised = false;
};

// Events recorded in order from any thread.
class TLog {
public:
  void Add(const std::string& aEvent) {
    std::lock_guard lock(FLock);
    FEvents.push_back(aEvent);
  }
  std::vector<std::string> Events() {
    std::lock_guard lock(FLock);
    return FEvents;
  }

private:
  std::mutex FLock;
  std::vector<std::string> FEvents;
};

// Polls aCondition, giving up the time slice between tests, until it holds or the bound passes.
template <typename TCondition> bool Eventually(TCondition aCondition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLimitMs);
  while (!aCondition()) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::yield();
  }
  return true;
}

class CLMainThreadQueueTest : public testing::Test {
protected:
  kplat::fake::TFakeMachineScope FMachine;
  std::unique_ptr<TCLMainThreadQueue> FMain = std::make_unique<TCLMainThreadQueue>();

  uint64_t Tick() { return kplat::Platform().Clock().TickMs(); }
};

TEST_F(CLMainThreadQueueTest, SynchronizeOnTheMainThreadRunsAtOnce) {
  std::vector<int> order;
  EXPECT_TRUE(FMain->Synchronize([&] {
    order.push_back(1);
    EXPECT_TRUE(FMain->Synchronize([&] { order.push_back(2); }));
    order.push_back(3);
  }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));

  std::stop_source stopped;
  stopped.request_stop();
  EXPECT_FALSE(FMain->Synchronize([&] { order.push_back(4); }, stopped.get_token()));
  EXPECT_EQ(order.size(), 3u);
}

TEST_F(CLMainThreadQueueTest, WorkerWaitsUntilItsCallHasRunOnTheMainThread) {
  const std::thread::id mainId = std::this_thread::get_id();
  std::thread::id ranOn;
  int value = 0;
  std::atomic<bool> finished{false};
  std::atomic<int> seenByWorker{-1};
  std::thread worker([&] {
    const bool ran = FMain->Synchronize([&] {
      ranOn = std::this_thread::get_id();
      value = 42;
    });
    // Read without a lock: returning from Synchronize orders the handler's writes before this.
    seenByWorker = ran ? value : -2;
    finished = true;
  });
  ASSERT_TRUE(FMain->WaitForWorker(
      worker, [&] { return finished.load(); }, kLimitMs));
  EXPECT_EQ(ranOn, mainId);
  EXPECT_EQ(seenByWorker, 42);
}

TEST_F(CLMainThreadQueueTest, PostedAndSynchronousCallsRunInQueueOrder) {
  TLog log;
  FMain->Post([&] { log.Add("main post"); });
  EXPECT_TRUE(log.Events().empty()) << "a post from the main thread must wait for the loop";
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    FMain->Post([&] { log.Add("post 1"); });
    FMain->Post([&] { log.Add("post 2"); });
    FMain->Synchronize([&] { log.Add("sync"); });
    log.Add("returned");
    finished = true;
  });
  ASSERT_TRUE(FMain->WaitForWorker(
      worker, [&] { return finished.load(); }, kLimitMs));
  EXPECT_EQ(log.Events(),
            (std::vector<std::string>{"main post", "post 1", "post 2", "sync", "returned"}));
}

TEST_F(CLMainThreadQueueTest, HandlerThatPostsAgainDoesNotHoldTheLoop) {
  int runs = 0;
  std::function<void()> again = [&] {
    ++runs;
    FMain->Post(again);
  };
  FMain->Post(again);
  FMain->ProcessMessages();
  EXPECT_EQ(runs, 1);
  FMain->ProcessMessages();
  EXPECT_EQ(runs, 2);
}

TEST_F(CLMainThreadQueueTest, CallerWaitsWhileTheMainThreadIsInALongHandler) {
  TLog log;
  TSignal workerCalling;
  std::atomic<bool> finished{false};
  FMain->Post([&] {
    log.Add("long handler starts");
    EXPECT_TRUE(workerCalling.Wait());
    log.Add("long handler ends");
  });
  std::thread worker([&] {
    workerCalling.Raise();
    FMain->Synchronize([&] { log.Add("worker's call"); });
    log.Add("worker returned");
    finished = true;
  });
  ASSERT_TRUE(FMain->WaitForWorker(
      worker, [&] { return finished.load(); }, kLimitMs));
  EXPECT_EQ(log.Events(), (std::vector<std::string>{"long handler starts", "long handler ends",
                                                    "worker's call", "worker returned"}));
}

TEST_F(CLMainThreadQueueTest, StopRequestReleasesAWaitingWorkerWithoutRunningItsCall) {
  std::stop_source abort;
  std::atomic<bool> handlerRan{false};
  std::atomic<int> answer{-1};
  std::thread worker(
      [&] { answer = FMain->Synchronize([&] { handlerRan = true; }, abort.get_token()) ? 1 : 0; });
  ASSERT_TRUE(Eventually([&] { return FMain->WaitingCalls() == 1; }));
  // The main thread aborts the worker without going back to its loop; the worker is answered at
  // once, so joining it cannot deadlock, and its call never runs afterwards.
  abort.request_stop();
  ASSERT_TRUE(Eventually([&] { return answer.load() != -1; }));
  worker.join();
  EXPECT_EQ(answer, 0);
  EXPECT_EQ(FMain->WaitingCalls(), 0u);
  FMain->ProcessMessages();
  EXPECT_FALSE(handlerRan);

  // A worker that was asked to stop before it calls is refused without queueing.
  std::thread late(
      [&] { answer = FMain->Synchronize([&] { handlerRan = true; }, abort.get_token()) ? 1 : 0; });
  late.join();
  EXPECT_EQ(answer, 0);
  FMain->ProcessMessages();
  EXPECT_FALSE(handlerRan);
}

TEST_F(CLMainThreadQueueTest, DestroyingTheDispatcherAnswersEveryWaiterFalse) {
  constexpr int kWorkers = 3;
  std::atomic<int> handlersRun{0};
  std::atomic<int> refused{0};
  std::vector<std::thread> workers;
  for (int i = 0; i < kWorkers; ++i) {
    workers.emplace_back([&] {
      if (!FMain->Synchronize([&] { ++handlersRun; })) {
        ++refused;
      }
    });
  }
  ASSERT_TRUE(Eventually([&] { return FMain->WaitingCalls() == kWorkers; }));
  FMain.reset();
  for (std::thread& worker : workers) {
    worker.join();
  }
  EXPECT_EQ(refused, kWorkers);
  EXPECT_EQ(handlersRun, 0);
}

TEST_F(CLMainThreadQueueTest, WaitForWorkerServesItsCallsUntilItEnds) {
  // The worker reports three times, then keeps calling until it is aborted; joining it from the
  // main thread would deadlock without the queue being served meanwhile.
  std::stop_source abort;
  std::vector<int> reports;
  std::atomic<bool> finished{false};
  std::thread worker([&, stop = abort.get_token()] {
    for (int i = 0; i < 3; ++i) {
      FMain->Synchronize([&reports, i] { reports.push_back(i); }, stop);
    }
    while (FMain->Synchronize([] {}, stop)) {
    }
    finished = true;
  });
  ASSERT_TRUE(FMain->RunUntil([&] { return reports.size() == 3; }, kLimitMs));
  abort.request_stop();
  ASSERT_TRUE(FMain->WaitForWorker(
      worker, [&] { return finished.load(); }, kLimitMs));
  EXPECT_FALSE(worker.joinable());
  EXPECT_EQ(reports, (std::vector<int>{0, 1, 2}));
}

TEST_F(CLMainThreadQueueTest, WaitForWorkerGivesUpAtItsLimitInRealTime) {
  // The timer makes the idle loop sleep through the virtual clock, racing ahead of the limit;
  // the worker still gets its time.
  TSignal release;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    release.Wait();
    finished = true;
  });
  int ticks = 0;
  FMain->CreateTimer(
      100, [&] { ++ticks; }, true);
  EXPECT_FALSE(FMain->WaitForWorker(
      worker, [&] { return finished.load(); }, 50));
  EXPECT_TRUE(worker.joinable());
  EXPECT_GT(ticks, 0);
  release.Raise();
  EXPECT_TRUE(FMain->WaitForWorker(
      worker, [&] { return finished.load(); }, kLimitMs));
}

TEST_F(CLMainThreadQueueTest, ExceptionInACallIsRethrownInTheCaller) {
  std::string caught;
  bool afterwards = false;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    try {
      FMain->Synchronize([] { throw std::runtime_error("handler failed"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    afterwards = FMain->Synchronize([] {});
    finished = true;
  });
  ASSERT_TRUE(FMain->WaitForWorker(
      worker, [&] { return finished.load(); }, kLimitMs));
  EXPECT_EQ(caught, "handler failed");
  EXPECT_TRUE(afterwards);
}

TEST_F(CLMainThreadQueueTest, WaitingOnTheQueueWakesForACallAndLeavesTheClock) {
  TCLMainThreadQueue main(TCLIdleWait::WaitForCall);
  main.CreateTimer(
      60000, [] {}, true);
  const uint64_t start = Tick();
  bool ran = false;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    main.Synchronize([&] { ran = true; });
    finished = true;
  });
  ASSERT_TRUE(main.WaitForWorker(
      worker, [&] { return finished.load(); }, kLimitMs));
  EXPECT_TRUE(ran);
  EXPECT_EQ(Tick(), start);
}

TEST_F(CLMainThreadQueueTest, TimerFiresOnTheMainThreadEveryInterval) {
  const uint64_t start = Tick();
  std::vector<uint64_t> firedAt;
  const TCLTimerHandle timer = FMain->CreateTimer(
      150,
      [&] {
        EXPECT_TRUE(FMain->IsMainThread());
        firedAt.push_back(Tick() - start);
      },
      true);
  EXPECT_NE(timer, 0u);
  ASSERT_TRUE(FMain->RunUntil([&] { return firedAt.size() == 3; }, 10000));
  EXPECT_EQ(firedAt, (std::vector<uint64_t>{150, 300, 450}));

  // A tick missed while the main thread was busy is not made up for.
  FMachine.Machine().AdvanceMs(1000);
  FMain->ProcessMessages();
  EXPECT_EQ(firedAt.size(), 4u);
}

TEST_F(CLMainThreadQueueTest, DisabledTimerNeverFires) {
  int disabledTicks = 0;
  int zeroTicks = 0;
  int victimTicks = 0;
  int driverTicks = 0;
  const TCLTimerHandle disabled = FMain->CreateTimer(
      100, [&] { ++disabledTicks; }, false);
  FMain->CreateTimer(
      0, [&] { ++zeroTicks; }, true);
  // Both come due at the same moment; the first one's handler disables the second.
  TCLTimerHandle victim = 0;
  FMain->CreateTimer(
      50,
      [&] {
        ++driverTicks;
        FMain->SetTimerEnabled(victim, false);
      },
      true);
  victim = FMain->CreateTimer(
      50, [&] { ++victimTicks; }, true);
  EXPECT_FALSE(FMain->RunUntil([] { return false; }, 1000));
  EXPECT_EQ(driverTicks, 20);
  EXPECT_EQ(disabledTicks, 0);
  EXPECT_EQ(zeroTicks, 0);
  EXPECT_EQ(victimTicks, 0);

  FMain->SetTimerEnabled(disabled, true);
  const uint64_t enabledAt = Tick();
  ASSERT_TRUE(FMain->RunUntil([&] { return disabledTicks == 1; }, 1000));
  EXPECT_EQ(Tick() - enabledAt, 100u);
}

TEST_F(CLMainThreadQueueTest, NewIntervalStartsAnewFromNow) {
  const uint64_t start = Tick();
  std::vector<uint64_t> firedAt;
  const TCLTimerHandle timer = FMain->CreateTimer(
      1000, [&] { firedAt.push_back(Tick() - start); }, true);
  FMachine.Machine().AdvanceMs(900);
  FMain->SetTimerInterval(timer, 200);
  ASSERT_TRUE(FMain->RunUntil([&] { return firedAt.size() == 2; }, 10000));
  EXPECT_EQ(firedAt, (std::vector<uint64_t>{1100, 1300}));

  // The same interval again does not restart the count.
  FMachine.Machine().AdvanceMs(150);
  FMain->SetTimerInterval(timer, 200);
  ASSERT_TRUE(FMain->RunUntil([&] { return firedAt.size() == 3; }, 10000));
  EXPECT_EQ(firedAt.back(), 1500u);
}

TEST_F(CLMainThreadQueueTest, TimerDestroyedInsideItsOwnHandlerStops) {
  int oneShotTicks = 0;
  int otherTicks = 0;
  std::string seenAfterDestroy;
  TCLTimerHandle oneShot = 0;
  oneShot = FMain->CreateTimer(
      100,
      [&, text = std::string(100, 'x')] {
        ++oneShotTicks;
        FMain->DestroyTimer(oneShot);
        // The handler's own captures must outlive the timer it just destroyed.
        seenAfterDestroy = text;
      },
      true);
  FMain->CreateTimer(
      30, [&] { ++otherTicks; }, true);
  EXPECT_FALSE(FMain->RunUntil([] { return false; }, 600));
  EXPECT_EQ(oneShotTicks, 1);
  EXPECT_EQ(seenAfterDestroy, std::string(100, 'x'));
  EXPECT_EQ(otherTicks, 20);
  FMain->SetTimerEnabled(oneShot, true);
  FMain->DestroyTimer(oneShot);
}

} // namespace
