#pragma once
// TFilterGraph: a non-visual component that owns one DirectShow filter
// graph while it is active, puts its members' filters into it, runs and
// stops it, and delivers the graph's events to its listeners and handlers.
#include <windows.h>
#include <dshow.h>

#include <string>
#include <vector>

#include "classlib/component.h"
#include "classlib/message_window.h"
#include "media/graph_events.h"
#include "media/graph_member.h"
#include "platform/media_platform.h"

enum TGraphMode : BYTE { gmNormal = 0, gmCapture = 1, gmDVD = 2 };

class TFilterGraph : public TComponent, public TGraphEventHandlers {
public:
  explicit TFilterGraph(TComponent* owner);
  ~TFilterGraph() override;
  std::wstring ClassName() const override { return L"TFilterGraph"; }

  bool Active() const { return active_; }
  void SetActive(bool value);
  bool AutoCreate() const { return autoCreate_; }
  void SetAutoCreate(bool value) { autoCreate_ = value; }
  TGraphMode Mode() const { return mode_; }
  void SetMode(TGraphMode value);
  // Publish the graph in the running object table while active.
  bool GraphEdit() const { return graphEdit_; }
  void SetGraphEdit(bool value);
  // File for the graph manager's log, created anew at every activation.
  const std::wstring& LogFile() const { return logFile_; }
  void SetLogFile(const std::wstring& value);

  // False when inactive; true for any success of IMediaControl::Run.
  bool Play();
  // False when inactive; true only when IMediaControl::Stop answers S_OK.
  bool Stop();
  // Stops the graph and leaves exactly the members' filters in it, unconnected.
  void ResetGraph();

  // The lists hold plain references; they own nothing.
  void InsertMember(IGraphMember* member);
  void RemoveMember(IGraphMember* member);
  void AddListener(IGraphListener* listener);
  void RemoveListener(IGraphListener* listener);

  // The component's own interfaces, then (while active) the builder's and
  // the graph manager's: ICaptureGraphBuilder2, IMediaControl, ...
  HRESULT QueryInterface(REFIID iid, void** object) override;
  using TComponent::QueryInterface;

  // Dispatches one graph event: listeners, OnDSEvent, then its handler.
  virtual void HandleGraphEvent(LONG event, LONG_PTR param1, LONG_PTR param2);

  TNotifyEvent OnActivate;
  TOnDSEvent OnDSEvent;

  // The message the graph manager posts to the notification window.
  static constexpr UINT kGraphNotifyMessage = WM_APP + 1;

protected:
  void Loaded() override;

private:
  void Activate();
  void Deactivate();
  void CreatePlatformObjects();
  void OfferFilter(IGraphMember* member);
  void WithdrawFilter(IGraphMember* member);
  void TellListeners(TControlEvent code, LONG value);
  void DisconnectAllPins();
  void DrainEvents();
  void CloseLog();
  void NotifyMessage(TMessage& message);

  bool active_ = false;
  bool autoCreate_ = false;
  TGraphMode mode_ = gmNormal;
  std::vector<IGraphMember*> members_;
  std::vector<IGraphListener*> listeners_;
  platform::ComPtr<IFilterGraph2> graph_;
  platform::ComPtr<ICaptureGraphBuilder2> captureBuilder_;
  platform::ComPtr<IDvdGraphBuilder> dvdBuilder_;
  platform::ComPtr<IMediaEventEx> mediaEvent_;
  bool graphEdit_ = false;
  DWORD rotCookie_ = 0;
  std::wstring logFile_;
  platform::UniqueHandle logStream_;
  TMessageWindow notifyWindow_;
};

// Running object table registration under "FilterGraph %p pid %x", so an
// external graph viewer can attach.
HRESULT RegisterGraphInRot(IUnknown* graph, DWORD* cookie);
HRESULT RevokeGraphFromRot(DWORD cookie);
// The item name a graph manager is registered under.
std::wstring GraphRotItemName(IUnknown* graph);
