#pragma once
// When a recording goes on in a new file: after each full segment length of
// local wall-clock time since the file began.
#include <windows.h>

#include <cstdint>

// Seconds of local time since 1601, the axis the clock works on.
std::uint64_t LocalSeconds(const SYSTEMTIME& localTime);
std::uint64_t LocalSecondsNow();

class TSegmentClock {
public:
  // A segment starts at `now`; a length of 0 makes no segments.
  void Start(std::uint64_t now, std::uint32_t segmentSeconds);
  // True once the segment's end has come; a clock set forward past it
  // switches at once. A clock set back before the segment's start begins
  // the segment anew from `now`, so a file never runs for the jump plus a
  // segment.
  bool Due(std::uint64_t now);
  std::uint64_t End() const { return end_; }

private:
  std::uint64_t start_ = 0;
  std::uint64_t end_ = 0;
  std::uint32_t length_ = 0;
};
