#include <doctest/doctest.h>

#include <chrono>
#include <memory>

#include "test_support.h"
#include "tray/simple_timer.h"

using namespace std::chrono;

namespace {

// Milliseconds from `start` to the timer's first tick.
long long FirstTickAfter(steady_clock::time_point start, int& ticks) {
  REQUIRE(PumpUntil([&] { return ticks > 0; }));
  return duration_cast<milliseconds>(steady_clock::now() - start).count();
}

}  // namespace

TEST_CASE("simple timer starts, pauses and stops by its attributes") {
  int ticks = 0;
  TSimpleTimer timer(20, [&](TSimpleTimer*) { ++ticks; });
  TSimpleTimerHandler* handler = SimpleTimerHandler();
  REQUIRE(handler);
  CHECK(timer.TimerId() == reinterpret_cast<UINT_PTR>(&timer));

  SUBCASE("interval 0 never starts") {
    timer.SetInterval(0);
    timer.SetEnabled(true);
    CHECK_FALSE(timer.Enabled());
    CHECK(handler->RunningCount() == 0);
    PumpFor(milliseconds(100));
    CHECK(ticks == 0);
  }
  SUBCASE("writing interval 0 pauses; a new interval resumes") {
    timer.SetEnabled(true);
    CHECK(handler->RunningCount() == 1);
    timer.SetInterval(0);
    CHECK(timer.Enabled());
    CHECK(handler->RunningCount() == 0);
    ticks = 0;
    PumpFor(milliseconds(100));
    CHECK(ticks == 0);
    timer.SetInterval(20);
    CHECK(PumpUntil([&] { return ticks > 0; }));
  }
  SUBCASE("an empty callback pauses; assigning one again does not resume") {
    timer.SetEnabled(true);
    timer.SetOnTimer(nullptr);
    CHECK(timer.Enabled());
    CHECK(handler->RunningCount() == 0);
    timer.SetOnTimer([&](TSimpleTimer*) { ++ticks; });
    PumpFor(milliseconds(100));
    CHECK(ticks == 0);
    timer.SetEnabled(true);
    CHECK(PumpUntil([&] { return ticks > 0; }));
  }
  SUBCASE("single shot stops before its callback runs") {
    bool enabledInCallback = true;
    timer.SetSingleShot(true);
    timer.SetOnTimer([&](TSimpleTimer* sender) {
      ++ticks;
      enabledInCallback = sender->Enabled();
    });
    timer.SetEnabled(true);
    REQUIRE(PumpUntil([&] { return ticks > 0; }));
    CHECK_FALSE(enabledInCallback);
    PumpFor(milliseconds(100));
    CHECK(ticks == 1);
    CHECK(handler->RunningCount() == 0);
  }
}

TEST_CASE("a timer's callback may stop, restart or change its own timer") {
  int ticks = 0;
  TSimpleTimer timer;
  timer.SetInterval(10);

  SUBCASE("stop") {
    timer.SetOnTimer([&](TSimpleTimer* sender) {
      ++ticks;
      sender->SetEnabled(false);
    });
    timer.SetEnabled(true);
    REQUIRE(PumpUntil([&] { return ticks > 0; }));
    PumpFor(milliseconds(100));
    CHECK(ticks == 1);
    CHECK(SimpleTimerHandler()->RunningCount() == 0);
  }
  SUBCASE("restart and change interval and callback") {
    int replaced = 0;
    timer.SetOnTimer([&](TSimpleTimer* sender) {
      ++ticks;
      sender->SetEnabled(true);
      sender->SetInterval(15);
      sender->SetOnTimer([&](TSimpleTimer*) { ++replaced; });
    });
    timer.SetEnabled(true);
    REQUIRE(PumpUntil([&] { return replaced >= 2; }));
    CHECK(ticks == 1);
    CHECK(timer.Interval() == 15);
    CHECK(SimpleTimerHandler()->RunningCount() == 1);
  }
}

TEST_CASE("rewriting the interval keeps the period; re-enabling restarts it") {
  // Interval 1500 ms, rewritten after 900 ms: a kept period ticks at about
  // 1500 ms, a restarted one not before 2400 ms. Late ticks are possible on
  // a busy machine, early ones are not.
  int ticks = 0;
  TSimpleTimer timer(1500, [&](TSimpleTimer*) { ++ticks; });

  SUBCASE("same interval") {
    // A kept period ticks 800 ms before this 1400 ms timer started now, a
    // restarted one 100 ms after it: the order tells them apart however
    // late a busy machine delivers both.
    timer.SetEnabled(true);
    PumpFor(milliseconds(900));
    REQUIRE(ticks == 0);
    int laterTicks = 0;
    TSimpleTimer later(1400, [&](TSimpleTimer*) { ++laterTicks; });
    later.SetEnabled(true);
    timer.SetInterval(1500);
    REQUIRE(PumpUntil([&] { return ticks + laterTicks > 0; }));
    CHECK(ticks == 1);
    CHECK(laterTicks == 0);
  }
  SUBCASE("enabled again") {
    const auto start = steady_clock::now();
    timer.SetEnabled(true);
    PumpFor(milliseconds(900));
    REQUIRE(ticks == 0);
    timer.SetEnabled(true);
    CHECK(FirstTickAfter(start, ticks) >= 2400);
    CHECK(SimpleTimerHandler()->RunningCount() == 1);
  }
}

TEST_CASE("timers share one window that lives as long as the last timer") {
  REQUIRE(SimpleTimerHandler() == nullptr);
  auto first = std::make_unique<TSimpleTimer>(10, [](TSimpleTimer*) {});
  auto second = std::make_unique<TSimpleTimer>(10, [](TSimpleTimer*) {});
  TSimpleTimerHandler* handler = SimpleTimerHandler();
  REQUIRE(handler);
  const HWND window = handler->WindowHandle();
  CHECK(handler->UserCount() == 2);

  SUBCASE("a running timer destroyed kills its system timer") {
    const UINT_PTR id = first->TimerId();
    first->SetEnabled(true);
    second->SetEnabled(true);
    CHECK(handler->RunningCount() == 2);
    first.reset();
    CHECK(handler->RunningCount() == 1);
    CHECK(handler->UserCount() == 1);
    CHECK_FALSE(KillTimer(window, id));
  }
  SUBCASE("a tick for a timer that is gone reaches nobody") {
    const UINT_PTR id = first->TimerId();
    int firstTicks = 0, secondTicks = 0;
    first->SetOnTimer([&](TSimpleTimer*) { ++firstTicks; });
    second->SetOnTimer([&](TSimpleTimer*) { ++secondTicks; });
    first.reset();
    // Would be taken for the destroyed object if the id were trusted.
    SendMessageW(window, WM_TIMER, id, 0);
    SendMessageW(window, WM_TIMER, 0x1234, 0);
    CHECK(firstTicks == 0);
    CHECK(secondTicks == 0);
    SendMessageW(window, WM_TIMER, second->TimerId(), 0);
    CHECK(secondTicks == 1);
  }
  SUBCASE("the window goes with the last timer and comes back with the next") {
    first.reset();
    CHECK(IsWindow(window));
    second.reset();
    CHECK(SimpleTimerHandler() == nullptr);
    CHECK_FALSE(IsWindow(window));

    int ticks = 0;
    TSimpleTimer again(10, [&](TSimpleTimer*) { ++ticks; });
    REQUIRE(SimpleTimerHandler());
    CHECK(IsWindow(SimpleTimerHandler()->WindowHandle()));
    again.SetEnabled(true);
    CHECK(PumpUntil([&] { return ticks > 0; }));
  }
}
