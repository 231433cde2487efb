#pragma once
// Windows Media and DirectShow-ASF declarations the MinGW headers lack
// (dshowasf.h, and the parts of wmsdkidl.h it leaves out), with the
// run-time lookup of WMCreateWriterNetworkSink: MinGW has no wmvcore
// import library.
#include <windows.h>
#include <dshow.h>
#include <servprov.h>
#include <wmsdkidl.h>

// IIDs MinGW declares with DEFINE_GUID but no library defines.
extern "C" const GUID IID_INSSBuffer;
extern "C" const GUID IID_IWMWriterSink;
extern "C" const GUID IID_IWMWriterAdvanced;
extern "C" const GUID IID_IWMWriterAdvanced2;
extern "C" const GUID IID_IWMStatusCallback;

// IIDs of the interfaces declared below.
extern "C" const GUID IID_IConfigAsfWriter;
extern "C" const GUID IID_IConfigAsfWriter2;
extern "C" const GUID IID_IWMWriterNetworkSink;
extern "C" const GUID IID_IWMRegisterCallback;
extern "C" const GUID IID_IWMClientConnections;
extern "C" const GUID IID_IWMClientConnections2;

enum _AM_ASFWRITERCONFIG_PARAM {
  AM_CONFIGASFWRITER_PARAM_AUTOINDEX = 1,
  AM_CONFIGASFWRITER_PARAM_MULTIPASS = 2,
  AM_CONFIGASFWRITER_PARAM_DONTCOMPRESS = 3,
};

#ifndef EC_PREPROCESS_COMPLETE
#define EC_PREPROCESS_COMPLETE 0x56
#endif

typedef enum WMT_NET_PROTOCOL { WMT_PROTOCOL_HTTP = 0 } WMT_NET_PROTOCOL;

typedef struct _WMClientProperties {
  DWORD dwIPAddress;
  DWORD dwPort;
} WM_CLIENT_PROPERTIES;

typedef struct _WMClientPropertiesEx {
  DWORD cbSize;
  LPCWSTR pwszIPAddress;
  LPCWSTR pwszPort;
  LPCWSTR pwszDNSName;
} WM_CLIENT_PROPERTIES_EX;

MIDL_INTERFACE("45086030-F7E4-486A-B504-826BB5792A3B")
IConfigAsfWriter : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileId(DWORD dwProfileId) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentProfileId(DWORD* pdwProfileId) = 0;
  virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfileGuid(REFGUID guidProfile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentProfileGuid(GUID* pProfileGuid) = 0;
  virtual HRESULT STDMETHODCALLTYPE ConfigureFilterUsingProfile(IWMProfile* pProfile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentProfile(IWMProfile** ppProfile) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetIndexMode(BOOL bIndexFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIndexMode(BOOL* pbIndexFile) = 0;
};
__CRT_UUID_DECL(IConfigAsfWriter, 0x45086030, 0xf7e4, 0x486a, 0xb5, 0x04, 0x82, 0x6b, 0xb5, 0x79,
                0x2a, 0x3b)

MIDL_INTERFACE("7989CCAA-53F0-44F0-884A-F3B03F6AE066")
IConfigAsfWriter2 : public IConfigAsfWriter {
  virtual HRESULT STDMETHODCALLTYPE StreamNumFromPin(IPin* pPin, WORD* pwStreamNum) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetParam(DWORD dwParam, DWORD dwParam1, DWORD dwParam2) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetParam(DWORD dwParam, DWORD* pdwParam1, DWORD* pdwParam2) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResetMultiPassState() = 0;
};
__CRT_UUID_DECL(IConfigAsfWriter2, 0x7989ccaa, 0x53f0, 0x44f0, 0x88, 0x4a, 0xf3, 0xb0, 0x3f, 0x6a,
                0xe0, 0x66)

MIDL_INTERFACE("96406BE7-2B2B-11D3-B36B-00C04F6108FF")
IWMWriterNetworkSink : public IWMWriterSink {
  virtual HRESULT STDMETHODCALLTYPE SetMaximumClients(DWORD dwMaxClients) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMaximumClients(DWORD* pdwMaxClients) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetNetworkProtocol(WMT_NET_PROTOCOL protocol) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNetworkProtocol(WMT_NET_PROTOCOL* pProtocol) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetHostURL(WCHAR* pwszURL, DWORD* pcchURL) = 0;
  virtual HRESULT STDMETHODCALLTYPE Open(DWORD* pdwPortNum) = 0;
  virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;
  virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};
__CRT_UUID_DECL(IWMWriterNetworkSink, 0x96406be7, 0x2b2b, 0x11d3, 0xb3, 0x6b, 0x00, 0xc0, 0x4f,
                0x61, 0x08, 0xff)

MIDL_INTERFACE("CF4B1F99-4DE2-4E49-A363-252740D99BC1")
IWMRegisterCallback : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Advise(IWMStatusCallback* pCallback, void* pvContext) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unadvise(IWMStatusCallback* pCallback, void* pvContext) = 0;
};
__CRT_UUID_DECL(IWMRegisterCallback, 0xcf4b1f99, 0x4de2, 0x4e49, 0xa3, 0x63, 0x25, 0x27, 0x40,
                0xd9, 0x9b, 0xc1)

MIDL_INTERFACE("73C66010-A299-41DF-B1F0-CCF03B09C1C6")
IWMClientConnections : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetClientCount(DWORD* pcClients) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClientProperties(DWORD dwClientNum,
                                                        WM_CLIENT_PROPERTIES* pClientProperties) = 0;
};
__CRT_UUID_DECL(IWMClientConnections, 0x73c66010, 0xa299, 0x41df, 0xb1, 0xf0, 0xcc, 0xf0, 0x3b,
                0x09, 0xc1, 0xc6)

MIDL_INTERFACE("4091571E-4701-4593-BB3D-D5F5F0C74246")
IWMClientConnections2 : public IWMClientConnections {
  virtual HRESULT STDMETHODCALLTYPE GetClientInfo(DWORD dwClientNum, WCHAR* pwszNetworkAddress,
                                                  DWORD* pcchNetworkAddress, WCHAR* pwszPort,
                                                  DWORD* pcchPort, WCHAR* pwszDNSName,
                                                  DWORD* pcchDNSName) = 0;
};
__CRT_UUID_DECL(IWMClientConnections2, 0x4091571e, 0x4701, 0x4593, 0xbb, 0x3d, 0xd5, 0xf5, 0xf0,
                0xc7, 0x42, 0x46)

// The built-in ASF writer's own interface; the platform's writer has none.
extern "C" const GUID IID_IAsfWriterSegments;
MIDL_INTERFACE("63EB3165-35E4-4F75-8CF4-11AF0F530B39")
IAsfWriterSegments : public IUnknown {
  // While recording: creates the file `name` at once and goes on recording
  // there from the next video picture, an IDR, while the graph runs on; the
  // current file ends with the picture before and is finalised. Fails,
  // leaving no file, when the file cannot be made or a switch is waiting.
  virtual HRESULT STDMETHODCALLTYPE SwitchFile(LPCWSTR pszFileName) = 0;
  // Frames dropped since recording began because writing fell behind.
  virtual HRESULT STDMETHODCALLTYPE GetDroppedFrames(ULONGLONG* pcFrames) = 0;
};
__CRT_UUID_DECL(IAsfWriterSegments, 0x63eb3165, 0x35e4, 0x4f75, 0x8c, 0xf4, 0x11, 0xaf, 0x0f, 0x53,
                0x0b, 0x39)

namespace platform {

using WMCreateWriterNetworkSinkFunction = HRESULT(STDMETHODCALLTYPE*)(IWMWriterNetworkSink** sink);
using WMCreateWriterFunction = HRESULT(STDMETHODCALLTYPE*)(IUnknown* reserved, IWMWriter** writer);

// WMCreateWriterNetworkSink from wmvcore.dll, or null when the DLL or the
// export is missing. The DLL stays loaded: sinks it makes live in it.
// Wine exports an unimplemented stub that aborts the process when called;
// callers must not call it under Wine.
WMCreateWriterNetworkSinkFunction LookUpWMCreateWriterNetworkSink();

}  // namespace platform
