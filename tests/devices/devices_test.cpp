#include <doctest/doctest.h>

#include "classlib/exceptions.h"
#include "media/base_filter.h"
#include "media/filter.h"
#include "media/filter_graph.h"
#include "media/sys_dev_enum.h"
#include "test_support.h"

namespace {
class TOther : public TPersistent {
public:
  std::wstring ClassName() const override { return L"TOther"; }
};

void Fill(TPersistentMemory& block, std::string_view bytes) {
  block.SetDataLength(static_cast<std::uint32_t>(bytes.size()));
  std::copy(bytes.begin(), bytes.end(), block.Data());
}

std::string Bytes(const TPersistentMemory& block) {
  return std::string(reinterpret_cast<const char*>(block.Data()), block.DataLength());
}

// Wine registers its own DirectShow filters in this category, so it always
// has devices with monikers, names and class identifiers.
const GUID& kFilters = CLSID_LegacyAmFilterCategory;
// Registry-listed filters only (no DMOs), for moniker order checks.
const GUID& kCategories = CLSID_ActiveMovieCategories;
}  // namespace

TEST_CASE("a byte block and its stored form") {
  TPersistentMemory block;
  CHECK(block.DataLength() == 0);
  CHECK(block.Data() == nullptr);
  CHECK(block.WriteData() == std::string("\0\0\0\0", 4));

  SUBCASE("stored and read back") {
    Fill(block, "moniker");
    CHECK(block.WriteData() == std::string("\x07\0\0\0moniker", 11));
    TPersistentMemory copy;
    copy.ReadData(block.WriteData());
    CHECK(Bytes(copy) == "moniker");
    copy.ReadData(std::string("\0\0\0\0", 4));
    CHECK(copy.DataLength() == 0);
    CHECK(copy.Data() == nullptr);
  }
  SUBCASE("a count beyond the stored bytes is refused, the block kept") {
    Fill(block, "keep");
    CHECK_THROWS_AS(block.ReadData(std::string("\x10\0\0\0abc", 7)), EReadError);
    CHECK_THROWS_AS(block.ReadData(std::string("\xff\xff\xff\xff", 4)), EReadError);
    CHECK_THROWS_AS(block.ReadData(std::string("\x01\0", 2)), EReadError);
    CHECK(Bytes(block) == "keep");
  }
  SUBCASE("assignment copies, and the copies are independent") {
    Fill(block, "abc");
    block.Assign(block);
    CHECK(Bytes(block) == "abc");
    TPersistentMemory other;
    other.Assign(block);
    other.Data()[0] = 'x';
    CHECK(Bytes(block) == "abc");
    CHECK(Bytes(other) == "xbc");
    try {
      block.Assign(TOther());
      FAIL("assigned a foreign object");
    } catch (const EConvertError& e) {
      CHECK(e.Message() == L"Cannot assign a TOther to a TPersistentMemory");
    }
  }
  SUBCASE("equal bytes; two empty blocks are not equal") {
    TPersistentMemory a, b;
    CHECK_FALSE(a.SameData(b));
    Fill(a, "same");
    Fill(b, "same");
    CHECK(a.SameData(b));
    b.Data()[3] = 'E';
    CHECK_FALSE(a.SameData(b));
    Fill(b, "sam");
    CHECK_FALSE(a.SameData(b));
  }
}

TEST_CASE("device names are kept to 255 bytes without splitting a character") {
  CHECK(ShortDeviceName(std::wstring(300, L'a')) == std::wstring(255, L'a'));
  CHECK(ShortDeviceName(L"Test Camera 1") == L"Test Camera 1");
  // Two bytes a character in the Chinese code page: 127 whole ones fit.
  CHECK(ShortDeviceName(std::wstring(200, L'摄')) == std::wstring(127, L'摄'));
  CHECK(ShortDeviceName(L"a" + std::wstring(200, L'摄')) == L"a" + std::wstring(127, L'摄'));
}

TEST_CASE("device list of a category") {
  SUBCASE("a category without devices gives an empty list and no monikers") {
    const GUID unknown = {0x1234abcd, 0x1111, 0x2222, {1, 2, 3, 4, 5, 6, 7, 8}};
    TSysDevEnum devices(unknown);
    CHECK(devices.CountFilters() == 0);
    CHECK_FALSE(devices.FilterMoniker(0));
    CHECK_THROWS_WITH_AS(devices.FilterName(0), "List index out of bounds (0)", EListError);
  }
  SUBCASE("entries follow the platform's monikers in order") {
    TSysDevEnum devices(kCategories);
    const int count = devices.CountFilters();
    REQUIRE(count > 2);
    CHECK_FALSE(devices.FilterMoniker(-1));
    CHECK_FALSE(devices.FilterMoniker(count));
    CHECK_THROWS_WITH_AS(devices.FilterName(-1), "List index out of bounds (-1)", EListError);
    CHECK_THROWS_WITH_AS(devices.FilterName(count), doctest::Contains("out of bounds"), EListError);
    for (int i : {0, count / 2, count - 1}) {
      platform::ComPtr<IMoniker> moniker = devices.FilterMoniker(i);
      REQUIRE(moniker);
      platform::ComPtr<IPropertyBag> bag;
      REQUIRE(SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag))));
      VARIANT name;
      VariantInit(&name);
      REQUIRE(SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)));
      CHECK(devices.FilterName(i).FriendlyName == ShortDeviceName(name.bstrVal));
      VariantClear(&name);
    }
  }
}

TEST_CASE("the capture filter member") {
  TSysDevEnum devices(kFilters);
  int index = -1;
  for (int i = 0; i < devices.CountFilters() && index < 0; ++i)
    if (IsEqualGUID(devices.FilterName(i).CLSID, CLSID_NullRenderer)) index = i;
  REQUIRE(index >= 0);

  TFilterGraph* graph = new TFilterGraph(nullptr);
  TFilter* member = new TFilter(nullptr);
  member->SetName(L"Filter1");
  member->SetFilterGraph(graph);
  platform::ComPtr<IBaseFilter> query;
  CHECK(member->QueryInterface(IID_PPV_ARGS(&query)) == E_NOINTERFACE);

  SUBCASE("every activation binds a new filter object") {
    member->BaseFilter().AssignMoniker(devices.FilterMoniker(index).Get());
    graph->SetActive(true);
    REQUIRE(SUCCEEDED(member->QueryInterface(IID_PPV_ARGS(&query))));
    FILTER_INFO info{};
    REQUIRE(SUCCEEDED(query->QueryFilterInfo(&info)));
    CHECK(std::wstring(info.achName) == L"Filter1");
    if (info.pGraph) info.pGraph->Release();
    platform::ComPtr<IBaseFilter> first = member->GetBaseFilter();
    graph->SetActive(false);
    CHECK_FALSE(member->GetBaseFilter());
    graph->SetActive(true);
    CHECK(member->GetBaseFilter());
    CHECK(member->GetBaseFilter().Get() != first.Get());
  }
  SUBCASE("an empty moniker gives no filter, and the query fails") {
    graph->SetActive(true);
    CHECK_FALSE(member->GetBaseFilter());
    CHECK(member->QueryInterface(IID_PPV_ARGS(&query)) == E_NOINTERFACE);
  }
  SUBCASE("refresh binds a new object from the current moniker") {
    member->BaseFilter().AssignMoniker(devices.FilterMoniker(index).Get());
    graph->SetActive(true);
    platform::ComPtr<IBaseFilter> before = member->GetBaseFilter();
    member->NotifyMember(moRefresh);
    CHECK(member->GetBaseFilter());
    CHECK(member->GetBaseFilter().Get() != before.Get());
  }
  SUBCASE("a component is named by its class when assigned to a moniker block") {
    const auto message = [](const TPersistent& source) {
      TBaseFilter block;
      try {
        block.Assign(source);
      } catch (const EConvertError& e) {
        return e.Message();
      }
      return std::wstring(L"no error");
    };
    CHECK(message(*member) == L"Cannot assign a TFilter to a TBaseFilter");
    CHECK(message(*graph) == L"Cannot assign a TFilterGraph to a TBaseFilter");
  }
  query.Reset();
  member->Free();
  graph->Free();
}
