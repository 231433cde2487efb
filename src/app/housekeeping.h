#pragma once
// Background work of the main window: the working-set trim and the clock
// the idle watch reads.
#include <cstdint>
#include <functional>

// Empties the process's working set on NT-family systems, then handles the
// thread's pending messages; elsewhere it does nothing.
void TrimWorkingSet();

// Where the idle watch reads the time; tests drive it through these.
struct TIdleClock {
  std::function<std::uint32_t()> TickCount;
  // Raises when the system cannot say.
  std::function<std::uint32_t()> LastInputTick;
};
TIdleClock SystemIdleClock();

// Above this many whole idle seconds nobody is at the computer.
constexpr std::uint32_t kIdleThresholdSeconds = 150;

// Whole seconds since the last input; the 32-bit tick count wraps after
// about 49.7 days, so the difference is taken modulo 2^32. A difference of
// 2^31 ms or more is a last input stamped after `now` (the two clocks are read
// apart, or from different sources), not 25 idle days: it counts as 0.
constexpr std::uint32_t IdleSeconds(std::uint32_t now, std::uint32_t lastInput) {
  const std::uint32_t elapsed = now - lastInput;
  return elapsed >= 0x80000000u ? 0 : elapsed / 1000u;
}
