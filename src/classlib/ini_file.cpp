#include "classlib/ini_file.h"

#include <windows.h>

#include "classlib/exceptions.h"
#include "classlib/sysutils.h"

std::wstring TIniFile::ReadString(const std::wstring& section, const std::wstring& key,
                                  const std::wstring& defaultValue) const {
  wchar_t buffer[2048];
  const DWORD length = GetPrivateProfileStringW(section.c_str(), key.c_str(), defaultValue.c_str(),
                                                buffer, 2048, fileName_.c_str());
  return std::wstring(buffer, length);
}

int TIniFile::ReadInteger(const std::wstring& section, const std::wstring& key,
                          int defaultValue) const {
  const std::wstring text = ReadString(section, key, L"");
  return TryStrToInt(text).value_or(defaultValue);
}

bool TIniFile::ReadBool(const std::wstring& section, const std::wstring& key,
                        bool defaultValue) const {
  return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& value) {
  if (!WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), fileName_.c_str()))
    throw EIniFileException(Format(L"Unable to write to %ls", fileName_.c_str()));
}

void TIniFile::WriteBool(const std::wstring& section, const std::wstring& key, bool value) {
  WriteString(section, key, value ? L"1" : L"0");
}
