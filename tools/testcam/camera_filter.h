#pragma once
// The test camera: a live video source with a capture and a preview pin.
// A device moniker binds it and hands it the device's property bag, which
// says which test device (name, size, rate) it is; the device can be marked
// busy, and then the filter refuses to start as a camera held by another
// program does; unplugged, a running filter goes silent and reports the
// device lost to its graph.
#include <windows.h>
#include <dshow.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "camera_info.h"
#include "camera_pin.h"
#include "dll_module.h"
#include "unplug.h"

namespace testcam {

class CameraFilter final : public IBaseFilter,
                     public IAMFilterMiscFlags,
                     public IPersistPropertyBag,
                     public ISpecifyPropertyPages,
                     public ITestCameraInfo {
  // IUnknown, IPersist, IMediaFilter, IBaseFilter, IAMFilterMiscFlags,
  // IPersistPropertyBag, ISpecifyPropertyPages, ITestCameraInfo
public:
  static HRESULT Create(REFIID iid, void** object);

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetClassID(CLSID* clsid) override;

  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;

  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

  STDMETHODIMP_(ULONG) GetMiscFlags() override;

  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  STDMETHODIMP GetPages(CAUUID* pages) override;

  STDMETHODIMP GetDescription(wchar_t* text, UINT capacity) override;

  // For the pins.
  // Serialises state and connection changes; recursive because a peer calls
  // back into the pin while it connects.
  std::recursive_mutex& StateLock() { return stateLock_; }
  // Short sections only; never held while calling out or joining a thread.
  std::mutex& DataLock() { return dataLock_; }
  bool IsStopped();
  std::wstring DeviceName();
  Scene DeviceScene();

  // The stream time now, for a streaming thread.
  struct StreamTime {
    bool running = false;
    bool fromClock = false;  // false: no graph clock, samples go untimed
    REFERENCE_TIME now = 0;
  };
  StreamTime Now();

private:
  CameraFilter();
  ~CameraFilter();
  HRESULT StartPins();
  void StopPins();
  void WakePins();
  HRESULT CheckNotBusy() const;
  // On the unplug watch's thread: no more samples, and EC_DEVICE_LOST.
  void DeviceLost();

  std::atomic<ULONG> references_{0};
  LiveObject live_;
  std::recursive_mutex stateLock_;
  std::mutex dataLock_;
  std::unique_ptr<CameraPin> capture_;
  std::unique_ptr<CameraPin> preview_;

  // Under dataLock_.
  FILTER_STATE state_ = State_Stopped;
  Microsoft::WRL::ComPtr<IReferenceClock> clock_;
  REFERENCE_TIME start_ = 0;
  LONGLONG runCounter_ = 0;  // performance counter at Run, when there is no clock
  IFilterGraph* graph_ = nullptr;  // not counted: the graph owns the filter
  std::wstring graphName_;
  std::wstring deviceName_ = L"Test Camera";
  Scene scene_ = Scene::Bars;
  int device_ = 0;  // 0: not bound from a registered device
  bool unplugged_ = false;  // for good: a replugged device is a new filter object
  UnplugWatch unplugWatch_{[this] { DeviceLost(); }};
};

}  // namespace testcam
