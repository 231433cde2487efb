#include "camera_graph.h"

#include <tlhelp32.h>

#include "test_cameras.h"
#include "test_support.h"

using Microsoft::WRL::ComPtr;

// In strmiids, but missing from the MinGW headers.
EXTERN_C const CLSID CLSID_SampleGrabber;
EXTERN_C const CLSID CLSID_NullRenderer;

STDMETHODIMP FrameCounter::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISampleGrabberCB)) {
    *object = static_cast<ISampleGrabberCB*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) FrameCounter::Release() {
  const ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP FrameCounter::BufferCB(double time, BYTE* buffer, long length) {
  std::lock_guard<std::mutex> hold(lock_);
  if (count_++ == 0) first_ = time;
  last_ = time;
  frame_.assign(reinterpret_cast<const char*>(buffer), length);
  return S_OK;
}

long FrameCounter::Count() {
  std::lock_guard<std::mutex> hold(lock_);
  return count_;
}

double FrameCounter::FirstTime() {
  std::lock_guard<std::mutex> hold(lock_);
  return first_;
}

double FrameCounter::LastTime() {
  std::lock_guard<std::mutex> hold(lock_);
  return last_;
}

std::string FrameCounter::LastFrame() {
  std::lock_guard<std::mutex> hold(lock_);
  return frame_;
}

namespace {
HRESULT AddGrabber(IGraphBuilder* graph, FrameCounter* counter, const wchar_t* name,
                   ComPtr<IBaseFilter>* grabberFilter) {
  HRESULT hr = CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(grabberFilter->ReleaseAndGetAddressOf()));
  ComPtr<ISampleGrabber> grabber;
  if (SUCCEEDED(hr)) hr = (*grabberFilter).As(&grabber);
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_RGB24;
  if (SUCCEEDED(hr)) hr = grabber->SetMediaType(&type);
  if (SUCCEEDED(hr)) hr = grabber->SetCallback(counter, 1);
  if (SUCCEEDED(hr)) hr = graph->AddFilter(grabberFilter->Get(), name);
  return hr;
}

HRESULT AddSink(IGraphBuilder* graph, REFCLSID clsid, const wchar_t* name, ComPtr<IBaseFilter>* sink) {
  HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(sink->ReleaseAndGetAddressOf()));
  if (SUCCEEDED(hr)) hr = graph->AddFilter(sink->Get(), name);
  return hr;
}
}  // namespace

HRESULT CameraGraph::Build(ULONG device, bool preview) {
  ComPtr<IBaseFilter> filter = BindVideoInput(device);
  if (!filter) return E_FAIL;
  return Build(filter, preview);
}

HRESULT CameraGraph::Build(ComPtr<IBaseFilter> filter, bool preview) {
  camera = filter;
  HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph));
  if (SUCCEEDED(hr))
    hr = CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                          IID_PPV_ARGS(&builder));
  if (SUCCEEDED(hr)) hr = builder->SetFiltergraph(graph.Get());
  if (SUCCEEDED(hr)) hr = graph.As(&control);
  if (SUCCEEDED(hr)) hr = graph->AddFilter(camera.Get(), L"Camera");
  if (SUCCEEDED(hr)) hr = AddGrabber(graph.Get(), captured.Get(), L"Capture grabber", &captureGrabber);
  if (SUCCEEDED(hr)) hr = AddSink(graph.Get(), CLSID_NullRenderer, L"Capture sink", &captureSink);
  if (SUCCEEDED(hr))
    hr = builder->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera.Get(),
                               captureGrabber.Get(), captureSink.Get());
  if (!preview || FAILED(hr)) return hr;
  hr = AddGrabber(graph.Get(), previewed.Get(), L"Preview grabber", &previewGrabber);
  if (SUCCEEDED(hr)) hr = AddSink(graph.Get(), CLSID_VideoRenderer, L"Preview renderer", &previewSink);
  if (SUCCEEDED(hr))
    hr = builder->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera.Get(),
                               previewGrabber.Get(), previewSink.Get());
  return hr;
}

void CameraGraph::Release() {
  control.Reset();
  builder.Reset();
  captureGrabber.Reset();
  captureSink.Reset();
  previewGrabber.Reset();
  previewSink.Reset();
  camera.Reset();
  graph.Reset();
}

double MeasureRate(FrameCounter& counter, std::chrono::milliseconds span) {
  if (!PumpUntil([&] { return counter.Count() >= 5; })) return 0;
  const long before = counter.Count();
  const auto start = std::chrono::steady_clock::now();
  PumpUntil([&] { return std::chrono::steady_clock::now() - start >= span; }, span * 2);
  const long after = counter.Count();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return (after - before) / elapsed.count();
}

ComPtr<IPin> CameraPin(IBaseFilter* camera, const wchar_t* id) {
  ComPtr<IPin> pin;
  (void)camera->FindPin(id, &pin);  // none when missing
  return pin;
}

int ThreadCount() {
  const DWORD self = GetCurrentProcessId();
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  int count = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == self) ++count;
  CloseHandle(snapshot);
  return count;
}

bool CameraDllIdle() {
  HMODULE dll = GetModuleHandleW(L"testcam.dll");
  if (!dll) return true;
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  auto canUnload = reinterpret_cast<CanUnload>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllCanUnloadNow")));
  return canUnload && canUnload() == S_OK;
}
