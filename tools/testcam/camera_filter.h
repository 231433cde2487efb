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

#include <memory>
#include <mutex>
#include <string>

#include "camera_info.h"
#include "camera_pin.h"
#include "dll_module.h"
#include "platform/dshow/com_object.h"
#include "platform/dshow/filter_base.h"
#include "unplug.h"

namespace testcam {

class CameraFilter final
    : public dshow::ComObject<CameraFilter, dshow::FilterBase, IAMFilterMiscFlags,
                              IPersistPropertyBag, ISpecifyPropertyPages, ITestCameraInfo> {
public:
  static HRESULT Create(REFIID iid, void** object);
  CameraFilter();
  ~CameraFilter();

  STDMETHODIMP Stop() override;
  STDMETHODIMP Pause() override;
  STDMETHODIMP Run(REFERENCE_TIME start) override;
  // A live source has nothing to cue while paused.
  STDMETHODIMP GetState(DWORD timeout, FILTER_STATE* state) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  // IPersistPropertyBag's IPersist as well as the filter's.
  STDMETHODIMP GetClassID(CLSID* clsid) override { return FilterBase::GetClassID(clsid); }

  STDMETHODIMP_(ULONG) GetMiscFlags() override;

  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  STDMETHODIMP GetPages(CAUUID* pages) override;

  STDMETHODIMP GetDescription(wchar_t* text, UINT capacity) override;

  // For the pins.
  // Serialises state and connection changes; recursive because a peer calls
  // back into the pin while it connects.
  std::recursive_mutex& ChangeLock() { return changeLock_; }
  // Short sections only; never held while calling out or joining a thread.
  std::mutex& StateLock() { return stateLock_; }
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
  std::vector<dshow::ComPtr<IPin>> Pins() override;
  HRESULT StartPins();
  void StopPins();
  void WakePins();
  HRESULT CheckNotBusy() const;
  // On the unplug watch's thread: no more samples, and EC_DEVICE_LOST.
  void DeviceLost();

  std::recursive_mutex changeLock_;
  std::unique_ptr<CameraPin> capture_;
  std::unique_ptr<CameraPin> preview_;

  // Under stateLock_, with the base's state and clock.
  REFERENCE_TIME start_ = 0;
  LONGLONG runCounter_ = 0;  // performance counter at Run, when there is no clock
  std::wstring deviceName_ = L"Test Camera";
  Scene scene_ = Scene::Bars;
  int device_ = 0;  // 0: not bound from a registered device
  bool unplugged_ = false;  // for good: a replugged device is a new filter object
  UnplugWatch unplugWatch_{[this] { DeviceLost(); }};
};

}  // namespace testcam
