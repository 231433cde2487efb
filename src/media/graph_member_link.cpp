#include "media/graph_member_link.h"

#include "media/filter_graph.h"

TGraphMemberLink::TGraphMemberLink(TComponent& component, IGraphMember& member,
                                   IGraphListener* listener)
    : component_(component), member_(member), listener_(listener) {}

void TGraphMemberLink::SetGraph(TFilterGraph* graph) {
  if (graph == graph_) return;
  if (graph_) {
    TFilterGraph* old = graph_;
    graph_ = nullptr;
    component_.RemoveFreeNotification(old);
    old->RemoveMember(&member_);
    if (listener_) old->RemoveListener(listener_);
  }
  if (graph) {
    graph->InsertMember(&member_);
    if (listener_) graph->AddListener(listener_);
    component_.FreeNotification(graph);
  }
  graph_ = graph;
}

void TGraphMemberLink::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && graph_ && component == graph_) graph_ = nullptr;
}

HRESULT QueryMember(IGraphMember* member, IBaseFilter* filter, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(IGraphMember))) {
    *object = member;
    return S_OK;
  }
  if (!filter) return E_NOINTERFACE;
  return filter->QueryInterface(iid, object);
}
