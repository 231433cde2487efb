// The graph's activation, member and listener protocol, run/stop and reset,
// against Wine's real graph manager with real filters in it.
#include <doctest/doctest.h>

#include <algorithm>

#include "fake_members.h"
#include "media/media_errors.h"
#include "media/media_util.h"
#include "test_support.h"

std::vector<std::string> FilterNames(TFilterGraph& graph) {
  ComPtr<IFilterGraph> manager;
  std::vector<std::string> names;
  if (FAILED(graph.QueryInterface(manager.GetAddressOf()))) return names;
  const TFilterList filters(manager.Get());
  for (int i = 0; i < filters.Count(); ++i) names.push_back(GraphNameOf(filters.Items(i)));
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

using Calls = std::vector<std::string>;

Calls Adding(const std::string& m, const std::string& name) {
  return {m + ".moAdding", m + ".GetMemberName", m + ".GetBaseFilter", m + ".moAdded in:" + name};
}
Calls Removing(const std::string& m) {
  return {m + ".moRemoving", m + ".GetBaseFilter", m + ".moRemoved in:-"};
}
Calls Join(std::initializer_list<Calls> parts) {
  Calls all;
  for (const Calls& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}
// The log's entries since `mark`, and the mark moved to its end.
Calls Since(const CallLog& log, size_t& mark) {
  Calls recent(log.begin() + mark, log.end());
  mark = log.size();
  return recent;
}

}  // namespace

TEST_CASE("activation offers every member's filter in order and deactivation withdraws it") {
  CallLog log;
  TFilterGraph graph(nullptr);
  TFakeMember a(nullptr, L"A", log, CLSID_SampleGrabber);
  TFakeMember b(nullptr, L"B", log);
  TFakeListener listener("L", log);
  graph.OnActivate = [&](TComponent* sender) {
    CHECK(sender == &graph);
    log.push_back("OnActivate");
  };
  a.SetFilterGraph(&graph);
  b.SetFilterGraph(&graph);
  graph.AddListener(&listener);
  CHECK(log.empty());  // an inactive graph asks its members nothing

  size_t mark = 0;
  graph.SetActive(true);
  CHECK(Since(log, mark) ==
        Join({Adding("A", "A"), Adding("B", "B"), {"OnActivate", "L.ControlEvent 7 1"}}));
  CHECK(FilterNames(graph) == Calls{"A", "B"});

  SUBCASE("writing the current value sends nothing") {
    graph.SetActive(true);
    a.SetFilterGraph(&graph);
    CHECK(Since(log, mark).empty());
  }
  SUBCASE("deactivation tells listeners first, then each member in list order") {
    graph.SetActive(false);
    CHECK(Since(log, mark) == Join({{"L.ControlEvent 7 0"}, Removing("A"), Removing("B")}));
    CHECK_FALSE(graph.Active());
    graph.SetActive(false);
    CHECK(Since(log, mark).empty());
    IGraphBuilder* builder = nullptr;
    CHECK(graph.QueryInterface(&builder) == E_NOINTERFACE);
  }
  SUBCASE("a mode change while active rebuilds the graph with the new builder") {
    ICaptureGraphBuilder2* none = nullptr;
    CHECK(graph.QueryInterface(&none) == E_NOINTERFACE);
    graph.SetMode(gmCapture);
    CHECK(Since(log, mark) == Join({{"L.ControlEvent 7 0"},
                                    Removing("A"),
                                    Removing("B"),
                                    Adding("A", "A"),
                                    Adding("B", "B"),
                                    {"OnActivate", "L.ControlEvent 7 1"}}));
    ComPtr<ICaptureGraphBuilder2> builder;
    CHECK(graph.QueryInterface(builder.GetAddressOf()) == S_OK);
    ComPtr<IMediaControl> control;
    CHECK(graph.QueryInterface(control.GetAddressOf()) == S_OK);
    graph.SetMode(gmCapture);
    CHECK(Since(log, mark).empty());
  }
  SUBCASE("a mode change while inactive only stores the mode") {
    graph.SetActive(false);
    Since(log, mark);
    graph.SetMode(gmCapture);
    CHECK(Since(log, mark).empty());
    CHECK_FALSE(graph.Active());
  }
  SUBCASE("every activation builds a new graph manager") {
    ComPtr<IFilterGraph> first;
    REQUIRE(graph.QueryInterface(first.GetAddressOf()) == S_OK);
    graph.SetActive(false);
    graph.SetActive(true);
    ComPtr<IFilterGraph> second;
    REQUIRE(graph.QueryInterface(second.GetAddressOf()) == S_OK);
    CHECK(first.Get() != second.Get());
    CHECK(FilterNames(graph) == Calls{"A", "B"});
  }
  graph.RemoveListener(&listener);
}

TEST_CASE("members join, move between and leave graphs") {
  CallLog log;
  size_t mark = 0;
  TFilterGraph one(nullptr);
  auto* two = new TFilterGraph(nullptr);
  one.SetActive(true);
  two->SetActive(true);
  auto* member = new TFakeMember(nullptr, L"Filter1", log);

  SUBCASE("inserting into an active graph adds the filter at once under the member's name") {
    member->SetFilterGraph(&one);
    CHECK(Since(log, mark) == Adding("Filter1", "Filter1"));
    CHECK(FilterNames(one) == Calls{"Filter1"});

    SUBCASE("moving to another active graph withdraws first, then offers") {
      member->SetFilterGraph(two);
      CHECK(Since(log, mark) == Join({Removing("Filter1"), Adding("Filter1", "Filter1")}));
      CHECK(FilterNames(one).empty());
      CHECK(FilterNames(*two) == Calls{"Filter1"});
      CHECK(member->FilterGraph() == two);
    }
    SUBCASE("a member destroyed while attached leaves the graph without its filter") {
      member->Free();
      member = nullptr;
      CHECK(Since(log, mark) == Removing("Filter1"));
      CHECK(FilterNames(one).empty());
      one.SetActive(false);
      one.SetActive(true);
      CHECK(log.size() == mark);  // the list no longer holds it
    }
    SUBCASE("a graph destroyed while attached withdraws, then is forgotten") {
      member->SetFilterGraph(two);
      Since(log, mark);
      two->Free();
      two = nullptr;
      CHECK(Since(log, mark) == Removing("Filter1"));
      CHECK(member->FilterGraph() == nullptr);
      member->Free();  // must not call into the dead graph
      member = nullptr;
      CHECK(log.size() == mark);
    }
  }
  SUBCASE("a member of an inactive graph hears nothing until activation") {
    one.SetActive(false);
    member->SetFilterGraph(&one);
    CHECK(log.empty());
    void* filter = nullptr;
    CHECK(member->QueryInterface(IID_IBaseFilter, &filter) == E_NOINTERFACE);
    CHECK(filter == nullptr);
    one.SetActive(true);
    CHECK(Since(log, mark) == Adding("Filter1", "Filter1"));
    // With a filter, the member's query reaches it.
    ComPtr<IBaseFilter> base;
    CHECK(member->QueryInterface(IID_PPV_ARGS(&base)) == S_OK);
    CHECK(base.Get() == member->Filter());
    one.SetActive(false);
    CHECK(Since(log, mark) == Removing("Filter1"));
  }
  SUBCASE("removing a member that is not listed does nothing") {
    one.RemoveMember(member);
    CHECK(log.empty());
  }
  if (member) member->Free();
  if (two) two->Free();
}

TEST_CASE("a member that raises while it leaves or joins") {
  CallLog log;
  size_t mark = 0;
  TFakeListener listener("Listener", log);
  TFilterGraph graph(nullptr);
  // The video window is both member and listener; the writer comes after it.
  auto* video = new TFakeMember(nullptr, L"Video", log, CLSID_NullRenderer, &listener);
  auto* writer = new TFakeMember(nullptr, L"Writer", log);
  video->SetFilterGraph(&graph);
  writer->SetFilterGraph(&graph);
  graph.SetActive(true);
  Since(log, mark);

  SUBCASE("deactivation withdraws the members after it, then raises") {
    video->raiseAt = moRemoving;
    CHECK_THROWS_AS(graph.SetActive(false), EMediaGraphException);
    CHECK_FALSE(graph.Active());
    CHECK(Since(log, mark) ==
          Join({{"Listener.ControlEvent 7 0", "Video.moRemoving raises"}, Removing("Writer")}));
  }
  SUBCASE("a detach that raises keeps the graph") {
    video->raiseAt = moRemoving;
    CHECK_THROWS_AS(video->SetFilterGraph(nullptr), EMediaGraphException);
    CHECK(video->FilterGraph() == &graph);
  }
  SUBCASE("destroyed, it reports the error and the graph forgets it and its listener") {
    video->raiseAt = moRemoving;
    RecordedBoxes().clear();
    video->Free();
    video = nullptr;
    CHECK(RecordedBoxes().size() == 1);
    Since(log, mark);
    graph.SetActive(false);
    CHECK(Since(log, mark) == Removing("Writer"));
  }
  SUBCASE("a filter that raises while it joins leaves the member known to that graph") {
    auto* late = new TFakeMember(nullptr, L"Late", log);
    late->raiseAt = moAdding;
    CHECK_THROWS_AS(late->SetFilterGraph(&graph), EMediaGraphException);
    CHECK(late->FilterGraph() == &graph);
    late->raiseAt.reset();
    late->Free();
    Since(log, mark);
    graph.SetActive(false);
    CHECK(Since(log, mark) ==
          Join({{"Listener.ControlEvent 7 0"}, Removing("Video"), Removing("Writer")}));
  }
  if (video) video->Free();
  writer->Free();
}

namespace {

// An IMediaControl whose Run and Stop answer what the test says.
class TScriptedControl : public IMediaControl {
public:
  HRESULT runResult = S_OK;
  HRESULT stopResult = S_OK;
  int runs = 0;
  int stops = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IMediaControl) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    *object = static_cast<IMediaControl*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Run() override {
    ++runs;
    return runResult;
  }
  HRESULT STDMETHODCALLTYPE Pause() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Stop() override {
    ++stops;
    return stopResult;
  }
  HRESULT STDMETHODCALLTYPE GetState(LONG, OAFilterState*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE RenderFile(BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddSourceFilter(BSTR, IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_FilterCollection(IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_RegFilterCollection(IDispatch**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE StopWhenReady() override { return E_NOTIMPL; }
};

// A graph whose IMediaControl is scripted while it is active.
class TScriptedGraph : public TFilterGraph {
public:
  using TFilterGraph::TFilterGraph;
  TScriptedControl control;
  HRESULT QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IMediaControl) && Active()) return control.QueryInterface(iid, object);
    return TFilterGraph::QueryInterface(iid, object);
  }
};

}  // namespace

TEST_CASE("Play and Stop tell listeners first and read the platform's result") {
  CallLog log;
  TScriptedGraph graph(nullptr);
  TFakeListener listener("L", log);
  graph.AddListener(&listener);

  SUBCASE("an inactive graph answers false and tells nobody") {
    CHECK_FALSE(graph.Play());
    CHECK_FALSE(graph.Stop());
    CHECK(log.empty());
  }
  graph.SetActive(true);
  log.clear();
  SUBCASE("Play is true for any success, Stop only for S_OK") {
    graph.control.runResult = S_FALSE;
    graph.control.stopResult = S_FALSE;
    CHECK(graph.Play());
    CHECK_FALSE(graph.Stop());
    graph.control.stopResult = S_OK;
    CHECK(graph.Stop());
    CHECK(log == Calls{"L.ControlEvent 0 0", "L.ControlEvent 2 0", "L.ControlEvent 2 0"});
  }
  SUBCASE("a failing Run raises after the listeners were told") {
    graph.control.runResult = E_FAIL;
    try {
      graph.Play();
      FAIL("Play did not raise");
    } catch (const EDirectShowException& error) {
      CHECK(error.ResultCode() == E_FAIL);
    }
    CHECK(log == Calls{"L.ControlEvent 0 0"});
  }
  SUBCASE("a graph with the real graph manager runs and stops") {
    TFilterGraph real(nullptr);
    CallLog members;
    TFakeMember renderer(nullptr, L"Renderer", members);
    renderer.SetFilterGraph(&real);
    real.SetActive(true);
    CHECK(real.Play());
    CHECK(real.Stop());
    renderer.SetFilterGraph(nullptr);
  }
  graph.RemoveListener(&listener);
}
