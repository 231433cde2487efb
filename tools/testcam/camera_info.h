#pragma once
// A private interface through which the camera's property page reads the
// filter it shows (both live in this DLL).
#include <windows.h>
#include <unknwn.h>

// {2A8E1B67-CF6C-419D-8321-6D55BEBDD128}
inline constexpr IID IID_ITestCameraInfo = {
    0x2a8e1b67, 0xcf6c, 0x419d, {0x83, 0x21, 0x6d, 0x55, 0xbe, 0xbd, 0xd1, 0x28}};

struct ITestCameraInfo : public IUnknown {
  // Device name, picture size and frame rate as lines of text; the text is
  // cut to fit `capacity` characters including the terminator.
  virtual STDMETHODIMP GetDescription(wchar_t* text, UINT capacity) = 0;
};
__CRT_UUID_DECL(ITestCameraInfo, 0x2a8e1b67, 0xcf6c, 0x419d, 0x83, 0x21, 0x6d, 0x55, 0xbe, 0xbd, 0xd1, 0x28)
