// ResetGraph against a graph that rendering has filled: an extra source
// connected through the members' filters.
#include <doctest/doctest.h>

#include "fake_members.h"
#include "media/media_util.h"
#include "test_support.h"

namespace {

ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION direction) {
  const TPinList pins(filter);
  for (int i = 0; i < pins.Count(); ++i) {
    PIN_DIRECTION pinDirection;
    if (SUCCEEDED(pins.Items(i)->QueryDirection(&pinDirection)) && pinDirection == direction)
      return pins.Items(i);
  }
  return nullptr;
}

int ConnectedPins(TFilterGraph& graph) {
  ComPtr<IFilterGraph> manager;
  if (FAILED(graph.QueryInterface(manager.GetAddressOf()))) return -1;
  int connected = 0;
  const TFilterList filters(manager.Get());
  for (int i = 0; i < filters.Count(); ++i) {
    const TPinList pins(filters.Items(i));
    for (int j = 0; j < pins.Count(); ++j) {
      ComPtr<IPin> peer;
      if (pins.Items(j)->ConnectedTo(&peer) == S_OK) ++connected;
    }
  }
  return connected;
}

}  // namespace

TEST_CASE("ResetGraph leaves exactly the members' filters, unconnected") {
  const std::wstring folder = MakeTempFolder(L"reset");
  const std::wstring sourceFile = folder + L"\\source.bin";
  WriteFileBytes(sourceFile, std::string(4096, 'x'));

  CallLog log;
  TFilterGraph graph(nullptr);
  TFakeMember grabber(nullptr, L"Grabber", log, CLSID_SampleGrabber);
  TFakeMember renderer(nullptr, L"Renderer", log);
  grabber.SetFilterGraph(&graph);
  renderer.SetFilterGraph(&graph);

  SUBCASE("an inactive graph is left alone") {
    graph.ResetGraph();
    CHECK(log.empty());
    CHECK_FALSE(graph.Active());
  }
  SUBCASE("an active, connected graph") {
    graph.SetActive(true);
    log.clear();
    ComPtr<IGraphBuilder> manager;
    REQUIRE(graph.QueryInterface(manager.GetAddressOf()) == S_OK);
    ComPtr<IBaseFilter> source;
    REQUIRE(CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(&source)) == S_OK);
    ComPtr<IFileSourceFilter> file;
    REQUIRE(source.As(&file) == S_OK);
    REQUIRE(file->Load(sourceFile.c_str(), nullptr) == S_OK);
    REQUIRE(manager->AddFilter(source.Get(), L"Source") == S_OK);
    REQUIRE(manager->ConnectDirect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                                   PinOf(grabber.Filter(), PINDIR_INPUT).Get(), nullptr) == S_OK);
    REQUIRE(manager->ConnectDirect(PinOf(grabber.Filter(), PINDIR_OUTPUT).Get(),
                                   PinOf(renderer.Filter(), PINDIR_INPUT).Get(), nullptr) == S_OK);
    REQUIRE(ConnectedPins(graph) == 4);
    REQUIRE(FilterNames(graph) == std::vector<std::string>{"Grabber", "Renderer", "Source"});

    graph.ResetGraph();
    CHECK(FilterNames(graph) == std::vector<std::string>{"Grabber", "Renderer"});
    CHECK(ConnectedPins(graph) == 0);
    CHECK(graph.Active());
    // Members hear nothing: their filters stay in the graph.
    CHECK(log == CallLog{"Grabber.GetBaseFilter", "Renderer.GetBaseFilter"});
    CHECK(GraphNameOf(source.Get()) == "-");
  }
  grabber.SetFilterGraph(nullptr);
  renderer.SetFilterGraph(nullptr);
  RemoveTree(folder);
}
