// The test camera streaming in graphs built by the capture graph builder:
// rate, time stamps, picture, and every way a graph may stop it.
#include <doctest/doctest.h>

#include <chrono>

#include "camera_graph.h"
#include "test_cameras.h"
#include "test_support.h"

using Microsoft::WRL::ComPtr;
using namespace std::chrono_literals;

namespace {
// A busy machine makes a live camera skip frames, never send extra ones:
// frames per second of wall clock stay at or under the rate, whatever the load.
bool AtMost(double rate, double configured) { return rate > 0 && rate <= configured * 1.05; }
}  // namespace

TEST_CASE("capture and preview stream together, never above the configured rate") {
  REQUIRE(RunTestcam(L"register 1") == 0);
  CameraGraph graph;
  REQUIRE(graph.Build(0, true) == S_OK);
  ComPtr<IPin> capture = CameraPin(graph.camera.Get(), L"Capture");
  ComPtr<IPin> preview = CameraPin(graph.camera.Get(), L"Preview");
  ComPtr<IPin> peer;
  CHECK(capture->ConnectedTo(&peer) == S_OK);
  peer.Reset();
  CHECK(preview->ConnectedTo(&peer) == S_OK);
  AM_MEDIA_TYPE type{};
  REQUIRE(capture->ConnectionMediaType(&type) == S_OK);
  CHECK(IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB24));
  CoTaskMemFree(type.pbFormat);

  REQUIRE(SUCCEEDED(graph.control->Run()));
  CHECK(AtMost(MeasureRate(*graph.captured.Get(), 3s), 30));
  CHECK(PumpUntil([&] { return graph.previewed->Count() >= 10; }));

  SUBCASE("time stamps are at least a frame's time apart, on average") {
    const long frames = graph.captured->Count();
    const double span = graph.captured->LastTime() - graph.captured->FirstTime();
    CHECK(frames > 10);
    CHECK(span >= (frames - 2) / 30.0);
  }
  SUBCASE("the picture moves") {
    const std::string before = graph.captured->LastFrame();
    const long seen = graph.captured->Count();
    REQUIRE(PumpUntil([&] { return graph.captured->Count() > seen; }));
    const std::string after = graph.captured->LastFrame();
    CHECK(before.size() == 640u * 480 * 3);
    CHECK(after.size() == before.size());
    CHECK(after != before);
  }
  CHECK(graph.control->Stop() == S_OK);
}

TEST_CASE("a rate and size chosen at registration are what streams") {
  REQUIRE(RunTestcam(L"register 1 --size 320x240 --rate 15") == 0);
  CameraGraph graph;
  REQUIRE(graph.Build(0, false) == S_OK);
  REQUIRE(SUCCEEDED(graph.control->Run()));
  AM_MEDIA_TYPE type{};
  REQUIRE(CameraPin(graph.camera.Get(), L"Capture")->ConnectionMediaType(&type) == S_OK);
  REQUIRE(IsEqualGUID(type.formattype, FORMAT_VideoInfo));
  CHECK(reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->AvgTimePerFrame ==
        doctest::Approx(10000000.0 / 15).epsilon(0.001));
  CoTaskMemFree(type.pbFormat);
  CHECK(AtMost(MeasureRate(*graph.captured.Get(), 3s), 15));
  CHECK(graph.captured->LastFrame().size() == 320u * 240 * 3);
  CHECK(graph.control->Stop() == S_OK);
}

TEST_CASE("the camera survives what a graph does to a live source") {
  REQUIRE(RunTestcam(L"register 1") == 0);
  CameraGraph graph;
  REQUIRE(graph.Build(0, true) == S_OK);
  FrameCounter& frames = *graph.captured.Get();
  auto moreFrames = [&frames](long than) { return PumpUntil([&] { return frames.Count() > than + 3; }); };

  SUBCASE("run, stop, run") {
    REQUIRE(SUCCEEDED(graph.control->Run()));
    CHECK(moreFrames(0));
    HRESULT hr = E_FAIL;
    REQUIRE(FinishesWithin([&] { hr = graph.control->Stop(); }, 10s));
    CHECK(hr == S_OK);
    const long stopped = frames.Count();
    PumpFor(300ms);
    CHECK(frames.Count() == stopped);
    REQUIRE(SUCCEEDED(graph.control->Run()));
    CHECK(moreFrames(stopped));
  }
  SUBCASE("pause sends nothing, run resumes") {
    REQUIRE(SUCCEEDED(graph.control->Run()));
    CHECK(moreFrames(0));
    HRESULT hr = E_FAIL;
    REQUIRE(FinishesWithin([&] { hr = graph.control->Pause(); }, 10s));
    CHECK(SUCCEEDED(hr));
    PumpFor(100ms);  // a frame already on its way may still land
    const long paused = frames.Count();
    PumpFor(300ms);
    CHECK(frames.Count() == paused);
    REQUIRE(SUCCEEDED(graph.control->Run()));
    CHECK(moreFrames(paused));
  }
  SUBCASE("disconnecting a running pin is refused and streaming goes on") {
    REQUIRE(SUCCEEDED(graph.control->Run()));
    CHECK(moreFrames(0));
    ComPtr<IPin> capture = CameraPin(graph.camera.Get(), L"Capture");
    HRESULT hr = S_OK;
    REQUIRE(FinishesWithin([&] { hr = capture->Disconnect(); }, 10s));
    CHECK(hr == VFW_E_NOT_STOPPED);
    CHECK(moreFrames(frames.Count()));
  }
  SUBCASE("removal from a running graph, once the camera itself is stopped") {
    REQUIRE(SUCCEEDED(graph.control->Run()));
    CHECK(moreFrames(0));
    // Wine 8 neither stops a filter it removes nor removes one whose pins
    // stay connected: the camera is stopped and its pins disconnected first.
    // The running peers refuse their half (VFW_E_NOT_STOPPED); ours goes.
    HRESULT stopped = E_FAIL, hr = E_FAIL;
    REQUIRE(FinishesWithin([&] {
      stopped = graph.camera->Stop();
      for (const wchar_t* id : {L"Capture", L"Preview"}) {
        ComPtr<IPin> pin = CameraPin(graph.camera.Get(), id), peer;
        if (pin->ConnectedTo(&peer) != S_OK) continue;
        (void)peer->Disconnect();  // a running peer refuses
        if (FAILED(pin->Disconnect())) stopped = E_FAIL;
      }
      hr = graph.graph->RemoveFilter(graph.camera.Get());
    }, 10s));
    CHECK(stopped == S_OK);
    CHECK(SUCCEEDED(hr));
    PumpFor(100ms);
    const long removed = frames.Count();
    PumpFor(300ms);
    CHECK(frames.Count() == removed);
    ComPtr<IPin> capture = CameraPin(graph.camera.Get(), L"Capture");
    ComPtr<IPin> peer;
    CHECK(capture->ConnectedTo(&peer) == VFW_E_NOT_CONNECTED);
  }
  REQUIRE(FinishesWithin([&] { (void)graph.control->Stop(); }, 10s));  // may already be stopped
}

TEST_CASE("releasing a running graph ends the camera and its threads") {
  REQUIRE(RunTestcam(L"register 1") == 0);
  {
    // Warm-up: the platform's own threads that outlive a graph start here.
    CameraGraph warm;
    REQUIRE(warm.Build(0, true) == S_OK);
    REQUIRE(SUCCEEDED(warm.control->Run()));
    CHECK(PumpUntil([&] { return warm.captured->Count() > 0; }));
    REQUIRE(FinishesWithin([&] { warm.Release(); }, 10s));
  }
  REQUIRE(PumpUntil([] { return CameraDllIdle(); }));
  const int threadsBefore = ThreadCount();

  CameraGraph graph;
  REQUIRE(graph.Build(0, true) == S_OK);
  REQUIRE(SUCCEEDED(graph.control->Run()));
  CHECK(PumpUntil([&] { return graph.captured->Count() > 3 && graph.previewed->Count() > 3; }));
  CHECK(ThreadCount() > threadsBefore);
  // No Stop: the last references go while both streaming threads deliver.
  REQUIRE(FinishesWithin([&] { graph.Release(); }, 10s));
  CHECK(PumpUntil([] { return CameraDllIdle(); }));
  CHECK(PumpUntil([&] { return ThreadCount() <= threadsBefore; }));
  const long last = graph.captured->Count();
  PumpFor(200ms);
  CHECK(graph.captured->Count() == last);
}
