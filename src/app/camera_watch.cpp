#include "app/camera_watch.h"

#include "app/event_log.h"
#include "classlib/exceptions.h"
#include "classlib/sysutils.h"
#include "media/sys_dev_enum.h"

namespace {
constexpr ULONGLONG kSilenceMs = 3000;
constexpr ULONGLONG kRetryMs = 2000;
constexpr unsigned kCheckMs = 250;
// How long a rebuilt graph may take to report that it runs.
constexpr LONG kStartMs = 1000;

platform::ComPtr<IMediaControl> Control(TFilterGraph* graph) {
  platform::ComPtr<IMediaControl> control;
  (void)graph->QueryInterface(control.GetAddressOf());  // none for an inactive graph
  return control;
}

// Frames the channel's renderer has drawn or dropped since it last started; -1 without one.
long FramesArrived(const TChannel& channel) {
  platform::ComPtr<IQualProp> quality;
  if (FAILED(channel.VideoWindow->QueryInterface(IID_IQualProp,
                                                 reinterpret_cast<void**>(quality.GetAddressOf()))))
    return -1;
  int drawn = 0, dropped = 0;
  if (FAILED(quality->get_FramesDrawn(&drawn)) || FAILED(quality->get_FramesDroppedInRenderer(&dropped)))
    return -1;
  return static_cast<long>(drawn) + dropped;
}

// Raises unless the channel's graph runs: Wine's graph answers Run before a
// camera that cannot start has failed.
void ConfirmRunning(const TChannel& channel) {
  platform::ComPtr<IMediaControl> control = Control(channel.FilterGraph);
  OAFilterState state = State_Stopped;
  const HRESULT settled = control ? control->GetState(kStartMs, &state) : E_NOINTERFACE;
  if (FAILED(settled) || state != State_Running)
    throw Exception(SysErrorMessage(static_cast<unsigned long>(FAILED(settled) ? settled : E_FAIL)));
}

// Releases the channel's graph and with it the device; a recording's file is
// closed by the writer's release.
void TearDown(const TChannel& channel) {
  try {
    channel.FilterGraph->ResetGraph();
  } catch (const Exception&) {
    // A graph whose camera is gone may fail to stop; releasing it still ends it.
  }
  channel.FilterGraph->SetActive(false);
  channel.ASFWriter->SetFilterGraph(nullptr);
}
}  // namespace

TCameraWatch::TCameraWatch(TComponent* owner, const std::array<TChannel, 4>& channels, TBuild build)
    : TComponent(owner), channels_(channels), build_(std::move(build)), timer_(new TTimer(this)) {
  SetName(L"CameraWatch");
  for (const TChannel& channel : channels_) {
    TWatched& watched = watched_[channel.Number - 1];
    // The platform's second parameter is 0 for a device that went away and 1
    // for one that is back; the handler's flag is true for 1.
    channel.FilterGraph->OnGraphDeviceLost = [&watched](TComponent*, IUnknown*, bool back) {
      if (!back) watched.deviceLost = true;  // taken down at the next check, outside the graph's event drain
    };
    channel.VideoWindow->OnPaint = [this, &channel](TComponent*) { DrawNoSignal(channel); };
  }
  timer_->SetInterval(kCheckMs);
  timer_->OnTimer = [this](TComponent*) { Check(); };
}

TCameraWatch::~TCameraWatch() {
  for (const TChannel& channel : channels_) {
    channel.FilterGraph->OnGraphDeviceLost = nullptr;
    channel.VideoWindow->OnPaint = nullptr;
  }
}

void TCameraWatch::Bound(int number, IMoniker* moniker, TChannelMode mode) {
  TWatched& watched = watched_.at(number - 1);
  const bool wasLost = watched.lost;
  watched = TWatched{};
  watched.watching = true;
  watched.mode = mode;
  watched.device = MonikerDisplayName(moniker);
  watched.framesSince = Clock();
  if (wasLost) channels_[number - 1].VideoWindow->Invalidate();
}

void TCameraWatch::SetMode(int number, TChannelMode mode) {
  TWatched& watched = watched_.at(number - 1);
  if (watched.watching) watched.mode = mode;
}

void TCameraWatch::Forget(int number) {
  TWatched& watched = watched_.at(number - 1);
  const bool wasLost = watched.lost;
  watched = TWatched{};
  if (wasLost) channels_[number - 1].VideoWindow->Invalidate();
}

void TCameraWatch::ForgetAll() {
  for (const TChannel& channel : channels_) Forget(channel.Number);
}

void TCameraWatch::Check() {
  for (const TChannel& channel : channels_) {
    TWatched& watched = watched_[channel.Number - 1];
    if (!watched.watching) continue;
    const ULONGLONG now = Clock();
    if (watched.lost) {
      if (now >= watched.nextTry) Reconnect(channel, watched);
    } else if (watched.deviceLost) {
      Lose(channel, watched, L"摄像头已断开");
    } else if (Stalled(channel, watched, now)) {
      Lose(channel, watched, L"3 秒没有画面");
    }
  }
}

bool TCameraWatch::Stalled(const TChannel& channel, TWatched& watched, ULONGLONG now) {
  platform::ComPtr<IMediaControl> control = Control(channel.FilterGraph);
  OAFilterState state = State_Stopped;
  // A graph that fails to report its state cannot be running as it should.
  const bool paused = !control || (SUCCEEDED(control->GetState(0, &state)) && state != State_Running);
  const long frames = FramesArrived(channel);
  if (paused || frames != watched.frames) {
    watched.frames = frames;
    watched.framesSince = now;
    return false;
  }
  return now - watched.framesSince >= kSilenceMs;
}

void TCameraWatch::Lose(const TChannel& channel, TWatched& watched, const std::wstring& why) {
  watched.lost = true;
  watched.deviceLost = false;
  watched.retryLogged = false;
  watched.nextTry = Clock() + kRetryMs;
  TearDown(channel);
  EventLog::Write(channel.Number, L"无信号：" + why);
  if (watched.mode == TChannelMode::Recording && OnRecordingLost) OnRecordingLost(channel.Number);
  channel.VideoWindow->Invalidate();
}

void TCameraWatch::Reconnect(const TChannel& channel, TWatched& watched) {
  watched.nextTry = Clock() + kRetryMs;
  try {
    platform::ComPtr<IMoniker> moniker =
        TSysDevEnum::FindMoniker(CLSID_VideoInputDeviceCategory, watched.device);
    if (!moniker) return;
    TearDown(channel);
    watched.deviceLost = false;  // from here on only the new graph speaks
    channel.Filter->BaseFilter().AssignMoniker(moniker.Get());
    // Live first: a camera that will not start must not leave a new, empty
    // recording behind at every attempt.
    build_(channel, TChannelMode::Live);
    ConfirmRunning(channel);
    if (watched.mode == TChannelMode::Recording) {
      TearDown(channel);
      build_(channel, TChannelMode::Recording);
      ConfirmRunning(channel);
    }
  } catch (const Exception& error) {
    TearDown(channel);
    if (!watched.retryLogged)
      EventLog::Write(channel.Number, L"摄像头已接回，但无法开启：" + error.Message());
    watched.retryLogged = true;
    return;
  }
  watched.lost = false;
  watched.frames = -1;
  watched.framesSince = Clock();
  EventLog::Write(channel.Number, watched.mode == TChannelMode::Recording ? L"信号恢复，继续录像"
                                                                          : L"信号恢复");
  channel.VideoWindow->Invalidate();
}

void TCameraWatch::DrawNoSignal(const TChannel& channel) {
  if (!Lost(channel.Number)) return;
  TCanvas& canvas = channel.VideoWindow->Canvas();
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(clBlack);
  canvas.FillRect(channel.VideoWindow->ClientRect());
  canvas.Brush().SetStyle(bsClear);
  canvas.Font().SetColor(clWhite);
  canvas.Font().SetStyle(TFontStyles{});
  canvas.Font().SetName(L"宋体");
  canvas.Font().SetSize(16);
  const std::wstring text = L"无信号";
  const SIZE size = canvas.TextExtent(text);
  const RECT area = channel.VideoWindow->ClientRect();
  canvas.TextOut((area.right - size.cx) / 2, (area.bottom - size.cy) / 2, text);
  const std::wstring alert = PaneAlert ? PaneAlert(channel.Number) : std::wstring();
  if (alert.empty()) return;
  canvas.Font().SetColor(clRed);
  canvas.Font().SetStyle(fsBold);
  const SIZE alertSize = canvas.TextExtent(alert);
  canvas.TextOut((area.right - alertSize.cx) / 2, (area.bottom + size.cy) / 2 + alertSize.cy / 2, alert);
}
