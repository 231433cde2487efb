#pragma once
// The program's own IWMWriterNetworkSink: serves what a writer writes over
// HTTP the way Windows Media players and ffmpeg's mmsh client expect. Used
// where WMCreateWriterNetworkSink is missing, fails, or must not be called
// (Wine).
#include <winsock2.h>
#include <windows.h>

#include <wrl/client.h>

#include <atomic>
#include <memory>

#include "platform/network_sink/wmsp_server.h"
#include "platform/wm_interfaces.h"

namespace platform {

// WMCreateWriterNetworkSink where it is known to work, else the built-in
// sink. Never calls into wmvcore.dll under Wine.
HRESULT CreateWriterNetworkSink(IWMWriterNetworkSink** sink);

// The built-in sink on its own.
HRESULT CreateBuiltInNetworkSink(IWMWriterNetworkSink** sink);

class NetworkSink final : public IWMWriterNetworkSink, public IWMClientConnections {
  // Interfaces: IUnknown, IWMWriterSink, IWMWriterNetworkSink, IWMClientConnections.
public:
  NetworkSink();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IWMWriterSink. Thread: the writer's thread.
  HRESULT STDMETHODCALLTYPE OnHeader(INSSBuffer* header) override;
  HRESULT STDMETHODCALLTYPE IsRealTime(WINBOOL* realTime) override;
  HRESULT STDMETHODCALLTYPE AllocateDataUnit(DWORD size, INSSBuffer** unit) override;
  HRESULT STDMETHODCALLTYPE OnDataUnit(INSSBuffer* unit) override;
  HRESULT STDMETHODCALLTYPE OnEndWriting() override;
  // IWMWriterNetworkSink
  HRESULT STDMETHODCALLTYPE SetMaximumClients(DWORD count) override;
  HRESULT STDMETHODCALLTYPE GetMaximumClients(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE SetNetworkProtocol(WMT_NET_PROTOCOL protocol) override;
  HRESULT STDMETHODCALLTYPE GetNetworkProtocol(WMT_NET_PROTOCOL* protocol) override;
  HRESULT STDMETHODCALLTYPE GetHostURL(WCHAR* url, DWORD* length) override;
  HRESULT STDMETHODCALLTYPE Open(DWORD* port) override;
  HRESULT STDMETHODCALLTYPE Disconnect() override;
  HRESULT STDMETHODCALLTYPE Close() override;
  // IWMClientConnections: the clients receiving the stream.
  HRESULT STDMETHODCALLTYPE GetClientCount(DWORD* count) override;
  HRESULT STDMETHODCALLTYPE GetClientProperties(DWORD index,
                                                WM_CLIENT_PROPERTIES* properties) override;

private:
  ~NetworkSink() = default;
  std::atomic<ULONG> refs_{1};
  WmspServer server_;
};

}  // namespace platform
