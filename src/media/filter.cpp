#include "media/filter.h"

#include "media/filter_graph.h"

TFilter::TFilter(TComponent* owner) : TComponent(owner), link_(*this, *this) {}

TFilter::~TFilter() { link_.Detach(); }

void TFilter::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  link_.Notification(component, operation);
}

HRESULT TFilter::QueryInterface(REFIID iid, void** object) {
  return QueryMember(this, filter_.Get(), iid, object);
}

void TFilter::NotifyMember(TMemberOperation operation) {
  switch (operation) {
    case moAdding:
      filter_ = baseFilter_.CreateFilter();  // a new object at every activation
      break;
    case moAdded:
      break;
    case moRemoving:
      if (filter_) (void)filter_->Stop();  // a filter that refuses still leaves the graph
      break;
    case moRemoved:
      filter_.Reset();
      break;
    case moRefresh:
      if (TFilterGraph* graph = link_.Graph()) {
        graph->RemoveMember(this);
        graph->InsertMember(this);
      }
      break;
  }
}
