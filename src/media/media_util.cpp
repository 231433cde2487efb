#include "media/media_util.h"

#include <olectl.h>

#include <cstring>

#include "classlib/exceptions.h"
#include "classlib/scope_exit.h"
#include "classlib/sysutils.h"
#include "platform/dshow/media_type.h"

using platform::ComPtr;

template <class I>
I* TComInterfaceList<I>::Items(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(L"List index out of bounds (%d)", index));
  return items_[index].Get();
}

template <class I>
int TComInterfaceList<I>::Add(I* item) {
  items_.emplace_back(item);
  return Count() - 1;
}

template <class I>
int TComInterfaceList<I>::IndexOf(I* item) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[i].Get() == item) return i;
  return -1;
}

template <class I>
int TComInterfaceList<I>::Remove(I* item) {
  const int index = IndexOf(item);
  if (index >= 0) items_.erase(items_.begin() + index);
  return index;
}

template class TComInterfaceList<IBaseFilter>;
template class TComInterfaceList<IPin>;

TFilterList::TFilterList(IFilterGraph* graph) : graph_(graph) {
  if (!graph_) return;
  ComPtr<IEnumFilters> filters;
  if (FAILED(graph_->EnumFilters(&filters))) return;
  ComPtr<IBaseFilter> filter;
  while (filters->Next(1, filter.ReleaseAndGetAddressOf(), nullptr) == S_OK) Add(filter.Get());
}

TPinList::TPinList(IBaseFilter* filter) : filter_(filter) {
  if (!filter_) return;
  ComPtr<IEnumPins> pins;
  if (FAILED(filter_->EnumPins(&pins))) return;
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) Add(pin.Get());
}

namespace {

HRESULT ShowFilterPages(HWND owner, IBaseFilter* filter) {
  ComPtr<ISpecifyPropertyPages> specify;
  HRESULT hr = filter->QueryInterface(IID_PPV_ARGS(&specify));
  if (hr != S_OK) return hr;
  CAUUID pages = {};
  hr = specify->GetPages(&pages);
  // The page list is ours to free whatever happens next.
  const ScopeExit freePages{[&] { CoTaskMemFree(pages.pElems); }};
  if (hr != S_OK) return hr;
  FILTER_INFO info = {};
  hr = filter->QueryFilterInfo(&info);
  // QueryFilterInfo hands out a reference on the filter's graph.
  const ComPtr<IFilterGraph> infoGraph = platform::Adopt(info.pGraph);
  if (hr != S_OK) return hr;
  IUnknown* object = filter;
  return OleCreatePropertyFrame(owner, 0, 0, info.achName, 1, &object, pages.cElems, pages.pElems,
                                0, 0, nullptr);
}

HRESULT ShowCaptureDialog(HWND owner, IBaseFilter* filter, int dialog) {
  ComPtr<IAMVfwCaptureDialogs> dialogs;
  HRESULT hr = filter->QueryInterface(IID_PPV_ARGS(&dialogs));
  if (hr != S_OK) return hr;
  hr = dialogs->HasDialog(dialog);
  if (hr != S_OK) return hr;
  return dialogs->ShowDialog(dialog, owner);
}

HRESULT ShowCompressorDialog(HWND owner, IBaseFilter* filter, int query, int show) {
  ComPtr<IAMVfwCompressDialogs> dialogs;
  HRESULT hr = filter->QueryInterface(IID_PPV_ARGS(&dialogs));
  if (hr != S_OK) return hr;
  hr = dialogs->ShowDialog(query, nullptr);
  if (hr != S_OK) return hr;
  return dialogs->ShowDialog(show, owner);
}

}  // namespace

HRESULT OpenFilterPropertyPages(HWND owner, IBaseFilter* filter, TPropertyPageKind kind) {
  if (!filter) return S_FALSE;
  switch (kind) {
    case pkFilterPages:
      return ShowFilterPages(owner, filter);
    case pkCaptureDisplay:
      return ShowCaptureDialog(owner, filter, VfwCaptureDialog_Display);
    case pkCaptureFormat:
      return ShowCaptureDialog(owner, filter, VfwCaptureDialog_Format);
    case pkCaptureSource:
      return ShowCaptureDialog(owner, filter, VfwCaptureDialog_Source);
    case pkCompressorConfig:
      return ShowCompressorDialog(owner, filter, VfwCompressDialog_QueryConfig,
                                  VfwCompressDialog_Config);
    case pkCompressorAbout:
      return ShowCompressorDialog(owner, filter, VfwCompressDialog_QueryAbout,
                                  VfwCompressDialog_About);
  }
  return S_FALSE;
}

void DuplicateMediaType(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source) {
  Assert(&target != &source, L"DuplicateMediaType: a media type copied onto itself (MediaUtil)");
  Assert(source.cbFormat == 0 || source.pbFormat != nullptr,
         L"DuplicateMediaType: a format size without a format block (MediaUtil)");
  (void)dshow::MediaType::Copy(source, &target);  // without memory the copy has no format block
  // A record without a format owns no block: it is copied as it stands.
  if (source.cbFormat == 0) target.pbFormat = source.pbFormat;
}

void ReleaseMediaTypeFormat(AM_MEDIA_TYPE& record) {
  if (record.cbFormat == 0) record.pbFormat = nullptr;  // not a block of ours
  dshow::MediaType::FreeContents(record);
}
