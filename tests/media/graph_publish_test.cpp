// Publishing the graph in the running object table, the graph manager's
// log file, and activation after loading.
#include <doctest/doctest.h>

#include <cwctype>

#include "fake_members.h"
#include "test_support.h"

namespace {

// Display names of this process's graphs in the running object table.
std::vector<std::wstring> PublishedGraphs() {
  std::vector<std::wstring> names;
  ComPtr<IRunningObjectTable> table;
  if (FAILED(GetRunningObjectTable(0, &table))) return names;
  ComPtr<IEnumMoniker> monikers;
  if (FAILED(table->EnumRunning(&monikers))) return names;
  ComPtr<IBindCtx> context;
  if (FAILED(CreateBindCtx(0, &context))) return names;
  const std::wstring pid = Format(L" pid %X", static_cast<unsigned>(GetCurrentProcessId()));
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    LPOLESTR name = nullptr;
    if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, &name))) continue;
    std::wstring text = name;
    CoTaskMemFree(name);
    if (text.find(L"FilterGraph ") != std::wstring::npos && text.ends_with(pid))
      names.push_back(text);
  }
  return names;
}

std::wstring ExpectedName(TFilterGraph& graph) {
  ComPtr<IFilterGraph2> manager;
  REQUIRE(graph.QueryInterface(manager.GetAddressOf()) == S_OK);
  return L"!" + GraphRotItemName(manager.Get());
}

}  // namespace

TEST_CASE("the item name carries the pointer in full upper-case hexadecimal and the pid") {
  const std::wstring name = GraphRotItemName(reinterpret_cast<IUnknown*>(0xABCDEF12));
  const std::wstring digits(sizeof(void*) * 2 - 8, L'0');
  CHECK(name == L"FilterGraph " + digits + L"ABCDEF12" +
                    Format(L" pid %X", static_cast<unsigned>(GetCurrentProcessId())));
}

TEST_CASE("GraphEdit publishes an active graph and revokes it on deactivation") {
  TFilterGraph graph(nullptr);
  REQUIRE(PublishedGraphs().empty());

  graph.SetGraphEdit(true);
  CHECK(PublishedGraphs().empty());  // nothing until the graph is active
  graph.SetActive(true);
  std::wstring first = ExpectedName(graph);
  CHECK(PublishedGraphs() == std::vector<std::wstring>{first});

  SUBCASE("the published object is the graph manager") {
    ComPtr<IRunningObjectTable> table;
    REQUIRE(GetRunningObjectTable(0, &table) == S_OK);
    ComPtr<IMoniker> moniker;
    REQUIRE(CreateItemMoniker(L"!", first.substr(1).c_str(), &moniker) == S_OK);
    ComPtr<IUnknown> published, manager;
    REQUIRE(table->GetObject(moniker.Get(), &published) == S_OK);
    REQUIRE(graph.QueryInterface(IID_IUnknown, reinterpret_cast<void**>(manager.GetAddressOf())) ==
            S_OK);
    CHECK(published.Get() == manager.Get());
  }
  SUBCASE("deactivation revokes, the next activation publishes the new manager") {
    graph.SetActive(false);
    CHECK(PublishedGraphs().empty());
    CHECK(graph.GraphEdit());
    graph.SetActive(true);
    CHECK(PublishedGraphs() == std::vector<std::wstring>{ExpectedName(graph)});
  }
  SUBCASE("switching the flag while active revokes and registers again") {
    graph.SetGraphEdit(false);
    CHECK(PublishedGraphs().empty());
    graph.SetGraphEdit(true);
    graph.SetGraphEdit(true);
    CHECK(PublishedGraphs() == std::vector<std::wstring>{first});
  }
  graph.SetActive(false);
  CHECK(PublishedGraphs().empty());
}

TEST_CASE("the log file is created anew at every activation; one that cannot be is ignored") {
  const std::wstring folder = MakeTempFolder(L"graphlog");
  const std::wstring log = folder + L"\\graph.log";
  WriteFileBytes(log, "old");
  TFilterGraph graph(nullptr);

  graph.SetLogFile(log);
  CHECK(ReadFileBytes(log) == "old");  // stored only, while inactive
  graph.SetActive(true);
  CHECK(ReadFileBytes(log).empty());
  graph.SetActive(false);
  WriteFileBytes(log, "between");
  graph.SetActive(true);
  CHECK(ReadFileBytes(log).empty());

  SUBCASE("an uncreatable file keeps the previous name and raises nothing") {
    CHECK_NOTHROW(graph.SetLogFile(folder + L"\\missing\\graph.log"));
    CHECK(graph.LogFile() == log);
  }
  SUBCASE("an empty name ends logging") {
    graph.SetLogFile(L"");
    CHECK(graph.LogFile().empty());
    graph.SetActive(false);
    WriteFileBytes(log, "kept");
    graph.SetActive(true);
    CHECK(ReadFileBytes(log) == "kept");
  }
  SUBCASE("while inactive any name is stored, and a failing one is ignored at activation") {
    graph.SetActive(false);
    const std::wstring missing = folder + L"\\missing\\graph.log";
    graph.SetLogFile(missing);
    CHECK(graph.LogFile() == missing);
    CHECK_NOTHROW(graph.SetActive(true));
    CHECK(graph.Active());
  }
  graph.SetActive(false);
  RemoveTree(folder);
}

TEST_CASE("AutoCreate activates the graph when loading has finished") {
  TComponent form(nullptr);
  form.BeginLoading();
  auto* automatic = new TFilterGraph(&form);
  auto* manual = new TFilterGraph(&form);
  automatic->SetAutoCreate(true);
  CHECK_FALSE(automatic->Active());
  form.EndLoading();
  CHECK(automatic->Active());
  CHECK_FALSE(manual->Active());
}
