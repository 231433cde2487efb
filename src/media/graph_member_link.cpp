#include "media/graph_member_link.h"

#include <exception>

#include "classlib/application.h"
#include "media/filter_graph.h"

TGraphMemberLink::TGraphMemberLink(TComponent& component, IGraphMember& member,
                                   IGraphListener* listener)
    : component_(component), member_(member), listener_(listener) {}

void TGraphMemberLink::SetGraph(TFilterGraph* graph) {
  if (graph == graph_) return;
  if (graph_) {
    // A withdrawal that raises leaves the member following its old graph.
    graph_->RemoveMember(&member_);
    Forget();
  }
  if (graph) {
    // The graph lists the member even when its filter fails to join, so
    // the link records the graph before the failure goes on.
    std::exception_ptr failure;
    try {
      graph->InsertMember(&member_);
    } catch (...) {
      failure = std::current_exception();
    }
    if (listener_) graph->AddListener(listener_);
    component_.FreeNotification(graph);
    graph_ = graph;
    if (failure) std::rethrow_exception(failure);
  }
}

void TGraphMemberLink::Detach() noexcept {
  try {
    SetGraph(nullptr);
  } catch (...) {
    // The member is gone from the graph's list already; the graph must not
    // keep calling it as a listener once it is freed.
    if (Application) Application->HandleException(&component_);
    Forget();
  }
}

void TGraphMemberLink::Forget() {
  if (!graph_) return;
  if (listener_) graph_->RemoveListener(listener_);
  component_.RemoveFreeNotification(graph_);
  graph_ = nullptr;
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
