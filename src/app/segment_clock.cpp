#include "app/segment_clock.h"

std::uint64_t LocalSeconds(const SYSTEMTIME& localTime) {
  FILETIME file{};
  (void)SystemTimeToFileTime(&localTime, &file);  // a valid SYSTEMTIME always converts
  const std::uint64_t ticks = (static_cast<std::uint64_t>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
  return ticks / 10000000u;
}

std::uint64_t LocalSecondsNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LocalSeconds(now);
}

void TSegmentClock::Start(std::uint64_t now, std::uint32_t segmentSeconds) {
  length_ = segmentSeconds;
  start_ = now;
  end_ = now + length_;
}

bool TSegmentClock::Due(std::uint64_t now) {
  if (length_ == 0) return false;
  if (now < start_) {
    Start(now, length_);
    return false;
  }
  return now >= end_;
}
