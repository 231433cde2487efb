#pragma once
// TCameraWatch: notices a channel whose camera is lost, shows 无信号 on its
// pane and brings the channel back when the same device returns.
//
// A camera counts as lost when its graph reports the device lost, or when no
// frame has reached the renderer for 3 s while the graph should run (drivers
// that fail silently). The lost channel is taken down at once, so a recording
// is finalised; every 2 s it looks for the device by the moniker display name
// it was bound to, which survives unplugging, and when it is back the channel
// is rebuilt in the mode it had. Nothing else is touched and no message box
// appears: a device that comes back but will not start stays lost and is
// tried again.
#include <windows.h>

#include <array>
#include <functional>
#include <string>

#include "app/main_form.h"
#include "classlib/component.h"
#include "classlib/timer.h"

enum class TChannelMode { Live, Recording };

class TCameraWatch : public TComponent {
public:
  // Builds the channel's graph in `mode` on the device its capture filter
  // holds; raises when it cannot.
  using TBuild = std::function<void(const TChannel& channel, TChannelMode mode)>;

  // Created after the channels' components, so freed before them.
  TCameraWatch(TComponent* owner, const std::array<TChannel, 4>& channels, TBuild build);
  ~TCameraWatch() override;
  std::wstring ClassName() const override { return L"TCameraWatch"; }

  // The channel now runs in `mode` on the device of `moniker`.
  void Bound(int number, IMoniker* moniker, TChannelMode mode);
  // A watched channel (lost or not) changes mode on the same device.
  void SetMode(int number, TChannelMode mode);
  // The user stopped the channel (or all of them): nothing more is watched
  // or reconnected there.
  void Forget(int number);
  void ForgetAll();
  bool Lost(int number) const { return watched_.at(number - 1).lost; }

  // The timer's work, every 250 ms.
  void Check();
  // Milliseconds of a monotonic clock (tests move it).
  std::function<ULONGLONG()> Clock = [] { return GetTickCount64(); };
  // A channel in recording mode lost its camera; its file is finalised.
  std::function<void(int number)> OnRecordingLost;
  // A red line a lost pane shows under 无信号 (empty for none).
  std::function<std::wstring(int number)> PaneAlert;

private:
  struct TWatched {
    bool watching = false;
    bool lost = false;
    bool deviceLost = false;   // reported by the graph, handled at the next check
    bool retryLogged = false;  // a device back but failing is logged once per loss
    TChannelMode mode = TChannelMode::Live;
    std::wstring device;       // moniker display name
    long frames = -1;          // frames the renderer drew or dropped
    ULONGLONG framesSince = 0;
    ULONGLONG nextTry = 0;
  };

  bool Stalled(const TChannel& channel, TWatched& watched, ULONGLONG now);
  void Lose(const TChannel& channel, TWatched& watched, const std::wstring& why);
  void Reconnect(const TChannel& channel, TWatched& watched);
  void DrawNoSignal(const TChannel& channel);

  const std::array<TChannel, 4>& channels_;
  TBuild build_;
  std::array<TWatched, 4> watched_{};
  TTimer* timer_;
};
