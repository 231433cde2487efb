#include "media/sample_grabber.h"


#include "classlib/exceptions.h"
#include "platform/platform_factory.h"

using platform::ComPtr;

namespace {
bool SampleGrabberAvailable() {
  ComPtr<IBaseFilter> filter;
  return platform::CreatePlatformObject(CLSID_SampleGrabber, filter.GetAddressOf()) == S_OK;
}

// The filter's callback selector for BufferCB.
constexpr LONG kBufferCallback = 1;
}  // namespace

TSampleGrabber::TSampleGrabber(TComponent* owner) : TComponent(owner), link_(*this, *this) {
  Assert(SampleGrabberAvailable(), L"The SampleGrabber Filter is not available on this system.");
  mediaType_ = std::make_unique<TMediaType>(MEDIATYPE_Video);
  mediaType_->SetSubType(MEDIASUBTYPE_RGB24);
  mediaType_->SetFormatType(FORMAT_VideoInfo);
}

TSampleGrabber::~TSampleGrabber() {
  link_.Detach();
  mediaType_.reset();
}

void TSampleGrabber::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  link_.Notification(component, operation);
}

HRESULT TSampleGrabber::QueryInterface(REFIID iid, void** object) {
  if (object && IsEqualIID(iid, __uuidof(ISampleGrabberCB))) {
    *object = static_cast<ISampleGrabberCB*>(this);
    return S_OK;
  }
  return QueryMember(this, filter_.Get(), iid, object);
}

void TSampleGrabber::NotifyMember(TMemberOperation operation) {
  // Every platform result here is left alone: a type the path cannot meet
  // shows when the graph is rendered.
  switch (operation) {
    case moAdding:
      (void)platform::CreatePlatformObject(CLSID_SampleGrabber, filter_.ReleaseAndGetAddressOf());
      break;
    case moAdded:
      Configure();
      break;
    case moRemoving:
      if (filter_) (void)filter_->Stop();
      if (inputPin_) (void)inputPin_->Disconnect();
      if (outputPin_) (void)outputPin_->Disconnect();
      break;
    case moRemoved:
      if (grabber_) {
        (void)grabber_->SetCallback(nullptr, kBufferCallback);
        (void)grabber_->SetBufferSamples(FALSE);
      }
      filter_.Reset();
      grabber_.Reset();
      inputPin_.Reset();
      outputPin_.Reset();
      break;
    case moRefresh:
      ApplyMediaType();
      break;
  }
}

void TSampleGrabber::Configure() {
  if (!filter_) return;
  (void)filter_.As(&grabber_);
  ComPtr<IEnumPins> pins;
  if (SUCCEEDED(filter_->EnumPins(pins.GetAddressOf())) && pins) {
    if (pins->Next(1, inputPin_.ReleaseAndGetAddressOf(), nullptr) == S_OK)
      (void)pins->Next(1, outputPin_.ReleaseAndGetAddressOf(), nullptr);
  }
  ApplyMediaType();
  if (!grabber_) return;
  (void)grabber_->SetBufferSamples(TRUE);
  if (OnBuffer) (void)grabber_->SetCallback(this, kBufferCallback);
}

void TSampleGrabber::ApplyMediaType() {
  if (!grabber_) return;
  if (filter_) (void)filter_->Stop();
  if (inputPin_) (void)inputPin_->Disconnect();
  (void)grabber_->SetMediaType(&mediaType_->AMMediaType());
}

HRESULT TSampleGrabber::SampleCB(double, IMediaSample*) { return S_OK; }

HRESULT TSampleGrabber::BufferCB(double SampleTime, BYTE* pBuffer, LONG BufferLen) {
  if (!OnBuffer) return S_OK;
  const std::lock_guard<std::mutex> lock(callbackLock_);
  try {
    OnBuffer(this, SampleTime, pBuffer, BufferLen);
  } catch (...) {
    // An error must not unwind into the platform's streaming thread, and
    // there is nobody on this thread to show it to.
  }
  return S_OK;
}
