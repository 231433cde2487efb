#include "classlib/exceptions.h"

#include <windows.h>

#include "classlib/sysutils.h"

Exception::Exception(std::wstring message)
    : message_(std::move(message)), utf8_(WideToUtf8(message_)) {}

void Assert(bool condition, const std::wstring& message) {
  if (!condition) throw EAssertionFailed(message);
}

void RaiseLastOSError(const wchar_t* what) {
  const DWORD code = GetLastError();
  throw EOSError(std::wstring(what) + L": " + SysErrorMessage(code), code);
}
