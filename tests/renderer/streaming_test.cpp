#include <doctest/doctest.h>

#include <evcode.h>

#include "renderer_support.h"
#include "test_support.h"

using namespace renderer_test;
using namespace std::chrono_literals;

namespace {
constexpr auto kDeadline = 5s;

// A source pushing into a renderer outside any graph, both on the system clock.
struct Pipeline {
  ComPtr<IBaseFilter> renderer = NewRenderer();
  ComPtr<PushSource> source;
  ComPtr<IReferenceClock> clock;

  explicit Pipeline(PushSourceOptions options = Frames(MEDIASUBTYPE_RGB24)) : source(PushSource::Create(options)) {
    REQUIRE(CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&clock)) == S_OK);
    REQUIRE(testing_source::ConnectToRenderer(*source.Get(), renderer.Get()) == S_OK);
    REQUIRE(renderer->SetSyncSource(clock.Get()) == S_OK);
    REQUIRE(source->SetSyncSource(clock.Get()) == S_OK);
  }
  ~Pipeline() {
    if (source) {
      (void)source->Stop();  // stopping twice is harmless
      (void)source->Output()->Disconnect();  // the renderer's side goes with it below
    }
    if (renderer) {
      (void)renderer->Stop();
      ComPtr<IPin> pin;
      if (SUCCEEDED(renderer->FindPin(L"VMR Input0", &pin))) (void)pin->Disconnect();  // may be apart already
    }
  }
  void Run() {
    REFERENCE_TIME now = 0;
    REQUIRE(clock->GetTime(&now) == S_OK);
    REQUIRE(renderer->Run(now) == S_OK);
    REQUIRE(source->Run(now) == S_OK);
  }
  bool Flowing(int frames = 5) {
    const int from = FramesDrawn(renderer.Get());
    return PumpUntil([&] { return FramesDrawn(renderer.Get()) >= from + frames; }, kDeadline);
  }
};
}  // namespace

TEST_CASE("frames flow through the renderer on the graph clock") {
  SUBCASE("each accepted format ends up as the same picture") {
    for (const GUID& subtype : {MEDIASUBTYPE_RGB24, MEDIASUBTYPE_RGB32, MEDIASUBTYPE_YUY2}) {
      Pipeline pipeline({subtype, 64, 48, 30, RGB(200, 40, 10)});
      pipeline.Run();
      REQUIRE(pipeline.Flowing());
      CHECK(Near(PicturePixel(pipeline.renderer.Get(), 10, 10), RGB(200, 40, 10)));
      CHECK(FramesDropped(pipeline.renderer.Get()) == 0);
    }
  }
  SUBCASE("frames whose time has long passed are dropped, not drawn") {
    Pipeline pipeline(Frames(MEDIASUBTYPE_RGB24, 64, 48, 30));
    REFERENCE_TIME now = 0;
    REQUIRE(pipeline.clock->GetTime(&now) == S_OK);
    // The renderer's stream started a second before the source's: every frame is late.
    REQUIRE(pipeline.renderer->Run(now - 10000000) == S_OK);
    REQUIRE(pipeline.source->Run(now) == S_OK);
    CHECK(PumpUntil([&] { return FramesDropped(pipeline.renderer.Get()) >= 5; }, kDeadline));
    CHECK(FramesDrawn(pipeline.renderer.Get()) == 0);
  }
  SUBCASE("drawing goes on while the user-interface thread is busy") {
    Pipeline pipeline;
    pipeline.Run();
    REQUIRE(pipeline.Flowing());
    const int before = FramesDrawn(pipeline.renderer.Get());
    // No message is handled on this thread while waiting.
    const auto end = std::chrono::steady_clock::now() + kDeadline;
    while (FramesDrawn(pipeline.renderer.Get()) < before + 10 && std::chrono::steady_clock::now() < end)
      WaitForSingleObject(GetCurrentProcess(), 10);
    CHECK(FramesDrawn(pipeline.renderer.Get()) >= before + 10);
  }
}

TEST_CASE("stopping, pausing, disconnecting and releasing while frames flow never deadlock") {
  Pipeline pipeline;
  pipeline.Run();
  REQUIRE(pipeline.Flowing());
  IBaseFilter* renderer = pipeline.renderer.Get();

  SUBCASE("stop") {
    CHECK(FinishesWithin([&] { CHECK(renderer->Stop() == S_OK); }, kDeadline));
    const int drawn = FramesDrawn(renderer);
    PumpFor(300ms);
    CHECK(FramesDrawn(renderer) == drawn);
  }
  SUBCASE("pause holds the stream, run releases it, stop ends it") {
    CHECK(FinishesWithin([&] { CHECK(renderer->Pause() == S_OK); }, kDeadline));
    FILTER_STATE state;
    CHECK(renderer->GetState(0, &state) == S_OK);
    CHECK(state == State_Paused);
    REFERENCE_TIME now = 0;
    REQUIRE(pipeline.clock->GetTime(&now) == S_OK);
    CHECK(FinishesWithin([&] { CHECK(renderer->Run(now) == S_OK); }, kDeadline));
    CHECK(pipeline.Flowing());
    CHECK(FinishesWithin([&] { CHECK(renderer->Pause() == S_OK); }, kDeadline));
    CHECK(FinishesWithin([&] { CHECK(renderer->Stop() == S_OK); }, kDeadline));
  }
  SUBCASE("disconnect once stopped, with the source still pushing") {
    ComPtr<IPin> pin;
    REQUIRE(renderer->FindPin(L"VMR Input0", &pin) == S_OK);
    CHECK(pin->Disconnect() == VFW_E_NOT_STOPPED);
    CHECK(FinishesWithin([&] {
      CHECK(renderer->Stop() == S_OK);
      CHECK(pin->Disconnect() == S_OK);
    }, kDeadline));
    ComPtr<IPin> peer;
    CHECK(pin->ConnectedTo(&peer) == VFW_E_NOT_CONNECTED);
  }
  SUBCASE("release every reference: the window goes once the last holder lets go") {
    const HWND window = RendererWindowOf(renderer);
    REQUIRE(IsWindow(window));
    CHECK(FinishesWithin([&] {
      pipeline.renderer.Reset();  // the source's pin still holds the renderer
      (void)pipeline.source->Stop();  // result irrelevant: stopping is the point
      (void)pipeline.source->Output()->Disconnect();  // drops the last reference
    }, kDeadline));
    CHECK(PumpUntil([&] { return !IsWindow(window); }, kDeadline));
  }
}

TEST_CASE("the render-device event reaches the graph once the renderer is ready to draw") {
  ComPtr<IGraphBuilder> graph;
  REQUIRE(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)) == S_OK);
  ComPtr<IBaseFilter> renderer = NewRenderer();
  ComPtr<PushSource> source = PushSource::Create(Frames(MEDIASUBTYPE_RGB24, 160, 120, 30));
  REQUIRE(graph->AddFilter(source.Get(), L"Source") == S_OK);
  REQUIRE(graph->AddFilter(renderer.Get(), L"VideoWindow1") == S_OK);
  ComPtr<IPin> input;
  REQUIRE(renderer->FindPin(L"VMR Input0", &input) == S_OK);
  REQUIRE(graph->ConnectDirect(source->Output(), input.Get(), nullptr) == S_OK);
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEventEx> events;
  REQUIRE(graph.As(&control) == S_OK);
  REQUIRE(graph->QueryInterface(IID_IMediaEventEx, &events) == S_OK);
  REQUIRE(SUCCEEDED(control->Run()));

  bool announced = false;
  CHECK(PumpUntil([&] {
    long code = 0;
    LONG_PTR first = 0, second = 0;
    while (events->GetEvent(&code, &first, &second, 0) == S_OK) {
      announced = announced || code == EC_VMR_RENDERDEVICE_SET;
      (void)events->FreeEventParams(code, first, second);  // nothing to free for these codes
    }
    return announced && FramesDrawn(renderer.Get()) >= 5;
  }, kDeadline));
  CHECK(announced);
  CHECK(FinishesWithin([&] { CHECK(SUCCEEDED(control->Stop())); }, kDeadline));
  CHECK(graph->RemoveFilter(renderer.Get()) == S_OK);
  CHECK(graph->RemoveFilter(source.Get()) == S_OK);
}
