#include "app/recording_name.h"

#include "classlib/sysutils.h"

std::wstring RecordingStamp(const SYSTEMTIME& time) {
  return Format(L"[%02u年%02u月%02u日]%02u时%02u分", time.wYear % 100u, time.wMonth, time.wDay,
                time.wHour, time.wMinute);
}

std::wstring NewRecordingName(const std::wstring& folder, const SYSTEMTIME& time) {
  const std::wstring stamp = folder + RecordingStamp(time);
  std::wstring name = stamp + L".asf";
  for (int copy = 2; FileExists(name); ++copy) name = stamp + Format(L" (%d).asf", copy);
  return name;
}
