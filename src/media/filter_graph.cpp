#include "media/filter_graph.h"

#include <algorithm>
#include <exception>

#include "classlib/application.h"
#include "classlib/scope_exit.h"
#include "classlib/sysutils.h"
#include "media/media_errors.h"
#include "media/media_util.h"
#include "platform/platform_factory.h"

using platform::ComPtr;

TFilterGraph::TFilterGraph(TComponent* owner)
    : TComponent(owner),
      notifyWindow_(L"TFilterGraphNotify", [this](TMessage& message) { NotifyMessage(message); },
                    this) {}

TFilterGraph::~TFilterGraph() {
  try {
    SetActive(false);
  } catch (...) {
    // A member that fails while its filter is withdrawn must not take the
    // process down with a destructor that throws.
    if (Application) Application->HandleException(this);
  }
  notifyWindow_.Destroy();
}

void TFilterGraph::Loaded() {
  if (autoCreate_) SetActive(true);
  TComponent::Loaded();
}

void TFilterGraph::SetActive(bool value) {
  if (value == active_) return;
  if (value)
    Activate();
  else
    Deactivate();
}

void TFilterGraph::SetMode(TGraphMode value) {
  if (value == mode_) return;
  const bool wasActive = active_;
  SetActive(false);
  mode_ = value;
  SetActive(wasActive);
}

void TFilterGraph::CreatePlatformObjects() {
  // Creation results are not examined: a missing object leaves its field
  // empty, every use below checks for it, and the failure shows when the
  // graph is rendered.
  switch (mode_) {
    case gmNormal:
      (void)platform::CreatePlatformObject(CLSID_FilterGraph, graph_.ReleaseAndGetAddressOf());
      break;
    case gmCapture:
      (void)platform::CreatePlatformObject(CLSID_CaptureGraphBuilder2,
                                           captureBuilder_.ReleaseAndGetAddressOf());
      (void)platform::CreatePlatformObject(CLSID_FilterGraph, graph_.ReleaseAndGetAddressOf());
      if (captureBuilder_ && graph_) (void)captureBuilder_->SetFiltergraph(graph_.Get());
      break;
    case gmDVD: {
      (void)platform::CreatePlatformObject(CLSID_DvdGraphBuilder,
                                           dvdBuilder_.ReleaseAndGetAddressOf());
      ComPtr<IGraphBuilder> builder;
      if (dvdBuilder_ && SUCCEEDED(dvdBuilder_->GetFiltergraph(&builder)) && builder)
        (void)builder.As(&graph_);
      break;
    }
  }
}

void TFilterGraph::Activate() {
  CreatePlatformObjects();
  active_ = true;
  ComPtr<IMediaEventEx> events;
  if (SUCCEEDED(QueryInterface(IID_PPV_ARGS(&events)))) {
    mediaEvent_ = events;
    (void)mediaEvent_->SetNotifyFlags(0);  // a graph that refuses only loses its notices
    (void)mediaEvent_->SetNotifyWindow(reinterpret_cast<OAHWND>(notifyWindow_.Handle()),
                                       kGraphNotifyMessage,
                                       reinterpret_cast<LONG_PTR>(mediaEvent_.Get()));
  }
  SetGraphEdit(graphEdit_);
  SetLogFile(logFile_);
  for (IGraphMember* member : std::vector<IGraphMember*>(members_)) OfferFilter(member);
  if (OnActivate) OnActivate(this);
  TellListeners(ceActive, 1);
}

void TFilterGraph::Deactivate() {
  // Every member leaves even when one before it raises (a writer later in
  // the list still closes its file); the first error goes on afterwards.
  std::exception_ptr failure;
  const auto attempt = [&failure](const auto& step) {
    try {
      step();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  };
  attempt([this] { TellListeners(ceActive, 0); });
  for (IGraphMember* member : std::vector<IGraphMember*>(members_))
    attempt([this, member] { WithdrawFilter(member); });
  // Notices are switched off before the event interface goes, so no event
  // is delivered after this point.
  if (mediaEvent_) {
    (void)mediaEvent_->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY);  // the graph is released next anyway
    mediaEvent_.Reset();
  }
  if (rotCookie_ != 0) {
    (void)RevokeGraphFromRot(rotCookie_);  // nothing to do about a table that is gone
    rotCookie_ = 0;
  }
  if (graph_) (void)graph_->SetLogFile(0);  // the graph is released right after
  CloseLog();
  graph_.Reset();
  captureBuilder_.Reset();
  dvdBuilder_.Reset();
  active_ = false;
  if (failure) std::rethrow_exception(failure);
}

void TFilterGraph::OfferFilter(IGraphMember* member) {
  member->NotifyMember(moAdding);
  const std::wstring name = member->GetMemberName();
  const ComPtr<IBaseFilter> filter = member->GetBaseFilter();
  // A refused or missing filter surfaces when the channel renders the graph.
  if (graph_ && filter) (void)graph_->AddFilter(filter.Get(), name.c_str());
  member->NotifyMember(moAdded);
}

void TFilterGraph::WithdrawFilter(IGraphMember* member) {
  member->NotifyMember(moRemoving);
  const ComPtr<IBaseFilter> filter = member->GetBaseFilter();
  // A filter that is not in the graph has nothing to leave.
  if (graph_ && filter) (void)graph_->RemoveFilter(filter.Get());
  member->NotifyMember(moRemoved);
}

void TFilterGraph::TellListeners(TControlEvent code, LONG value) {
  for (IGraphListener* listener : std::vector<IGraphListener*>(listeners_))
    listener->ControlEvent(code, value);
}

void TFilterGraph::InsertMember(IGraphMember* member) {
  members_.push_back(member);
  if (active_) OfferFilter(member);
}

void TFilterGraph::RemoveMember(IGraphMember* member) {
  const auto entry = std::find(members_.begin(), members_.end(), member);
  if (entry == members_.end()) return;
  members_.erase(entry);
  if (active_) WithdrawFilter(member);
}

void TFilterGraph::AddListener(IGraphListener* listener) { listeners_.push_back(listener); }

void TFilterGraph::RemoveListener(IGraphListener* listener) {
  const auto entry = std::find(listeners_.begin(), listeners_.end(), listener);
  if (entry != listeners_.end()) listeners_.erase(entry);
}

HRESULT TFilterGraph::QueryInterface(REFIID iid, void** object) {
  HRESULT hr = TComponent::QueryInterface(iid, object);
  if (SUCCEEDED(hr) || !active_) return hr;
  switch (mode_) {
    case gmNormal:
      break;
    case gmCapture:
      if (captureBuilder_) {
        hr = captureBuilder_->QueryInterface(iid, object);
        if (SUCCEEDED(hr)) return hr;
      }
      break;
    case gmDVD:
      if (dvdBuilder_) {
        hr = dvdBuilder_->QueryInterface(iid, object);
        if (SUCCEEDED(hr)) return hr;
        hr = dvdBuilder_->GetDvdInterface(iid, object);
        if (SUCCEEDED(hr)) return hr;
      }
      break;
  }
  if (!graph_) return hr;
  return graph_->QueryInterface(iid, object);
}

bool TFilterGraph::Play() {
  ComPtr<IMediaControl> control;
  if (FAILED(QueryInterface(IID_PPV_ARGS(&control)))) return false;
  TellListeners(cePlay, 0);
  // S_FALSE: the graph is still on its way to running, which counts.
  return SUCCEEDED(CheckMediaResult(control->Run()));
}

bool TFilterGraph::Stop() {
  ComPtr<IMediaControl> control;
  if (FAILED(QueryInterface(IID_PPV_ARGS(&control)))) return false;
  TellListeners(ceStop, 0);
  // Only S_OK means the graph has stopped; S_FALSE is still in transition.
  return CheckMediaResult(control->Stop()) == S_OK;
}

void TFilterGraph::ResetGraph() {
  if (!active_ || !graph_) return;
  (void)Stop();  // a failure raises; a stop still in transition goes on
  // A Run that failed halfway (a camera that cannot start) leaves some
  // filters paused while Wine's graph manager still counts the graph as
  // stopped and so stops nothing; their pins would refuse to disconnect.
  const TFilterList running(graph_.Get());
  for (int i = 0; i < running.Count(); ++i) (void)running.Items(i)->Stop();
  DisconnectAllPins();
  TFilterList filters(graph_.Get());
  for (IGraphMember* member : members_) {
    const ComPtr<IBaseFilter> filter = member->GetBaseFilter();
    filters.Remove(filter.Get());
  }
  for (int i = 0; i < filters.Count(); ++i) CheckMediaResult(graph_->RemoveFilter(filters.Items(i)));
}

void TFilterGraph::DisconnectAllPins() {
  const TFilterList filters(graph_.Get());
  for (int i = 0; i < filters.Count(); ++i) {
    const TPinList pins(filters.Items(i));
    // An unconnected pin answers S_FALSE, which passes.
    for (int j = 0; j < pins.Count(); ++j) CheckMediaResult(pins.Items(j)->Disconnect());
  }
}

void TFilterGraph::SetGraphEdit(bool value) {
  if (!value) {
    if (rotCookie_ != 0) {
      (void)RevokeGraphFromRot(rotCookie_);  // nothing to do about a table that is gone
      rotCookie_ = 0;
    }
  } else if (rotCookie_ == 0 && active_ && graph_) {
    DWORD cookie = 0;
    // A failed registration leaves the cookie 0; the next activation tries again.
    if (FAILED(RegisterGraphInRot(graph_.Get(), &cookie))) cookie = 0;
    rotCookie_ = cookie;
  }
  graphEdit_ = value;
}

void TFilterGraph::SetLogFile(const std::wstring& value) {
  if (active_ && graph_) {
    (void)graph_->SetLogFile(0);  // detaching the old file cannot usefully fail
    CloseLog();
    if (!value.empty()) {
      platform::UniqueHandle file(CreateFileW(value.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
      // A log that cannot be created is not worth an error: logging stays
      // off and the previous name is kept.
      if (!file.Valid()) return;
      (void)graph_->SetLogFile(reinterpret_cast<DWORD_PTR>(file.Get()));  // logging is best effort
      logStream_.Reset(file.Release());
    }
  }
  logFile_ = value;
}

void TFilterGraph::CloseLog() { logStream_.Reset(); }

void TFilterGraph::HandleGraphEvent(LONG event, LONG_PTR param1, LONG_PTR param2) {
  for (IGraphListener* listener : std::vector<IGraphListener*>(listeners_))
    listener->GraphEvent(event, param1, param2);
  if (OnDSEvent) OnDSEvent(this, event, param1, param2);
  RaiseGraphEventHandler(*this, this, event, param1, param2);
}

void TFilterGraph::DrainEvents() {
  while (mediaEvent_) {
    // Held for the handler's duration: a handler may deactivate the graph,
    // and the parameters go back to the interface they came from.
    const ComPtr<IMediaEventEx> source = mediaEvent_;
    LONG event = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    if (source->GetEvent(&event, &param1, &param2, 0) != S_OK) break;
    {
      const ScopeExit freeParams{[&] {
        (void)source->FreeEventParams(event, param1, param2);  // nothing to do if it fails
      }};
      HandleGraphEvent(event, param1, param2);
    }
    if (!active_) break;
  }
}

// Errors go to the application, and the events still queued are taken at
// the next notice.
void TFilterGraph::NotifyMessage(TMessage& message) {
  if (message.Msg != kGraphNotifyMessage) message.Result = notifyWindow_.Default(message);
  else DrainEvents();
}

std::wstring GraphRotItemName(IUnknown* graph) {
  return Format(L"FilterGraph %0*llX pid %X", static_cast<int>(sizeof(void*) * 2),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(graph)),
                static_cast<unsigned>(GetCurrentProcessId()));
}

HRESULT RegisterGraphInRot(IUnknown* graph, DWORD* cookie) {
  ComPtr<IRunningObjectTable> table;
  HRESULT hr = GetRunningObjectTable(0, &table);
  if (FAILED(hr)) return hr;
  ComPtr<IMoniker> moniker;
  hr = CreateItemMoniker(L"!", GraphRotItemName(graph).c_str(), &moniker);
  if (FAILED(hr)) return hr;
  return table->Register(0, graph, moniker.Get(), cookie);
}

HRESULT RevokeGraphFromRot(DWORD cookie) {
  ComPtr<IRunningObjectTable> table;
  HRESULT hr = GetRunningObjectTable(0, &table);
  if (SUCCEEDED(hr)) hr = table->Revoke(cookie);
  return hr;
}
