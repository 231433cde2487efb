// The video-for-windows dialogs OpenFilterPropertyPages asks for, on a
// stand-in filter that records the dialog numbers.
#include <doctest/doctest.h>

#include "fake_members.h"
#include "media/media_util.h"

namespace {

class TDialogFilter : public IBaseFilter, public IAMVfwCaptureDialogs, public IAMVfwCompressDialogs {
public:
  CallLog calls;
  HRESULT hasDialog = S_OK;
  HRESULT queryResult = S_OK;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBaseFilter))
      *object = static_cast<IBaseFilter*>(this);
    if (IsEqualIID(iid, IID_IAMVfwCaptureDialogs)) *object = static_cast<IAMVfwCaptureDialogs*>(this);
    if (IsEqualIID(iid, IID_IAMVfwCompressDialogs)) *object = static_cast<IAMVfwCompressDialogs*>(this);
    return *object ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE HasDialog(int dialog) override {
    calls.push_back("HasDialog " + std::to_string(dialog));
    return hasDialog;
  }
  // Serves both dialog interfaces: they share the signature.
  HRESULT STDMETHODCALLTYPE ShowDialog(int dialog, HWND owner) override {
    calls.push_back("ShowDialog " + std::to_string(dialog) + (owner ? " owner" : " none"));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SendDriverMessage(int, int, LONG, LONG) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetState(LPVOID, int*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetState(LPVOID, int) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SendDriverMessage(int, LONG, LONG) override { return E_NOTIMPL; }
};

}  // namespace

TEST_CASE("each video-for-windows kind asks for its own dialog number") {
  TDialogFilter filter;
  const HWND owner = GetDesktopWindow();

  SUBCASE("capture dialogs: HasDialog, then ShowDialog with the owner") {
    CHECK(OpenFilterPropertyPages(owner, &filter, pkCaptureDisplay) == S_OK);
    CHECK(OpenFilterPropertyPages(owner, &filter, pkCaptureFormat) == S_OK);
    CHECK(OpenFilterPropertyPages(owner, &filter, pkCaptureSource) == S_OK);
    CHECK(filter.calls == CallLog{"HasDialog 4", "ShowDialog 4 owner", "HasDialog 2",
                                  "ShowDialog 2 owner", "HasDialog 1", "ShowDialog 1 owner"});
  }
  SUBCASE("a missing dialog answers S_FALSE and shows nothing") {
    filter.hasDialog = S_FALSE;
    CHECK(OpenFilterPropertyPages(owner, &filter, pkCaptureDisplay) == S_FALSE);
    CHECK(filter.calls == CallLog{"HasDialog 4"});
  }
  SUBCASE("compressor dialogs: the query without a window, then the dialog") {
    CHECK(OpenFilterPropertyPages(owner, &filter, pkCompressorConfig) == S_OK);
    CHECK(OpenFilterPropertyPages(owner, &filter, pkCompressorAbout) == S_OK);
    CHECK(filter.calls == CallLog{"ShowDialog 4 none", "ShowDialog 1 owner", "ShowDialog 8 none",
                                  "ShowDialog 2 owner"});
  }
}
