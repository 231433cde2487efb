#include <doctest/doctest.h>

#include "app/housekeeping.h"
#include "app/recording_name.h"
#include "test_support.h"

TEST_CASE("idle time in whole seconds, across the tick count's wrap") {
  CHECK(IdleSeconds(150900, 0) == 150);  // 150.9 s still counts as attended
  CHECK(IdleSeconds(151000, 0) == 151);
  CHECK(IdleSeconds(151000, 0) > kIdleThresholdSeconds);
  CHECK_FALSE(IdleSeconds(150999, 0) > kIdleThresholdSeconds);
  // Last input just before the 32-bit wrap, now just after it.
  CHECK(IdleSeconds(151000 - 5000, 0xFFFFFFFFu - 4999) == 151);
  CHECK(IdleSeconds(0, 0) == 0);
  // A last input stamped even 1 ms after now is no idle time at all.
  CHECK(IdleSeconds(1000, 1001) == 0);
  CHECK(IdleSeconds(0x80000000u, 0) == 0);
  CHECK(IdleSeconds(0x7FFFFFFFu, 0) == 2147483);
}

TEST_CASE("the system idle clock sees input as it arrives") {
  const TIdleClock clock = SystemIdleClock();
  PumpFor(std::chrono::milliseconds(50));  // the tick moves on past any earlier input
  const std::uint32_t before = clock.TickCount();
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_MOVE;  // a move by nothing still counts as input
  REQUIRE(SendInput(1, &input, sizeof(input)) == 1);
  CHECK(PumpUntil([&] { return clock.LastInputTick() - before < 0x80000000u; }));
  const std::uint32_t last = clock.LastInputTick();
  PumpFor(std::chrono::milliseconds(100));
  CHECK(clock.LastInputTick() == last);  // no new input, no new time
  CHECK(clock.TickCount() - last >= 100);
}

TEST_CASE("recording names") {
  SYSTEMTIME time{};
  time.wYear = 2024;
  time.wMonth = 5;
  time.wDay = 17;
  time.wHour = 14;
  time.wMinute = 5;
  CHECK(RecordingStamp(time) == L"[24年05月17日]14时05分");
  time.wYear = 2025;
  time.wMonth = 1;
  time.wDay = 3;
  time.wHour = 9;
  time.wMinute = 7;
  CHECK(RecordingStamp(time) == L"[25年01月03日]09时07分");
  time.wYear = 2000;
  time.wHour = 0;
  time.wMinute = 0;
  CHECK(RecordingStamp(time) == L"[00年01月03日]00时00分");

  SUBCASE("a start within the same minute never overwrites the last recording") {
    const std::wstring folder = MakeTempFolder(L"rec") + L"\\";
    const std::wstring first = NewRecordingName(folder, time);
    CHECK(first == folder + L"[00年01月03日]00时00分.asf");
    WriteFileBytes(first, "recording one");
    const std::wstring second = NewRecordingName(folder, time);
    CHECK(second == folder + L"[00年01月03日]00时00分 (2).asf");
    WriteFileBytes(second, "recording two");
    CHECK(NewRecordingName(folder, time) == folder + L"[00年01月03日]00时00分 (3).asf");
    CHECK(ReadFileBytes(first) == "recording one");
    RemoveTree(folder);
  }
}
