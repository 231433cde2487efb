#pragma once
// The packed skin archive: the magic "SKzf", a 32-bit little-endian file
// count, then per file a 32-bit name length, the name, the 32-bit unpacked
// size and a zlib stream. Reading checks every length against the data and
// against fixed bounds before anything is allocated.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "classlib/exceptions.h"

// A skin archive that cannot be read; the message says what is wrong.
class ESkinArchiveError : public Exception { using Exception::Exception; };

class TSkinArchive {
public:
  static constexpr std::uint32_t kMaxFiles = 64;
  static constexpr std::uint32_t kMaxNameLength = 255;
  static constexpr std::uint32_t kMaxFileSize = 16u << 20;
  static constexpr std::uint64_t kMaxTotalSize = 64u << 20;
  // The settings text every skin must hold.
  static constexpr char kOptionsName[] = "Options.dat";

  struct File {
    std::string name;
    std::string data;
  };

  // Reads and unpacks a whole archive; raises ESkinArchiveError.
  static TSkinArchive Read(const void* data, std::size_t size);

  const std::vector<File>& Files() const { return files_; }
  // The file of that name (letter case ignored), or null.
  const File* Find(const std::string& name) const;

private:
  std::vector<File> files_;
};
