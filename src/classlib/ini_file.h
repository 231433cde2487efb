#pragma once
// Access to an INI settings file through the platform's profile-string
// functions. No copy is kept: every call reads or writes the file by name.
#include <string>

class TIniFile {
public:
  explicit TIniFile(std::wstring fileName) : fileName_(std::move(fileName)) {}
  const std::wstring& FileName() const { return fileName_; }

  // At most 2047 characters; a longer stored value is cut there.
  std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& defaultValue) const;
  // Absent, empty or unconvertible values give the default.
  bool ReadBool(const std::wstring& section, const std::wstring& key, bool defaultValue) const;
  int ReadInteger(const std::wstring& section, const std::wstring& key, int defaultValue) const;

  // Raise EIniFileException "Unable to write to <file name>" on failure.
  void WriteString(const std::wstring& section, const std::wstring& key, const std::wstring& value);
  void WriteBool(const std::wstring& section, const std::wstring& key, bool value);

private:
  std::wstring fileName_;
};
