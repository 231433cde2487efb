#include "platform/asf_writer/asf_writer_input_pin.h"

#include <dvdmedia.h>
#include <mmreg.h>

#include <algorithm>

#include "platform/asf_writer/asf_writer_filter.h"

namespace platform {

namespace {

// Declared by the SDK's uuids.h but not by MinGW's.
constexpr GUID kSubtypeI420 = {0x30323449, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr DWORD kMjpgFourCC = MAKEFOURCC('M', 'J', 'P', 'G');
constexpr REFERENCE_TIME kDefaultFrameDuration = 333333;  // 30 frames/s

// The bitmap header of a video type, or null when the format block is short.
const BITMAPINFOHEADER* BitmapHeader(const AM_MEDIA_TYPE& type, size_t* extra) {
  size_t offset = 0;
  if (IsEqualGUID(type.formattype, FORMAT_VideoInfo))
    offset = offsetof(VIDEOINFOHEADER, bmiHeader);
  else if (IsEqualGUID(type.formattype, FORMAT_VideoInfo2))
    offset = offsetof(VIDEOINFOHEADER2, bmiHeader);
  else
    return nullptr;
  if (!type.pbFormat || type.cbFormat < offset + sizeof(BITMAPINFOHEADER)) return nullptr;
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(type.pbFormat + offset);
  if (header->biSize < sizeof(BITMAPINFOHEADER) || header->biSize > type.cbFormat - offset)
    return nullptr;
  if (extra) *extra = type.cbFormat - offset - sizeof(BITMAPINFOHEADER);
  return header;
}

// The declared duration; 0 when the type states no frame rate.
REFERENCE_TIME FrameDuration(const AM_MEDIA_TYPE& type) {
  REFERENCE_TIME duration = 0;
  if (IsEqualGUID(type.formattype, FORMAT_VideoInfo) && type.cbFormat >= sizeof(VIDEOINFOHEADER))
    duration = reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat)->AvgTimePerFrame;
  else if (IsEqualGUID(type.formattype, FORMAT_VideoInfo2) &&
           type.cbFormat >= sizeof(VIDEOINFOHEADER2))
    duration = reinterpret_cast<const VIDEOINFOHEADER2*>(type.pbFormat)->AvgTimePerFrame;
  return std::max<REFERENCE_TIME>(duration, 0);
}

bool RawLayout(const AM_MEDIA_TYPE& type, const BITMAPINFOHEADER& header, RawVideoFormat* raw) {
  RawVideoFormat format;
  if (IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB24) && header.biBitCount == 24)
    format.layout = RawVideoLayout::RGB24;
  else if (IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB32) && header.biBitCount == 32)
    format.layout = RawVideoLayout::RGB32;
  else if (IsEqualGUID(type.subtype, MEDIASUBTYPE_YUY2))
    format.layout = RawVideoLayout::YUY2;
  else if (IsEqualGUID(type.subtype, kSubtypeI420) || IsEqualGUID(type.subtype, MEDIASUBTYPE_IYUV))
    format.layout = RawVideoLayout::I420;
  else if (IsEqualGUID(type.subtype, MEDIASUBTYPE_MJPG) || header.biCompression == kMjpgFourCC)
    format.layout = RawVideoLayout::MJPEG;
  else
    return false;
  const bool rgb = format.layout == RawVideoLayout::RGB24 || format.layout == RawVideoLayout::RGB32;
  if (!rgb && header.biHeight < 0) return false;
  if (header.biHeight == INT32_MIN) return false;
  format.width = header.biWidth;
  format.height = header.biHeight < 0 ? -header.biHeight : header.biHeight;
  format.bottomUp = rgb && header.biHeight > 0;
  if (!format.Complete()) return false;
  if (raw) *raw = format;
  return true;
}

bool PassedThrough(const AM_MEDIA_TYPE& type, const BITMAPINFOHEADER& header, bool dontCompress) {
  const bool mjpeg = IsEqualGUID(type.subtype, MEDIASUBTYPE_MJPG) || header.biCompression == kMjpgFourCC;
  return (mjpeg || dontCompress) && header.biWidth > 0 && header.biWidth <= 8192 &&
         header.biHeight != 0 && header.biHeight > -8192 && header.biHeight < 8192;
}

const WAVEFORMATEX* PcmFormat(const AM_MEDIA_TYPE& type) {
  if (!IsEqualGUID(type.majortype, MEDIATYPE_Audio) ||
      !IsEqualGUID(type.formattype, FORMAT_WaveFormatEx) || !type.pbFormat ||
      type.cbFormat < sizeof(WAVEFORMATEX))
    return nullptr;
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
  if (wave->wFormatTag != WAVE_FORMAT_PCM || wave->nChannels == 0 || wave->nBlockAlign == 0 ||
      sizeof(WAVEFORMATEX) + wave->cbSize > type.cbFormat)
    return nullptr;
  return wave;
}

dshow::MediaType PartialVideoType(const GUID& subtype) {
  AM_MEDIA_TYPE type{};
  type.majortype = MEDIATYPE_Video;
  type.subtype = subtype;
  type.formattype = FORMAT_VideoInfo;
  return dshow::MediaType(type);
}

std::wstring PinName(AsfPinKind kind, size_t index) {
  return (kind == AsfPinKind::Video ? L"Video Input 0" : L"Audio Input 0") + std::to_wstring(index + 1);
}

}  // namespace

bool AcceptsAsfInput(AsfPinKind kind, const AM_MEDIA_TYPE& type, bool dontCompress) {
  return DescribeAsfInput(kind, type, dontCompress, 0, nullptr);
}

bool DescribeAsfInput(AsfPinKind kind, const AM_MEDIA_TYPE& type, bool dontCompress,
                      uint32_t videoBitRate, AsfInput* input) {
  if (kind == AsfPinKind::Audio) {
    const WAVEFORMATEX* wave = PcmFormat(type);
    if (!wave) return false;
    if (input) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(wave);
      input->stream.kind = AsfStream::Kind::Audio;
      input->stream.format.assign(bytes, bytes + sizeof(WAVEFORMATEX) + wave->cbSize);
      input->stream.bitRate = wave->nAvgBytesPerSec * 8;
      input->encode = false;
    }
    return true;
  }
  if (!IsEqualGUID(type.majortype, MEDIATYPE_Video)) return false;
  size_t extra = 0;
  const BITMAPINFOHEADER* header = BitmapHeader(type, &extra);
  if (!header) return false;
  RawVideoFormat raw;
  const bool encode = !dontCompress && RawLayout(type, *header, &raw);
  if (!encode && !PassedThrough(type, *header, dontCompress)) return false;
  if (!input) return true;

  input->encode = encode;
  input->frameDuration = FrameDuration(type);
  // A stream written as it comes still needs a duration for untimed samples;
  // the encoder refuses a picture without a frame rate when recording starts.
  if (!encode && input->frameDuration == 0) input->frameDuration = kDefaultFrameDuration;
  input->stream.kind = AsfStream::Kind::Video;
  input->stream.bitRate = videoBitRate;
  input->stream.width = static_cast<uint32_t>(header->biWidth);
  input->stream.height = static_cast<uint32_t>(header->biHeight < 0 ? -header->biHeight : header->biHeight);
  if (encode) {
    input->raw = raw;
    input->stream.format = H264FormatBlock(raw.width, raw.height);
    input->stream.bitRate = H264BitRate(videoBitRate, raw.width, raw.height, input->frameDuration);
  } else {
    const auto* bytes = reinterpret_cast<const uint8_t*>(header);
    input->stream.format.assign(bytes, bytes + sizeof(BITMAPINFOHEADER) + extra);
  }
  return true;
}

AsfWriterInputPin::AsfWriterInputPin(AsfWriterFilter& filter, AsfPinKind kind, size_t index)
    : InputPinBase(filter, PinName(kind, index)), filter_(filter), kind_(kind), index_(index) {}

bool AsfWriterInputPin::AtEndOfStream() const {
  std::lock_guard lock(lock_);
  return endOfStream_;
}

void AsfWriterInputPin::ResetEndOfStream() {
  std::lock_guard lock(lock_);
  endOfStream_ = false;
}

bool AsfWriterInputPin::Accepts(const AM_MEDIA_TYPE& type) const {
  return AcceptsAsfInput(kind_, type, filter_.DontCompress());
}

void AsfWriterInputPin::OnConnected(const AM_MEDIA_TYPE&) { endOfStream_ = false; }

std::vector<dshow::MediaType> AsfWriterInputPin::OfferedTypes() const {
  std::vector<dshow::MediaType> offered;
  if (kind_ == AsfPinKind::Video) {
    for (const GUID* subtype : {&MEDIASUBTYPE_RGB24, &MEDIASUBTYPE_RGB32, &MEDIASUBTYPE_YUY2,
                                &kSubtypeI420})
      offered.push_back(PartialVideoType(*subtype));
  } else {
    AM_MEDIA_TYPE audio{};
    audio.majortype = MEDIATYPE_Audio;
    audio.subtype = MEDIASUBTYPE_PCM;
    audio.formattype = FORMAT_WaveFormatEx;
    offered.emplace_back(audio);
  }
  return offered;
}

STDMETHODIMP AsfWriterInputPin::EndOfStream() {
  {
    std::lock_guard lock(lock_);
    if (flushing_) return S_FALSE;
    endOfStream_ = true;
  }
  filter_.PinEndOfStream();
  return S_OK;
}

STDMETHODIMP AsfWriterInputPin::BeginFlush() {
  std::lock_guard lock(lock_);
  flushing_ = true;
  return S_OK;
}

STDMETHODIMP AsfWriterInputPin::EndFlush() {
  std::lock_guard lock(lock_);
  flushing_ = false;
  endOfStream_ = false;
  return S_OK;
}

HRESULT AsfWriterInputPin::OnReceive(IMediaSample* sample) {
  if (!IsConnected()) return VFW_E_NOT_CONNECTED;
  {
    std::lock_guard lock(lock_);
    if (flushing_) return S_FALSE;
    if (endOfStream_) return VFW_E_SAMPLE_REJECTED_EOS;
  }
  return filter_.DeliverSample(index_, sample);
}

STDMETHODIMP AsfWriterInputPin::ReceiveCanBlock() {
  return S_FALSE;  // Receive only queues; the encoder thread does the work
}

}  // namespace platform
