#include "app/event_log.h"

#include <windows.h>

#include <mutex>

#include "classlib/sysutils.h"
#include "platform/media_platform.h"

namespace {
std::mutex logLock;
std::wstring logName;

const char kBom[] = "\xEF\xBB\xBF";

std::string LineOf(int channel, const std::wstring& text) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  const std::wstring who = channel == 0 ? std::wstring(L"程序") : Format(L"#%d", channel);
  return WideToUtf8(Format(L"%04u-%02u-%02u %02u:%02u:%02u  %ls  ", now.wYear, now.wMonth,
                           now.wDay, now.wHour, now.wMinute, now.wSecond, who.c_str()) +
                    text + L"\r\n");
}

platform::UniqueHandle OpenForAppend(const std::wstring& name) {
  return platform::UniqueHandle(CreateFileW(name.c_str(), FILE_APPEND_DATA,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool Append(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}
}  // namespace

std::wstring EventLog::FileNameIn(const std::wstring& storageFolder) {
  return storageFolder + L"\\录像\\记录.log";
}

std::wstring EventLog::OldFileName(const std::wstring& fileName) {
  return ChangeFileExt(fileName, L".old.log");
}

void EventLog::Open(const std::wstring& fileName) {
  std::lock_guard<std::mutex> guard(logLock);
  logName = fileName;
}

void EventLog::Write(int channel, const std::wstring& text) {
  const std::string line = LineOf(channel, text);
  std::lock_guard<std::mutex> guard(logLock);
  if (logName.empty()) return;
  platform::UniqueHandle file = OpenForAppend(logName);
  if (!file.Valid()) return;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) return;
  if (size.QuadPart > 0 && static_cast<std::uint64_t>(size.QuadPart) + line.size() > kRotateBytes) {
    file.Reset();
    // A log that cannot be renamed (open elsewhere) just grows on.
    if (MoveFileExW(logName.c_str(), OldFileName(logName).c_str(), MOVEFILE_REPLACE_EXISTING))
      size.QuadPart = 0;
    file.Reset(OpenForAppend(logName).Release());
    if (!file.Valid()) return;
  }
  if (size.QuadPart == 0 && !Append(file.Get(), kBom)) return;
  (void)Append(file.Get(), line);  // a lost line must not stop the caller
}
