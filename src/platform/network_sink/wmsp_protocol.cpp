#include "platform/network_sink/wmsp_protocol.h"

#include <algorithm>
#include <cctype>

namespace platform {

namespace {

constexpr size_t kMaxChunkPayload = 65535 - 8;

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

void Put(std::vector<uint8_t>& out, uint64_t value, int size) {
  for (int i = 0; i < size; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Chunk(std::vector<uint8_t>& out, char type, uint32_t location, uint8_t flags,
           const uint8_t* payload, size_t size) {
  const uint16_t length = static_cast<uint16_t>(8 + size);
  out.push_back('$');
  out.push_back(static_cast<uint8_t>(type));
  Put(out, length, 2);
  Put(out, location, 4);
  out.push_back(0);  // incarnation
  out.push_back(flags);
  Put(out, length, 2);
  out.insert(out.end(), payload, payload + size);
}

// Reads a field of a 2-bit length type (0 absent, 1 byte, 2 word, 3 dword).
bool ReadField(const uint8_t* data, size_t size, size_t& at, int type, uint32_t* value) {
  static const size_t kSizes[] = {0, 1, 2, 4};
  const size_t bytes = kSizes[type & 3];
  if (at + bytes > size) return false;
  uint32_t v = 0;
  for (size_t i = 0; i < bytes; ++i) v |= uint32_t{data[at + i]} << (8 * i);
  at += bytes;
  if (value) *value = v;
  return true;
}

}  // namespace

size_t RequestHeadLength(std::string_view received) {
  const size_t crlf = received.find("\r\n\r\n");
  const size_t lf = received.find("\n\n");
  if (crlf != std::string_view::npos && (lf == std::string_view::npos || crlf + 2 <= lf))
    return crlf + 4;
  if (lf != std::string_view::npos) return lf + 2;
  return 0;
}

WmspRequest ParseWmspRequest(std::string_view head) {
  WmspRequest request;
  size_t lineEnd = head.find('\n');
  const std::string_view first = Trim(head.substr(0, lineEnd));
  const size_t methodEnd = first.find(' ');
  const size_t pathEnd = first.rfind(' ');
  if (methodEnd == std::string_view::npos || pathEnd <= methodEnd) return request;
  if (first.substr(0, methodEnd) != "GET") return request;
  if (first.substr(pathEnd + 1).substr(0, 5) != "HTTP/") return request;
  if (Trim(first.substr(methodEnd + 1, pathEnd - methodEnd - 1)).empty()) return request;
  request.valid = true;

  while (lineEnd != std::string_view::npos) {
    const size_t start = lineEnd + 1;
    lineEnd = head.find('\n', start);
    const std::string_view line = head.substr(start, lineEnd == std::string_view::npos
                                                          ? std::string_view::npos
                                                          : lineEnd - start);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    if (!EqualNoCase(Trim(line.substr(0, colon)), "Pragma")) continue;
    // Tokens are comma-separated, but a client may glue the next header on.
    if (line.substr(colon + 1).find("xPlayStrm=1") != std::string_view::npos) request.play = true;
  }
  return request;
}

std::vector<uint8_t> FrameWmspHeader(const std::vector<uint8_t>& header) {
  std::vector<uint8_t> out;
  uint32_t location = 0;
  for (size_t at = 0; at < header.size(); at += kMaxChunkPayload, ++location) {
    const size_t size = std::min(kMaxChunkPayload, header.size() - at);
    Chunk(out, 'H', location, 0x0C, header.data() + at, size);
  }
  return out;
}

std::vector<uint8_t> FrameWmspData(const uint8_t* packet, size_t size, uint32_t number) {
  std::vector<uint8_t> out;
  if (size == 0 || size > kMaxChunkPayload) return out;
  out.reserve(12 + size);
  Chunk(out, 'D', number, 0x00, packet, size);
  return out;
}

std::vector<uint8_t> FrameWmspEnd() { return {'$', 'E', 4, 0, 0, 0, 0, 0}; }

bool AsfPacketStartsKeyFrame(const uint8_t* data, size_t size) {
  if (!data || size < 2) return false;
  size_t at = 0;
  if (data[0] & 0x80) {
    if (data[0] & 0x60) return false;  // error correction length types other than "none" are unknown
    at = 1 + (data[0] & 0x0F);
  }
  if (at + 2 > size) return false;
  const uint8_t lengthFlags = data[at++];
  const uint8_t propertyFlags = data[at++];
  uint32_t packetLength = 0;
  uint32_t padding = 0;
  if (!ReadField(data, size, at, lengthFlags >> 5, &packetLength) ||
      !ReadField(data, size, at, lengthFlags >> 1, nullptr) ||
      !ReadField(data, size, at, lengthFlags >> 3, &padding))
    return false;
  at += 6;  // send time, duration
  size_t end = size;
  if ((lengthFlags >> 5) & 3) end = std::min<size_t>(end, packetLength);
  end = padding < end ? end - padding : 0;
  if (at > end) return false;

  const bool multiple = lengthFlags & 1;
  uint32_t payloads = 1;
  int payloadLengthType = 0;
  if (multiple) {
    if (at >= end) return false;
    payloads = data[at] & 0x3F;
    payloadLengthType = data[at] >> 6;
    ++at;
  }
  for (uint32_t i = 0; i < payloads; ++i) {
    if (at >= end) return false;
    const bool key = data[at++] & 0x80;
    uint32_t offset = 0;
    uint32_t replicated = 0;
    if (!ReadField(data, end, at, propertyFlags >> 4, nullptr) ||
        !ReadField(data, end, at, propertyFlags >> 2, &offset) ||
        !ReadField(data, end, at, propertyFlags, &replicated))
      return false;
    // Replicated length 1 marks compressed payloads: whole objects only.
    if (key && (offset == 0 || replicated == 1)) return true;
    if (replicated > end - std::min(at, end)) return false;
    at += replicated;
    uint32_t length = static_cast<uint32_t>(end - std::min(at, end));
    if (multiple && !ReadField(data, end, at, payloadLengthType, &length)) return false;
    at += length;
  }
  return false;
}

}  // namespace platform
