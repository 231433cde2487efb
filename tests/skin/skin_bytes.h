#pragma once
// Skin archives built byte by byte, as the packer writes them: "SKzf", the
// file count, then per file its name and zlib stream, each led by a length.
#include <doctest/doctest.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

inline std::string Le32(std::uint32_t v) {
  return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
}

inline std::string Deflate(const std::string& data) {
  uLongf size = compressBound(static_cast<uLong>(data.size()));
  std::string out(size, '\0');
  REQUIRE(compress(reinterpret_cast<Bytef*>(out.data()), &size,
                   reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size())) == Z_OK);
  out.resize(size);
  return out;
}

// One file's entry: name length, name, unpacked length, zlib stream.
inline std::string Entry(const std::string& name, const std::string& data) {
  return Le32(static_cast<std::uint32_t>(name.size())) + name +
         Le32(static_cast<std::uint32_t>(data.size())) + Deflate(data);
}

inline std::string Archive(const std::vector<std::pair<std::string, std::string>>& files) {
  std::string out = "SKzf" + Le32(static_cast<std::uint32_t>(files.size()));
  for (const auto& [name, data] : files) out += Entry(name, data);
  return out;
}
