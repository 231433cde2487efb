#include "asf_test_support.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "platform/network_sink/network_sink.h"
#include "platform/platform_factory.h"
#include "platform/wm_interfaces.h"
#include "test_support.h"

namespace {

class TestOutputPin final : public IPin {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IID_IUnknown && iid != IID_IPin) return E_NOINTERFACE;
    *object = static_cast<IPin*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ReceiveConnection(IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Disconnect() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ConnectedTo(IPin**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ConnectionMediaType(AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryDirection(PIN_DIRECTION* direction) override {
    *direction = PINDIR_OUTPUT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryId(LPWSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryAccept(const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumMediaTypes(IEnumMediaTypes**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryInternalConnections(IPin**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndOfStream() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BeginFlush() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EndFlush() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE NewSegment(REFERENCE_TIME, REFERENCE_TIME, double) override { return E_NOTIMPL; }

private:
  ULONG references_ = 1;
};

}  // namespace

ProbedStream ProbeFile(const std::wstring& file) {
  ProbedStream probed;
  const NativeResult result = RunNative(
      "ffprobe -v error -count_frames -show_entries "
      "stream=codec_name,profile,has_b_frames,width,height,nb_read_frames:"
      "format=duration,nb_streams,format_name "
      "-of default=noprint_wrappers=1 " + ShellQuote(HostPath(file)));
  std::istringstream lines(result.output);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq);
    const std::string value = line.substr(eq + 1);
    if (key == "codec_name") probed.codec = value;
    else if (key == "width") probed.width = std::atoi(value.c_str());
    else if (key == "height") probed.height = std::atoi(value.c_str());
    else if (key == "nb_read_frames") probed.frames = std::atoi(value.c_str());
    else if (key == "duration") probed.duration = std::atof(value.c_str());
    else if (key == "nb_streams") probed.streams = std::atoi(value.c_str());
    else if (key == "format_name") probed.format = value;
    else if (key == "profile") probed.profile = value;
    else if (key == "has_b_frames") probed.bFrames = std::atoi(value.c_str());
  }
  return probed;
}

double LongestKeyFrameGap(const std::wstring& file) {
  const NativeResult result = RunNative(
      "ffprobe -v error -select_streams v:0 -show_entries packet=pts_time,duration_time,flags "
      "-of csv=p=0 " + ShellQuote(HostPath(file)));
  std::istringstream lines(result.output);
  std::string line;
  double lastKey = 0, end = 0, longest = 0;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string time, duration, flags;
    if (!std::getline(fields, time, ',') || !std::getline(fields, duration, ',') ||
        !std::getline(fields, flags))
      continue;
    const double at = std::atof(time.c_str());
    end = std::max(end, at + std::atof(duration.c_str()));
    if (flags.find('K') != std::string::npos) {
      longest = std::max(longest, at - lastKey);
      lastKey = at;
    }
  }
  return std::max(longest, end - lastKey);
}

int DecodeFrames(const std::string& input, DWORD timeoutMs) {
  const NativeResult result = RunNative(
      "ffmpeg -nostdin -v error -i " + ShellQuote(input) +
          " -map 0:v:0 -fps_mode passthrough -f framemd5 - | grep -vc '^#'",
      timeoutMs);
  if (!result.finished) return -1;
  // grep prints the count; any ffmpeg error line would come first.
  const size_t newline = result.output.find('\n');
  if (newline == std::string::npos || newline + 1 != result.output.size()) return -1;
  return std::atoi(result.output.c_str());
}

std::vector<uint8_t> TestFrameRGB24(int width, int height, int index) {
  const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  std::vector<uint8_t> frame(stride * height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = frame.data() + y * stride;
    for (int x = 0; x < width; ++x) {
      row[x * 3 + 0] = static_cast<uint8_t>(x + index * 3);
      row[x * 3 + 1] = static_cast<uint8_t>(y * 2);
      row[x * 3 + 2] = static_cast<uint8_t>((x / 16 + y / 16 + index) % 2 ? 220 : 30);
    }
  }
  return frame;
}

SampleSource::SampleSource(long bufferSize, long count) {
  if (FAILED(CoCreateInstance(CLSID_MemoryAllocator, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&allocator_))))
    return;
  ALLOCATOR_PROPERTIES wanted{count, bufferSize, 1, 0};
  ALLOCATOR_PROPERTIES actual{};
  if (FAILED(allocator_->SetProperties(&wanted, &actual)) || FAILED(allocator_->Commit()))
    allocator_.Reset();
}

SampleSource::~SampleSource() {
  if (allocator_) (void)allocator_->Decommit();  // test teardown
}

ComPtr<IMediaSample> SampleSource::Make(const uint8_t* data, size_t size, REFERENCE_TIME start,
                                        REFERENCE_TIME stop) {
  ComPtr<IMediaSample> sample;
  if (!allocator_ || FAILED(allocator_->GetBuffer(&sample, nullptr, nullptr, 0))) return nullptr;
  BYTE* buffer = nullptr;
  if (FAILED(sample->GetPointer(&buffer)) || sample->GetSize() < static_cast<long>(size)) return nullptr;
  std::memcpy(buffer, data, size);
  (void)sample->SetActualDataLength(static_cast<long>(size));
  (void)sample->SetTime(&start, &stop);
  (void)sample->SetSyncPoint(TRUE);
  return sample;
}

std::vector<ComPtr<IPin>> Pins(IBaseFilter* filter) {
  std::vector<ComPtr<IPin>> pins;
  ComPtr<IEnumPins> pinEnum;
  if (!filter || FAILED(filter->EnumPins(&pinEnum))) return pins;
  ComPtr<IPin> pin;
  while (pinEnum->Next(1, &pin, nullptr) == S_OK) pins.push_back(std::move(pin));
  return pins;
}

PcmAudioType::PcmAudioType() {
  type.majortype = MEDIATYPE_Audio;
  type.subtype = MEDIASUBTYPE_PCM;
  type.formattype = FORMAT_WaveFormatEx;
  type.cbFormat = sizeof(wave);
  type.pbFormat = reinterpret_cast<BYTE*>(&wave);
}

ComPtr<IBaseFilter> MakeWriter(const GUID& profile, const std::wstring& file) {
  ComPtr<IBaseFilter> filter;
  REQUIRE(SUCCEEDED(platform::CreatePlatformObject(CLSID_WMAsfWriter, filter.GetAddressOf())));
  ComPtr<IConfigAsfWriter> config;
  REQUIRE(SUCCEEDED(filter->QueryInterface(IID_IConfigAsfWriter, reinterpret_cast<void**>(config.GetAddressOf()))));
  REQUIRE(SUCCEEDED(config->ConfigureFilterUsingProfileGuid(profile)));
  ComPtr<IFileSinkFilter2> sink;
  REQUIRE(SUCCEEDED(filter->QueryInterface(IID_IFileSinkFilter2, reinterpret_cast<void**>(sink.GetAddressOf()))));
  if (!file.empty()) REQUIRE(SUCCEEDED(sink->SetFileName(file.c_str(), nullptr)));
  return filter;
}

ComPtr<IMemInputPin> ConnectVideo(IBaseFilter* filter, const GUID& subtype, int width, int height, WORD bits) {
  ComPtr<IPin> pin = Pins(filter).at(0);
  VideoType type(subtype, width, height, bits);
  REQUIRE(pin->ReceiveConnection(MakeUpstreamPin().Get(), type.Get()) == S_OK);
  ComPtr<IMemInputPin> input;
  REQUIRE(SUCCEEDED(pin.As(&input)));
  return input;
}

DWORD FreePort() {
  ComPtr<IWMWriterNetworkSink> probe;
  DWORD port = 0;
  if (FAILED(platform::CreateBuiltInNetworkSink(probe.GetAddressOf())) || FAILED(probe->Open(&port)))
    return 0;
  (void)probe->Close();  // only the number was wanted
  return port;
}

ComPtr<IPin> MakeUpstreamPin() { return platform::Adopt<IPin>(new TestOutputPin()); }
