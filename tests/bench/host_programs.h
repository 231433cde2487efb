#pragma once
// The benchmarks' names for the tests' runner of native host programs.
#include <windows.h>

#include <string>

#include "support/host_programs.h"
#include "support/test_support.h"

namespace bench {

using ::HostPath;

inline std::string ReadWholeFile(const std::wstring& name) { return ReadFileBytes(name); }

// Runs a shell script on the host; its output (stdout and stderr), or empty
// when it could not start or outran the limit. The runner keeps its files
// in the temporary folder, not in `folder`.
inline std::string RunOnHost([[maybe_unused]] const std::wstring& folder, const std::string& script, DWORD limitMs) {
  const NativeResult result = RunNative(script, limitMs);
  return result.finished ? result.output : std::string();
}

}  // namespace bench
