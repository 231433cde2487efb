#pragma once
// Graphs around the test camera for the tests of this folder: frames are
// counted by Sample Grabber buffer callbacks, and actions that could hang
// run against a deadline.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>
#include <wrl/client.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>

// Counts the buffers a Sample Grabber hands on and keeps the last one.
class FrameCounter final : public ISampleGrabberCB {
public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
  // Streaming thread.
  STDMETHODIMP BufferCB(double time, BYTE* buffer, long length) override;

  long Count();
  double FirstTime();  // seconds of stream time
  double LastTime();
  std::string LastFrame();

private:
  std::atomic<ULONG> references_{0};
  std::mutex lock_;
  long count_ = 0;
  double first_ = 0, last_ = 0;
  std::string frame_;
};

struct CameraGraph {
  Microsoft::WRL::ComPtr<IGraphBuilder> graph;
  Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> builder;
  Microsoft::WRL::ComPtr<IMediaControl> control;
  Microsoft::WRL::ComPtr<IBaseFilter> camera;
  Microsoft::WRL::ComPtr<IBaseFilter> captureGrabber, captureSink;
  Microsoft::WRL::ComPtr<IBaseFilter> previewGrabber, previewSink;
  Microsoft::WRL::ComPtr<FrameCounter> captured = new FrameCounter;
  Microsoft::WRL::ComPtr<FrameCounter> previewed = new FrameCounter;

  // Binds video-input device `device` and renders its capture pin through
  // an RGB24 grabber into a null renderer; with `preview`, also its preview
  // pin through a second grabber into the video renderer.
  HRESULT Build(ULONG device, bool preview);
  // Adds the camera and renders it (for a camera made by the caller).
  HRESULT Build(Microsoft::WRL::ComPtr<IBaseFilter> filter, bool preview);
  void Release();
};

// Frames per second counted over `span` once the stream has started.
double MeasureRate(FrameCounter& counter, std::chrono::milliseconds span);

// The camera's pin with this id ("Capture", "Preview"), or none.
Microsoft::WRL::ComPtr<IPin> CameraPin(IBaseFilter* camera, const wchar_t* id);

// Threads of this process.
int ThreadCount();
// True once testcam.dll has no live object left (every streaming thread joined).
bool CameraDllIdle();
