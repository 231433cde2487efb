#pragma once
// Writes ASF: a header with file and stream properties, fixed-size data
// packets carrying several payloads each, and a simple index; on Finish
// the header is patched with the final sizes, counts and durations. The
// header is first written in its "broadcast" form (sizes unknown), so a
// file cut short is still readable, and the same bytes start a live stream.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

using Bytes = std::vector<uint8_t>;

// Where the muxer's bytes go.
class AsfOutput {
public:
  virtual ~AsfOutput() = default;
  virtual bool Append(const uint8_t* data, size_t size) = 0;
  virtual bool Patch(uint64_t offset, const uint8_t* data, size_t size) = 0;
  // Cuts the output back to `size` bytes (after a failed append).
  virtual bool Truncate(uint64_t size) = 0;
};

class AsfFileOutput : public AsfOutput {
public:
  // Creates the file; `overwrite` false refuses an existing one.
  static std::unique_ptr<AsfFileOutput> Create(const std::wstring& name, bool overwrite,
                                               HRESULT* error);
  ~AsfFileOutput() override;
  bool Append(const uint8_t* data, size_t size) override;
  bool Patch(uint64_t offset, const uint8_t* data, size_t size) override;
  bool Truncate(uint64_t size) override;

private:
  explicit AsfFileOutput(HANDLE file) : file_(file) {}
  bool WriteAt(uint64_t offset, const uint8_t* data, size_t size);
  HANDLE file_;
  uint64_t end_ = 0;
};

struct AsfStream {
  enum class Kind { Video, Audio };
  Kind kind = Kind::Video;
  uint32_t width = 0;   // video only
  uint32_t height = 0;  // video only
  // BITMAPINFOHEADER (video) or WAVEFORMATEX (audio), with any extra bytes.
  Bytes format;
  uint32_t bitRate = 0;  // bits per second, an estimate
};

class AsfMuxer {
public:
  static constexpr uint32_t kPacketSize = 4096;
  static constexpr uint64_t kIndexInterval = 10000000;  // 1 s in 100 ns

  // Called with the live stream's packets: every payload is handed over by
  // the time WriteSample returns, so a client never waits for a packet to
  // fill. A packet the file gets whole goes out as it is; the payloads
  // that end a sample in a packet still filling go out at once in a
  // shorter packet of their own with an explicit length and no padding.
  using PacketObserver = std::function<void(const Bytes& packet)>;

  AsfMuxer(std::vector<AsfStream> streams, bool index, AsfOutput& output);

  void SetPacketObserver(PacketObserver observer) { observer_ = std::move(observer); }

  // The muxer of the file that continues this one's recording in `output`
  // from `startMs` on: the same streams and observer, with object numbers
  // and send times going on, so a live stream fed from both sees one
  // stream. Its preroll is `startMs`, so players count the file's time
  // from its own start while the presentation times go on unchanged.
  std::unique_ptr<AsfMuxer> Next(AsfOutput& output, uint32_t startMs) const;

  // Writes the header; false when the output failed.
  bool Begin();
  // The header object and the data object's fixed part, as written by Begin.
  const Bytes& Header() const { return header_; }

  // One media object of stream `stream` (1-based), presentation time in ms.
  // False once the output has failed; everything up to the last complete
  // packet stays in the file.
  bool WriteSample(uint16_t stream, const uint8_t* data, size_t size, uint32_t timeMs,
                   uint32_t durationMs, bool keyFrame);

  // Flushes the last packet, appends the index and patches the header.
  bool Finish(const FILETIME& created);

  uint32_t PacketCount() const { return packetCount_; }
  bool Failed() const { return failed_; }

  // Offsets of the fields Finish patches, from the start of the output.
  static constexpr uint64_t kFileSizeOffset = 30 + 40;
  static constexpr uint64_t kFlagsOffset = 30 + 88;

private:
  struct IndexedObject {
    uint32_t timeMs;
    uint32_t firstPacket;
    uint32_t lastPacket;
  };
  struct StreamState {
    AsfStream format;
    uint8_t objectNumber = 0;
    std::vector<IndexedObject> keyObjects;
  };

  Bytes BuildHeader() const;
  Bytes BuildIndex(const StreamState& stream) const;
  void StartPacket(uint32_t sendTimeMs);
  bool FlushPacket();
  // Hands the observer the payloads of the packet not yet handed over.
  void ObserveRest(bool whole);
  bool Emit(const uint8_t* data, size_t size);

  std::vector<StreamState> streams_;
  bool index_;
  AsfOutput& output_;
  PacketObserver observer_;
  GUID fileId_{};
  Bytes header_;
  uint64_t written_ = 0;  // bytes safely in the output
  bool failed_ = false;
  bool begun_ = false;

  Bytes packet_;
  size_t packetUsed_ = 0;
  uint8_t payloadCount_ = 0;
  // Where the payloads not yet handed to the observer start, and how many.
  size_t observedUsed_ = 0;
  uint8_t observedCount_ = 0;
  Bytes live_;
  uint32_t packetCount_ = 0;
  uint32_t lastSendTimeMs_ = 0;
  uint32_t endTimeMs_ = 0;
  uint32_t prerollMs_ = 0;
};

}  // namespace platform
