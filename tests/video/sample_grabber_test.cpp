// The grabber's member protocol against the platform's Sample Grabber, its
// media type and its buffer callback.
#include <doctest/doctest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "media/sample_grabber.h"
#include "test_support.h"
#include "video_form.h"

namespace {
struct GrabberGraph {
  GrabberGraph() : graph(nullptr), grabber(nullptr) {
    grabber.SetName(L"SampleGrabber1");
    grabber.SetFilterGraph(&graph);
  }
  TFilterGraph graph;
  TSampleGrabber grabber;
};

AM_MEDIA_TYPE VideoType(const GUID& subtype) {
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = subtype;
  type.formattype = FORMAT_VideoInfo;
  return type;
}
}  // namespace

TEST_CASE("grabber: the media type it starts with is the form's value") {
  TSampleGrabber grabber(nullptr);
  TMediaType stored(MEDIATYPE_Video);
  stored.SetSubType(MEDIASUBTYPE_RGB24);
  stored.SetFormatType(FORMAT_VideoInfo);
  CHECK(grabber.MediaType().Equal(stored));
  CHECK(grabber.MediaType().Data() == stored.Data());
  CHECK_FALSE(grabber.MediaType().StoresData(&stored));
}

TEST_CASE("grabber: the filter exists while the graph is active and takes only MediaType") {
  GrabberGraph g;
  ComPtr<IBaseFilter> filter;
  CHECK(g.grabber.QueryInterface(filter.GetAddressOf()) == E_NOINTERFACE);
  ComPtr<ISampleGrabberCB> callback;
  CHECK(g.grabber.QueryInterface(callback.GetAddressOf()) == S_OK);

  g.graph.SetActive(true);
  REQUIRE(g.grabber.QueryInterface(filter.GetAddressOf()) == S_OK);
  FILTER_INFO info{};
  REQUIRE(SUCCEEDED(filter->QueryFilterInfo(&info)));
  const ComPtr<IFilterGraph> in = platform::Adopt(info.pGraph);
  CHECK(in);
  CHECK(std::wstring(info.achName) == L"SampleGrabber1");

  ComPtr<IEnumPins> pins;
  REQUIRE(SUCCEEDED(filter->EnumPins(pins.GetAddressOf())));
  ComPtr<IPin> input;
  REQUIRE(pins->Next(1, input.GetAddressOf(), nullptr) == S_OK);
  AM_MEDIA_TYPE rgb24 = VideoType(MEDIASUBTYPE_RGB24), rgb32 = VideoType(MEDIASUBTYPE_RGB32);
  CHECK(input->QueryAccept(&rgb24) == S_OK);
  CHECK(input->QueryAccept(&rgb32) != S_OK);

  SUBCASE("a refresh applies a changed media type") {
    g.grabber.MediaType().SetSubType(MEDIASUBTYPE_RGB32);
    g.grabber.NotifyMember(moRefresh);
    CHECK(input->QueryAccept(&rgb32) == S_OK);
    CHECK(input->QueryAccept(&rgb24) != S_OK);
  }

  SUBCASE("detaching from the active graph stops the filter and drops it") {
    const ComPtr<IBaseFilter> held = filter;
    g.grabber.SetFilterGraph(nullptr);
    CHECK_FALSE(g.grabber.GetBaseFilter());
    CHECK(g.grabber.QueryInterface(filter.ReleaseAndGetAddressOf()) == E_NOINTERFACE);
    FILTER_INFO after{};
    REQUIRE(SUCCEEDED(held->QueryFilterInfo(&after)));
    CHECK(after.pGraph == nullptr);
    FILTER_STATE state = State_Running;
    CHECK(held->GetState(0, &state) == S_OK);
    CHECK(state == State_Stopped);
  }
}

TEST_CASE("grabber: the buffer callback hands the filter's buffer on under the lock") {
  TSampleGrabber grabber(nullptr);
  BYTE frame[16] = {};

  SUBCASE("without a handler nothing is called") {
    CHECK(grabber.BufferCB(0.5, frame, 16) == S_OK);
  }

  SUBCASE("the handler gets the buffer itself, not a copy") {
    std::vector<std::pair<BYTE*, LONG>> seen;
    double time = 0;
    grabber.OnBuffer = [&](TComponent* sender, double t, BYTE* buffer, LONG length) {
      CHECK(sender == &grabber);
      time = t;
      seen.emplace_back(buffer, length);
    };
    CHECK(grabber.BufferCB(1.25, frame, 16) == S_OK);
    REQUIRE(seen.size() == 1);
    CHECK(seen[0].first == frame);
    CHECK(seen[0].second == 16);
    CHECK(time == 1.25);
  }

  SUBCASE("handlers never run at once, and an error stays in the callback") {
    std::atomic<int> inside{0}, overlaps{0}, calls{0}, failed{0};
    grabber.OnBuffer = [&](TComponent*, double, BYTE*, LONG) {
      if (++inside > 1) ++overlaps;
      for (int i = 0; i < 20; ++i) std::this_thread::yield();
      --inside;
      if (++calls % 50 == 0) throw std::runtime_error("handler failed");
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&] {
        for (int i = 0; i < 200; ++i)
          if (grabber.BufferCB(i, frame, 16) != S_OK) ++failed;
      });
    for (std::thread& thread : threads) thread.join();
    CHECK(calls == 800);
    CHECK(overlaps == 0);
    CHECK(failed == 0);
  }
}
