#include "media/video_window.h"

#include <xmmintrin.h>

#include "classlib/bstr.h"
#include "classlib/scope_exit.h"
#include "media/filter_graph.h"
#include "media/media_errors.h"
#include "media/media_util.h"
#include "platform/platform_factory.h"

using platform::ComPtr;

namespace {
// Direct3D, behind the VMR-9, switches the floating-point unit to single
// precision when it starts; the program's own arithmetic must not notice.
class FpuControlGuard {
public:
  FpuControlGuard() : mxcsr_(_mm_getcsr()) { asm volatile("fnstcw %0" : "=m"(x87_)); }
  ~FpuControlGuard() {
    asm volatile("fldcw %0" : : "m"(x87_));
    _mm_setcsr(mxcsr_);
  }
  FpuControlGuard(const FpuControlGuard&) = delete;
  FpuControlGuard& operator=(const FpuControlGuard&) = delete;

private:
  unsigned int mxcsr_;
  unsigned short x87_ = 0;
};

// Styles a full-screen window must lose: caption, border and sizing frame;
// dialog frame, window edge, client edge and static edge.
constexpr LONG kFullScreenStyleMask = static_cast<LONG>(0xFF3BFFFF);
constexpr LONG kFullScreenExStyleMask = static_cast<LONG>(0xFFFDFCFE);

constexpr LONG kEventPaletteChanged = EC_PALETTE_CHANGED;          // 9
constexpr LONG kEventRenderDeviceSet = EC_VMR_RENDERDEVICE_SET;    // 0x53
}  // namespace

bool VMR9Available() {
  FpuControlGuard fpu;
  ComPtr<IBaseFilter> renderer;
  return platform::CreatePlatformObject(CLSID_VideoMixingRenderer9, renderer.GetAddressOf()) == S_OK;
}

// ------------------------------------------------------------- TVMROptions

void TVMROptions::SetStreams(DWORD value) {
  streams_ = value >= 1 && value <= 16 ? value : 1;
  Changed();
}

void TVMROptions::SetPreferences(TVMRPreferences value) {
  preferences_ = value;
  Changed();
}

void TVMROptions::SetMode(TVMRVideoMode value) {
  mode_ = value;
  Changed();
}

void TVMROptions::Changed() {
  if (owner_->Mode() == vmVMR) owner_->Reinsert();
}

void TVMROptions::SetKeepAspectRatio(bool value) {
  keepAspectRatio_ = value;
  if (mode_ != vmrWindowed && mode_ != vmrWindowless) return;
  ComPtr<IVMRAspectRatioControl9> aspect;
  if (FAILED(owner_->QueryInterface(aspect.GetAddressOf()))) return;
  CheckMediaResult(aspect->SetAspectRatioMode(value ? VMR9ARMode_LetterBox : VMR9ARMode_None));
}

// ------------------------------------------------------------ TVideoWindow

TVideoWindow::TVideoWindow(TComponent* owner)
    : TWinControl(owner),
      link_(*this, *this, this),
      vmrOptions_(std::make_unique<TVMROptions>(this)) {
  width_ = 160;
  height_ = 120;
  color_ = clBlack;
}

TVideoWindow::~TVideoWindow() {
  vmrOptions_.reset();
  link_.Detach();
  ReleaseCanvasDC();
}

void TVideoWindow::SetMode(TVideoMode value) {
  mode_ = value == vmVMR && !VMR9Available() ? vmNormal : value;
  Reinsert();
}

void TVideoWindow::Reinsert() {
  TFilterGraph* graph = FilterGraph();
  if (!graph || !graph->Active()) return;
  graph->RemoveMember(this);
  graph->InsertMember(this);
}

void TVideoWindow::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  link_.Notification(component, operation);
}

HRESULT TVideoWindow::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(iid, __uuidof(IVMRWindowlessControl9)) && windowless_)
    return windowless_.CopyTo(reinterpret_cast<IVMRWindowlessControl9**>(object));
  if (IsEqualIID(iid, __uuidof(IGraphListener))) {
    *object = static_cast<IGraphListener*>(this);
    return S_OK;
  }
  return QueryMember(this, filter_.Get(), iid, object);
}

// ---------------------------------------------------------- member protocol

void TVideoWindow::NotifyMember(TMemberOperation operation) {
  switch (operation) {
    case moAdding:
      CreateRenderer();
      break;
    case moAdded:
      ConfigureRenderer();
      break;
    case moRemoving:
      StopRenderer();
      break;
    case moRemoved:
      videoWindow_.Reset();
      windowless_.Reset();
      filter_.Reset();
      break;
    case moRefresh:
      break;
  }
}

void TVideoWindow::CreateRenderer() {
  if (mode_ == vmNormal) {
    // A renderer that cannot be made leaves the control without video; the
    // graph's rendering reports it.
    (void)platform::CreatePlatformObject(CLSID_VideoRenderer, filter_.ReleaseAndGetAddressOf());
    return;
  }
  FpuControlGuard fpu;
  (void)platform::CreatePlatformObject(CLSID_VideoMixingRenderer9,
                                       filter_.ReleaseAndGetAddressOf());
  ComPtr<IVMRFilterConfig9> config;
  if (filter_) (void)filter_.As(&config);  // without it the renderer keeps its own mode
  switch (vmrOptions_->Mode()) {
    case vmrWindowed:
      if (config) CheckMediaResult(config->SetRenderingMode(VMR9Mode_Windowed));
      break;
    case vmrWindowless:
      if (config) CheckMediaResult(config->SetRenderingMode(VMR9Mode_Windowless));
      break;
    case vmrRenderless:
      // There is no surface allocator to give a renderless VMR-9.
      throw EMediaGraphException(L"Allocator class not set.");
  }
}

void TVideoWindow::ConfigureRenderer() {
  if (!filter_) return;
  if (mode_ == vmNormal) {
    CheckMediaResult(filter_.As(&videoWindow_));
    return;
  }
  ComPtr<IVMRFilterConfig9> config;
  // Only an exact S_OK is a configuration interface to work with.
  if (CheckMediaResult(filter_.As(&config)) != S_OK) return;
  TVMROptions& options = *vmrOptions_;
  // Setting the stream count puts the VMR-9 into mixing mode, which the
  // bitmap overlay needs.
  if (options.streams_ != 4 || (options.preferences_ & VMRPreference(vpForceMixer))) {
    CheckMediaResult(config->SetNumberOfStreams(options.streams_));
    DWORD streams = 0;
    CheckMediaResult(config->GetNumberOfStreams(&streams));
    options.streams_ = streams;
  }
  switch (options.mode_) {
    case vmrWindowed:
      CheckMediaResult(filter_.As(&videoWindow_));
      ExchangePreferences(*config.Get());
      break;
    case vmrWindowless:
      CheckMediaResult(filter_.As(&windowless_));
      CheckMediaResult(windowless_->SetVideoClippingWindow(Handle()));
      ExchangePreferences(*config.Get());
      Resize();
      break;
    case vmrRenderless:
      break;
  }
  config.Reset();
  options.SetKeepAspectRatio(options.keepAspectRatio_);
}

void TVideoWindow::ExchangePreferences(IVMRFilterConfig9& config) {
  TVMROptions& options = *vmrOptions_;
  const TVMRPreferences mixer = VMRPreference(vpForceMixer);
  const bool forceMixer = (options.preferences_ & mixer) != 0;
  CheckMediaResult(config.SetRenderingPrefs(options.preferences_ & ~mixer));
  DWORD prefs = 0;
  CheckMediaResult(config.GetRenderingPrefs(&prefs));
  options.preferences_ = static_cast<TVMRPreferences>(prefs & 0xFF);
  if (forceMixer) options.preferences_ |= mixer;
}

void TVideoWindow::StopRenderer() {
  if (!filter_) return;
  CheckMediaResult(filter_->Stop());
  TPinList pins(filter_.Get());
  for (int i = 0; i < pins.Count(); ++i) CheckMediaResult(pins.Items(i)->Disconnect());
}

// ------------------------------------------------------------ graph events

void TVideoWindow::GraphEvent(LONG event, LONG_PTR, LONG_PTR) {
  if (event == kEventPaletteChanged && videoWindow_) {
    SetFullScreen(fullScreen_);
    SetCaptionAndDrain();
  } else if (event == kEventRenderDeviceSet && vmrOptions_->Mode() == vmrWindowed &&
             videoWindow_) {
    SetCaptionAndDrain();
  }
}

void TVideoWindow::ControlEvent(TControlEvent code, LONG) {
  if (code != cePlay) return;
  if (mode_ == vmNormal) {
    if (!videoWindow_) return;
    SetFullScreen(fullScreen_);
    SetCaptionAndDrain();
  } else {
    SetFullScreen(fullScreen_);
  }
}

void TVideoWindow::SetCaptionAndDrain() {
  // The caption lets VideoHandle find the window; the drain brings the
  // input over the picture to this control as its own mouse messages.
  const Bstr caption(Name());
  CheckMediaResult(videoWindow_->put_Caption(caption.Get()));
  CheckMediaResult(videoWindow_->put_MessageDrain(reinterpret_cast<OAHWND>(Handle())));
}

// ------------------------------------------------------------- full screen

void TVideoWindow::SetFullScreen(bool value) {
  if (videoWindow_) {
    if (value) {
      LONG exStyle = savedExStyle_ & kFullScreenExStyleMask;
      if (fullScreenTopMost_) exStyle |= WS_EX_TOPMOST;
      CheckMediaResult(videoWindow_->put_Owner(0));
      CheckMediaResult(videoWindow_->put_WindowStyle(savedStyle_ & kFullScreenStyleMask));
      CheckMediaResult(videoWindow_->put_WindowStyleEx(exStyle));
      CheckMediaResult(videoWindow_->SetWindowPosition(0, 0, GetSystemMetrics(SM_CXSCREEN),
                                                       GetSystemMetrics(SM_CYSCREEN)));
      fullScreenActive_ = true;
    } else {
      const HWND owner = Parent() ? Parent()->Handle() : nullptr;
      CheckMediaResult(videoWindow_->put_Owner(reinterpret_cast<OAHWND>(owner)));
      CheckMediaResult(videoWindow_->put_WindowStyle(savedStyle_ | WS_CHILD | WS_CLIPSIBLINGS));
      CheckMediaResult(videoWindow_->put_WindowStyleEx(savedExStyle_));
      CheckMediaResult(videoWindow_->SetWindowPosition(left_, top_, width_, height_));
      fullScreenActive_ = false;
    }
  }
  if (windowless_) fullScreenActive_ = false;
  fullScreen_ = value;
}

void TVideoWindow::SetFullScreenTopMost(bool value) {
  fullScreenTopMost_ = value;
  if (fullScreen_) SetFullScreen(true);
}

// ------------------------------------------------------ placement and look

void TVideoWindow::SetVisible(bool visible) {
  TWinControl::SetVisible(visible);
  if (videoWindow_) CheckMediaResult(videoWindow_->put_Visible(visible ? OATRUE : OAFALSE));
}

void TVideoWindow::BoundsChanged() {
  TWinControl::BoundsChanged();
  PlaceRenderer();
}

void TVideoWindow::Resize() {
  if (OnResize && !Loading()) OnResize(this);
  PlaceRenderer();
}

void TVideoWindow::PlaceRenderer() {
  if (mode_ == vmNormal || vmrOptions_->Mode() == vmrWindowed) {
    if (videoWindow_ && !fullScreen_)
      (void)videoWindow_->SetWindowPosition(left_, top_, width_, height_);  // the next move retries
  } else if (vmrOptions_->Mode() == vmrWindowless && windowless_) {
    RECT dest{0, 0, width_, height_};
    (void)windowless_->SetVideoPosition(nullptr, &dest);  // the next move retries
  }
}

HANDLE TVideoWindow::VideoHandle() {
  if (videoWindow_) {
    const HWND parent = Parent() ? Parent()->Handle() : nullptr;
    return FindWindowExW(parent, nullptr, L"VideoRenderer", Name().c_str());
  }
  return Canvas().Handle();
}

TCanvas& TVideoWindow::Canvas() {
  // Outside painting the canvas draws on a device context of the window,
  // taken again when the window has been made anew.
  if (!canvasDC_ || WindowFromDC(canvasDC_) != Handle()) {
    ReleaseCanvasDC();
    canvasDC_ = GetDC(Handle());
    canvas_.SetHandle(canvasDC_);
  }
  return canvas_;
}

void TVideoWindow::ReleaseCanvasDC() {
  if (!canvasDC_) return;
  ReleaseDC(WindowFromDC(canvasDC_), canvasDC_);
  canvasDC_ = nullptr;
  canvas_.SetHandle(nullptr);
}

void TVideoWindow::Paint(TCanvas& canvas) {
  TWinControl::Paint(canvas);
  if (!OnPaint) return;
  // The handler draws through Canvas(), on the paint surface meanwhile.
  const HDC outside = canvas_.Handle();
  canvas_.SetHandle(canvas.Handle());
  const ScopeExit restore{[&] { canvas_.SetHandle(outside); }};
  OnPaint(this);
}

void TVideoWindow::CreateParams(TCreateParams& params) {
  TWinControl::CreateParams(params);
  params.Style |= WS_TABSTOP;
}

void TVideoWindow::Loaded() {
  TWinControl::Loaded();
  savedStyle_ = GetWindowLongW(Handle(), GWL_STYLE);
  savedExStyle_ = GetWindowLongW(Handle(), GWL_EXSTYLE);
}

// ------------------------------------------------------------------- input

void TVideoWindow::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  // Full screen, the drained messages carry the renderer window's
  // coordinates; the cursor tells where the pointer really is.
  POINT p{x, y};
  if (fullScreenActive_) GetCursorPos(&p);
  TWinControl::MouseDown(button, shift, p.x, p.y);
}

void TVideoWindow::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  POINT p{x, y};
  if (fullScreenActive_) GetCursorPos(&p);
  TWinControl::MouseUp(button, shift, p.x, p.y);
}

void TVideoWindow::MouseMove(TShiftState shift, int x, int y) {
  POINT p{x, y};
  if (fullScreenActive_) GetCursorPos(&p);
  TWinControl::MouseMove(shift, p.x, p.y);
}

void TVideoWindow::WndProc(TMessage& message) {
  if (message.Msg == WM_CONTEXTMENU && fullScreen_) {
    // The control's own place means nothing while the picture fills the
    // screen: the menu opens at the cursor, or the message is dropped.
    POINT cursor;
    GetCursorPos(&cursor);
    if (DoContextPopup(cursor)) message.Result = 1;
    return;
  }
  TWinControl::WndProc(message);
  if (message.Msg == WM_SIZE) PlaceRenderer();
}
