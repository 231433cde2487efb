#pragma once
// Failure reporting of the media layer.
#include <windows.h>

#include <string>

#include "classlib/exceptions.h"

// A failing platform result, raised by CheckMediaResult only.
class EDirectShowException : public Exception {
public:
  EDirectShowException(std::wstring message, HRESULT resultCode)
      : Exception(std::move(message)), resultCode_(resultCode) {}
  HRESULT ResultCode() const { return resultCode_; }

private:
  HRESULT resultCode_;
};

// A failure of the layer's own components; ResultCode is set only where a
// platform result caused it.
class EMediaGraphException : public Exception {
public:
  explicit EMediaGraphException(std::wstring message, HRESULT resultCode = S_OK)
      : Exception(std::move(message)), resultCode_(resultCode) {}
  HRESULT ResultCode() const { return resultCode_; }

private:
  HRESULT resultCode_;
};

// Returns every success code unchanged; raises EDirectShowException for a
// failure, with the platform's text followed by " ($XXXXXXXX).".
HRESULT CheckMediaResult(HRESULT result);
