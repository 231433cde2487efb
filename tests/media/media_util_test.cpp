// Failure reporting, filter and pin lists, property pages and media-type
// copies.
#include <doctest/doctest.h>

#include <cstring>

#include "fake_members.h"
#include "media/media_errors.h"
#include "media/media_util.h"

TEST_CASE("CheckMediaResult passes successes and raises failures with the result") {
  CHECK(CheckMediaResult(S_OK) == S_OK);
  CHECK(CheckMediaResult(S_FALSE) == S_FALSE);
  CHECK(CheckMediaResult(0x00040237) == 0x00040237);  // any other success code

  SUBCASE("E_FAIL") {
    try {
      CheckMediaResult(E_FAIL);
      FAIL("no exception");
    } catch (const EDirectShowException& error) {
      CHECK(error.ResultCode() == E_FAIL);
      const std::wstring& message = error.Message();
      const std::wstring tail = L" ($80004005).";
      REQUIRE(message.size() > tail.size());
      CHECK(message.substr(message.size() - tail.size()) == tail);
      // Some text of the cause precedes the code, never just the code.
      CHECK(message.find_first_not_of(L' ') < message.size() - tail.size());
    }
  }
  SUBCASE("a code no table knows still gets a text") {
    const HRESULT unknown = static_cast<HRESULT>(0xA0F1B2C3);
    try {
      CheckMediaResult(unknown);
      FAIL("no exception");
    } catch (const EDirectShowException& error) {
      CHECK(error.ResultCode() == unknown);
      CHECK(error.Message().ends_with(L" ($A0F1B2C3)."));
      CHECK(error.Message().size() > std::wstring(L" ($A0F1B2C3).").size());
    }
  }
}

TEST_CASE("filter and pin lists are snapshots in the platform's order") {
  ComPtr<IFilterGraph> graph;
  REQUIRE(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                           IID_PPV_ARGS(&graph)) == S_OK);
  CHECK(TFilterList(graph.Get()).Count() == 0);
  CHECK(TFilterList(nullptr).Count() == 0);
  CHECK(TPinList(nullptr).Count() == 0);

  ComPtr<IBaseFilter> grabber, renderer;
  REQUIRE(CoCreateInstance(CLSID_SampleGrabber, nullptr, CLSCTX_INPROC_SERVER,
                           IID_PPV_ARGS(&grabber)) == S_OK);
  REQUIRE(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                           IID_PPV_ARGS(&renderer)) == S_OK);
  REQUIRE(graph->AddFilter(grabber.Get(), L"grabber") == S_OK);
  REQUIRE(graph->AddFilter(renderer.Get(), L"renderer") == S_OK);

  TFilterList filters(graph.Get());
  CHECK(filters.Graph() == graph.Get());
  REQUIRE(filters.Count() == 2);
  CHECK(filters.IndexOf(grabber.Get()) >= 0);
  CHECK(filters.IndexOf(renderer.Get()) >= 0);
  CHECK_THROWS_AS(filters.Items(2), EListError);
  CHECK_THROWS_AS(filters.Items(-1), EListError);

  SUBCASE("remove takes out the same reference only") {
    const int index = filters.IndexOf(renderer.Get());
    CHECK(filters.Remove(renderer.Get()) == index);
    CHECK(filters.Count() == 1);
    CHECK(filters.Items(0) == grabber.Get());
    CHECK(filters.Remove(renderer.Get()) == -1);
  }
  SUBCASE("a later change of the graph does not show") {
    REQUIRE(graph->RemoveFilter(renderer.Get()) == S_OK);
    CHECK(filters.Count() == 2);
  }
  SUBCASE("the grabber's two pins, input first") {
    const TPinList pins(grabber.Get());
    REQUIRE(pins.Count() == 2);
    PIN_DIRECTION first, second;
    REQUIRE(pins.Items(0)->QueryDirection(&first) == S_OK);
    REQUIRE(pins.Items(1)->QueryDirection(&second) == S_OK);
    CHECK(first == PINDIR_INPUT);
    CHECK(second == PINDIR_OUTPUT);
    CHECK(pins.Filter() == grabber.Get());
  }
}

TEST_CASE("OpenFilterPropertyPages reports through its result and shows nothing it cannot") {
  CHECK(OpenFilterPropertyPages(nullptr, nullptr, pkFilterPages) == S_FALSE);
  CHECK(OpenFilterPropertyPages(nullptr, nullptr, pkCaptureSource) == S_FALSE);
  ComPtr<IBaseFilter> renderer;
  REQUIRE(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER,
                           IID_PPV_ARGS(&renderer)) == S_OK);
  ComPtr<ISpecifyPropertyPages> pages;
  // Wine's null renderer has no pages and no video-for-windows dialogs.
  REQUIRE(FAILED(renderer.As(&pages)));
  CHECK(OpenFilterPropertyPages(nullptr, renderer.Get(), pkFilterPages) == E_NOINTERFACE);
  CHECK(OpenFilterPropertyPages(nullptr, renderer.Get(), pkCaptureDisplay) == E_NOINTERFACE);
  CHECK(OpenFilterPropertyPages(nullptr, renderer.Get(), pkCompressorAbout) == E_NOINTERFACE);
  CHECK(OpenFilterPropertyPages(nullptr, renderer.Get(), static_cast<TPropertyPageKind>(9)) ==
        S_FALSE);
}

namespace {

// Counts its references, so copies and releases can be seen.
class TCountedUnknown : public IUnknown {
public:
  LONG count = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    *object = IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
    return *object ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
  ULONG STDMETHODCALLTYPE Release() override { return --count; }
};

}  // namespace

TEST_CASE("DuplicateMediaType copies the format block and pUnk's reference") {
  BYTE format[3] = {1, 2, 3};
  TCountedUnknown unknown;
  AM_MEDIA_TYPE source = {};
  source.majortype = MEDIATYPE_Video;
  source.subtype = MEDIASUBTYPE_RGB24;
  source.lSampleSize = 921600;
  source.cbFormat = sizeof(format);
  source.pbFormat = format;
  source.pUnk = &unknown;

  AM_MEDIA_TYPE target = {};
  DuplicateMediaType(target, source);
  CHECK(target.majortype == MEDIATYPE_Video);
  CHECK(target.subtype == MEDIASUBTYPE_RGB24);
  CHECK(target.lSampleSize == 921600);
  REQUIRE(target.cbFormat == 3);
  CHECK(target.pbFormat != format);
  CHECK(std::memcmp(target.pbFormat, format, 3) == 0);
  CHECK(unknown.count == 2);

  ReleaseMediaTypeFormat(target);
  CHECK(target.cbFormat == 0);
  CHECK(target.pbFormat == nullptr);
  CHECK(target.pUnk == nullptr);
  CHECK(unknown.count == 1);
  CHECK(target.majortype == MEDIATYPE_Video);

  SUBCASE("without a format only the record is copied") {
    source.cbFormat = 0;
    source.pUnk = nullptr;
    DuplicateMediaType(target, source);
    CHECK(target.pbFormat == format);
    CHECK(target.cbFormat == 0);
  }
  SUBCASE("caller errors are assertion failures") {
    CHECK_THROWS_AS(DuplicateMediaType(source, source), EAssertionFailed);
    source.pbFormat = nullptr;
    CHECK_THROWS_AS(DuplicateMediaType(target, source), EAssertionFailed);
    CHECK(unknown.count == 1);
  }
}

TEST_CASE("platform error text falls back past Wine's placeholder") {
  // Wine's quartz answers "Error: 0x80004005"; the system table knows better.
  const std::wstring failText = platform::ErrorText(E_FAIL);
  CHECK_FALSE(failText.empty());
  CHECK(failText.find(L"0x80004005") == std::wstring::npos);
  const std::wstring unknownText = platform::ErrorText(static_cast<HRESULT>(0xA0F1B2C3));
  CHECK_FALSE(unknownText.empty());
  CHECK(unknownText.find(L"0xa0f1b2c3") == std::wstring::npos);
}

TEST_CASE("the member interfaces carry their published identifiers") {
  GUID member, listener;
  REQUIRE(CLSIDFromString(L"{887F94DA-29E9-44C6-B48E-1FBF0FB59878}", &member) == S_OK);
  REQUIRE(CLSIDFromString(L"{6C0DCD7B-1A98-44EF-A6D5-E23CBC24E620}", &listener) == S_OK);
  CHECK(__uuidof(IGraphMember) == member);
  CHECK(__uuidof(IGraphListener) == listener);
}
