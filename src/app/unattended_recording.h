#pragma once
// Recording that runs unattended: the file of each recording channel, its
// segment switches, the storage watch, and the recordings that end without
// the user asking, with the reason each pane and the tray hint show.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "app/segment_clock.h"
#include "app/storage_watch.h"
#include "classlib/timer.h"

class TUnattendedRecording {
public:
  // The timer that drives switches and alerts is owned by `owner`.
  explicit TUnattendedRecording(TComponent* owner);

  // Records the channel anew in a new file (a segment switch).
  std::function<void(int channel)> OnSegmentDue;
  // Ends the channel's recording without the user asking; the reason is
  // the alert's text, e.g. "录像中断：磁盘空间不足".
  std::function<void(int channel, const std::wstring& alert)> OnInterrupted;

  // 开始录像: reads the settings, starts the storage watch below `root`
  // and clears the alerts.
  void Begin(const std::wstring& root);
  // The channel writes `fileName` from now on: its first file, the next
  // segment's in a new writer (`newWriter`) or in the same one. A channel
  // that records again has no alert.
  void ChannelStarted(int channel, const std::wstring& fileName, bool newWriter);
  // 停止录像 or the program's end: every channel stops, as asked.
  void End(const std::wstring& why);
  // 监控: the alerts are cleared.
  void ClearAlerts();

  // Ends the channel's recording at the next tick with `reason` ("写入错误"):
  // safe from inside a graph's event handler, which must not rebuild it.
  void Interrupt(int channel, const std::wstring& reason);
  // The channel's new file could not be started: it ends at once.
  void StartFailed(int channel, const std::wstring& reason);
  // The channel's camera went away while recording: the alert is shown
  // until the camera is back and the channel records again.
  void DeviceLost(int channel);
  // The writer's count of dropped frames, read as the channel's file ends:
  // the frames dropped in that file are logged. `total` counts from the
  // channel's last ChannelStarted with `newWriter`.
  void FileEnded(int channel, std::uint64_t total);

  bool Recording(int channel) const { return channels_.at(channel - 1).Recording; }
  bool AnyRecording() const;
  // The pane's alert, empty when none.
  const std::wstring& Alert(int channel) const { return channels_.at(channel - 1).Alert; }
  // Every alert, one per line, for the tray hint (empty when none).
  std::wstring AlertSummary() const;

  TTimer* Timer() const { return timer_; }

private:
  struct Channel {
    bool Recording = false;
    std::wstring FileName;
    TSegmentClock Segment;
    std::wstring Pending;  // an interruption's reason, handled at the next tick
    std::wstring Alert;
    std::uint64_t Dropped = 0;  // the writer's count when the file began
  };
  void Tick();
  // Ends the channel's recording with the alert; the window hears of it
  // through OnInterrupted when `notify`.
  void Stop(int channel, const std::wstring& reason, bool notify = true);
  void UpdateOpenFiles();

  TTimer* timer_;
  std::wstring root_;
  TStorageWatch watch_;
  TRecordingSettings settings_;
  std::array<Channel, 4> channels_{};
};
