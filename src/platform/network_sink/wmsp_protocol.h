#pragma once
// The wire side of live serving over HTTP in MS-WMSP framing: request
// recognition, the $H/$D/$E frames and finding where a client may start.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct WmspRequest {
  bool valid = false;  // a well-formed GET request line
  bool play = false;   // "Pragma: xPlayStrm=1": stream data; otherwise describe only
};

constexpr size_t kMaxRequestSize = 8192;

// Length of the request head (through the blank line) when `received`
// holds a whole one, else 0.
size_t RequestHeadLength(std::string_view received);
// Tolerates unknown and malformed header lines (ffmpeg sends one).
WmspRequest ParseWmspRequest(std::string_view head);

// Framed ASF header: one or more $H chunks (only a header of at most
// 65,527 bytes fits one chunk).
std::vector<uint8_t> FrameWmspHeader(const std::vector<uint8_t>& header);
// One $D chunk carrying a whole ASF data packet; empty when too large.
std::vector<uint8_t> FrameWmspData(const uint8_t* packet, size_t size, uint32_t number);
// The $E chunk: the stream has ended.
std::vector<uint8_t> FrameWmspEnd();

// True when the ASF data packet holds the start of a key frame, where a
// client joining late can begin.
bool AsfPacketStartsKeyFrame(const uint8_t* packet, size_t size);

}  // namespace platform
