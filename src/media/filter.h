#pragma once
// TFilter: the graph member that puts one DirectShow filter, chosen by the
// device moniker kept in BaseFilter, into its graph.
#include <windows.h>
#include <dshow.h>

#include <string>

#include "classlib/component.h"
#include "media/base_filter.h"
#include "media/graph_member.h"
#include "media/graph_member_link.h"
#include "platform/media_platform.h"

class TFilterGraph;

class TFilter : public TComponent, public IGraphMember {
public:
  explicit TFilter(TComponent* owner);
  ~TFilter() override;
  std::wstring ClassName() const override { return L"TFilter"; }

  // The stored moniker; a new one takes effect at the next activation.
  TBaseFilter& BaseFilter() { return baseFilter_; }
  TFilterGraph* FilterGraph() const { return link_.Graph(); }
  void SetFilterGraph(TFilterGraph* graph) { link_.SetGraph(graph); }

  // The component's own interfaces, then (while it exists) the filter's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  // The component's life is its owner's business: references do not count.
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // IGraphMember
  platform::ComPtr<IBaseFilter> GetBaseFilter() override { return filter_; }
  std::wstring GetMemberName() override { return Name(); }
  void NotifyMember(TMemberOperation operation) override;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  TGraphMemberLink link_;
  TBaseFilter baseFilter_;
  platform::ComPtr<IBaseFilter> filter_;
};
