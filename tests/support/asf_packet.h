#pragma once
// One ASF data packet read field by field, for the tests and benchmarks that
// judge what the muxer writes and the network sink sends.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct AsfPayload {
  std::uint8_t stream = 0;
  bool key = false;
  std::uint32_t object = 0;  // media object number
  std::uint32_t offset = 0;  // of this piece within the object
  std::uint32_t replicatedSize = 0;
  std::uint32_t objectSize = 0;    // from the replicated data
  std::uint32_t presentation = 0;  // ms, from the replicated data
  std::vector<std::uint8_t> data;
};

struct AsfPacket {
  std::uint8_t errorCorrection = 0;  // its flags byte; 0 when there is none
  std::uint8_t lengthFlags = 0;
  std::uint8_t propertyFlags = 0;
  std::uint8_t payloadFlags = 0;  // with several payloads only
  std::uint32_t padding = 0;
  std::uint32_t sendTime = 0;
  std::uint16_t duration = 0;
  std::vector<AsfPayload> payloads;
  std::size_t end = 0;  // where the last payload ends
};

// Nothing when the bytes do not hold the packet they announce.
std::optional<AsfPacket> ParseAsfPacket(const std::uint8_t* packet, std::size_t size);
