#pragma once
// TSampleGrabber: a graph member that contributes the platform's Sample
// Grabber, which passes the stream through but accepts only MediaType, can
// keep the last sample and hands every buffer to OnBuffer.
#include <windows.h>
#include <dshow.h>
#include <qedit.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "classlib/component.h"
#include "media/graph_member.h"
#include "media/graph_member_link.h"
#include "media/media_type.h"
#include "platform/media_platform.h"

class TFilterGraph;

// Called on the graph's streaming thread; pBuffer is valid during the call only.
using TOnBuffer = std::function<void(TComponent* sender, double SampleTime, BYTE* pBuffer,
                                     LONG BufferLen)>;

class TSampleGrabber : public TComponent, public IGraphMember, public ISampleGrabberCB {
public:
  // Raises EAssertionFailed when the Sample Grabber cannot be made here.
  explicit TSampleGrabber(TComponent* owner);
  ~TSampleGrabber() override;
  std::wstring ClassName() const override { return L"TSampleGrabber"; }

  // Registered with the filter only if assigned when the graph activates.
  TOnBuffer OnBuffer;
  TFilterGraph* FilterGraph() const { return link_.Graph(); }
  void SetFilterGraph(TFilterGraph* graph) { link_.SetGraph(graph); }
  // Applied at the next activation: video / RGB24 / VIDEOINFO at first.
  TMediaType& MediaType() { return *mediaType_; }

  // The component's own interfaces, then (while it exists) the filter's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  using TComponent::QueryInterface;
  // The component's life is its owner's business: references do not count.
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // IGraphMember
  platform::ComPtr<IBaseFilter> GetBaseFilter() override { return filter_; }
  std::wstring GetMemberName() override { return Name(); }
  void NotifyMember(TMemberOperation operation) override;

  // ISampleGrabberCB, called on the graph's streaming thread. BufferCB
  // hands the filter's buffer to OnBuffer under the callback lock.
  HRESULT STDMETHODCALLTYPE SampleCB(double SampleTime, IMediaSample* sample) override;
  HRESULT STDMETHODCALLTYPE BufferCB(double SampleTime, BYTE* pBuffer, LONG BufferLen) override;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  void Configure();
  void ApplyMediaType();

  TGraphMemberLink link_;
  std::unique_ptr<TMediaType> mediaType_;
  std::mutex callbackLock_;
  platform::ComPtr<IBaseFilter> filter_;
  platform::ComPtr<ISampleGrabber> grabber_;
  platform::ComPtr<IPin> inputPin_;
  platform::ComPtr<IPin> outputPin_;
};
