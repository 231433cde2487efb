#pragma once
// Helpers at the boundary to COM and DirectShow: the smart pointer every
// reference lives in, handle ownership, BSTR text and the error text of a
// result.
#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "platform/dshow/com_object.h"

// MinGW's DirectShow headers declare these interfaces without binding
// their IIDs to the types, so __uuidof and IID_PPV_ARGS would not link.
__CRT_UUID_DECL(IMediaEvent, 0x56a868b6, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
__CRT_UUID_DECL(IMediaEventEx, 0x56a868c0, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
__CRT_UUID_DECL(IVideoWindow, 0x56a868b4, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
__CRT_UUID_DECL(IBasicVideo, 0x56a868b5, 0x0ad4, 0x11ce, 0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70)
__CRT_UUID_DECL(IDvdGraphBuilder, 0xfcc152b6, 0xf372, 0x11d0, 0x8e, 0x00, 0x00, 0xc0, 0x4f, 0xd7, 0xc0, 0x8b)
__CRT_UUID_DECL(IDvdInfo2, 0x34151510, 0xeec0, 0x11d2, 0x82, 0x01, 0x00, 0xa0, 0xc9, 0xd7, 0x48, 0x42)
__CRT_UUID_DECL(IAMVfwCompressDialogs, 0xd8d715a3, 0x6e5e, 0x11d0, 0xb3, 0xf0, 0x00, 0xaa, 0x00, 0x37, 0x61, 0xc5)

// Filters of qedit.dll; MinGW has no qedit.h, libstrmiids defines both.
extern "C" const CLSID CLSID_SampleGrabber;
extern "C" const CLSID CLSID_NullRenderer;

namespace platform {

using dshow::Adopt;
using dshow::ComPtr;

// Owns a kernel handle (file, event, ...) and closes it.
class UniqueHandle {
public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const { return handle_; }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void Reset(HANDLE handle = nullptr);
  // Gives up ownership without closing.
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }

private:
  HANDLE handle_ = nullptr;
};

// Text of a failing result: DirectShow's own (quartz), else the system's
// message table, else a generic text naming no cause. Never empty.
std::wstring ErrorText(HRESULT result);

// The contents of a BSTR (none gives the empty text).
std::wstring FromBstr(BSTR text);

}  // namespace platform
