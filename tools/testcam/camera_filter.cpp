#include "camera_filter.h"

#include <cstring>
#include <cwchar>

#include "testcam_ids.h"

using dshow::ComPtr;

namespace testcam {

namespace {
std::wstring ReadText(IPropertyBag* bag, const wchar_t* name) {
  VARIANT value;
  VariantInit(&value);
  std::wstring text;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) && value.vt == VT_BSTR && value.bstrVal)
    text = value.bstrVal;
  (void)VariantClear(&value);  // only frees what Read gave
  return text;
}

LONG ReadNumber(IPropertyBag* bag, const wchar_t* name, LONG fallback) {
  VARIANT value;
  VariantInit(&value);
  LONG number = fallback;
  if (SUCCEEDED(bag->Read(name, &value, nullptr)) &&
      SUCCEEDED(VariantChangeType(&value, &value, 0, VT_I4)))
    number = value.lVal;
  (void)VariantClear(&value);  // only frees what Read gave
  return number;
}
}  // namespace

HRESULT CameraFilter::Create(REFIID iid, void** object) {
  return CreateInstance(iid, object);
}

CameraFilter::CameraFilter()
    : ComObject(CLSID_TestCamera),
      capture_(std::make_unique<CameraPin>(*this, PIN_CATEGORY_CAPTURE, L"Capture")),
      preview_(std::make_unique<CameraPin>(*this, PIN_CATEGORY_PREVIEW, L"Preview")) {}

// The pins' threads end before the pins go: a graph may let go of a filter
// it never stopped.
CameraFilter::~CameraFilter() { StopPins(); }

std::wstring CameraFilter::DeviceName() {
  std::lock_guard lock(stateLock_);
  return deviceName_;
}

Scene CameraFilter::DeviceScene() {
  std::lock_guard lock(stateLock_);
  return scene_;
}

HRESULT CameraFilter::CheckNotBusy() const {
  if (device_ == 0) return S_OK;
  DWORD busy = 0;
  DWORD size = sizeof(busy);
  const LSTATUS status = RegGetValueW(HKEY_CLASSES_ROOT, InstanceKey(device_).c_str(), kBusyValue,
                                      RRF_RT_REG_DWORD, nullptr, &busy, &size);
  // The error a capture driver reports when another program holds the camera.
  return status == ERROR_SUCCESS && busy != 0 ? HRESULT_FROM_WIN32(ERROR_BUSY) : S_OK;
}

void CameraFilter::DeviceLost() {
  {
    std::lock_guard lock(stateLock_);
    unplugged_ = true;
  }
  // Param2 0: the device was removed (1 would say it is back).
  NotifyEvent(EC_DEVICE_LOST, EventSender(), 0);
}

HRESULT CameraFilter::StartPins() {
  HRESULT hr = CheckNotBusy();
  bool unplugged;
  {
    std::lock_guard lock(stateLock_);
    unplugged = unplugged_;
  }
  if (SUCCEEDED(hr) && (unplugged || (device_ != 0 && IsUnplugged(device_))))
    hr = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
  if (SUCCEEDED(hr)) unplugWatch_.Start(device_);
  if (SUCCEEDED(hr)) hr = capture_->StartStreaming();
  if (SUCCEEDED(hr)) hr = preview_->StartStreaming();
  if (FAILED(hr)) StopPins();
  return hr;
}

void CameraFilter::StopPins() {
  unplugWatch_.Stop();
  capture_->StopStreaming();
  preview_->StopStreaming();
}

void CameraFilter::WakePins() {
  capture_->Wake();
  preview_->Wake();
}

STDMETHODIMP CameraFilter::Stop() {
  std::lock_guard change(changeLock_);
  {
    std::lock_guard lock(stateLock_);
    if (state_ == State_Stopped) return S_OK;
    state_ = State_Stopped;
  }
  StopPins();
  return S_OK;
}

STDMETHODIMP CameraFilter::Pause() {
  std::lock_guard change(changeLock_);
  if (IsStopped()) {
    const HRESULT hr = StartPins();
    if (FAILED(hr)) return hr;
  }
  {
    std::lock_guard lock(stateLock_);
    state_ = State_Paused;
  }
  WakePins();
  return S_OK;
}

STDMETHODIMP CameraFilter::Run(REFERENCE_TIME start) {
  std::lock_guard change(changeLock_);
  if (IsStopped()) {
    const HRESULT hr = StartPins();
    if (FAILED(hr)) return hr;
  }
  {
    std::lock_guard lock(stateLock_);
    state_ = State_Running;
    start_ = start;
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    runCounter_ = counter.QuadPart;
  }
  WakePins();
  return S_OK;
}

STDMETHODIMP CameraFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  std::lock_guard lock(stateLock_);
  *state = state_;
  return state_ == State_Paused ? VFW_S_CANT_CUE : S_OK;
}

CameraFilter::StreamTime CameraFilter::Now() {
  ComPtr<IReferenceClock> clock;
  REFERENCE_TIME start;
  LONGLONG runCounter;
  StreamTime time;
  {
    std::lock_guard lock(stateLock_);
    time.running = state_ == State_Running && !unplugged_;
    clock = clock_;
    start = start_;
    runCounter = runCounter_;
  }
  if (!time.running) return time;
  REFERENCE_TIME now = 0;
  if (clock && SUCCEEDED(clock->GetTime(&now))) {
    time.fromClock = true;
    time.now = now - start;
    return time;
  }
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  time.now = (counter.QuadPart - runCounter) * 10000000 / frequency.QuadPart;
  return time;
}

std::vector<ComPtr<IPin>> CameraFilter::Pins() { return {capture_.get(), preview_.get()}; }

STDMETHODIMP CameraFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  std::lock_guard change(changeLock_);
  return FilterBase::JoinFilterGraph(graph, name);
}

STDMETHODIMP_(ULONG) CameraFilter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

STDMETHODIMP CameraFilter::InitNew() { return S_OK; }

STDMETHODIMP CameraFilter::Load(IPropertyBag* bag, IErrorLog*) {
  if (!bag) return E_POINTER;
  std::lock_guard change(changeLock_);
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  const std::wstring name = ReadText(bag, L"FriendlyName");
  const int device = DeviceFromPath(ReadText(bag, kDevicePathValue));
  VideoFormat format;
  format.width = ReadNumber(bag, kWidthValue, kDefaultWidth);
  format.height = ReadNumber(bag, kHeightValue, kDefaultHeight);
  const LONG rate = ReadNumber(bag, kFrameRateValue, kDefaultFrameRate);
  format.frameDuration = rate > 0 ? 10000000 / rate : 0;
  if (!ParseVideoType(MakeVideoType(format).Get(), &format)) return E_INVALIDARG;
  const Scene scene = ReadNumber(bag, kSceneValue, 0) == static_cast<LONG>(Scene::Street)
                          ? Scene::Street
                          : Scene::Bars;
  {
    std::lock_guard lock(stateLock_);
    if (!name.empty()) deviceName_ = name;
    scene_ = scene;
    device_ = device;
  }
  capture_->SetDefaultFormat(format);
  preview_->SetDefaultFormat(format);
  return S_OK;
}

STDMETHODIMP CameraFilter::Save(IPropertyBag*, BOOL, BOOL) { return E_NOTIMPL; }

STDMETHODIMP CameraFilter::GetPages(CAUUID* pages) {
  if (!pages) return E_POINTER;
  pages->pElems = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
  if (!pages->pElems) {
    pages->cElems = 0;
    return E_OUTOFMEMORY;
  }
  pages->cElems = 1;
  pages->pElems[0] = CLSID_TestCameraPage;
  return S_OK;
}

STDMETHODIMP CameraFilter::GetDescription(wchar_t* text, UINT capacity) {
  if (!text || capacity == 0) return E_POINTER;
  const VideoFormat format = capture_->CurrentFormat();
  wchar_t details[160];
  std::swprintf(details, 160, L"%ld \u00d7 %ld, %.4g frames per second", format.width,
                format.height, 10000000.0 / format.frameDuration);
  const std::wstring description = DeviceName() + L"\r\n" + details;
  lstrcpynW(text, description.c_str(), static_cast<int>(capacity));
  return S_OK;
}

}  // namespace testcam
