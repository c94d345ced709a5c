#include "base/win32/CLMainThreadWin.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Bounds every wait; reached only when the code under test hangs.
constexpr uint32_t kLimitMs = 20000;

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

class CLMainThreadWinTest : public testing::Test {
protected:
  std::unique_ptr<TCLMainThreadWin> FMain = std::make_unique<TCLMainThreadWin>();

  void SetUp() override { ASSERT_TRUE(FMain->Valid()); }
};

TEST_F(CLMainThreadWinTest, WorkersCallsRunOnTheMainThreadInTheirOrder) {
  constexpr int kCalls = 50;
  const DWORD mainId = GetCurrentThreadId();
  std::vector<std::pair<int, int>> calls;
  bool allOnMain = true;
  std::atomic<int> finished{0};
  std::string caught;
  auto work = [&](int aWorker) {
    for (int i = 0; i < kCalls; ++i) {
      FMain->Synchronize([&, aWorker, i] {
        allOnMain = allOnMain && GetCurrentThreadId() == mainId;
        calls.emplace_back(aWorker, i);
      });
    }
    if (aWorker == 0) {
      try {
        FMain->Synchronize([] { throw std::runtime_error("handler failed"); });
      } catch (const std::runtime_error& e) {
        caught = e.what();
      }
    }
    ++finished;
  };
  std::thread first(work, 0);
  std::thread second(work, 1);
  ASSERT_TRUE(FMain->WaitForWorker(
      first, [&] { return finished == 2; }, kLimitMs));
  ASSERT_TRUE(FMain->WaitForWorker(
      second, [] { return true; }, kLimitMs));
  EXPECT_TRUE(allOnMain);
  ASSERT_EQ(calls.size(), 2u * kCalls);
  int next[2] = {0, 0};
  for (const auto& [worker, index] : calls) {
    EXPECT_EQ(index, next[worker]++);
  }
  EXPECT_EQ(caught, "handler failed");

  bool nested = false;
  EXPECT_TRUE(FMain->Synchronize([&] { nested = true; }));
  EXPECT_TRUE(nested) << "a call on the main thread runs at once";
}

TEST_F(CLMainThreadWinTest, PlainMessageLoopServesCallsAndTimers) {
  // The program's own GetMessage/DispatchMessage loop is all the dispatcher needs.
  int reports = 0;
  int ticks = 0;
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    for (int i = 0; i < 3; ++i) {
      FMain->Synchronize([&] { ++reports; });
    }
    FMain->Post([] { PostQuitMessage(0); });
    finished = true;
  });
  FMain->CreateTimer(
      10, [&] { ++ticks; }, true);
  const TCLTimerHandle deadline = FMain->CreateTimer(
      kLimitMs, [] { PostQuitMessage(1); }, true);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  FMain->DestroyTimer(deadline);
  EXPECT_EQ(message.wParam, 0u) << "the deadline ended the loop";
  EXPECT_EQ(reports, 3);
  ASSERT_TRUE(FMain->WaitForWorker(
      worker, [&] { return finished.load(); }, kLimitMs));

  // The loop's own helpers serve the timer too.
  const int before = ticks;
  EXPECT_TRUE(FMain->RunUntil([&] { return ticks >= before + 3; }, kLimitMs));
}

// The order in which the windows of NotingPaints paint and the timers fire.
std::string* GOrder = nullptr;

LRESULT CALLBACK NotingPaints(HWND aWindow, UINT aMsg, WPARAM aWParam, LPARAM aLParam) {
  if (aMsg != WM_PAINT)
    return DefWindowProcW(aWindow, aMsg, aWParam, aLParam);
  PAINTSTRUCT paint;
  BeginPaint(aWindow, &paint);
  EndPaint(aWindow, &paint);
  GOrder->push_back('P');
  return 0;
}

TEST_F(CLMainThreadWinTest, DueTimersFireBetweenThePaintsThatFollowACall) {
  std::string order;
  GOrder = &order;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = &NotingPaints;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"KestrovaNotingPaints";
  RegisterClassW(&windowClass);
  std::vector<HWND> windows;
  for (int i = 0; i < 4; ++i) {
    // Shown without taking the focus: a window that had it takes seconds to go again.
    windows.push_back(CreateWindowExW(WS_EX_NOACTIVATE, windowClass.lpszClassName, L"", WS_POPUP,
                                      30 * i, 0, 20, 20, nullptr, nullptr, windowClass.hInstance,
                                      nullptr));
    ASSERT_NE(windows.back(), nullptr);
    ShowWindow(windows.back(), SW_SHOWNOACTIVATE);
  }
  MSG message;
  while (PeekMessageW(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE))
    DispatchMessageW(&message);
  const TCLTimerHandle timer = FMain->CreateTimer(
      1, [&] { order.push_back('T'); }, true);
  ASSERT_TRUE(Eventually(
      [&] { return PeekMessageW(&message, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE) != FALSE; }));
  order.clear();
  for (HWND window : windows)
    InvalidateRect(window, nullptr, FALSE);
  FMain->Post([&] { order.push_back('C'); });
  FMain->ProcessMessages();
  FMain->DestroyTimer(timer);
  for (HWND window : windows)
    DestroyWindow(window);
  GOrder = nullptr;
  // The call, then a tick that was due before the last window painted.
  ASSERT_EQ(order.find('C'), 0u) << order;
  EXPECT_EQ(std::count(order.begin(), order.end(), 'P'), 4) << order;
  EXPECT_LT(order.find('T'), order.rfind('P')) << order;
}

TEST_F(CLMainThreadWinTest, QuitMessageEndsRunUntilAndStaysQueued) {
  PostQuitMessage(7);
  EXPECT_FALSE(FMain->RunUntil([] { return false; }, kLimitMs));
  MSG message;
  EXPECT_EQ(GetMessageW(&message, nullptr, 0, 0), 0);
  EXPECT_EQ(message.wParam, 7u);
}

TEST_F(CLMainThreadWinTest, StopRequestAndDestructionReleaseWaitingWorkers) {
  std::stop_source abort;
  std::atomic<int> answer{-1};
  std::atomic<bool> handlerRan{false};
  std::thread aborted(
      [&] { answer = FMain->Synchronize([&] { handlerRan = true; }, abort.get_token()) ? 1 : 0; });
  ASSERT_TRUE(Eventually([&] { return FMain->WaitingCalls() == 1; }));
  abort.request_stop();
  ASSERT_TRUE(Eventually([&] { return answer.load() != -1; }));
  aborted.join();
  EXPECT_EQ(answer, 0);
  FMain->ProcessMessages();
  EXPECT_FALSE(handlerRan);

  constexpr int kWorkers = 3;
  std::atomic<int> refused{0};
  std::vector<std::thread> workers;
  for (int i = 0; i < kWorkers; ++i) {
    workers.emplace_back([&] {
      if (!FMain->Synchronize([&] { handlerRan = true; })) {
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
  EXPECT_FALSE(handlerRan);
}

TEST_F(CLMainThreadWinTest, DisabledOrDestroyedTimersDoNotFire) {
  int driverTicks = 0;
  int disabledTicks = 0;
  int zeroTicks = 0;
  int selfDisablingTicks = 0;
  int selfDestroyingTicks = 0;
  std::string seenAfterDestroy;
  const TCLTimerHandle disabled = FMain->CreateTimer(
      10, [&] { ++disabledTicks; }, false);
  FMain->CreateTimer(
      0, [&] { ++zeroTicks; }, true);
  TCLTimerHandle selfDisabling = 0;
  selfDisabling = FMain->CreateTimer(
      10,
      [&] {
        ++selfDisablingTicks;
        FMain->SetTimerEnabled(selfDisabling, false);
      },
      true);
  TCLTimerHandle selfDestroying = 0;
  selfDestroying = FMain->CreateTimer(
      10,
      [&, text = std::string(100, 'x')] {
        ++selfDestroyingTicks;
        FMain->DestroyTimer(selfDestroying);
        seenAfterDestroy = text;
      },
      true);
  // Started last, so by its tenth tick every other timer has come due several times.
  const TCLTimerHandle driver = FMain->CreateTimer(
      20, [&] { ++driverTicks; }, true);
  ASSERT_TRUE(FMain->RunUntil([&] { return driverTicks >= 10; }, kLimitMs));
  EXPECT_EQ(disabledTicks, 0);
  EXPECT_EQ(zeroTicks, 0);
  EXPECT_EQ(selfDisablingTicks, 1);
  EXPECT_EQ(selfDestroyingTicks, 1);
  EXPECT_EQ(seenAfterDestroy, std::string(100, 'x'));

  FMain->SetTimerEnabled(disabled, true);
  FMain->SetTimerInterval(driver, 15);
  const int before = driverTicks;
  EXPECT_TRUE(
      FMain->RunUntil([&] { return disabledTicks >= 2 && driverTicks >= before + 2; }, kLimitMs));
}

} // namespace
