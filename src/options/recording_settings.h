#pragma once
// The settings of unattended recording in section "comm": the segment
// length ("segment"), loop recording ("loop") and the free-space floor
// ("keepfree"). Values that are not numbers, negative or absurd give the
// defaults.
#include <cstdint>
#include <string>

#include "classlib/ini_file.h"

inline constexpr std::uint32_t kDefaultSegmentMinutes = 30;
inline constexpr std::uint32_t kDefaultSegmentSeconds = kDefaultSegmentMinutes * 60;
// Longer than a day is taken for a typing error.
inline constexpr std::uint32_t kMaxSegmentSeconds = 24 * 60 * 60;
// More than a tebibyte of floor is taken for a typing error.
inline constexpr std::int64_t kMaxKeepFreeMB = 1024 * 1024;
// The default floor: the smaller of this and a tenth of the drive.
inline constexpr std::uint64_t kDefaultKeepFreeBytes = 2048ull * 1024 * 1024;

struct TRecordingSettings {
  // 0: one file per recording.
  std::uint32_t SegmentSeconds = kDefaultSegmentSeconds;
  bool Loop = true;
  // Negative: the default for the drive.
  std::int64_t KeepFreeMB = -1;
};

// Whole minutes ("30"), or whole seconds with an "s" suffix ("20s"), so a
// test need not wait minutes for a switch.
std::uint32_t ParseSegmentSeconds(const std::wstring& text);
// Whole megabytes; -1 for a bad value.
std::int64_t ParseKeepFreeMB(const std::wstring& text);
// The floor in bytes on a drive of `driveBytes`.
std::uint64_t KeepFreeBytes(std::int64_t keepFreeMB, std::uint64_t driveBytes);
// True when `text` is a value the "segment" key accepts as it stands.
bool IsValidSegmentText(const std::wstring& text);

TRecordingSettings ReadRecordingSettings(const TIniFile& settings);
