#pragma once
// The event log: one line per event (local date-time, channel, text) in a
// UTF-8 text file with a byte-order mark, so Notepad shows the Chinese.
// At 1 MB the file becomes the one old file and a new one starts.
#include <cstdint>
#include <string>

class EventLog {
public:
  // The log's name below a storage folder.
  static std::wstring FileNameIn(const std::wstring& storageFolder);
  // Where the lines go from now on; empty turns the log off.
  static void Open(const std::wstring& fileName);
  // Channel 1 to 4, or 0 for the program itself. Any thread. A log that
  // cannot be written loses the line and nothing else: recording goes on.
  static void Write(int channel, const std::wstring& text);

  // The name the full log is renamed to.
  static std::wstring OldFileName(const std::wstring& fileName);
  static constexpr std::uint64_t kRotateBytes = 1024 * 1024;
};
