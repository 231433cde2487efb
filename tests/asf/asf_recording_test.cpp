// Ten seconds of the test camera recorded through TASFWriter in a capture
// graph, with ffmpeg decoding the live stream meanwhile and judging the file.
#include <doctest/doctest.h>

#include "asf_test_support.h"
#include "classlib/sysutils.h"
#include "media/asf_writer.h"
#include "media/filter_graph.h"
#include "platform/asf_writer/asf_writer_filter.h"
#include "test_cameras.h"
#include "test_support.h"

TEST_CASE("ten seconds of the test camera through TASFWriter, served live meanwhile") {
  REQUIRE(RunTestcam(L"register 1 --size 320x240 --rate 25") == 0);
  const std::wstring folder = MakeTempFolder(L"asfrec");
  const std::wstring file = folder + L"\\rec.asf";

  TFilterGraph graph(nullptr);
  graph.SetMode(gmCapture);
  TASFWriter writer(nullptr);
  writer.SetName(L"ASFWriter1");
  writer.SetProfile(wmp_V80_56VideoOnly);
  writer.SetFileName(file);
  writer.SetPort(FreePort());
  writer.SetMaxUsers(8);
  writer.SetFilterGraph(&graph);
  graph.SetActive(true);
  REQUIRE(writer.NetworkSink());

  ComPtr<IBaseFilter> camera = BindVideoInput(0);
  REQUIRE(camera);
  ComPtr<IFilterGraph> manager;
  REQUIRE(SUCCEEDED(graph.QueryInterface(manager.GetAddressOf())));
  REQUIRE(SUCCEEDED(manager->AddFilter(camera.Get(), L"Camera")));
  ComPtr<ICaptureGraphBuilder2> builder;
  REQUIRE(SUCCEEDED(graph.QueryInterface(builder.GetAddressOf())));
  ComPtr<IBaseFilter> writerFilter = writer.GetBaseFilter();
  REQUIRE(writerFilter);
  REQUIRE(SUCCEEDED(builder->RenderStream(&PIN_CATEGORY_CAPTURE, nullptr, camera.Get(), nullptr,
                                          writerFilter.Get())));

  REQUIRE(graph.Play());
  const auto started = std::chrono::steady_clock::now();
  NativeProcess client("ffmpeg -nostdin -v error -i mmsh://127.0.0.1:" + std::to_string(writer.Port()) +
                       "/ -frames:v 50 -f framemd5 - | grep -vc '^#'");
  const NativeResult live = client.Wait(30000);
  PumpFor(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::seconds(10) -
                                                                (std::chrono::steady_clock::now() - started)));
  graph.Stop();
  graph.SetActive(false);
  writer.SetFilterGraph(nullptr);
  CHECK(live.output == "50\n");

  const auto counters = static_cast<platform::AsfWriterFilter*>(writerFilter.Get())->LastCounters();
  writerFilter.Reset();
  camera.Reset();
  MESSAGE("delivered ", counters.delivered, ", dropped ", counters.dropped);
  CHECK(counters.delivered > 200);
  const ProbedStream probed = ProbeFile(file);
  CHECK(probed.format == "asf");
  CHECK(probed.streams == 1);
  CHECK(probed.codec == "h264");
  CHECK(probed.width == 320);
  CHECK(probed.height == 240);
  CHECK(probed.duration == doctest::Approx(10.0).epsilon(0.05));
  CHECK(probed.frames == static_cast<int>(counters.delivered - counters.dropped));
  CHECK(DecodeFrames(HostPath(file)) == probed.frames);
  CHECK(RunTestcam(L"clear") == 0);
  RemoveTree(folder);
}
