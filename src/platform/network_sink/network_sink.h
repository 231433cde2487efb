#pragma once
// The program's own IWMWriterNetworkSink: serves what a writer writes over
// HTTP the way Windows Media players and ffmpeg's mmsh client expect. Used
// where WMCreateWriterNetworkSink is missing, fails, or must not be called
// (Wine).
#include <winsock2.h>
#include <windows.h>

#include <memory>

#include "platform/dshow/com_object.h"
#include "platform/network_sink/wmsp_server.h"
#include "platform/wm_interfaces.h"

namespace dshow {
template <>
struct InterfaceAlso<IWMWriterNetworkSink> {
  static bool Answers(REFIID iid) { return iid == __uuidof(IWMWriterSink); }
};
}  // namespace dshow

namespace platform {

// WMCreateWriterNetworkSink where it is known to work, else the built-in
// sink. Never calls into wmvcore.dll under Wine.
HRESULT CreateWriterNetworkSink(IWMWriterNetworkSink** sink);

// The built-in sink on its own.
HRESULT CreateBuiltInNetworkSink(IWMWriterNetworkSink** sink);

class NetworkSink final
    : public dshow::ComObject<NetworkSink, IWMWriterNetworkSink, IWMClientConnections> {
public:
  NetworkSink();

  // IWMWriterSink. Thread: the writer's thread.
  STDMETHODIMP OnHeader(INSSBuffer* header) override;
  STDMETHODIMP IsRealTime(WINBOOL* realTime) override;
  STDMETHODIMP AllocateDataUnit(DWORD size, INSSBuffer** unit) override;
  STDMETHODIMP OnDataUnit(INSSBuffer* unit) override;
  STDMETHODIMP OnEndWriting() override;
  // IWMWriterNetworkSink
  STDMETHODIMP SetMaximumClients(DWORD count) override;
  STDMETHODIMP GetMaximumClients(DWORD* count) override;
  STDMETHODIMP SetNetworkProtocol(WMT_NET_PROTOCOL protocol) override;
  STDMETHODIMP GetNetworkProtocol(WMT_NET_PROTOCOL* protocol) override;
  STDMETHODIMP GetHostURL(WCHAR* url, DWORD* length) override;
  STDMETHODIMP Open(DWORD* port) override;
  STDMETHODIMP Disconnect() override;
  STDMETHODIMP Close() override;
  // IWMClientConnections: the clients receiving the stream.
  STDMETHODIMP GetClientCount(DWORD* count) override;
  STDMETHODIMP GetClientProperties(DWORD index,
                                                WM_CLIENT_PROPERTIES* properties) override;

private:
  WmspServer server_;
};

}  // namespace platform
