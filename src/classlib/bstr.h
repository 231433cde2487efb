#pragma once
// Owner of an automation string (BSTR), freed with SysFreeString.
#include <windows.h>
#include <oleauto.h>

#include <string>

class Bstr {
public:
  explicit Bstr(const std::wstring& text) : text_(SysAllocString(text.c_str())) {}
  ~Bstr() { SysFreeString(text_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;

  BSTR Get() const { return text_; }

private:
  BSTR text_;
};
