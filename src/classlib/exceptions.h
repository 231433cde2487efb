#pragma once
// The class library's exception types. Every error that escapes a handler
// reaches the application's exception handler, which shows Message().
#include <exception>
#include <string>

class Exception : public std::exception {
public:
  explicit Exception(std::wstring message);
  const std::wstring& Message() const { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

private:
  std::wstring message_;
  std::string utf8_;
};

// A list index outside the list.
class EListError : public Exception { using Exception::Exception; };
// A settings file that cannot be written.
class EIniFileException : public Exception { using Exception::Exception; };
// A failed internal assertion (Assert).
class EAssertionFailed : public Exception { using Exception::Exception; };
// A text that does not convert to the requested type.
class EConvertError : public Exception { using Exception::Exception; };
// Stored or file data that cannot be read as what it claims to be.
class EReadError : public Exception { using Exception::Exception; };
// An operation not allowed in the object's current state.
class EInvalidOperation : public Exception { using Exception::Exception; };
// A failed operating-system call, with its error code.
class EOSError : public Exception {
public:
  EOSError(std::wstring message, unsigned long errorCode)
      : Exception(std::move(message)), errorCode_(errorCode) {}
  unsigned long ErrorCode() const { return errorCode_; }

private:
  unsigned long errorCode_;
};

// Raises EAssertionFailed with the message when the condition is false.
void Assert(bool condition, const std::wstring& message);
// Raises EOSError for GetLastError() after a failed call named by `what`.
[[noreturn]] void RaiseLastOSError(const wchar_t* what);
