#pragma once
// What every filter of ours shares: its state, the graph's clock, joining
// the graph and raising its events, the filter's name and class, and
// finding and listing its pins. A concrete filter names its pins and makes
// the state changes that are its own.
#include <windows.h>
#include <dshow.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/dshow/com_object.h"

namespace dshow {

class FilterBase : public IBaseFilter {
public:
  // For ComObject's interface table: this base answers IBaseFilter.
  using Interface = IBaseFilter;

  explicit FilterBase(const CLSID& clsid) : clsid_(clsid) {}

  // IPersist
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  // IMediaFilter (Stop, Pause and Run are the filter's own)
  STDMETHODIMP GetState(DWORD milliseconds, FILTER_STATE* state) override;
  STDMETHODIMP SetSyncSource(IReferenceClock* clock) override;
  STDMETHODIMP GetSyncSource(IReferenceClock** clock) override;
  // IBaseFilter
  STDMETHODIMP EnumPins(IEnumPins** pins) override;
  STDMETHODIMP FindPin(LPCWSTR id, IPin** pin) override;
  STDMETHODIMP QueryFilterInfo(FILTER_INFO* info) override;
  STDMETHODIMP JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
  STDMETHODIMP QueryVendorInfo(LPWSTR* info) override;

  bool IsStopped() const;

protected:
  ~FilterBase() = default;

  // The filter's pins in their order.
  virtual std::vector<ComPtr<IPin>> Pins() = 0;
  // Tells the graph's event sink, if joined. Called without stateLock_
  // held: the graph may call back into the filter.
  void NotifyEvent(long code, LONG_PTR first, LONG_PTR second);
  // The filter's own reference as the second parameter of EC_COMPLETE.
  LONG_PTR EventSender() { return reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)); }

  // Guards state_, clock_ and whatever the concrete filter adds.
  mutable std::mutex stateLock_;
  FILTER_STATE state_ = State_Stopped;
  ComPtr<IReferenceClock> clock_;

private:
  const CLSID clsid_;
  // The graph owns the filter; references back to it would make a cycle,
  // so these are plain pointers valid while joined. Under stateLock_.
  IFilterGraph* graph_ = nullptr;
  IMediaEventSink* events_ = nullptr;
  std::wstring name_;
};

// Copies `text` into a COM string the caller frees with CoTaskMemFree.
HRESULT CopyToComString(const std::wstring& text, LPWSTR* copy);

}  // namespace dshow
