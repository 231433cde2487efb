#pragma once
// Recording graph members and listeners for the graph tests. Each member
// makes a real platform filter on moAdding, so AddFilter really happens.
#include <windows.h>
#include <dshow.h>

#include <optional>
#include <string>
#include <vector>

#include "classlib/sysutils.h"
#include "media/filter_graph.h"
#include "media/graph_member_link.h"
#include "media/media_errors.h"


using platform::ComPtr;

using CallLog = std::vector<std::string>;

// The name a filter carries in its graph, or "-" when it is in none.
inline std::string GraphNameOf(IBaseFilter* filter) {
  if (!filter) return "none";
  FILTER_INFO info = {};
  if (FAILED(filter->QueryFilterInfo(&info))) return "?";
  const ComPtr<IFilterGraph> graph = platform::Adopt(info.pGraph);
  return graph ? WideToUtf8(info.achName) : "-";
}

class TFakeMember : public TComponent, public IGraphMember {
public:
  TFakeMember(TComponent* owner, const std::wstring& name, CallLog& log,
              const CLSID& filterClass = CLSID_NullRenderer, IGraphListener* listener = nullptr)
      : TComponent(owner), log_(log), filterClass_(filterClass), link_(*this, *this, listener) {
    SetName(name);
  }
  ~TFakeMember() override { link_.Detach(); }

  // The notification at which the member raises, as a renderer that cannot stop does.
  std::optional<TMemberOperation> raiseAt;

  TFilterGraph* FilterGraph() const { return link_.Graph(); }
  void SetFilterGraph(TFilterGraph* graph) { link_.SetGraph(graph); }
  IBaseFilter* Filter() const { return filter_.Get(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    return QueryMember(this, filter_.Get(), iid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  ComPtr<IBaseFilter> GetBaseFilter() override {
    Log("GetBaseFilter");
    return filter_;
  }
  std::wstring GetMemberName() override {
    Log("GetMemberName");
    return Name();
  }
  void NotifyMember(TMemberOperation operation) override {
    static const char* const kNames[] = {"moAdding", "moAdded", "moRemoving", "moRemoved",
                                         "moRefresh"};
    if (raiseAt == operation) {
      Log(std::string(kNames[operation]) + " raises");
      throw EMediaGraphException(L"The member fails.");
    }
    switch (operation) {
      case moAdding:
        if (FAILED(CoCreateInstance(filterClass_, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_PPV_ARGS(&filter_))))
          filter_.Reset();
        Log(kNames[operation]);
        break;
      case moAdded:
      case moRemoved:
        // Where the filter stands when the member hears about it.
        Log(std::string(kNames[operation]) + " in:" + GraphNameOf(filter_.Get()));
        if (operation == moRemoved) filter_.Reset();
        break;
      default:
        Log(kNames[operation]);
    }
  }

protected:
  void Notification(TComponent* component, TOperation operation) override {
    TComponent::Notification(component, operation);
    link_.Notification(component, operation);
  }

private:
  void Log(const std::string& call) { log_.push_back(WideToUtf8(Name()) + "." + call); }

  CallLog& log_;
  CLSID filterClass_;
  ComPtr<IBaseFilter> filter_;
  TGraphMemberLink link_;
};

class TFakeListener : public IGraphListener {
public:
  TFakeListener(std::string name, CallLog& log) : name_(std::move(name)), log_(log) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != __uuidof(IGraphListener)) return E_NOINTERFACE;
    *object = static_cast<IGraphListener*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  void GraphEvent(LONG event, LONG_PTR param1, LONG_PTR param2) override {
    log_.push_back(name_ + ".GraphEvent " + std::to_string(event) + " " + std::to_string(param1) +
                   " " + std::to_string(param2));
  }
  void ControlEvent(TControlEvent code, LONG value) override {
    log_.push_back(name_ + ".ControlEvent " + std::to_string(code) + " " + std::to_string(value));
  }

private:
  std::string name_;
  CallLog& log_;
};

// The names of the filters in a graph, in enumeration order.
std::vector<std::string> FilterNames(TFilterGraph& graph);
