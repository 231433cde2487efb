#include "options/recording_settings.h"

#include <algorithm>
#include <optional>

#include "classlib/sysutils.h"
#include "options/settings.h"

namespace {
std::optional<std::uint32_t> SegmentSecondsOf(const std::wstring& text) {
  const bool seconds = !text.empty() && (text.back() == L's' || text.back() == L'S');
  const std::optional<std::int32_t> value =
      TryStrToInt(seconds ? std::wstring_view(text).substr(0, text.size() - 1) : text);
  if (!value || *value < 0) return std::nullopt;
  const std::uint64_t total = static_cast<std::uint64_t>(*value) * (seconds ? 1 : 60);
  if (total > kMaxSegmentSeconds) return std::nullopt;
  return static_cast<std::uint32_t>(total);
}
}  // namespace

std::uint32_t ParseSegmentSeconds(const std::wstring& text) {
  return SegmentSecondsOf(text).value_or(kDefaultSegmentSeconds);
}

bool IsValidSegmentText(const std::wstring& text) { return SegmentSecondsOf(text).has_value(); }

std::int64_t ParseKeepFreeMB(const std::wstring& text) {
  const std::optional<std::int32_t> value = TryStrToInt(text);
  if (!value || *value < 0 || *value > kMaxKeepFreeMB) return -1;
  return *value;
}

std::uint64_t KeepFreeBytes(std::int64_t keepFreeMB, std::uint64_t driveBytes) {
  if (keepFreeMB >= 0) return static_cast<std::uint64_t>(keepFreeMB) * 1024 * 1024;
  return std::min(kDefaultKeepFreeBytes, driveBytes / 10);
}

TRecordingSettings ReadRecordingSettings(const TIniFile& settings) {
  TRecordingSettings result;
  result.SegmentSeconds = ParseSegmentSeconds(
      settings.ReadString(kSettingsSection, L"segment", std::to_wstring(kDefaultSegmentMinutes)));
  result.Loop = settings.ReadBool(kSettingsSection, L"loop", true);
  result.KeepFreeMB = ParseKeepFreeMB(settings.ReadString(kSettingsSection, L"keepfree", L""));
  return result;
}
