#include "platform/asf_writer/asf_writing_session.h"

#include <algorithm>

#include "platform/asf_writer/asf_writer_advanced.h"

namespace platform {

AsfWritingSession::AsfWritingSession(const AsfSessionSettings& settings,
                                     std::unique_ptr<AsfOutput> output,
                                     std::shared_ptr<AsfSinkList> sinks, EventCallback events)
    : settings_(settings), output_(std::move(output)), sinks_(std::move(sinks)),
      events_(std::move(events)), nextStart_(settings.inputs.size(), 0) {
  std::vector<AsfStream> streams;
  for (const AsfInput& input : settings_.inputs) {
    streams.push_back(input.stream);
    std::unique_ptr<Encoding> encoding;
    if (input.encode) {
      H264Settings h264{input.raw.width, input.raw.height, input.frameDuration, input.stream.bitRate};
      if (std::unique_ptr<H264Encoder> encoder = H264Encoder::Create(h264))
        encoding.reset(new Encoding{PictureConverter(input.raw), std::move(encoder)});
    }
    encoders_.push_back(std::move(encoding));
  }
  muxer_ = std::make_unique<AsfMuxer>(std::move(streams), settings_.index, *output_);
  if (sinks_)
    muxer_->SetPacketObserver([this](const Bytes& packet) { sinks_->Deliver(packet); });
}

HRESULT AsfWritingSession::Start(const AsfSessionSettings& settings,
                                 std::unique_ptr<AsfOutput> output,
                                 std::shared_ptr<AsfSinkList> sinks, EventCallback events,
                                 std::unique_ptr<AsfWritingSession>* session) {
  if (!session || !output || settings.inputs.empty()) return E_INVALIDARG;
  for (const AsfInput& input : settings.inputs)
    if (input.encode && !H264AcceptsPicture(input.raw.width, input.raw.height, input.frameDuration))
      return E_H264_PICTURE_REFUSED;
  std::unique_ptr<AsfWritingSession> made(
      new AsfWritingSession(settings, std::move(output), std::move(sinks), std::move(events)));
  for (size_t i = 0; i < settings.inputs.size(); ++i)
    if (settings.inputs[i].encode && !made->encoders_[i]) return E_FAIL;  // the library did not start
  if (!made->muxer_->Begin()) return HRESULT_FROM_WIN32(ERROR_WRITE_FAULT);
  if (made->sinks_) made->sinks_->BeginWriting(made->muxer_->Header());
  made->thread_ = std::thread([raw = made.get()] { raw->Run(); });
  *session = std::move(made);
  return S_OK;
}

AsfWritingSession::~AsfWritingSession() { Finish(); }

void AsfWritingSession::Deliver(size_t input, const uint8_t* data, size_t size,
                                REFERENCE_TIME start, REFERENCE_TIME stop, bool hasStart,
                                bool hasStop) {
  if (input >= settings_.inputs.size() || !data || size == 0) return;
  const AsfInput& in = settings_.inputs[input];
  std::lock_guard lock(lock_);
  ++counters_.delivered;
  if (stopping_ || failed_) return;
  if (in.encode && size < in.raw.frameSize) {
    ++counters_.rejected;
    return;
  }
  if (!hasStart) start = nextStart_[input];
  if (!hasStop || stop < start) stop = start + in.frameDuration;
  nextStart_[input] = stop;
  if (queue_.size() >= kQueueCapacity) {
    ++counters_.dropped;
    return;
  }
  Item item;
  item.input = input;
  item.timeMs = static_cast<uint32_t>(std::max<REFERENCE_TIME>(start, 0) / 10000);
  item.durationMs = static_cast<uint32_t>(std::max<REFERENCE_TIME>(stop - start, 0) / 10000);
  if (!spare_.empty()) {
    item.data = std::move(spare_.back());
    spare_.pop_back();
  }
  const size_t keep = in.encode && in.raw.frameSize ? in.raw.frameSize : size;
  item.data.assign(data, data + keep);
  queue_.push_back(std::move(item));
  wake_.notify_one();
}

void AsfWritingSession::EndOfStream() {
  std::lock_guard lock(lock_);
  if (stopping_) return;
  Item item;
  item.end = true;
  queue_.push_back(std::move(item));
  wake_.notify_one();
}

void AsfWritingSession::Run() {
  std::unique_lock lock(lock_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) break;  // stopping and drained
    Item item = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    if (item.end) {
      if (events_) events_(EC_COMPLETE, S_OK);
    } else {
      Write(item);
    }
    lock.lock();
    if (!item.end) spare_.push_back(std::move(item.data));
  }
}

void AsfWritingSession::Write(Item& item) {
  bool switching = false;
  if (settings_.inputs[item.input].stream.kind == AsfStream::Kind::Video) {
    std::lock_guard lock(lock_);
    switching = nextOutput_ != nullptr;
  }
  const std::vector<uint8_t>* payload = &item.data;
  bool key = true;
  if (Encoding* encoding = encoders_[item.input].get()) {
    if (switching) encoding->encoder->ForceIdr();
    if (!encoding->converter.Convert(item.data.data(), item.data.size(), picture_) ||
        !encoding->encoder->Encode(picture_.data(), item.timeMs, accessUnit_, &key)) {
      std::lock_guard lock(lock_);
      ++counters_.rejected;
      return;
    }
    if (accessUnit_.empty()) return;  // the encoder skipped the picture
    payload = &accessUnit_;
  }
  if (switching && key) Switch(item.timeMs);
  const bool ok = muxer_->WriteSample(static_cast<uint16_t>(item.input + 1), payload->data(),
                                      payload->size(), item.timeMs, item.durationMs, key);
  bool reportFailure = false;
  {
    std::lock_guard lock(lock_);
    if (ok) {
      ++counters_.written;
    } else if (muxer_->Failed() && !failed_) {
      failed_ = true;
      reportFailure = true;
      queue_.clear();
    }
  }
  // The file keeps everything up to the last whole packet; the graph hears
  // of the failure and the streaming threads see S_FALSE from now on.
  if (reportFailure && events_) events_(EC_ERRORABORT, HRESULT_FROM_WIN32(ERROR_WRITE_FAULT));
}

void AsfWritingSession::Switch(uint32_t startMs) {
  std::unique_ptr<AsfOutput> output;
  {
    std::lock_guard lock(lock_);
    output = std::move(nextOutput_);
    nextName_.clear();
    ++counters_.files;
  }
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  (void)muxer_->Finish(now);  // a failed write was reported when it happened
  muxer_ = muxer_->Next(*output, startMs);
  output_ = std::move(output);  // closes the finished file
  // A header that cannot be written fails the sample that follows, which
  // reports the failure like any other.
  (void)muxer_->Begin();
}

bool AsfWritingSession::SwitchOutput(std::unique_ptr<AsfOutput> output, const std::wstring& name) {
  {
    std::lock_guard lock(lock_);
    if (output && !nextOutput_ && !finished_ && !failed_) {
      nextOutput_ = std::move(output);
      nextName_ = name;
      return true;
    }
  }
  output.reset();
  (void)DeleteFileW(name.c_str());  // an empty file that never became a recording
  return false;
}

void AsfWritingSession::Finish() {
  {
    std::lock_guard lock(lock_);
    if (finished_) return;
    finished_ = true;
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  (void)muxer_->Finish(now);  // a failed write was reported when it happened
  if (sinks_) sinks_->EndWriting();
  if (nextOutput_) {
    nextOutput_.reset();
    (void)DeleteFileW(nextName_.c_str());  // the switch never got its picture
  }
}

AsfWritingSession::Counters AsfWritingSession::Stats() const {
  std::lock_guard lock(lock_);
  return counters_;
}

bool AsfWritingSession::Failed() const {
  std::lock_guard lock(lock_);
  return failed_;
}

}  // namespace platform
