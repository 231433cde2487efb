#pragma once
// An output pin of the camera: "Capture" or "Preview". It names its pin
// category through IKsPropertySet (AMPROPSETID_Pin), which the capture graph
// builder asks, lets a caller choose size and rate (IAMStreamConfig), and
// runs its own streaming thread while the filter is paused or running.
#include <windows.h>
#include <dshow.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/dshow/com_object.h"
#include "street_scene.h"
#include "video_format.h"

namespace testcam {

class CameraFilter;

// Its reference count is the filter's.
class CameraPin final : public IPin, public IKsPropertySet, public IAMStreamConfig {
public:
  CameraPin(CameraFilter& filter, const GUID& category, const wchar_t* name);
  ~CameraPin();
  CameraPin(const CameraPin&) = delete;
  CameraPin& operator=(const CameraPin&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP ConnectedTo(IPin** pin) override;
  STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP QueryPinInfo(PIN_INFO* info) override;
  STDMETHODIMP QueryDirection(PIN_DIRECTION* direction) override;
  STDMETHODIMP QueryId(LPWSTR* id) override;
  STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* type) override;
  STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** types) override;
  STDMETHODIMP QueryInternalConnections(IPin** pins, ULONG* count) override;
  STDMETHODIMP EndOfStream() override;
  STDMETHODIMP BeginFlush() override;
  STDMETHODIMP EndFlush() override;
  STDMETHODIMP NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  STDMETHODIMP Set(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize, LPVOID data,
                   DWORD dataSize) override;
  STDMETHODIMP Get(REFGUID set, DWORD id, LPVOID instance, DWORD instanceSize, LPVOID data,
                   DWORD dataSize, DWORD* returned) override;
  STDMETHODIMP QuerySupported(REFGUID set, DWORD id, DWORD* support) override;

  STDMETHODIMP SetFormat(AM_MEDIA_TYPE* type) override;
  STDMETHODIMP GetFormat(AM_MEDIA_TYPE** type) override;
  STDMETHODIMP GetNumberOfCapabilities(int* count, int* size) override;
  STDMETHODIMP GetStreamCaps(int index, AM_MEDIA_TYPE** type, BYTE* caps) override;

  const std::wstring& Name() const { return name_; }

  // Filter side, under the filter's state lock.
  HRESULT StartStreaming();  // stopped → paused
  void StopStreaming();      // → stopped; returns once the thread has ended
  void Wake();               // the filter's state changed
  // The format used when nothing else was chosen (the device's defaults).
  void SetDefaultFormat(const VideoFormat& format);
  // Current picture format: the connection's, else the chosen one.
  VideoFormat CurrentFormat();

private:
  std::vector<dshow::MediaType> OfferedTypes();
  HRESULT TryConnection(IPin* receivePin, const dshow::MediaType& type);
  static HRESULT DecideAllocator(IMemInputPin* input, const VideoFormat& format,
                                 dshow::ComPtr<IMemAllocator>* chosen);
  // Streaming thread.
  void Stream(dshow::ComPtr<IMemInputPin> input,
              dshow::ComPtr<IMemAllocator> allocator, VideoFormat format,
              std::wstring deviceName, Scene scene);

  CameraFilter& filter_;
  const GUID category_;
  const std::wstring name_;

  // Under the filter's state lock; they change only while the filter is stopped.
  dshow::ComPtr<IPin> peer_;
  dshow::ComPtr<IMemInputPin> input_;
  dshow::ComPtr<IMemAllocator> allocator_;
  dshow::MediaType type_;
  VideoFormat connected_;
  VideoFormat chosen_;
  bool chosenByCaller_ = false;

  std::thread thread_;
  HANDLE stop_;  // manual reset: the thread must end
  HANDLE wake_;  // auto reset: the filter's state changed
};

}  // namespace testcam
