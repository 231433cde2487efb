#include "platform/dshow/filter_base.h"

#include <cstring>

#include "platform/dshow/pin_enumerator.h"

namespace dshow {

HRESULT CopyToComString(const std::wstring& text, LPWSTR* copy) {
  if (!copy) return E_POINTER;
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  *copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (!*copy) return E_OUTOFMEMORY;
  std::memcpy(*copy, text.c_str(), bytes);
  return S_OK;
}

STDMETHODIMP FilterBase::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

STDMETHODIMP FilterBase::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  std::lock_guard lock(stateLock_);
  *state = state_;
  return S_OK;
}

STDMETHODIMP FilterBase::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard lock(stateLock_);
  clock_ = clock;
  return S_OK;
}

STDMETHODIMP FilterBase::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard lock(stateLock_);
  *clock = ComPtr<IReferenceClock>(clock_).Detach();
  return S_OK;
}

STDMETHODIMP FilterBase::EnumPins(IEnumPins** pins) { return PinEnumerator::Create(Pins(), pins); }

STDMETHODIMP FilterBase::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  for (const ComPtr<IPin>& candidate : Pins()) {
    LPWSTR candidateId = nullptr;
    if (FAILED(candidate->QueryId(&candidateId))) continue;
    const bool same = lstrcmpW(candidateId, id) == 0;
    CoTaskMemFree(candidateId);
    if (same) {
      *pin = ComPtr<IPin>(candidate).Detach();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

STDMETHODIMP FilterBase::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  std::lock_guard lock(stateLock_);
  lstrcpynW(info->achName, name_.c_str(), MAX_FILTER_NAME);
  // The caller gets its own reference to the graph, as the interface requires.
  info->pGraph = ComPtr<IFilterGraph>(graph_).Detach();
  return S_OK;
}

STDMETHODIMP FilterBase::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  ComPtr<IMediaEventSink> events;
  if (graph) (void)graph->QueryInterface(IID_PPV_ARGS(&events));  // a graph without events gets none
  std::lock_guard lock(stateLock_);
  graph_ = graph;
  events_ = events.Get();
  name_ = name ? name : L"";
  return S_OK;
}

STDMETHODIMP FilterBase::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

bool FilterBase::IsStopped() const {
  std::lock_guard lock(stateLock_);
  return state_ == State_Stopped;
}

void FilterBase::NotifyEvent(long code, LONG_PTR first, LONG_PTR second) {
  IMediaEventSink* events = nullptr;
  {
    std::lock_guard lock(stateLock_);
    events = events_;
  }
  if (events) (void)events->Notify(code, first, second);  // nobody to tell if the graph refuses
}

}  // namespace dshow
