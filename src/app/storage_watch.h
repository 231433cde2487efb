#pragma once
// The free-space watch of the storage drive while recording. It runs on its
// own thread, so a slow or vanished drive never holds up the window or the
// streaming threads; the window reads its state on a timer.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "options/recording_settings.h"

enum class TStorageState { Ok, OutOfSpace, Unavailable };

// Free and total bytes of the drive holding `root`; false when it cannot say.
using TDiskSpace =
    std::function<bool(const std::wstring& root, std::uint64_t& freeBytes, std::uint64_t& totalBytes)>;
TDiskSpace SystemDiskSpace();

class TStorageWatch {
public:
  explicit TStorageWatch(TDiskSpace diskSpace = SystemDiskSpace());
  ~TStorageWatch();
  TStorageWatch(const TStorageWatch&) = delete;
  TStorageWatch& operator=(const TStorageWatch&) = delete;

  // Starts watching `root` (state Ok) with a check at once; a running watch
  // starts over.
  void Start(const std::wstring& root, const TRecordingSettings& settings);
  void Stop();
  // The recordings being written, which loop recording never deletes.
  void SetOpenFiles(std::vector<std::wstring> names);
  // Checks at once instead of at the next interval (a segment switch).
  void CheckSoon();
  // OutOfSpace: below the floor (plus what is written between two checks)
  // and nothing left to delete, or loop recording off. Stays until Start.
  TStorageState State() const { return state_; }

  static constexpr std::chrono::milliseconds kInterval{2000};

private:
  void Run();  // the watch thread
  void Check();

  TDiskSpace diskSpace_;
  std::atomic<TStorageState> state_{TStorageState::Ok};
  std::mutex lock_;
  std::condition_variable wake_;
  bool stopping_ = false;
  bool checkNow_ = false;
  std::wstring root_;
  TRecordingSettings settings_;
  std::vector<std::wstring> openFiles_;
  // Watch-thread only: the free space at the last check, and the largest
  // fall between two checks, which sets the headroom above the floor.
  std::uint64_t lastFree_ = 0;
  std::uint64_t largestFall_ = 0;
  std::thread thread_;
};
