#include "platform/asf_writer/asf_muxer.h"

#include <objbase.h>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

constexpr GUID kHeaderObject = {0x75b22630, 0x668e, 0x11cf, {0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c}};
constexpr GUID kDataObject = {0x75b22636, 0x668e, 0x11cf, {0xa6, 0xd9, 0x00, 0xaa, 0x00, 0x62, 0xce, 0x6c}};
constexpr GUID kSimpleIndexObject = {0x33000890, 0xe5b1, 0x11cf, {0x89, 0xf4, 0x00, 0xa0, 0xc9, 0x03, 0x49, 0xcb}};
constexpr GUID kFilePropertiesObject = {0x8cabdca1, 0xa947, 0x11cf, {0x8e, 0xe4, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65}};
constexpr GUID kStreamPropertiesObject = {0xb7dc0791, 0xa9b7, 0x11cf, {0x8e, 0xe6, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65}};
constexpr GUID kStreamBitrateObject = {0x7bf875ce, 0x468d, 0x11d1, {0x8d, 0x82, 0x00, 0x60, 0x97, 0xc9, 0xa2, 0xb2}};
constexpr GUID kHeaderExtensionObject = {0x5fbf03b5, 0xa92e, 0x11cf, {0x8e, 0xe3, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65}};
constexpr GUID kReserved1 = {0xabd3d211, 0xa9ba, 0x11cf, {0x8e, 0xe6, 0x00, 0xc0, 0x0c, 0x20, 0x53, 0x65}};
constexpr GUID kVideoMedia = {0xbc19efc0, 0x5b4d, 0x11cf, {0xa8, 0xfd, 0x00, 0x80, 0x5f, 0x5c, 0x44, 0x2b}};
constexpr GUID kAudioMedia = {0xf8699e40, 0x5b4d, 0x11cf, {0xa8, 0xfd, 0x00, 0x80, 0x5f, 0x5c, 0x44, 0x2b}};
constexpr GUID kNoErrorCorrection = {0x20fb5700, 0x5b55, 0x11cf, {0xa8, 0xfd, 0x00, 0x80, 0x5f, 0x5c, 0x44, 0x2b}};

constexpr uint32_t kBroadcastFlag = 0x1;
constexpr uint32_t kSeekableFlag = 0x2;
constexpr size_t kDataObjectFixedSize = 50;
// Error correction (3) + length type and property flags (2) + padding
// length (2) + send time (4) + duration (2) + payload flags (1).
constexpr size_t kPacketHeaderSize = 14;
// A live packet adds an explicit packet length (2) to that header.
constexpr size_t kLivePacketHeaderSize = kPacketHeaderSize + 2;
// Stream, object number, offset, replicated length, replicated data
// (object size, presentation time), payload length.
constexpr size_t kPayloadHeaderSize = 1 + 1 + 4 + 1 + 8 + 2;
constexpr uint8_t kMaxPayloads = 63;

class ByteWriter {
public:
  explicit ByteWriter(Bytes& out) : out_(out) {}
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) { Put(v, 2); }
  void U32(uint32_t v) { Put(v, 4); }
  void U64(uint64_t v) { Put(v, 8); }
  void Guid(const GUID& g) {
    U32(g.Data1);
    U16(g.Data2);
    U16(g.Data3);
    out_.insert(out_.end(), g.Data4, g.Data4 + 8);
  }
  void Raw(const Bytes& bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }

private:
  void Put(uint64_t v, int size) {
    for (int i = 0; i < size; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  Bytes& out_;
};

void PutLE(uint8_t* at, uint64_t v, int size) {
  for (int i = 0; i < size; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

Bytes LE(uint64_t v, int size) {
  Bytes bytes(size);
  PutLE(bytes.data(), v, size);
  return bytes;
}

}  // namespace

// ---------------------------------------------------------------------------
// AsfFileOutput

std::unique_ptr<AsfFileOutput> AsfFileOutput::Create(const std::wstring& name, bool overwrite,
                                                     HRESULT* error) {
  HANDLE file = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            overwrite ? CREATE_ALWAYS : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    if (error) *error = HRESULT_FROM_WIN32(GetLastError());
    return nullptr;
  }
  if (error) *error = S_OK;
  return std::unique_ptr<AsfFileOutput>(new AsfFileOutput(file));
}

AsfFileOutput::~AsfFileOutput() { CloseHandle(file_); }

bool AsfFileOutput::WriteAt(uint64_t offset, const uint8_t* data, size_t size) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) return false;
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1 << 20));
    if (!WriteFile(file_, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    size -= written;
  }
  return true;
}

bool AsfFileOutput::Append(const uint8_t* data, size_t size) {
  if (!WriteAt(end_, data, size)) return false;
  end_ += size;
  return true;
}

bool AsfFileOutput::Patch(uint64_t offset, const uint8_t* data, size_t size) {
  return offset + size <= end_ && WriteAt(offset, data, size);
}

bool AsfFileOutput::Truncate(uint64_t size) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) || !SetEndOfFile(file_)) return false;
  end_ = size;
  return true;
}

// ---------------------------------------------------------------------------
// AsfMuxer

AsfMuxer::AsfMuxer(std::vector<AsfStream> streams, bool index, AsfOutput& output)
    : index_(index), output_(output), packet_(kPacketSize) {
  for (AsfStream& stream : streams) streams_.push_back(StreamState{std::move(stream), 0, {}});
  (void)CoCreateGuid(&fileId_);  // a zero File ID is still a valid file
}

Bytes AsfMuxer::BuildHeader() const {
  Bytes children;
  ByteWriter w(children);
  uint32_t maxBitRate = 0;
  for (const StreamState& s : streams_) maxBitRate += s.format.bitRate;

  // File Properties, in its broadcast form: sizes, counts and durations are
  // patched by Finish.
  w.Guid(kFilePropertiesObject);
  w.U64(104);
  w.Guid(fileId_);
  w.U64(0);  // file size
  w.U64(0);  // creation date
  w.U64(0);  // data packets
  w.U64(0);  // play duration
  w.U64(0);  // send duration
  w.U64(prerollMs_);  // 0 for a recording's first file: index and presentation times agree
  w.U32(kBroadcastFlag);
  w.U32(kPacketSize);
  w.U32(kPacketSize);
  w.U32(maxBitRate);

  uint16_t number = 1;
  for (const StreamState& s : streams_) {
    const bool video = s.format.kind == AsfStream::Kind::Video;
    const uint32_t typeSize =
        static_cast<uint32_t>(s.format.format.size()) + (video ? 11 : 0);
    w.Guid(kStreamPropertiesObject);
    w.U64(78 + typeSize);
    w.Guid(video ? kVideoMedia : kAudioMedia);
    w.Guid(kNoErrorCorrection);
    w.U64(0);  // time offset
    w.U32(typeSize);
    w.U32(0);  // error correction data
    w.U16(number++);
    w.U32(0);
    if (video) {
      w.U32(s.format.width);
      w.U32(s.format.height);
      w.U8(0x02);
      w.U16(static_cast<uint16_t>(s.format.format.size()));
    }
    w.Raw(s.format.format);
  }

  // Each stream's real rate, for readers that take it from the header.
  w.Guid(kStreamBitrateObject);
  w.U64(26 + 6 * streams_.size());
  w.U16(static_cast<uint16_t>(streams_.size()));
  number = 1;
  for (const StreamState& s : streams_) {
    w.U16(number++);
    w.U32(s.format.bitRate);
  }

  w.Guid(kHeaderExtensionObject);
  w.U64(46);
  w.Guid(kReserved1);
  w.U16(6);
  w.U32(0);

  Bytes header;
  ByteWriter h(header);
  h.Guid(kHeaderObject);
  h.U64(30 + children.size());
  h.U32(static_cast<uint32_t>(streams_.size()) + 3);
  h.U8(0x01);
  h.U8(0x02);
  h.Raw(children);

  h.Guid(kDataObject);
  h.U64(0);  // unknown until Finish
  h.Guid(fileId_);
  h.U64(0);
  h.U16(0x0101);
  return header;
}

std::unique_ptr<AsfMuxer> AsfMuxer::Next(AsfOutput& output, uint32_t startMs) const {
  std::vector<AsfStream> streams;
  for (const StreamState& s : streams_) streams.push_back(s.format);
  auto next = std::make_unique<AsfMuxer>(std::move(streams), index_, output);
  for (size_t i = 0; i < streams_.size(); ++i) next->streams_[i].objectNumber = streams_[i].objectNumber;
  next->observer_ = observer_;
  next->lastSendTimeMs_ = lastSendTimeMs_;
  next->endTimeMs_ = startMs;
  next->prerollMs_ = startMs;
  return next;
}

bool AsfMuxer::Begin() {
  header_ = BuildHeader();
  begun_ = true;
  if (!output_.Append(header_.data(), header_.size())) {
    failed_ = true;
    return false;
  }
  written_ = header_.size();
  return true;
}

void AsfMuxer::StartPacket(uint32_t sendTimeMs) {
  std::fill(packet_.begin(), packet_.end(), 0);
  // Send times must never go back, even when streams interleave unevenly.
  lastSendTimeMs_ = std::max(lastSendTimeMs_, sendTimeMs);
  uint8_t* p = packet_.data();
  p[0] = 0x82;  // error correction present, 2 bytes of it
  p[3] = 0x11;  // several payloads, padding length as WORD
  p[4] = 0x5D;  // replicated BYTE, offset DWORD, object number BYTE, stream BYTE
  PutLE(p + 7, lastSendTimeMs_, 4);
  packetUsed_ = kPacketHeaderSize;
  payloadCount_ = 0;
  observedUsed_ = kPacketHeaderSize;
  observedCount_ = 0;
}

bool AsfMuxer::FlushPacket() {
  if (payloadCount_ == 0) return true;
  uint8_t* p = packet_.data();
  PutLE(p + 5, kPacketSize - packetUsed_, 2);
  p[13] = static_cast<uint8_t>(0x80 | payloadCount_);  // payload lengths as WORD
  if (!Emit(packet_.data(), packet_.size())) return false;
  ++packetCount_;
  ObserveRest(true);
  payloadCount_ = 0;
  return true;
}

void AsfMuxer::ObserveRest(bool whole) {
  if (!observer_ || observedCount_ == payloadCount_) return;
  if (whole && observedCount_ == 0) {
    observer_(packet_);
  } else {
    // Same header as the file's packet, with Packet Length (WORD) present
    // and the padding length 0: the client needs no padding bytes.
    const size_t payloadBytes = packetUsed_ - observedUsed_;
    live_.resize(kLivePacketHeaderSize + payloadBytes);
    uint8_t* p = live_.data();
    std::memcpy(p, packet_.data(), 5);  // error correction, property flags
    p[3] = 0x51;  // several payloads, padding length WORD, packet length WORD
    PutLE(p + 5, live_.size(), 2);
    PutLE(p + 7, 0, 2);
    std::memcpy(p + 9, packet_.data() + 7, 6);  // send time, duration
    p[15] = static_cast<uint8_t>(0x80 | (payloadCount_ - observedCount_));
    std::memcpy(p + kLivePacketHeaderSize, packet_.data() + observedUsed_, payloadBytes);
    observer_(live_);
  }
  observedUsed_ = packetUsed_;
  observedCount_ = payloadCount_;
}

bool AsfMuxer::Emit(const uint8_t* data, size_t size) {
  if (failed_) return false;
  if (!output_.Append(data, size)) {
    failed_ = true;
    // Keep the file whole: drop a partly written packet.
    (void)output_.Truncate(written_);  // if even this fails, nothing more can be done
    return false;
  }
  written_ += size;
  return true;
}

bool AsfMuxer::WriteSample(uint16_t stream, const uint8_t* data, size_t size, uint32_t timeMs,
                           uint32_t durationMs, bool keyFrame) {
  if (failed_ || !begun_ || stream == 0 || stream > streams_.size() || size == 0 ||
      size > UINT32_MAX)
    return false;
  StreamState& state = streams_[stream - 1];
  const uint8_t objectNumber = state.objectNumber++;
  endTimeMs_ = std::max(endTimeMs_, timeMs + durationMs);

  // A key frame opens a packet of its own, so a seek through the index or a
  // live client joining there starts with it, not with the tail of a frame
  // that depends on pictures the reader never saw.
  if (keyFrame && payloadCount_ > 0 && !FlushPacket()) return false;
  uint32_t firstPacket = packetCount_;
  size_t offset = 0;
  while (offset < size) {
    if (payloadCount_ == 0) StartPacket(timeMs);
    const size_t room = kPacketSize - packetUsed_;
    if (room < kPayloadHeaderSize + 1 || payloadCount_ == kMaxPayloads) {
      if (!FlushPacket()) return false;
      continue;
    }
    if (offset == 0) firstPacket = packetCount_;
    const size_t chunk = std::min(size - offset, room - kPayloadHeaderSize);
    uint8_t* p = packet_.data() + packetUsed_;
    p[0] = static_cast<uint8_t>((keyFrame ? 0x80 : 0) | stream);
    p[1] = objectNumber;
    PutLE(p + 2, offset, 4);
    p[6] = 8;
    PutLE(p + 7, size, 4);
    PutLE(p + 11, timeMs, 4);
    PutLE(p + 15, chunk, 2);
    std::memcpy(p + kPayloadHeaderSize, data + offset, chunk);
    packetUsed_ += kPayloadHeaderSize + chunk;
    ++payloadCount_;
    offset += chunk;
  }
  if (keyFrame && index_ && state.format.kind == AsfStream::Kind::Video)
    state.keyObjects.push_back(IndexedObject{timeMs, firstPacket, packetCount_});
  // A packet with no room for another payload goes out whole now rather
  // than at the next sample; a live packet of it would outgrow the size.
  if (kPacketSize - packetUsed_ < kPayloadHeaderSize + 1) return FlushPacket();
  ObserveRest(false);
  return true;
}

Bytes AsfMuxer::BuildIndex(const StreamState& stream) const {
  std::vector<std::pair<uint32_t, uint16_t>> entries;
  const uint32_t entryCount = endTimeMs_ / 1000 + 1;
  size_t latest = 0;
  for (uint32_t i = 0; i < entryCount && !stream.keyObjects.empty(); ++i) {
    const uint64_t timeMs = uint64_t{i} * (kIndexInterval / 10000);
    while (latest + 1 < stream.keyObjects.size() && stream.keyObjects[latest + 1].timeMs <= timeMs)
      ++latest;
    const IndexedObject& object = stream.keyObjects[latest];
    const uint32_t count = object.lastPacket - object.firstPacket + 1;
    entries.emplace_back(object.firstPacket, static_cast<uint16_t>(std::min<uint32_t>(count, 0xFFFF)));
  }
  uint32_t maxCount = 0;
  for (const auto& entry : entries) maxCount = std::max<uint32_t>(maxCount, entry.second);

  Bytes index;
  ByteWriter w(index);
  w.Guid(kSimpleIndexObject);
  w.U64(56 + 6 * entries.size());
  w.Guid(fileId_);
  w.U64(kIndexInterval);
  w.U32(maxCount);
  w.U32(static_cast<uint32_t>(entries.size()));
  for (const auto& entry : entries) {
    w.U32(entry.first);
    w.U16(entry.second);
  }
  return index;
}

bool AsfMuxer::Finish(const FILETIME& created) {
  if (!begun_) return false;
  if (!failed_) (void)FlushPacket();  // a failure is recorded in failed_
  if (written_ < header_.size()) return false;  // not even the header made it

  const uint64_t dataEnd = written_;
  bool indexed = false;
  if (index_ && !failed_) {
    indexed = true;
    for (const StreamState& stream : streams_) {
      if (stream.format.kind != AsfStream::Kind::Video || stream.keyObjects.empty()) continue;
      const Bytes index = BuildIndex(stream);
      if (!output_.Append(index.data(), index.size())) {
        (void)output_.Truncate(dataEnd);  // an unindexed file is still complete
        indexed = false;
        break;
      }
      written_ += index.size();
    }
    if (!indexed) written_ = dataEnd;
  }

  const uint64_t fileProps = 30;
  const uint64_t dataObject = header_.size() - kDataObjectFixedSize;
  const uint64_t createdTime = (uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
  const uint32_t flags = indexed ? kSeekableFlag : 0;
  bool ok = output_.Patch(fileProps + 40, LE(written_, 8).data(), 8) &&
            output_.Patch(fileProps + 48, LE(createdTime, 8).data(), 8) &&
            output_.Patch(fileProps + 56, LE(packetCount_, 8).data(), 8) &&
            output_.Patch(fileProps + 64, LE(uint64_t{endTimeMs_} * 10000, 8).data(), 8) &&
            output_.Patch(fileProps + 72, LE(uint64_t{lastSendTimeMs_} * 10000, 8).data(), 8) &&
            output_.Patch(fileProps + 88, LE(flags, 4).data(), 4) &&
            output_.Patch(dataObject + 16,
                          LE(kDataObjectFixedSize + uint64_t{packetCount_} * kPacketSize, 8).data(), 8) &&
            output_.Patch(dataObject + 40, LE(packetCount_, 8).data(), 8);
  return ok && !failed_;
}

}  // namespace platform
