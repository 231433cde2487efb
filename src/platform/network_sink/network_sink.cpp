#include "platform/network_sink/network_sink.h"

#include <string>

#include "platform/asf_writer/asf_writer_advanced.h"
#include "platform/platform_factory.h"

using dshow::ComPtr;

namespace platform {

HRESULT CreateBuiltInNetworkSink(IWMWriterNetworkSink** sink) {
  if (!sink) return E_POINTER;
  *sink = NetworkSink::Make().Detach();
  return *sink ? S_OK : E_OUTOFMEMORY;
}

HRESULT CreateWriterNetworkSink(IWMWriterNetworkSink** sink) {
  if (!sink) return E_POINTER;
  *sink = nullptr;
  // Wine 8 exports WMCreateWriterNetworkSink as an unimplemented stub that
  // aborts the process when called.
  if (!RunningUnderWine()) {
    if (WMCreateWriterNetworkSinkFunction create = LookUpWMCreateWriterNetworkSink()) {
      ComPtr<IWMWriterNetworkSink> platformSink;
      if (SUCCEEDED(create(&platformSink)) && platformSink) {
        *sink = platformSink.Detach();
        return S_OK;
      }
    }
  }
  return CreateBuiltInNetworkSink(sink);
}

NetworkSink::NetworkSink() = default;

STDMETHODIMP NetworkSink::OnHeader(INSSBuffer* header) {
  if (!header) return E_POINTER;
  BYTE* data = nullptr;
  DWORD length = 0;
  const HRESULT hr = header->GetBufferAndLength(&data, &length);
  if (FAILED(hr)) return hr;
  server_.SetHeader(std::vector<uint8_t>(data, data + length));
  return S_OK;
}

STDMETHODIMP NetworkSink::IsRealTime(WINBOOL* realTime) {
  if (!realTime) return E_POINTER;
  *realTime = TRUE;
  return S_OK;
}

STDMETHODIMP NetworkSink::AllocateDataUnit(DWORD size, INSSBuffer** unit) {
  if (!unit) return E_POINTER;
  *unit = MemoryNssBuffer::Create(nullptr, size).Detach();
  return *unit ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP NetworkSink::OnDataUnit(INSSBuffer* unit) {
  if (!unit) return E_POINTER;
  BYTE* data = nullptr;
  DWORD length = 0;
  const HRESULT hr = unit->GetBufferAndLength(&data, &length);
  if (FAILED(hr)) return hr;
  server_.Broadcast(data, length);
  return S_OK;
}

STDMETHODIMP NetworkSink::OnEndWriting() {
  server_.EndOfStream();
  return S_OK;
}

STDMETHODIMP NetworkSink::SetMaximumClients(DWORD count) {
  server_.SetMaximumClients(count);
  return S_OK;
}

STDMETHODIMP NetworkSink::GetMaximumClients(DWORD* count) {
  if (!count) return E_POINTER;
  *count = server_.MaximumClients();
  return S_OK;
}

STDMETHODIMP NetworkSink::SetNetworkProtocol(WMT_NET_PROTOCOL protocol) {
  return protocol == WMT_PROTOCOL_HTTP ? S_OK : E_INVALIDARG;
}

STDMETHODIMP NetworkSink::GetNetworkProtocol(WMT_NET_PROTOCOL* protocol) {
  if (!protocol) return E_POINTER;
  *protocol = WMT_PROTOCOL_HTTP;
  return S_OK;
}

STDMETHODIMP NetworkSink::GetHostURL(WCHAR* url, DWORD* length) {
  if (!length) return E_POINTER;
  if (!server_.IsOpen()) return E_UNEXPECTED;
  wchar_t host[256] = L"localhost";
  DWORD hostLength = ARRAYSIZE(host);
  (void)GetComputerNameExW(ComputerNameDnsHostname, host, &hostLength);  // keeps "localhost"
  const std::wstring text = L"http://" + std::wstring(host) + L":" + std::to_wstring(server_.Port());
  const DWORD needed = static_cast<DWORD>(text.size() + 1);
  if (!url || *length < needed) {
    *length = needed;
    return url ? HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) : S_OK;
  }
  lstrcpynW(url, text.c_str(), static_cast<int>(needed));
  *length = needed;
  return S_OK;
}

STDMETHODIMP NetworkSink::Open(DWORD* port) {
  if (!port) return E_POINTER;
  uint32_t chosen = *port;
  const HRESULT hr = server_.Open(&chosen);
  if (SUCCEEDED(hr)) *port = chosen;
  return hr;
}

STDMETHODIMP NetworkSink::Disconnect() {
  server_.DisconnectAll();
  return S_OK;
}

STDMETHODIMP NetworkSink::Close() {
  server_.Close();
  return S_OK;
}

STDMETHODIMP NetworkSink::GetClientCount(DWORD* count) {
  if (!count) return E_POINTER;
  *count = static_cast<DWORD>(server_.StreamingClients().size());
  return S_OK;
}

STDMETHODIMP NetworkSink::GetClientProperties(DWORD index, WM_CLIENT_PROPERTIES* properties) {
  if (!properties) return E_POINTER;
  const auto clients = server_.StreamingClients();
  if (index >= clients.size()) return E_INVALIDARG;
  properties->dwIPAddress = clients[index].ip;
  properties->dwPort = clients[index].port;
  return S_OK;
}

}  // namespace platform
