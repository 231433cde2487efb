#pragma once
// Native host programs (ffmpeg, ffprobe, the shell) run from a Windows
// program under Wine: their output and exit status come back through files.
#include <windows.h>

#include <string>

// The host path of a Windows path (Wine maps drives onto the host tree);
// empty outside Wine.
std::string HostPath(const std::wstring& windowsPath);
// The text as one single-quoted shell word.
std::string ShellQuote(const std::string& text);

struct NativeResult {
  bool started = false;
  bool finished = false;  // within the deadline
  DWORD exitCode = 0;
  std::string output;  // stdout and stderr together
};

// Runs a shell command of the host (ffmpeg, ffprobe) and waits up to
// `timeoutMs` for it.
NativeResult RunNative(const std::string& command, DWORD timeoutMs = 60000);

// A native command running in the background; Wait collects it. Wine
// hands out no waitable handle for host processes, so completion shows as
// a status file the shell writes last; the host's `timeout` bounds the run.
class NativeProcess {
public:
  NativeProcess(const std::string& command, DWORD limitMs = 120000);
  ~NativeProcess();
  NativeResult Wait(DWORD timeoutMs);

private:
  std::wstring outputFile_;
  std::wstring statusFile_;
  std::wstring scriptFile_;
  bool started_ = false;
};
