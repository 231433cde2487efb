#pragma once
// TVideoWindow: the control that shows a graph's video. While its graph is
// active it owns the renderer filter; in the windowed modes it lays the
// renderer's window over itself (or over the screen) and takes the input
// that window drains to it. TVMROptions holds its VMR-9 settings.
#include <windows.h>
#include <dshow.h>
#include <d3d9.h>
#include <vmr9.h>

#include <cstdint>
#include <memory>
#include <string>

#include "classlib/control.h"
#include "media/graph_member.h"
#include "media/graph_member_link.h"

class TFilterGraph;
class TVideoWindow;

enum TVideoMode { vmNormal, vmVMR };
enum TVMRVideoMode { vmrWindowed, vmrWindowless, vmrRenderless };
enum TVMRPreference {
  vpForceOffscreen,
  vpForceOverlays,
  vpForceMixer,
  vpDoNotRenderColorKeyAndBorder,
  vpRestrictToInitialMonitor,
  vpPreferAGPMemWhenMixing,
};
// A set of TVMRPreference in one byte: element n is bit 2^n.
using TVMRPreferences = std::uint8_t;
constexpr TVMRPreferences VMRPreference(TVMRPreference preference) {
  return static_cast<TVMRPreferences>(1u << preference);
}

class TVMROptions : public TPersistent {
public:
  explicit TVMROptions(TVideoWindow* owner) : owner_(owner) {}
  std::wstring ClassName() const override { return L"TVMROptions"; }

  // Mixer input streams; a value outside 1..16 is stored as 1.
  DWORD Streams() const { return streams_; }
  void SetStreams(DWORD value);
  // vpForceMixer is ours: it asks for mixing mode and never reaches the renderer.
  TVMRPreferences Preferences() const { return preferences_; }
  void SetPreferences(TVMRPreferences value);
  TVMRVideoMode Mode() const { return mode_; }
  void SetMode(TVMRVideoMode value);
  // Letter-box the picture; applied at once to a windowed or windowless renderer.
  bool KeepAspectRatio() const { return keepAspectRatio_; }
  void SetKeepAspectRatio(bool value);

private:
  friend class TVideoWindow;  // stores what the renderer answers, without re-inserting
  void Changed();

  TVideoWindow* owner_;
  DWORD streams_ = 4;
  TVMRPreferences preferences_ = VMRPreference(vpForceMixer);
  TVMRVideoMode mode_ = vmrWindowed;
  bool keepAspectRatio_ = true;
};

class TVideoWindow : public TWinControl, public IGraphMember, public IGraphListener {
public:
  explicit TVideoWindow(TComponent* owner);
  ~TVideoWindow() override;
  std::wstring ClassName() const override { return L"TVideoWindow"; }

  // vmVMR falls back to vmNormal, silently, where the VMR-9 cannot be made.
  TVideoMode Mode() const { return mode_; }
  void SetMode(TVideoMode value);
  TVMROptions& VMROptions() { return *vmrOptions_; }
  TFilterGraph* FilterGraph() const { return link_.Graph(); }
  void SetFilterGraph(TFilterGraph* graph) { link_.SetGraph(graph); }

  // The request is stored; it is applied when a renderer window is held
  // (at once, or at the next Play).
  bool FullScreen() const { return fullScreen_; }
  void SetFullScreen(bool value);
  bool FullScreenTopMost() const { return fullScreenTopMost_; }
  void SetFullScreenTopMost(bool value);

  void SetVisible(bool visible) override;
  // The renderer's window ("VideoRenderer" titled with the control's name),
  // or without one the device context of the control's canvas.
  HANDLE VideoHandle();
  // Drawing on the control; during painting it draws on the paint surface.
  TCanvas& Canvas();

  TNotifyEvent OnPaint;

  // The windowless control, the control's own interfaces, then (while it
  // exists) the renderer filter's: IBaseFilter, IVMRMixerBitmap9, ...
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  using TComponent::QueryInterface;
  // The control's life is its owner's business: references do not count.
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // IGraphMember
  platform::ComPtr<IBaseFilter> GetBaseFilter() override { return filter_; }
  std::wstring GetMemberName() override { return Name(); }
  void NotifyMember(TMemberOperation operation) override;
  // IGraphListener
  void GraphEvent(LONG event, LONG_PTR param1, LONG_PTR param2) override;
  void ControlEvent(TControlEvent code, LONG value) override;

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void BoundsChanged() override;
  void Paint(TCanvas& canvas) override;

private:
  friend class TVMROptions;
  void Reinsert();
  void CreateRenderer();
  void ConfigureRenderer();
  void ExchangePreferences(IVMRFilterConfig9& config);
  void StopRenderer();
  // Fires OnResize, then places the renderer.
  void Resize();
  void PlaceRenderer();
  void SetCaptionAndDrain();
  void ReleaseCanvasDC();

  TGraphMemberLink link_;
  TVideoMode mode_ = vmNormal;
  std::unique_ptr<TVMROptions> vmrOptions_;
  platform::ComPtr<IBaseFilter> filter_;
  platform::ComPtr<IVideoWindow> videoWindow_;
  platform::ComPtr<IVMRWindowlessControl9> windowless_;
  bool fullScreen_ = false;
  LONG savedStyle_ = 0;
  LONG savedExStyle_ = 0;
  bool fullScreenTopMost_ = false;
  bool fullScreenActive_ = false;
  TCanvas canvas_;
  HDC canvasDC_ = nullptr;
};

// True when a VMR-9 renderer can be created here.
bool VMR9Available();
