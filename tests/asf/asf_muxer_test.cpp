#include <doctest/doctest.h>

#include <cstring>
#include <optional>

#include "asf_packet.h"
#include "asf_test_support.h"
#include "platform/asf_writer/asf_muxer.h"
#include "test_support.h"

using platform::AsfMuxer;
using platform::AsfStream;
using platform::Bytes;

namespace {

// Memory output that can be told to fail from a given size on.
class MemoryOutput : public platform::AsfOutput {
public:
  bool Append(const uint8_t* data, size_t size) override {
    if (bytes.size() + size > limit) {
      const size_t fits = limit - bytes.size();
      bytes.insert(bytes.end(), data, data + fits);  // a partial write, like a full disk
      return false;
    }
    bytes.insert(bytes.end(), data, data + size);
    return true;
  }
  bool Patch(uint64_t offset, const uint8_t* data, size_t size) override {
    if (offset + size > bytes.size()) return false;
    std::memcpy(bytes.data() + offset, data, size);
    return true;
  }
  bool Truncate(uint64_t size) override {
    bytes.resize(size);
    return true;
  }
  Bytes bytes;
  size_t limit = SIZE_MAX;
};

uint64_t Read(const Bytes& b, size_t at, int size) {
  uint64_t v = 0;
  for (int i = 0; i < size; ++i) v |= uint64_t{b.at(at + i)} << (8 * i);
  return v;
}

AsfStream VideoStream(uint32_t width, uint32_t height) {
  AsfStream stream;
  stream.width = width;
  stream.height = height;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = MAKEFOURCC('M', 'J', 'P', 'G');
  const auto* p = reinterpret_cast<const uint8_t*>(&header);
  stream.format.assign(p, p + sizeof(header));
  stream.bitRate = 1000000;
  return stream;
}

Bytes Pattern(size_t size, uint8_t seed) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

// The payloads of one packet the muxer wrote, in its fixed layout: two bytes
// of error correction, several payloads with word lengths, byte-wide stream
// and object numbers, dword offsets and 8 bytes of replicated data, then
// padding to the packet size.
std::vector<AsfPayload> ParsePacket(const Bytes& file, size_t at) {
  REQUIRE(at + AsfMuxer::kPacketSize <= file.size());
  const std::optional<AsfPacket> packet = ParseAsfPacket(file.data() + at, AsfMuxer::kPacketSize);
  REQUIRE(packet);
  CHECK(packet->errorCorrection == 0x82);
  CHECK(packet->lengthFlags == 0x11);
  CHECK(packet->propertyFlags == 0x5D);
  CHECK((packet->payloadFlags & 0xC0) == 0x80);
  for (const AsfPayload& payload : packet->payloads) CHECK(payload.replicatedSize == 8);
  CHECK(packet->end + packet->padding == AsfMuxer::kPacketSize);
  return packet->payloads;
}

const FILETIME kCreated{0x89ABCDEF, 0x01234567};

}  // namespace

TEST_CASE("ASF header layout in its broadcast form") {
  MemoryOutput out;
  AsfMuxer muxer({VideoStream(64, 48)}, true, out);
  REQUIRE(muxer.Begin());
  const Bytes& b = out.bytes;
  // Header Object GUID in Windows byte order, then 3 children, reserved 1 and 2.
  const uint8_t headerGuid[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  CHECK(std::memcmp(b.data(), headerGuid, 16) == 0);
  const size_t headerSize = Read(b, 16, 8);
  CHECK(Read(b, 24, 4) == 4);
  CHECK(b[28] == 1);
  CHECK(b[29] == 2);
  // File Properties at 30: broadcast, packet sizes, zero preroll.
  CHECK(Read(b, 30 + 16, 8) == 104);
  CHECK(Read(b, 30 + 80, 8) == 0);
  CHECK(Read(b, 30 + 88, 4) == 1);
  CHECK(Read(b, 30 + 92, 4) == AsfMuxer::kPacketSize);
  CHECK(Read(b, 30 + 96, 4) == AsfMuxer::kPacketSize);
  // Stream Properties: video, stream 1, 64x48 with a BITMAPINFOHEADER.
  const size_t stream = 30 + 104;
  CHECK(Read(b, stream + 16, 8) == 78 + 11 + 40);
  CHECK(Read(b, stream + 24, 4) == 0xBC19EFC0);
  CHECK(Read(b, stream + 64, 4) == 51);
  CHECK(Read(b, stream + 72, 2) == 1);
  CHECK(Read(b, stream + 78, 4) == 64);
  CHECK(Read(b, stream + 82, 4) == 48);
  CHECK(b[stream + 86] == 2);
  CHECK(Read(b, stream + 87, 2) == 40);
  CHECK(Read(b, stream + 89 + 16, 4) == MAKEFOURCC('M', 'J', 'P', 'G'));
  // Stream Bitrate Properties: one record, stream 1 at its rate.
  const size_t bitrates = stream + 129;
  CHECK(Read(b, bitrates, 4) == 0x7BF875CE);
  CHECK(Read(b, bitrates + 16, 8) == 32);
  CHECK(Read(b, bitrates + 24, 2) == 1);
  CHECK(Read(b, bitrates + 26, 2) == 1);
  CHECK(Read(b, bitrates + 28, 4) == 1000000);
  // Header Extension, then the Data Object with the same File ID.
  const size_t extension = bitrates + 32;
  CHECK(Read(b, extension, 4) == 0x5FBF03B5);
  CHECK(Read(b, extension + 16, 8) == 46);
  CHECK(Read(b, extension + 40, 2) == 6);
  CHECK(headerSize == extension + 46);
  CHECK(Read(b, headerSize, 4) == 0x75B22636);
  CHECK(std::memcmp(b.data() + headerSize + 24, b.data() + 30 + 24, 16) == 0);
  CHECK(Read(b, headerSize + 48, 2) == 0x0101);
  CHECK(b.size() == headerSize + 50);
  CHECK(muxer.Header() == b);
}

TEST_CASE("samples are split over fixed-size packets and finalised") {
  MemoryOutput out;
  AsfMuxer muxer({VideoStream(64, 48)}, true, out);
  REQUIRE(muxer.Begin());
  const size_t dataStart = muxer.Header().size();
  const std::vector<Bytes> samples = {Pattern(9000, 1), Pattern(100, 2), Pattern(5000, 3)};
  const uint32_t times[] = {0, 1500, 2500};
  for (size_t i = 0; i < samples.size(); ++i)
    REQUIRE(muxer.WriteSample(1, samples[i].data(), samples[i].size(), times[i], 40, true));
  REQUIRE(muxer.Finish(kCreated));

  const Bytes& b = out.bytes;
  const uint32_t packets = muxer.PacketCount();
  const size_t indexAt = dataStart + size_t{packets} * AsfMuxer::kPacketSize;
  REQUIRE(b.size() > indexAt);

  SUBCASE("payloads reassemble into the samples, with offsets, sizes, times and key flags") {
    std::vector<Bytes> rebuilt(3);
    for (uint32_t p = 0; p < packets; ++p) {
      for (const AsfPayload& payload : ParsePacket(b, dataStart + p * AsfMuxer::kPacketSize)) {
        REQUIRE(payload.object < 3);
        CHECK(payload.stream == 1);
        CHECK(payload.key);
        CHECK(payload.offset == rebuilt[payload.object].size());
        CHECK(payload.objectSize == samples[payload.object].size());
        CHECK(payload.presentation == times[payload.object]);
        rebuilt[payload.object].insert(rebuilt[payload.object].end(), payload.data.begin(), payload.data.end());
      }
    }
    CHECK(rebuilt == samples);
  }

  SUBCASE("send times never go back") {
    uint64_t last = 0;
    for (uint32_t p = 0; p < packets; ++p) {
      const uint64_t send = Read(b, dataStart + p * AsfMuxer::kPacketSize + 7, 4);
      CHECK(send >= last);
      last = send;
    }
  }

  SUBCASE("finalised header fields") {
    CHECK(Read(b, 30 + 40, 8) == b.size());
    CHECK(Read(b, 30 + 48, 8) == 0x0123456789ABCDEFull);
    CHECK(Read(b, 30 + 56, 8) == packets);
    CHECK(Read(b, 30 + 64, 8) == (2500 + 40) * 10000ull);
    CHECK(Read(b, 30 + 88, 4) == 2);  // seekable, no longer broadcast
    CHECK(Read(b, dataStart - 50 + 16, 8) == 50 + uint64_t{packets} * AsfMuxer::kPacketSize);
    CHECK(Read(b, dataStart - 50 + 40, 8) == packets);
  }

  SUBCASE("simple index points at the latest key frame of each second") {
    CHECK(Read(b, indexAt, 4) == 0x33000890);
    CHECK(Read(b, indexAt + 16, 8) == b.size() - indexAt);
    CHECK(std::memcmp(b.data() + indexAt + 24, b.data() + 30 + 24, 16) == 0);
    CHECK(Read(b, indexAt + 40, 8) == 10000000);
    REQUIRE(Read(b, indexAt + 52, 4) == 3);  // 0 s, 1 s, 2 s
    // 0 s and 1 s: the first sample (packets 0..2); 2 s: the one at 1.5 s,
    // a key frame, which opens packet 3 of its own.
    CHECK(Read(b, indexAt + 56, 4) == 0);
    CHECK(Read(b, indexAt + 60, 2) == 3);
    CHECK(Read(b, indexAt + 62, 4) == 0);
    CHECK(Read(b, indexAt + 68, 4) == 3);
    CHECK(Read(b, indexAt + 72, 2) == 1);
    CHECK(Read(b, indexAt + 48, 4) == 3);
  }
}

TEST_CASE("a live client gets every sample while it is written, the file stays the same") {
  MemoryOutput out;
  AsfMuxer muxer({VideoStream(64, 48)}, false, out);
  size_t writing = 0;
  std::vector<std::pair<Bytes, size_t>> live;  // with the sample being written
  muxer.SetPacketObserver([&](const Bytes& packet) { live.emplace_back(packet, writing); });
  REQUIRE(muxer.Begin());
  const size_t dataStart = muxer.Header().size();
  // Delta samples share packets: a packet already partly handed over grows.
  const std::vector<Bytes> samples = {Pattern(9000, 1), Pattern(100, 2), Pattern(300, 3),
                                      Pattern(5000, 4)};
  for (writing = 0; writing < samples.size(); ++writing)
    REQUIRE(muxer.WriteSample(1, samples[writing].data(), samples[writing].size(),
                              static_cast<uint32_t>(writing * 40), 40, writing == 0));
  const size_t beforeFinish = live.size();
  REQUIRE(muxer.Finish(kCreated));
  CHECK(live.size() == beforeFinish);

  std::vector<Bytes> overLive(samples.size()), inFile(samples.size());
  for (const auto& [packet, during] : live) {
    REQUIRE(packet.size() <= AsfMuxer::kPacketSize);
    const std::optional<AsfPacket> parsed = ParseAsfPacket(packet.data(), packet.size());
    REQUIRE(parsed);
    CHECK(parsed->end + parsed->padding == packet.size());
    for (const AsfPayload& payload : parsed->payloads) {
      REQUIRE(payload.object < samples.size());
      CHECK(payload.object == during);
      CHECK(payload.offset == overLive[payload.object].size());
      overLive[payload.object].insert(overLive[payload.object].end(), payload.data.begin(), payload.data.end());
    }
  }
  CHECK(overLive == samples);
  for (uint32_t p = 0; p < muxer.PacketCount(); ++p)
    for (const AsfPayload& payload : ParsePacket(out.bytes, dataStart + p * AsfMuxer::kPacketSize))
      inFile[payload.object].insert(inFile[payload.object].end(), payload.data.begin(), payload.data.end());
  CHECK(inFile == samples);
  CHECK(muxer.PacketCount() == 4);  // no packet closed early for the live client
}

TEST_CASE("a failing output keeps whole packets and a readable file") {
  MemoryOutput out;
  AsfMuxer muxer({VideoStream(64, 48)}, true, out);
  REQUIRE(muxer.Begin());
  const size_t dataStart = out.bytes.size();
  out.limit = dataStart + 2 * AsfMuxer::kPacketSize + 100;
  const Bytes sample = Pattern(3000, 9);
  bool ok = true;
  int written = 0;
  while (ok && written < 10) {
    ok = muxer.WriteSample(1, sample.data(), sample.size(), written * 40, 40, true);
    if (ok) ++written;
  }
  CHECK_FALSE(ok);
  CHECK(muxer.Failed());
  CHECK(out.bytes.size() == dataStart + 2 * AsfMuxer::kPacketSize);
  CHECK_FALSE(muxer.WriteSample(1, sample.data(), sample.size(), 1000, 40, true));

  CHECK_FALSE(muxer.Finish(kCreated));  // reported, but the header is still patched
  CHECK(Read(out.bytes, 30 + 56, 8) == 2);
  CHECK(Read(out.bytes, 30 + 40, 8) == out.bytes.size());
  CHECK(Read(out.bytes, 30 + 88, 4) == 0);  // no index written, not broadcast
  CHECK(out.bytes.size() == dataStart + 2 * AsfMuxer::kPacketSize);
}

TEST_CASE("ffmpeg reads a muxed file frame for frame") {
  const std::wstring folder = MakeTempFolder(L"asfmux");
  const std::wstring name = folder + L"\\raw.asf";
  {
    HRESULT hr = E_FAIL;
    auto file = platform::AsfFileOutput::Create(name, true, &hr);
    REQUIRE(file);
    // Uncompressed bottom-up RGB: ffmpeg's decode must match byte for byte.
    AsfStream stream = VideoStream(32, 16);
    auto* header = reinterpret_cast<BITMAPINFOHEADER*>(stream.format.data());
    header->biCompression = BI_RGB;
    AsfMuxer muxer({stream}, true, *file);
    REQUIRE(muxer.Begin());
    for (int i = 0; i < 25; ++i) {
      const std::vector<uint8_t> frame = TestFrameRGB24(32, 16, i);
      REQUIRE(muxer.WriteSample(1, frame.data(), frame.size(), i * 40, 40, true));
    }
    REQUIRE(muxer.Finish(kCreated));
  }
  const ProbedStream probed = ProbeFile(name);
  CHECK(probed.format == "asf");
  CHECK(probed.streams == 1);
  CHECK(probed.width == 32);
  CHECK(probed.height == 16);
  CHECK(probed.frames == 25);
  CHECK(probed.duration == doctest::Approx(1.0).epsilon(0.05));
  CHECK(DecodeFrames(HostPath(name)) == 25);
  RemoveTree(folder);
}
