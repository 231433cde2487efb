#include "app/channel_log.h"

#include <windows.h>

#include <string>

#include "classlib/sysutils.h"
#include "options/settings.h"

std::wstring EventLogFileName() { return savePath + L"\\事件日志.txt"; }

void LogChannelEvent(int channel, const std::wstring& text) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::wstring line = Format(L"%04u-%02u-%02u %02u:%02u:%02u #%d %ls\r\n", now.wYear, now.wMonth,
                                   now.wDay, now.wHour, now.wMinute, now.wSecond, channel, text.c_str());
  const HANDLE file = CreateFileW(EventLogFileName().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  const std::string bytes = (created ? std::string("\xEF\xBB\xBF") : std::string()) + WideToUtf8(line);
  DWORD written = 0;
  (void)WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);  // see above
  CloseHandle(file);
}
