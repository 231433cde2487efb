#pragma once
// How components join a TFilterGraph (IGraphMember) and follow it
// (IGraphListener). Both interfaces live on components that their owner
// destroys, so their AddRef and Release do not count.
#include <windows.h>
#include <dshow.h>

#include <string>

#include "platform/media_platform.h"

// What the graph is doing with a member's filter.
enum TMemberOperation : LONG {
  moAdding = 0,    // before AddFilter: create the filter object
  moAdded = 1,     // after AddFilter: configure the filter, now in the graph
  moRemoving = 2,  // before RemoveFilter: stop the filter and what it holds on to
  moRemoved = 3,   // after RemoveFilter: release the filter and its interfaces
  moRefresh = 4,   // never sent by the graph; member-specific renewal
};

// Control steps of the graph told to listeners; no other code is sent.
enum TControlEvent : LONG {
  cePlay = 0,    // value 0, before IMediaControl::Run
  ceStop = 2,    // value 0, before IMediaControl::Stop
  ceActive = 7,  // value 1 at the end of activation, 0 at the start of deactivation
};

MIDL_INTERFACE("887F94DA-29E9-44C6-B48E-1FBF0FB59878")
IGraphMember : public IUnknown {
public:
  // The member's current filter; none before moAdding and after moRemoved.
  virtual platform::ComPtr<IBaseFilter> GetBaseFilter() = 0;
  // The component's name; the graph adds the filter under it.
  virtual std::wstring GetMemberName() = 0;
  virtual void NotifyMember(TMemberOperation operation) = 0;
};
__CRT_UUID_DECL(IGraphMember, 0x887F94DA, 0x29E9, 0x44C6, 0xB4, 0x8E, 0x1F, 0xBF, 0x0F, 0xB5, 0x98, 0x78)

MIDL_INTERFACE("6C0DCD7B-1A98-44EF-A6D5-E23CBC24E620")
IGraphListener : public IUnknown {
public:
  // One event as the graph manager delivered it; its parameters are freed
  // after the call returns. Parameters are pointer-sized because several
  // events carry pointers in them.
  virtual void GraphEvent(LONG event, LONG_PTR param1, LONG_PTR param2) = 0;
  virtual void ControlEvent(TControlEvent code, LONG value) = 0;
};
__CRT_UUID_DECL(IGraphListener, 0x6C0DCD7B, 0x1A98, 0x44EF, 0xA6, 0xD5, 0xE2, 0x3C, 0xBC, 0x24, 0xE6, 0x20)
