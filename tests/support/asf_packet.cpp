#include "asf_packet.h"

#include <utility>

namespace {

std::uint32_t LittleEndian(const std::uint8_t* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

}  // namespace

std::optional<AsfPacket> ParseAsfPacket(const std::uint8_t* packet, std::size_t size) {
  AsfPacket parsed;
  const std::uint8_t* p = packet;
  const std::uint8_t* end = packet + size;
  if (size < 1) return std::nullopt;
  if (p[0] & 0x80) {
    parsed.errorCorrection = p[0];
    p += 1 + (p[0] & 0x0F);
  }
  if (end - p < 2) return std::nullopt;
  parsed.lengthFlags = p[0];
  parsed.propertyFlags = p[1];
  p += 2;
  // A field whose width (none, byte, word, dword) its two type bits give.
  auto field = [&](int type, std::uint32_t* value) {
    static constexpr int kBytes[] = {0, 1, 2, 4};
    if (end - p < kBytes[type]) return false;
    *value = LittleEndian(p, kBytes[type]);
    p += kBytes[type];
    return true;
  };
  std::uint32_t packetLength = 0, sequence = 0, duration = 0;
  if (!field((parsed.lengthFlags >> 5) & 3, &packetLength) || !field((parsed.lengthFlags >> 1) & 3, &sequence) ||
      !field((parsed.lengthFlags >> 3) & 3, &parsed.padding) || !field(3, &parsed.sendTime) ||
      !field(2, &duration))
    return std::nullopt;
  parsed.duration = static_cast<std::uint16_t>(duration);
  if (packetLength != 0 && packetLength <= size) end = packet + packetLength;
  std::uint32_t payloads = 1, lengthType = 0;
  const bool multiple = parsed.lengthFlags & 1;
  if (multiple) {
    if (end - p < 1) return std::nullopt;
    parsed.payloadFlags = *p++;
    payloads = parsed.payloadFlags & 0x3F;
    lengthType = parsed.payloadFlags >> 6;
  }
  for (std::uint32_t i = 0; i < payloads; ++i) {
    if (end - p < 1) return std::nullopt;
    AsfPayload payload;
    payload.stream = *p & 0x7F;
    payload.key = *p & 0x80;
    ++p;
    if (!field((parsed.propertyFlags >> 4) & 3, &payload.object) ||
        !field((parsed.propertyFlags >> 2) & 3, &payload.offset) ||
        !field(parsed.propertyFlags & 3, &payload.replicatedSize) || payload.replicatedSize < 8 ||
        end - p < payload.replicatedSize)
      return std::nullopt;
    payload.objectSize = LittleEndian(p, 4);
    payload.presentation = LittleEndian(p + 4, 4);
    p += payload.replicatedSize;
    std::uint32_t length = 0;
    if (multiple) {
      if (!field(lengthType, &length)) return std::nullopt;
    } else {
      if (end - p < parsed.padding) return std::nullopt;
      length = static_cast<std::uint32_t>(end - p) - parsed.padding;
    }
    if (end - p < length) return std::nullopt;
    payload.data.assign(p, p + length);
    p += length;
    parsed.payloads.push_back(std::move(payload));
  }
  parsed.end = static_cast<std::size_t>(p - packet);
  return parsed;
}
