#pragma once
// Text, path and folder helpers of the class library.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

// printf-style formatting into a wide string.
std::wstring Format(const wchar_t* format, ...);

// The system's text for a Win32 error code, without the trailing line break.
std::wstring SysErrorMessage(unsigned long code);

// Full path of the running executable.
std::wstring ExeName();
// The folder part of a path, up to and including the last "\" or ":".
std::wstring ExtractFilePath(std::wstring_view fileName);
// The name part of a path, after the last "\" or ":".
std::wstring ExtractFileName(std::wstring_view fileName);
// Replaces the extension (from the last "." of the name part on), or appends.
std::wstring ChangeFileExt(std::wstring_view fileName, std::wstring_view extension);

// True when the name denotes an existing directory (a file does not count).
bool DirectoryExists(const std::wstring& name);
// Creates one directory level; parents are not created.
bool CreateDir(const std::wstring& name);
bool FileExists(const std::wstring& name);

// Integer conversion as the class library does it: optional sign, then
// decimal, or hexadecimal after "$", or after "0x"/"0X" when the text is
// longer than two characters. Leading and trailing blanks are not allowed.
std::optional<std::int32_t> TryStrToInt(std::wstring_view text);
