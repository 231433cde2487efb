#pragma once
// The stored FilterGraph attribute of a member component, with the rules
// every member follows: attach and detach through the graph, forget a graph
// that goes away without calling it, and let the interface query fall
// through to the member's filter.
#include <windows.h>

#include "classlib/component.h"
#include "media/graph_member.h"

class TFilterGraph;

class TGraphMemberLink {
public:
  // `listener` is given by members that also follow the graph's events.
  TGraphMemberLink(TComponent& component, IGraphMember& member, IGraphListener* listener = nullptr);
  TGraphMemberLink(const TGraphMemberLink&) = delete;
  TGraphMemberLink& operator=(const TGraphMemberLink&) = delete;

  TFilterGraph* Graph() const { return graph_; }
  // Nothing for the current graph; otherwise RemoveMember (and
  // RemoveListener) on the old one, InsertMember (and AddListener) on the
  // new one, then store it. A withdrawal that raises keeps the old graph; a
  // filter that raises while it joins still leaves the new one stored.
  void SetGraph(TFilterGraph* graph);
  // SetGraph(nullptr) for the member's destructor, while the member is still
  // whole: an error is shown in the standard error box, and the graph
  // forgets the member and its listener all the same.
  void Detach() noexcept;
  // Call from the component's Notification: a graph going away is forgotten
  // without being called.
  void Notification(TComponent* component, TOperation operation);

private:
  // Drops the listener and the removal notice of the stored graph.
  void Forget();

  TComponent& component_;
  IGraphMember& member_;
  IGraphListener* listener_;
  TFilterGraph* graph_ = nullptr;
};

// A member's interface query: IUnknown and IGraphMember answer with the
// member, anything else the member's filter (E_NOINTERFACE without one).
HRESULT QueryMember(IGraphMember* member, IBaseFilter* filter, REFIID iid, void** object);
