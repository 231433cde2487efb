#include <doctest/doctest.h>

#include <winsock2.h>

#include "asf_test_support.h"
#include "media/asf_writer.h"
#include "media/filter_graph.h"
#include "platform/network_sink/network_sink.h"
#include "test_support.h"

namespace {

// A stand-in WM ASF Writer, registered for this process only, whose
// profile lies outside the system table.
class StrangeProfileWriter final : public IBaseFilter, public IConfigAsfWriter {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPersist) ||
        IsEqualIID(iid, IID_IMediaFilter) || IsEqualIID(iid, IID_IBaseFilter))
      *object = static_cast<IBaseFilter*>(this);
    else if (IsEqualIID(iid, IID_IConfigAsfWriter))
      *object = static_cast<IConfigAsfWriter*>(this);
    else
      return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override { *clsid = CLSID_WMAsfWriter; return S_OK; }
  HRESULT STDMETHODCALLTYPE Stop() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Pause() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Run(REFERENCE_TIME) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetState(DWORD, FILTER_STATE* state) override { *state = State_Stopped; return S_OK; }
  HRESULT STDMETHODCALLTYPE SetSyncSource(IReferenceClock*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetSyncSource(IReferenceClock** clock) override { *clock = nullptr; return S_OK; }
  HRESULT STDMETHODCALLTYPE EnumPins(IEnumPins**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindPin(LPCWSTR, IPin**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryFilterInfo(FILTER_INFO* info) override {
    *info = FILTER_INFO{};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE JoinFilterGraph(IFilterGraph*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE QueryVendorInfo(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileId(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCurrentProfileId(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileGuid(REFGUID) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetCurrentProfileGuid(GUID* id) override {
    *id = IID_IUnknown;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfile(IWMProfile*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCurrentProfile(IWMProfile**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetIndexMode(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetIndexMode(BOOL*) override { return E_NOTIMPL; }

private:
  ULONG references_ = 1;
};

class StrangeWriterFactory final : public IClassFactory {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    const ComPtr<IBaseFilter> writer = platform::Adopt<IBaseFilter>(new StrangeProfileWriter());
    return writer->QueryInterface(iid, object);
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

bool Connected(IPin* pin) {
  ComPtr<IPin> other;
  return SUCCEEDED(pin->ConnectedTo(&other));
}

bool Serving(IWMWriterNetworkSink* sink) {
  WCHAR url[256];
  DWORD length = ARRAYSIZE(url);
  return sink && SUCCEEDED(sink->GetHostURL(url, &length));
}

}  // namespace

TEST_CASE("Profile and FileName: stored without a filter, passed to the filter with one") {
  TFilterGraph graph(nullptr);
  TASFWriter writer(nullptr);
  writer.SetName(L"ASFWriter1");
  CHECK(writer.Profile() == wmp_V80_255VideoPDA);
  CHECK(writer.AutoIndex());
  CHECK_FALSE(writer.MultiPass());
  CHECK_FALSE(writer.DontCompress());

  writer.SetProfile(wmp_V80_56VideoOnly);
  writer.SetFileName(L"C:\\rec\\a.asf");
  writer.SetFilterGraph(&graph);
  CHECK(writer.FileName() == L"C:\\rec\\a.asf");
  ComPtr<IBaseFilter> none;
  CHECK(writer.QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(none.GetAddressOf())) == E_NOINTERFACE);

  graph.SetActive(true);
  REQUIRE(writer.GetBaseFilter());
  CHECK(Pins(writer.GetBaseFilter().Get()).size() == 1);  // configured with the stored video-only profile
  CHECK(writer.Profile() == wmp_V80_56VideoOnly);
  CHECK(writer.FileName() == L"C:\\rec\\a.asf");
  ComPtr<IConfigAsfWriter2> config;
  REQUIRE(SUCCEEDED(writer.QueryInterface(IID_IConfigAsfWriter2, reinterpret_cast<void**>(config.GetAddressOf()))));
  DWORD index = 0;
  REQUIRE(SUCCEEDED(config->GetParam(AM_CONFIGASFWRITER_PARAM_AUTOINDEX, &index, nullptr)));
  CHECK(index == 1);

  SUBCASE("writing Profile configures the filter and leaves the stored value") {
    writer.SetProfile(wmp_V80_256Video);
    CHECK(writer.Profile() == wmp_V80_256Video);
    CHECK(Pins(writer.GetBaseFilter().Get()).size() == 2);
    graph.SetActive(false);
    CHECK(writer.Profile() == wmp_V80_56VideoOnly);
    graph.SetActive(true);
    CHECK(writer.Profile() == wmp_V80_56VideoOnly);
  }
  SUBCASE("writing FileName with a filter stores it and passes it on") {
    writer.SetFileName(L"C:\\rec\\b.asf");
    CHECK(writer.FileName() == L"C:\\rec\\b.asf");
    graph.SetActive(false);
    CHECK(writer.FileName() == L"C:\\rec\\b.asf");
  }
  graph.SetActive(false);
  CHECK_FALSE(writer.GetBaseFilter());
  writer.SetFilterGraph(nullptr);
}

TEST_CASE("a filter profile outside the table reads as 255") {
  StrangeWriterFactory factory;
  DWORD cookie = 0;
  REQUIRE(SUCCEEDED(CoRegisterClassObject(CLSID_WMAsfWriter, &factory, CLSCTX_INPROC_SERVER,
                                          REGCLS_MULTIPLEUSE, &cookie)));
  {
    TFilterGraph graph(nullptr);
    TASFWriter writer(nullptr);
    writer.SetProfile(wmp_V80_288VideoOnly);
    writer.SetFilterGraph(&graph);
    graph.SetActive(true);
    REQUIRE(writer.GetBaseFilter());
    CHECK(writer.Profile() == kUnknownWMProfile);
    graph.SetActive(false);
    CHECK(writer.Profile() == wmp_V80_288VideoOnly);
    writer.SetFilterGraph(nullptr);
  }
  REQUIRE(SUCCEEDED(CoRevokeClassObject(cookie)));
}

TEST_CASE("both pins of a two-pin profile are disconnected at moRemoving") {
  TFilterGraph graph(nullptr);
  TASFWriter writer(nullptr);
  writer.SetProfile(wmp_V80_256Video);
  writer.SetFilterGraph(&graph);
  graph.SetActive(true);
  const auto pins = Pins(writer.GetBaseFilter().Get());
  REQUIRE(pins.size() == 2);
  VideoType video(MEDIASUBTYPE_RGB24, 64, 48, 24);
  REQUIRE(pins[0]->ReceiveConnection(MakeUpstreamPin().Get(), video.Get()) == S_OK);
  PcmAudioType pcm;
  REQUIRE(pins[1]->ReceiveConnection(MakeUpstreamPin().Get(), &pcm.type) == S_OK);
  REQUIRE(Connected(pins[0].Get()));
  REQUIRE(Connected(pins[1].Get()));
  graph.SetActive(false);
  CHECK_FALSE(Connected(pins[0].Get()));
  CHECK_FALSE(Connected(pins[1].Get()));
  writer.SetFilterGraph(nullptr);
}

TEST_CASE("the network sink needs both a port and a client limit") {
  TFilterGraph graph(nullptr);
  TASFWriter writer(nullptr);
  writer.SetProfile(wmp_V80_56VideoOnly);
  writer.SetFilterGraph(&graph);
  const DWORD port = FreePort();

  SUBCASE("port 0") {
    writer.SetMaxUsers(8);
    graph.SetActive(true);
    CHECK_FALSE(writer.NetworkSink());
  }
  SUBCASE("no client limit") {
    writer.SetPort(port);
    graph.SetActive(true);
    CHECK_FALSE(writer.NetworkSink());
  }
  SUBCASE("both: the sink serves on the port until moRemoving") {
    writer.SetPort(port);
    writer.SetMaxUsers(8);
    graph.SetActive(true);
    REQUIRE(writer.NetworkSink());
    CHECK(Serving(writer.NetworkSink()));
    DWORD limit = 0;
    REQUIRE(SUCCEEDED(writer.NetworkSink()->GetMaximumClients(&limit)));
    CHECK(limit == 8);
    ComPtr<IWMWriterNetworkSink> sink = writer.NetworkSink();
    graph.SetActive(false);
    CHECK_FALSE(writer.NetworkSink());
    CHECK_FALSE(Serving(sink.Get()));
  }
  SUBCASE("a second writer on the same port serves nothing; the first keeps serving") {
    TFilterGraph secondGraph(nullptr);
    TASFWriter second(nullptr);
    writer.SetPort(port);
    writer.SetMaxUsers(8);
    second.SetPort(port);
    second.SetMaxUsers(8);
    second.SetFilterGraph(&secondGraph);
    graph.SetActive(true);
    secondGraph.SetActive(true);
    CHECK(Serving(writer.NetworkSink()));
    CHECK_FALSE(Serving(second.NetworkSink()));
    secondGraph.SetActive(false);
    CHECK(Serving(writer.NetworkSink()));
    second.SetFilterGraph(nullptr);
  }
  graph.SetActive(false);
  writer.SetFilterGraph(nullptr);
}
