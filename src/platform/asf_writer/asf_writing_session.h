#pragma once
// One recording of the built-in ASF writer filter: the file, the muxer and
// the encoder thread, fed from the streaming threads through a bounded
// queue. A full queue drops the frame (and counts it) instead of waiting,
// so capture never stalls on encoding or on the disk.
#include <windows.h>
#include <strmif.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/asf_writer/asf_muxer.h"
#include "platform/asf_writer/h264_encoder.h"
#include "platform/asf_writer/picture_converter.h"

namespace platform {

class AsfSinkList;

// One input pin's stream as the session writes it.
struct AsfInput {
  AsfStream stream;         // format block as written into the file
  bool encode = false;      // camera video, encoded to H.264 at stream.bitRate
  RawVideoFormat raw;       // the raw layout, when encoding
  int64_t frameDuration = 0;  // 100 ns; for samples without a stop time
};

struct AsfSessionSettings {
  std::vector<AsfInput> inputs;
  bool index = true;
};

class AsfWritingSession {
public:
  static constexpr size_t kQueueCapacity = 8;

  // Graph events raised from the encoder thread (EC_COMPLETE, EC_ERRORABORT).
  using EventCallback = std::function<void(long code, LONG_PTR param)>;

  struct Counters {
    uint64_t delivered = 0;  // samples handed to Deliver
    uint64_t dropped = 0;    // of those, dropped because the queue was full
    uint64_t written = 0;    // samples that reached the muxer
    uint64_t rejected = 0;   // short, corrupt or unencodable samples
    uint64_t files = 1;      // files written, the first one included
  };

  // Writes the header and starts the encoder thread. E_H264_PICTURE_REFUSED
  // when an input's picture cannot be encoded.
  static HRESULT Start(const AsfSessionSettings& settings, std::unique_ptr<AsfOutput> output,
                       std::shared_ptr<AsfSinkList> sinks, EventCallback events,
                       std::unique_ptr<AsfWritingSession>* session);
  ~AsfWritingSession();

  // Thread: a streaming thread. Never blocks on the encoder.
  void Deliver(size_t input, const uint8_t* data, size_t size, REFERENCE_TIME start,
               REFERENCE_TIME stop, bool hasStart, bool hasStop);
  // Thread: a streaming thread; EC_COMPLETE follows once the queue is written.
  void EndOfStream();
  // Drains the queue, stops the thread, finalises the file and tells the
  // sinks writing ended. Idempotent.
  void Finish();

  // The recording goes on in `output` (the file `name`, just created) from
  // the next video picture on, which is encoded as an IDR; the current file
  // ends with the picture before it and is finalised as at Finish. The live
  // sinks see no break. Refused (false, and `name` removed) while an
  // earlier switch still waits for its picture or after a failure; a
  // recording that finishes before that picture removes `name` too.
  // Thread: any but the encoder thread.
  bool SwitchOutput(std::unique_ptr<AsfOutput> output, const std::wstring& name);

  Counters Stats() const;
  bool Failed() const;

private:
  struct Item {
    bool end = false;
    size_t input = 0;
    uint32_t timeMs = 0;
    uint32_t durationMs = 0;
    std::vector<uint8_t> data;
  };

  AsfWritingSession(const AsfSessionSettings& settings, std::unique_ptr<AsfOutput> output,
                    std::shared_ptr<AsfSinkList> sinks, EventCallback events);
  // Thread: the encoder thread.
  void Run();
  void Write(Item& item);
  // Finalises the current file and begins the waiting one at `startMs`.
  void Switch(uint32_t startMs);

  AsfSessionSettings settings_;
  std::unique_ptr<AsfOutput> output_;
  std::shared_ptr<AsfSinkList> sinks_;
  EventCallback events_;
  std::unique_ptr<AsfMuxer> muxer_;
  struct Encoding {
    PictureConverter converter;
    std::unique_ptr<H264Encoder> encoder;
  };
  std::vector<std::unique_ptr<Encoding>> encoders_;  // null for inputs written as they come
  std::vector<uint8_t> picture_;
  std::vector<uint8_t> accessUnit_;

  mutable std::mutex lock_;
  std::condition_variable wake_;
  std::deque<Item> queue_;
  std::vector<std::vector<uint8_t>> spare_;
  std::vector<int64_t> nextStart_;  // per input, for samples without times
  std::unique_ptr<AsfOutput> nextOutput_;  // a switch waiting for its picture
  std::wstring nextName_;
  bool stopping_ = false;
  bool failed_ = false;
  bool finished_ = false;
  Counters counters_;
  std::thread thread_;
};

}  // namespace platform
