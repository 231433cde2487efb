#pragma once
// Running native host programs (ffmpeg, ffprobe, shell) from a benchmark
// under Wine: a script is started through Wine's start.exe, which writes its
// exit status last, and the benchmark waits for that file.
#include <windows.h>

#include <cstdio>
#include <string>

namespace bench {

using WineGetUnixFileName = char*(CDECL*)(LPCWSTR);

// The host's name for a Windows path; empty outside Wine.
inline std::string HostPath(const std::wstring& path) {
  static const auto convert = reinterpret_cast<WineGetUnixFileName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return std::string();
  char* unixName = convert(path.c_str());
  std::string result = unixName ? unixName : "";
  if (unixName) HeapFree(GetProcessHeap(), 0, unixName);
  return result;
}

inline std::string ReadWholeFile(const std::wstring& name) {
  std::string bytes;
  if (FILE* f = _wfopen(name.c_str(), L"rb")) {
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, got);
    fclose(f);
  }
  return bytes;
}

// Runs a shell script on the host with its files in `folder`; its output
// (stdout and stderr), or empty when it could not start or outran the limit.
inline std::string RunOnHost(const std::wstring& folder, const std::string& script, DWORD limitMs) {
  const std::wstring scriptFile = folder + L"\\host.sh", outFile = folder + L"\\host.out",
                     statusFile = folder + L"\\host.status";
  DeleteFileW(statusFile.c_str());
  const std::string status = HostPath(statusFile);
  // The shell reads its script as it goes: it exits on the status line, so
  // it never reads the next script written over this one.
  const std::string full = "{ " + script + "\n} >'" + HostPath(outFile) + "' 2>&1\necho $? >'" + status +
                           ".tmp' && mv '" + status + ".tmp' '" + status + "'; exit\n";
  if (FILE* f = _wfopen(scriptFile.c_str(), L"wb")) {
    fwrite(full.data(), 1, full.size(), f);
    fclose(f);
  }
  const std::string hostScript = HostPath(scriptFile);
  std::wstring line = L"start.exe /unix /bin/sh " + std::wstring(hostScript.begin(), hostScript.end());
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                      &startup, &process))
    return std::string();
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  const DWORD start = GetTickCount();
  while (GetFileAttributesW(statusFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > limitMs) return std::string();
    Sleep(20);
  }
  return ReadWholeFile(outFile);
}

}  // namespace bench
