#include "host_programs.h"

#include <cstdlib>

#include "test_support.h"

namespace {

using WineGetUnixFileName = char*(CDECL*)(LPCWSTR);

std::wstring TempFile(const wchar_t* prefix) {
  wchar_t folder[MAX_PATH];
  wchar_t name[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, prefix, 0, name);
  return name;
}

}  // namespace

std::string HostPath(const std::wstring& windowsPath) {
  static const auto convert = reinterpret_cast<WineGetUnixFileName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return std::string();
  char* unix = convert(windowsPath.c_str());
  if (!unix) return std::string();
  std::string path(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return path;
}

std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

NativeProcess::NativeProcess(const std::string& command, DWORD limitMs)
    : outputFile_(TempFile(L"nat")), statusFile_(outputFile_ + L".status"),
      scriptFile_(outputFile_ + L".sh") {
  const std::string status = HostPath(statusFile_);
  WriteFileBytes(scriptFile_, "timeout -k 5 " + std::to_string(limitMs / 1000 + 1) + " sh -c " +
                                  ShellQuote(command) + " >" + ShellQuote(HostPath(outputFile_)) +
                                  " 2>&1 </dev/null\necho $? >" + ShellQuote(status + ".tmp") + "\nmv " +
                                  ShellQuote(status + ".tmp") + " " + ShellQuote(status) + "\n");
  // Started through Wine's start.exe: a host program started straight from
  // this process left COM's registry reads failing (REGDB_E_READREGDB).
  const std::string hostScript = HostPath(scriptFile_);
  std::wstring line = L"start.exe /unix /bin/sh " + std::wstring(hostScript.begin(), hostScript.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                            nullptr, &startup, &process) != FALSE;
  if (started_) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

NativeProcess::~NativeProcess() {
  if (started_) (void)Wait(0);  // a run still going ends by its own time limit
  DeleteFileW(outputFile_.c_str());
  DeleteFileW(statusFile_.c_str());
  DeleteFileW(scriptFile_.c_str());
}

NativeResult NativeProcess::Wait(DWORD timeoutMs) {
  NativeResult result;
  result.started = started_;
  if (!started_) return result;
  result.finished = PumpUntil(
      [&] { return GetFileAttributesW(statusFile_.c_str()) != INVALID_FILE_ATTRIBUTES; },
      std::chrono::milliseconds(timeoutMs));
  if (result.finished)
    result.exitCode = static_cast<DWORD>(std::atoi(ReadFileBytes(statusFile_).c_str()));
  result.output = ReadFileBytes(outputFile_);
  return result;
}

NativeResult RunNative(const std::string& command, DWORD timeoutMs) {
  NativeProcess process(command, timeoutMs);
  return process.Wait(timeoutMs);
}
