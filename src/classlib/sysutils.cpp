#include "classlib/sysutils.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <vector>

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                      nullptr, nullptr);
  return result;
}

std::wstring Utf8ToWide(std::string_view text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(size, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
  return result;
}

std::wstring Format(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  va_list count;
  va_copy(count, args);
  const int size = _vscwprintf(format, count);
  va_end(count);
  std::wstring result;
  if (size > 0) {
    result.resize(size);
    _vsnwprintf(result.data(), size, format, args);
  }
  va_end(args);
  return result;
}

std::wstring SysErrorMessage(unsigned long code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length ? std::wstring(buffer, length) : std::wstring();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
    text.pop_back();
  return text;
}

std::wstring ExeName() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

static size_t LastDelimiter(std::wstring_view path) {
  return path.find_last_of(L"\\:");
}

std::wstring ExtractFilePath(std::wstring_view fileName) {
  const size_t at = LastDelimiter(fileName);
  return at == std::wstring_view::npos ? std::wstring() : std::wstring(fileName.substr(0, at + 1));
}

std::wstring ExtractFileName(std::wstring_view fileName) {
  const size_t at = LastDelimiter(fileName);
  return std::wstring(at == std::wstring_view::npos ? fileName : fileName.substr(at + 1));
}

std::wstring ChangeFileExt(std::wstring_view fileName, std::wstring_view extension) {
  const size_t dot = fileName.find_last_of(L".\\:");
  if (dot == std::wstring_view::npos || fileName[dot] != L'.')
    return std::wstring(fileName) + std::wstring(extension);
  return std::wstring(fileName.substr(0, dot)) + std::wstring(extension);
}

bool DirectoryExists(const std::wstring& name) {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDir(const std::wstring& name) { return CreateDirectoryW(name.c_str(), nullptr) != 0; }

bool FileExists(const std::wstring& name) {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::int32_t> TryStrToInt(std::wstring_view text) {
  size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == L'-' || text[at] == L'+')) negative = text[at++] == L'-';
  unsigned base = 10;
  if (at < text.size() && text[at] == L'$') {
    base = 16;
    ++at;
  } else if (text.size() > 2 && text.size() - at > 2 && text[at] == L'0' &&
             (text[at + 1] == L'x' || text[at + 1] == L'X')) {
    base = 16;
    at += 2;
  }
  if (at >= text.size()) return std::nullopt;
  std::uint64_t value = 0;
  for (; at < text.size(); ++at) {
    const wchar_t c = text[at];
    unsigned digit;
    if (c >= L'0' && c <= L'9') digit = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f') digit = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F') digit = c - L'A' + 10;
    else return std::nullopt;
    value = value * base + digit;
    // Hexadecimal texts may fill all 32 bits (as "$FFFFFFFF" = -1); decimal ones are signed.
    if (value > (base == 16 ? 0xFFFFFFFFull : 0x80000000ull)) return std::nullopt;
  }
  if (base == 10 && !negative && value > 0x7FFFFFFF) return std::nullopt;
  const auto bits = static_cast<std::uint32_t>(value);
  const auto result = static_cast<std::int32_t>(bits);
  return negative ? static_cast<std::int32_t>(0u - bits) : result;
}
