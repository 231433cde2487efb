#include "test_support.h"

#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "classlib/application.h"

bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= end) return condition();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

void PumpFor(std::chrono::milliseconds duration) {
  PumpUntil([] { return false; }, duration);
}

bool FinishesWithin(const std::function<void()>& action, std::chrono::milliseconds deadline) {
  auto done = std::make_shared<std::atomic<bool>>(false);
  std::thread worker([action, done] {
    action();
    *done = true;
  });
  if (PumpUntil([&] { return done->load(); }, deadline)) {
    worker.join();
    return true;
  }
  std::fprintf(stderr, "an action did not finish within %lld ms\n", static_cast<long long>(deadline.count()));
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return false;
}

std::vector<RecordedBox>& RecordedBoxes() {
  static std::vector<RecordedBox> boxes;
  return boxes;
}

std::wstring MakeTempFolder(const std::wstring& prefix) {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  for (unsigned n = GetTickCount();; ++n) {
    std::wstring name = std::wstring(base) + prefix + std::to_wstring(GetCurrentProcessId()) + L"_" +
                        std::to_wstring(n);
    if (CreateDirectoryW(name.c_str(), nullptr)) return name;
  }
}

void RemoveTree(const std::wstring& folder) {
  std::wstring from = folder;
  from.push_back(L'\0');  // the shell wants a double-terminated list
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  SHFileOperationW(&op);
}

std::string ReadFileBytes(const std::wstring& name) {
  std::ifstream in(std::filesystem::path(name), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::wstring& name, const std::string& bytes) {
  std::ofstream out(std::filesystem::path(name), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
