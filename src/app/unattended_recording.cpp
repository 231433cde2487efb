#include "app/unattended_recording.h"

#include "app/event_log.h"
#include "classlib/sysutils.h"
#include "options/settings.h"

namespace {
const wchar_t kAlertPrefix[] = L"录像中断：";
}

TUnattendedRecording::TUnattendedRecording(TComponent* owner) : timer_(new TTimer(owner)) {
  timer_->SetName(L"UnattendedTimer");
  timer_->SetEnabled(false);
  timer_->SetInterval(1000);
  timer_->OnTimer = [this](TComponent*) { Tick(); };
}

void TUnattendedRecording::Begin(const std::wstring& root) {
  settings_ = ReadRecordingSettings(OpenSettings());
  root_ = root;
  ClearAlerts();
  watch_.Start(root, settings_);
  timer_->SetEnabled(true);
}

void TUnattendedRecording::ChannelStarted(int channel, const std::wstring& fileName, bool newWriter) {
  Channel& c = channels_.at(channel - 1);
  EventLog::Write(channel, (c.Recording ? L"分段 " : L"开始录像 ") + fileName);
  c.Recording = true;
  c.FileName = fileName;
  c.Pending.clear();
  c.Alert.clear();
  if (newWriter) c.Dropped = 0;
  c.Segment.Start(LocalSecondsNow(), settings_.SegmentSeconds);
  UpdateOpenFiles();
  // A camera back after every channel had stopped finds the watch stopped.
  if (!timer_->Enabled()) {
    watch_.Start(root_, settings_);
    timer_->SetEnabled(true);
  }
  watch_.CheckSoon();
}

void TUnattendedRecording::FileEnded(int channel, std::uint64_t total) {
  Channel& c = channels_.at(channel - 1);
  if (total <= c.Dropped) return;
  EventLog::Write(channel, Format(L"丢帧 %llu（写入跟不上） ", static_cast<unsigned long long>(total - c.Dropped)) +
                               c.FileName);
  c.Dropped = total;
}

void TUnattendedRecording::DeviceLost(int channel) {
  if (channels_.at(channel - 1).Recording) Stop(channel, L"设备丢失", false);
}

void TUnattendedRecording::End(const std::wstring& why) {
  for (int channel = 1; channel <= 4; ++channel) {
    Channel& c = channels_[channel - 1];
    if (!c.Recording) continue;
    EventLog::Write(channel, why + L" " + c.FileName);
    c.Recording = false;
    c.Pending.clear();
  }
  watch_.Stop();
  timer_->SetEnabled(false);
  UpdateOpenFiles();
}

void TUnattendedRecording::ClearAlerts() {
  for (Channel& c : channels_) c.Alert.clear();
}

void TUnattendedRecording::Interrupt(int channel, const std::wstring& reason) {
  Channel& c = channels_.at(channel - 1);
  if (c.Recording && c.Pending.empty()) c.Pending = reason;
}

void TUnattendedRecording::StartFailed(int channel, const std::wstring& reason) {
  Stop(channel, reason);
}

bool TUnattendedRecording::AnyRecording() const {
  for (const Channel& c : channels_)
    if (c.Recording) return true;
  return false;
}

std::wstring TUnattendedRecording::AlertSummary() const {
  std::wstring summary;
  for (int channel = 1; channel <= 4; ++channel) {
    const std::wstring& alert = channels_[channel - 1].Alert;
    if (alert.empty()) continue;
    if (!summary.empty()) summary += L"\n";
    summary += Format(L"#%d ", channel) + alert;
  }
  return summary;
}

void TUnattendedRecording::Tick() {
  const TStorageState storage = watch_.State();
  const std::uint64_t now = LocalSecondsNow();
  for (int channel = 1; channel <= 4; ++channel) {
    Channel& c = channels_[channel - 1];
    if (!c.Recording) continue;
    if (storage == TStorageState::OutOfSpace)
      Stop(channel, settings_.Loop ? L"循环录像无法腾出空间" : L"磁盘空间不足");
    else if (storage == TStorageState::Unavailable)
      Stop(channel, L"存储文件夹不可用");
    else if (!c.Pending.empty())
      Stop(channel, c.Pending);
    else if (c.Segment.Due(now) && OnSegmentDue)
      OnSegmentDue(channel);
  }
  if (!AnyRecording()) {
    watch_.Stop();
    timer_->SetEnabled(false);
  }
}

void TUnattendedRecording::Stop(int channel, const std::wstring& reason, bool notify) {
  Channel& c = channels_.at(channel - 1);
  const std::wstring alert = kAlertPrefix + reason;
  EventLog::Write(channel, alert + L" " + c.FileName);
  c.Recording = false;
  c.Pending.clear();
  c.Alert = alert;
  UpdateOpenFiles();
  if (notify && OnInterrupted) OnInterrupted(channel, alert);
}

void TUnattendedRecording::UpdateOpenFiles() {
  std::vector<std::wstring> open;
  for (const Channel& c : channels_)
    if (c.Recording) open.push_back(c.FileName);
  watch_.SetOpenFiles(std::move(open));
}
