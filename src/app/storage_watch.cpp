#include "app/storage_watch.h"

#include <windows.h>

#include <algorithm>

#include "app/event_log.h"
#include "app/loop_recording.h"
#include "classlib/sysutils.h"

namespace {
// The least headroom above the floor before the first fall is seen.
constexpr std::uint64_t kMinimumHeadroom = 1024 * 1024;
}  // namespace

TDiskSpace SystemDiskSpace() {
  return [](const std::wstring& root, std::uint64_t& freeBytes, std::uint64_t& totalBytes) {
    ULARGE_INTEGER available{}, total{};
    if (!GetDiskFreeSpaceExW(root.c_str(), &available, &total, nullptr)) return false;
    freeBytes = available.QuadPart;
    totalBytes = total.QuadPart;
    return true;
  };
}

TStorageWatch::TStorageWatch(TDiskSpace diskSpace) : diskSpace_(std::move(diskSpace)) {}

TStorageWatch::~TStorageWatch() { Stop(); }

void TStorageWatch::Start(const std::wstring& root, const TRecordingSettings& settings) {
  Stop();
  root_ = root;
  settings_ = settings;
  lastFree_ = 0;
  largestFall_ = 0;
  state_ = TStorageState::Ok;
  stopping_ = false;
  checkNow_ = true;
  thread_ = std::thread([this] { Run(); });
}

void TStorageWatch::Stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void TStorageWatch::SetOpenFiles(std::vector<std::wstring> names) {
  std::lock_guard<std::mutex> guard(lock_);
  openFiles_ = std::move(names);
}

void TStorageWatch::CheckSoon() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    checkNow_ = true;
  }
  wake_.notify_all();
}

void TStorageWatch::Run() {
  std::unique_lock<std::mutex> guard(lock_);
  while (!stopping_) {
    wake_.wait_for(guard, kInterval, [this] { return stopping_ || checkNow_; });
    if (stopping_) break;
    checkNow_ = false;
    guard.unlock();
    if (state_ == TStorageState::Ok) Check();
    guard.lock();
  }
}

void TStorageWatch::Check() {
  std::uint64_t freeBytes = 0, totalBytes = 0;
  if (!diskSpace_(root_, freeBytes, totalBytes)) {
    state_ = TStorageState::Unavailable;
    return;
  }
  if (lastFree_ > freeBytes) largestFall_ = std::max(largestFall_, lastFree_ - freeBytes);
  const std::uint64_t floor = KeepFreeBytes(settings_.KeepFreeMB, totalBytes);
  // Twice the largest fall between two checks: the next check comes before
  // the recordings can write the drive below the floor. A quarter of the
  // drive at most, so one slow check cannot make the target unreachable.
  const std::uint64_t headroom = std::min(std::max(kMinimumHeadroom, 2 * largestFall_),
                                          totalBytes > floor ? (totalBytes - floor) / 4 : 0);
  const std::uint64_t wanted = floor + headroom;
  bool deletable = false;
  if (freeBytes < wanted && settings_.Loop) {
    std::vector<std::wstring> open;
    {
      std::lock_guard<std::mutex> guard(lock_);
      open = openFiles_;
    }
    for (const TRecordingFile& file :
         ChooseFilesToDelete(ListRecordings(root_), open, wanted - freeBytes)) {
      const std::wstring name = ExtractFileName(file.Name);
      // A file held open by a player stays; the next check tries it again.
      if (!DeleteFileW(file.Name.c_str())) {
        EventLog::Write(file.Channel, L"循环录像无法删除 " + name + L"：" + SysErrorMessage(GetLastError()));
        continue;
      }
      EventLog::Write(file.Channel, Format(L"循环录像删除 %ls（%llu 字节）", name.c_str(),
                                           static_cast<unsigned long long>(file.Size)));
    }
    if (!diskSpace_(root_, freeBytes, totalBytes)) {
      state_ = TStorageState::Unavailable;
      return;
    }
    deletable = !ChooseFilesToDelete(ListRecordings(root_), open, 1).empty();
  }
  lastFree_ = freeBytes;
  // With recordings left to delete the next check goes on deleting; only a
  // drive with nothing left to give (or loop recording off) ends recording.
  if (freeBytes < wanted && !deletable) state_ = TStorageState::OutOfSpace;
}
