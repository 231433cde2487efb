#include "skin/skin_archive.h"

#include <zlib.h>

#include <cstring>

#include "classlib/sysutils.h"

namespace {
// zlib cannot expand data by more than about 1032 times.
constexpr std::uint64_t kMaxInflateRatio = 1032;

[[noreturn]] void Fail(const std::wstring& what) {
  throw ESkinArchiveError(L"Invalid skin archive: " + what);
}

class Reader {
public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Left() const { return size_ - pos_; }
  std::size_t Position() const { return pos_; }
  const std::uint8_t* Here() const { return data_ + pos_; }
  void Skip(std::size_t n) { pos_ += n; }

  std::uint32_t U32(const wchar_t* what) {
    if (Left() < 4) Fail(Format(L"truncated %s at offset %u", what, static_cast<unsigned>(pos_)));
    const std::uint8_t* p = Here();
    pos_ += 4;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }

private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Unpacks one zlib stream into exactly `size` bytes; returns the number of
// packed bytes it took.
std::size_t Inflate(const std::uint8_t* in, std::size_t available, std::string& out,
                    const std::wstring& name) {
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) Fail(L"cannot start unpacking " + name);
  unsigned char spare = 0;
  stream.next_in = const_cast<Bytef*>(in);
  stream.avail_in = static_cast<uInt>(available);
  stream.next_out = out.empty() ? &spare : reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = inflate(&stream, Z_FINISH);
  const std::size_t used = stream.total_in;
  const std::size_t produced = stream.total_out;
  inflateEnd(&stream);
  switch (result) {
    case Z_STREAM_END:
      if (produced != out.size())
        Fail(Format(L"%s unpacks to %u bytes instead of %u", name.c_str(),
                    static_cast<unsigned>(produced), static_cast<unsigned>(out.size())));
      return used;
    case Z_BUF_ERROR:
      if (stream.avail_out == 0 && produced == out.size() && used < available)
        Fail(Format(L"%s unpacks to more than %u bytes", name.c_str(),
                    static_cast<unsigned>(out.size())));
      Fail(L"the packed data of " + name + L" is cut short");
    default:
      Fail(L"the packed data of " + name + L" is corrupt");
  }
}
}  // namespace

TSkinArchive TSkinArchive::Read(const void* data, std::size_t size) {
  Reader in(static_cast<const std::uint8_t*>(data), size);
  if (size < 4 || std::memcmp(in.Here(), "SKzf", 4) != 0) Fail(L"wrong magic (not \"SKzf\")");
  in.Skip(4);
  const std::uint32_t count = in.U32(L"file count");
  // Each file takes at least its three lengths, a name and a minimal stream.
  constexpr std::uint32_t kSmallestEntry = 4 + 1 + 4 + 8;
  if (count == 0) Fail(L"no files");
  if (count > kMaxFiles) Fail(Format(L"%u files (at most %u)", count, kMaxFiles));
  if (count > in.Left() / kSmallestEntry)
    Fail(Format(L"%u files do not fit in %u bytes", count, static_cast<unsigned>(in.Left())));

  TSkinArchive archive;
  archive.files_.reserve(count);
  std::uint64_t total = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t nameLength = in.U32(L"name length");
    if (nameLength == 0 || nameLength > kMaxNameLength)
      Fail(Format(L"file %u has a name length of %u", i, nameLength));
    if (nameLength > in.Left()) Fail(Format(L"the name of file %u runs past the end", i));
    File file;
    file.name.assign(reinterpret_cast<const char*>(in.Here()), nameLength);
    in.Skip(nameLength);
    if (file.name.find('\0') != std::string::npos) Fail(Format(L"file %u has a NUL in its name", i));
    const std::wstring shown = Utf8ToWide(file.name);
    if (archive.Find(file.name)) Fail(L"two files named " + shown);
    const std::uint32_t unpacked = in.U32(L"unpacked size");
    if (unpacked > kMaxFileSize)
      Fail(Format(L"%s claims %u bytes (at most %u)", shown.c_str(), unpacked, kMaxFileSize));
    if (unpacked > kMaxInflateRatio * in.Left() + 64)
      Fail(Format(L"%s claims %u bytes, more than its %u packed bytes can hold", shown.c_str(),
                  unpacked, static_cast<unsigned>(in.Left())));
    total += unpacked;
    if (total > kMaxTotalSize) Fail(L"the files together are too large");
    file.data.resize(unpacked);
    in.Skip(Inflate(in.Here(), in.Left(), file.data, shown));
    archive.files_.push_back(std::move(file));
  }
  if (in.Left() != 0)
    Fail(Format(L"%u bytes after the last file", static_cast<unsigned>(in.Left())));
  if (!archive.Find(kOptionsName)) Fail(L"no \"Options.dat\"");
  return archive;
}

const TSkinArchive::File* TSkinArchive::Find(const std::string& name) const {
  for (const File& file : files_)
    if (file.name.size() == name.size() && _stricmp(file.name.c_str(), name.c_str()) == 0)
      return &file;
  return nullptr;
}
