#include <doctest/doctest.h>

#include <cmath>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>

#include "asf_test_support.h"
#include "platform/asf_writer/asf_writer_filter.h"
#include "platform/asf_writer/asf_writer_input_pin.h"
#include "platform/asf_writer/asf_writing_session.h"
#include "platform/asf_writer/h264_encoder.h"
#include "platform/dshow/com_object.h"
#include "platform/network_sink/network_sink.h"
#include "platform/platform_factory.h"
#include "platform/wm_interfaces.h"
#include "test_support.h"

namespace {

const GUID kVideo256 = {0xbbc75500, 0x33d2, 0x4466, {0xb8, 0x6b, 0x12, 0x2b, 0x20, 0x1c, 0xc9, 0xae}};
const GUID kMonoAudio288 = {0x7ea3126d, 0xe1ba, 0x4716, {0x89, 0xaf, 0xf6, 0x5c, 0xee, 0x0c, 0x0c, 0x67}};
const GUID kI420 = {0x30323449, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

platform::AsfWritingSession::Counters Counters(IBaseFilter* filter) {
  return static_cast<platform::AsfWriterFilter*>(filter)->LastCounters();
}

// Decodes the first frame of a file into raw pixels of `format`.
std::string FirstFrame(const std::wstring& file, const char* format) {
  return RunNative("ffmpeg -nostdin -v error -i '" + HostPath(file) +
                   "' -frames:v 1 -f rawvideo -pix_fmt " + format + " -")
      .output;
}

double MeanDifference(const std::string& decoded, const std::vector<uint8_t>& expected) {
  if (decoded.size() != expected.size()) return 1e9;
  double sum = 0;
  for (size_t i = 0; i < expected.size(); ++i)
    sum += std::abs(static_cast<int>(static_cast<uint8_t>(decoded[i])) - expected[i]);
  return sum / expected.size();
}

}  // namespace

TEST_CASE("under Wine the factory gives the built-in writer and the built-in sink") {
  REQUIRE(platform::RunningUnderWine());
  ComPtr<IBaseFilter> filter;
  REQUIRE(SUCCEEDED(platform::CreatePlatformObject(CLSID_WMAsfWriter, filter.GetAddressOf())));
  ComPtr<IConfigAsfWriter2> config;
  CHECK(SUCCEEDED(filter->QueryInterface(IID_IConfigAsfWriter2, reinterpret_cast<void**>(config.GetAddressOf()))));
  ComPtr<IServiceProvider> provider;
  REQUIRE(SUCCEEDED(filter.As(&provider)));
  ComPtr<IWMWriterAdvanced2> advanced;
  CHECK(SUCCEEDED(provider->QueryService(IID_IWMWriterAdvanced2, IID_IWMWriterAdvanced2,
                                         reinterpret_cast<void**>(advanced.GetAddressOf()))));
  // The platform's sink would abort the process here; the built-in one
  // also answers IWMClientConnections.
  ComPtr<IWMWriterNetworkSink> sink;
  REQUIRE(SUCCEEDED(platform::CreateWriterNetworkSink(sink.GetAddressOf())));
  ComPtr<IWMClientConnections> connections;
  CHECK(SUCCEEDED(sink->QueryInterface(IID_IWMClientConnections, reinterpret_cast<void**>(connections.GetAddressOf()))));
}

TEST_CASE("declared interface identifiers match the platform's") {
  const std::pair<const GUID*, const wchar_t*> ids[] = {
      {&IID_IConfigAsfWriter, L"{45086030-F7E4-486A-B504-826BB5792A3B}"},
      {&IID_IConfigAsfWriter2, L"{7989CCAA-53F0-44F0-884A-F3B03F6AE066}"},
      {&IID_IWMWriterNetworkSink, L"{96406BE7-2B2B-11D3-B36B-00C04F6108FF}"},
      {&IID_IWMRegisterCallback, L"{CF4B1F99-4DE2-4E49-A363-252740D99BC1}"},
      {&IID_IWMClientConnections, L"{73C66010-A299-41DF-B1F0-CCF03B09C1C6}"},
      {&IID_IWMClientConnections2, L"{4091571E-4701-4593-BB3D-D5F5F0C74246}"},
      {&IID_IWMWriterSink, L"{96406BE4-2B2B-11D3-B36B-00C04F6108FF}"},
      {&IID_IWMWriterAdvanced2, L"{962DC1EC-C046-4DB8-9CC7-26CEAE500817}"},
      {&IID_INSSBuffer, L"{E1CD3524-03D7-11D2-9EED-006097D2D7CF}"},
  };
  for (const auto& [id, text] : ids) {
    GUID parsed;
    REQUIRE(SUCCEEDED(IIDFromString(text, &parsed)));
    CHECK(IsEqualGUID(*id, parsed));
  }
  CHECK(IsEqualGUID(__uuidof(IConfigAsfWriter2), IID_IConfigAsfWriter2));
  CHECK(IsEqualGUID(__uuidof(IWMWriterNetworkSink), IID_IWMWriterNetworkSink));
}

TEST_CASE("profiles decide the input pins") {
  ComPtr<IBaseFilter> filter = MakeWriter(kVideoOnly56, L"");
  ComPtr<IConfigAsfWriter2> config;
  REQUIRE(SUCCEEDED(filter->QueryInterface(IID_IConfigAsfWriter2, reinterpret_cast<void**>(config.GetAddressOf()))));
  PIN_INFO info{};

  SUBCASE("video only: one video pin") {
    const auto pins = Pins(filter.Get());
    REQUIRE(pins.size() == 1);
    REQUIRE(SUCCEEDED(pins[0]->QueryPinInfo(&info)));
    platform::Adopt(info.pFilter);
    CHECK(info.dir == PINDIR_INPUT);
    WORD stream = 0;
    CHECK(SUCCEEDED(config->StreamNumFromPin(pins[0].Get(), &stream)));
    CHECK(stream == 1);
  }
  SUBCASE("audio and video: the second pin takes PCM audio only") {
    REQUIRE(SUCCEEDED(config->ConfigureFilterUsingProfileGuid(kVideo256)));
    const auto pins = Pins(filter.Get());
    REQUIRE(pins.size() == 2);
    PcmAudioType pcm;
    CHECK(pins[1]->QueryAccept(&pcm.type) == S_OK);
    CHECK(pins[0]->QueryAccept(&pcm.type) == S_FALSE);
    VideoType video(MEDIASUBTYPE_RGB24, 64, 48, 24);
    CHECK(pins[0]->QueryAccept(video.Get()) == S_OK);
    CHECK(pins[1]->QueryAccept(video.Get()) == S_FALSE);
  }
  SUBCASE("audio only: one audio pin; unknown profiles are refused") {
    REQUIRE(SUCCEEDED(config->ConfigureFilterUsingProfileGuid(kMonoAudio288)));
    CHECK(Pins(filter.Get()).size() == 1);
    CHECK(FAILED(config->ConfigureFilterUsingProfileGuid(IID_IUnknown)));
    GUID current;
    REQUIRE(SUCCEEDED(config->GetCurrentProfileGuid(&current)));
    CHECK(IsEqualGUID(current, kMonoAudio288));
  }
  SUBCASE("a connected pin keeps its profile's pin set") {
    ConnectVideo(filter.Get(), MEDIASUBTYPE_RGB24, 64, 48, 24);
    CHECK(config->ConfigureFilterUsingProfileGuid(kVideo256) == VFW_E_ALREADY_CONNECTED);
    CHECK(Pins(filter.Get()).size() == 1);
  }
  SUBCASE("malformed video types are refused") {
    VideoType odd(MEDIASUBTYPE_YUY2, 63, 48, 16);
    CHECK(Pins(filter.Get())[0]->QueryAccept(odd.Get()) == S_FALSE);
    VideoType huge(MEDIASUBTYPE_RGB24, 100000, 48, 24);
    CHECK(Pins(filter.Get())[0]->QueryAccept(huge.Get()) == S_FALSE);
    VideoType shortFormat(MEDIASUBTYPE_RGB24, 64, 48, 24);
    shortFormat.type.cbFormat = 40;
    CHECK(Pins(filter.Get())[0]->QueryAccept(shortFormat.Get()) == S_FALSE);
  }
}

TEST_CASE("the built-in writer records H.264 that ffmpeg decodes") {
  const std::wstring folder = MakeTempFolder(L"asfw");
  const std::wstring file = folder + L"\\rec.asf";
  ComPtr<IBaseFilter> filter = MakeWriter(kVideoOnly56, file);

  SUBCASE("RGB24: every frame is in the file, upright and in colour, for its time, IDR every second") {
    const int width = 320, height = 240;
    ComPtr<IMemInputPin> input = ConnectVideo(filter.Get(), MEDIASUBTYPE_RGB24, width, height, 24);
    SampleSource samples(width * height * 3, 4);
    REQUIRE(SUCCEEDED(filter->Run(0)));
    const int sent = 50;
    for (int i = 0; i < sent; ++i) {
      // One frame at a time: the queue never fills, so none may be dropped.
      REQUIRE(PumpUntil([&] { return Counters(filter.Get()).written == unsigned(i); }));
      const std::vector<uint8_t> frame = TestFrameRGB24(width, height, i);
      ComPtr<IMediaSample> sample = samples.Make(frame.data(), frame.size(), i * 400000LL, (i + 1) * 400000LL);
      REQUIRE(sample);
      CHECK(input->Receive(sample.Get()) == S_OK);
    }
    REQUIRE(SUCCEEDED(filter->Stop()));
    const auto counters = Counters(filter.Get());
    CHECK(counters.delivered == sent);
    CHECK(counters.rejected == 0);
    CHECK(counters.dropped == 0);
    CHECK(counters.written == sent);

    const ProbedStream probed = ProbeFile(file);
    CHECK(probed.codec == "h264");
    CHECK(probed.profile == "Constrained Baseline");
    CHECK(probed.bFrames == 0);
    CHECK(LongestKeyFrameGap(file) <= 1.001);
    CHECK(probed.streams == 1);
    CHECK(probed.width == width);
    CHECK(probed.height == height);
    CHECK(probed.frames == static_cast<int>(counters.written));
    CHECK(DecodeFrames(HostPath(file)) == static_cast<int>(counters.written));
    CHECK(probed.duration == doctest::Approx(sent * 0.04).epsilon(0.05));
    // The header states the rate the encoder was given, not the profile's.
    const std::string bytes = ReadFileBytes(file);
    REQUIRE(bytes.size() > 134);
    uint32_t maxBitRate = 0;
    std::memcpy(&maxBitRate, bytes.data() + 30 + 100, sizeof(maxBitRate));
    CHECK(maxBitRate == platform::H264BitRate(56000, width, height, 400000));
    CHECK(maxBitRate > 56000);

    // The first frame stored bottom-up comes out top-down and in BGR order.
    const std::vector<uint8_t> source = TestFrameRGB24(width, height, 0);
    std::vector<uint8_t> expected;
    for (int y = height - 1; y >= 0; --y)
      expected.insert(expected.end(), source.begin() + y * width * 3, source.begin() + (y + 1) * width * 3);
    CHECK(MeanDifference(FirstFrame(file, "bgr24"), expected) < 8.0);
  }

  SUBCASE("YUY2, I420 and RGB32 inputs") {
    const int width = 64, height = 32;
    struct Case { GUID subtype; WORD bits; size_t size; };
    const Case cases[] = {{MEDIASUBTYPE_YUY2, 16, size_t(width * height * 2)},
                          {kI420, 12, size_t(width * height * 3 / 2)},
                          {MEDIASUBTYPE_RGB32, 32, size_t(width * height * 4)}};
    for (const Case& c : cases) {
      ComPtr<IBaseFilter> writer = MakeWriter(kVideoOnly56, file);
      ComPtr<IMemInputPin> input = ConnectVideo(writer.Get(), c.subtype, width, height, c.bits);
      // A luma ramp with neutral colour: the decoded grey must match.
      std::vector<uint8_t> frame(c.size, 128);
      std::vector<uint8_t> luma(width * height);
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) luma[y * width + x] = static_cast<uint8_t>(40 + x * 2 + y);
      for (int i = 0; i < width * height; ++i) {
        if (c.bits == 16) frame[i * 2] = luma[i];
        else if (c.bits == 12) frame[i] = luma[i];
      }
      if (c.bits == 32) {
        // Bottom-up BGRX grey of full-range value matching the luma ramp.
        for (int y = 0; y < height; ++y)
          for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k) frame[((height - 1 - y) * width + x) * 4 + k] = luma[y * width + x];
      }
      SampleSource samples(static_cast<long>(c.size), 2);
      REQUIRE(SUCCEEDED(writer->Run(0)));
      for (int i = 0; i < 3; ++i) {
        ComPtr<IMediaSample> sample = samples.Make(frame.data(), frame.size(), i * 400000LL, (i + 1) * 400000LL);
        CHECK(input->Receive(sample.Get()) == S_OK);
        PumpUntil([&] { return Counters(writer.Get()).written == unsigned(i + 1); });
      }
      REQUIRE(SUCCEEDED(writer->Stop()));
      CHECK(ProbeFile(file).frames == 3);
      // YUY2 and I420 carry video levels (16-235), which a full-range grey
      // picture stretches; the RGB32 grey is full range already.
      std::vector<uint8_t> expected = luma;
      if (c.bits != 32)
        for (uint8_t& value : expected)
          value = static_cast<uint8_t>(std::clamp((value - 16) * 255 / 219, 0, 255));
      CHECK(MeanDifference(FirstFrame(file, "gray"), expected) < 4.0);
    }
  }

  SUBCASE("Motion JPEG is decoded and encoded; corrupt frames are skipped and counted") {
    const int width = 64, height = 32;
    const std::wstring jpegFile = folder + L"\\frame.jpg";
    REQUIRE(RunNative("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x32 -frames:v 1 -y '" +
                      HostPath(jpegFile) + "'").exitCode == 0);
    const std::string jpeg = RunNative("cat '" + HostPath(jpegFile) + "'").output;
    REQUIRE(jpeg.size() > 200);
    const std::string truncated = jpeg.substr(0, jpeg.size() / 2);
    const std::string garbage(jpeg.size(), '\x5a');
    ComPtr<IMemInputPin> input = ConnectVideo(filter.Get(), MEDIASUBTYPE_MJPG, width, height, 24);
    SampleSource samples(static_cast<long>(jpeg.size()), 2);
    REQUIRE(SUCCEEDED(filter->Run(0)));
    const std::string* frames[] = {&jpeg, &truncated, &jpeg, &garbage, &jpeg};
    for (int i = 0; i < 5; ++i) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(frames[i]->data());
      ComPtr<IMediaSample> sample = samples.Make(bytes, frames[i]->size(), i * 400000LL, (i + 1) * 400000LL);
      CHECK(input->Receive(sample.Get()) == S_OK);
      PumpUntil([&] {
        const auto c = Counters(filter.Get());
        return c.written + c.rejected == unsigned(i + 1);
      });
    }
    REQUIRE(SUCCEEDED(filter->Stop()));
    CHECK(Counters(filter.Get()).rejected == 2);
    CHECK(ProbeFile(file).frames == 3);
    const std::string expected = FirstFrame(jpegFile, "gray");
    CHECK(MeanDifference(FirstFrame(file, "gray"), std::vector<uint8_t>(expected.begin(), expected.end())) < 6.0);
  }

  SUBCASE("short samples are rejected and counted, never written") {
    ComPtr<IMemInputPin> input = ConnectVideo(filter.Get(), MEDIASUBTYPE_RGB24, 64, 48, 24);
    SampleSource samples(64 * 48 * 3, 2);
    REQUIRE(SUCCEEDED(filter->Run(0)));
    const std::vector<uint8_t> frame = TestFrameRGB24(64, 48, 1);
    ComPtr<IMediaSample> sample = samples.Make(frame.data(), frame.size() / 2, 0, 400000);
    CHECK(input->Receive(sample.Get()) == S_OK);
    REQUIRE(SUCCEEDED(filter->Stop()));
    CHECK(Counters(filter.Get()).rejected == 1);
    CHECK(ProbeFile(file).frames == 0);
  }

  SUBCASE("samples are refused while stopped; pins stay connected while running") {
    ComPtr<IMemInputPin> input = ConnectVideo(filter.Get(), MEDIASUBTYPE_RGB24, 64, 48, 24);
    SampleSource samples(64 * 48 * 3, 2);
    const std::vector<uint8_t> frame = TestFrameRGB24(64, 48, 1);
    ComPtr<IMediaSample> sample = samples.Make(frame.data(), frame.size(), 0, 400000);
    CHECK(input->Receive(sample.Get()) == VFW_E_WRONG_STATE);
    REQUIRE(SUCCEEDED(filter->Run(0)));
    CHECK(Pins(filter.Get())[0]->Disconnect() == VFW_E_NOT_STOPPED);
    REQUIRE(SUCCEEDED(filter->Stop()));
    CHECK(Pins(filter.Get())[0]->Disconnect() == S_OK);
  }
  filter.Reset();
  RemoveTree(folder);
}

TEST_CASE("a write failure stops writing, keeps the file readable and aborts the graph") {
  // Output that fails once the data passes a limit, like a full disk.
  class LimitedOutput : public platform::AsfOutput {
  public:
    explicit LimitedOutput(std::unique_ptr<platform::AsfFileOutput> file, size_t limit)
        : file_(std::move(file)), limit_(limit) {}
    bool Append(const uint8_t* data, size_t size) override {
      if (size_ + size > limit_) return false;
      size_ += size;
      return file_->Append(data, size);
    }
    bool Patch(uint64_t offset, const uint8_t* data, size_t size) override { return file_->Patch(offset, data, size); }
    bool Truncate(uint64_t size) override {
      size_ = size;
      return file_->Truncate(size);
    }

  private:
    std::unique_ptr<platform::AsfFileOutput> file_;
    size_t limit_;
    size_t size_ = 0;
  };

  const std::wstring folder = MakeTempFolder(L"asff");
  const std::wstring name = folder + L"\\full.asf";
  HRESULT hr = E_FAIL;
  auto file = platform::AsfFileOutput::Create(name, true, &hr);
  REQUIRE(file);

  VideoType type(MEDIASUBTYPE_RGB24, 160, 120, 24);
  platform::AsfSessionSettings settings;
  settings.inputs.resize(1);
  REQUIRE(platform::DescribeAsfInput(platform::AsfPinKind::Video, type.type, false, 56000, &settings.inputs[0]));

  std::mutex lock;
  std::vector<long> events;
  std::unique_ptr<platform::AsfWritingSession> session;
  REQUIRE(SUCCEEDED(platform::AsfWritingSession::Start(
      settings, std::make_unique<LimitedOutput>(std::move(file), 8000), nullptr,
      [&](long code, LONG_PTR) {
        std::lock_guard<std::mutex> guard(lock);
        events.push_back(code);
      },
      &session)));
  for (int i = 0; i < 100 && !session->Failed(); ++i) {
    const std::vector<uint8_t> frame = TestFrameRGB24(160, 120, i);
    session->Deliver(0, frame.data(), frame.size(), i * 400000LL, (i + 1) * 400000LL, true, true);
    PumpUntil([&] { return session->Failed() || session->Stats().written + session->Stats().dropped == unsigned(i + 1); });
  }
  CHECK(session->Failed());
  session->Finish();
  {
    std::lock_guard<std::mutex> guard(lock);
    CHECK(std::count(events.begin(), events.end(), EC_ERRORABORT) == 1);
  }
  session.reset();
  const ProbedStream probed = ProbeFile(name);
  CHECK(probed.codec == "h264");
  CHECK(probed.frames > 0);
  CHECK(DecodeFrames(HostPath(name)) >= probed.frames - 1);  // the last frame may have been cut
  RemoveTree(folder);
}

TEST_CASE("the recording rate scales the profile's rate to the camera picture, with a floor") {
  const int64_t fps30 = 333333;
  // 56 kbit/s scaled from 320 x 240 x 30 to 640 x 480 x 30 is below the
  // 0.03 bit per pixel floor; 1 Mbit/s scales to four times itself.
  CHECK(platform::H264BitRate(56000, 640, 480, fps30) == doctest::Approx(276480).epsilon(0.001));
  CHECK(platform::H264BitRate(1000000, 640, 480, fps30) == doctest::Approx(4000000).epsilon(0.001));
  CHECK(platform::H264BitRate(1000000, 320, 240, fps30 * 2) == doctest::Approx(500000).epsilon(0.001));
  CHECK(platform::H264BitRate(56000, 641, 480, fps30) == 0);
  CHECK(platform::H264BitRate(56000, 4098, 480, fps30) == 0);
  CHECK(platform::H264BitRate(56000, 640, 480, 0) == 0);
}

TEST_CASE("a picture the encoder refuses fails the recording with its own message") {
  const std::wstring folder = MakeTempFolder(L"asfr");
  const std::wstring file = folder + L"\\refused.asf";
  struct Case { const char* name; int width; int height; REFERENCE_TIME duration; };
  const Case cases[] = {{"odd width", 63, 48, 400000}, {"over 4096 wide", 4098, 16, 400000},
                        {"no frame rate", 64, 48, 0}};
  for (const Case& c : cases) {
    CAPTURE(c.name);
    ComPtr<IBaseFilter> filter = MakeWriter(kVideoOnly56, file);
    ComPtr<IPin> pin = Pins(filter.Get()).at(0);
    VideoType type(MEDIASUBTYPE_RGB24, c.width, c.height, 24, c.duration);
    REQUIRE(pin->ReceiveConnection(MakeUpstreamPin().Get(), type.Get()) == S_OK);
    CHECK(filter->Run(0) == platform::E_H264_PICTURE_REFUSED);
    CHECK(GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES);
    (void)filter->Stop();
  }
  CHECK(platform::ErrorText(platform::E_H264_PICTURE_REFUSED).find(L"4096") != std::wstring::npos);
  RemoveTree(folder);
}

namespace {

// A graph that only takes events; on the end of a recording it asks the
// filter for its state from another thread, as a graph's own thread may.
class EventProbeGraph final : public dshow::ComObject<EventProbeGraph, IFilterGraph, IMediaEventSink> {
public:
  explicit EventProbeGraph(IBaseFilter* filter) : filter_(filter) {}
  bool Completed() const { return completed_; }
  bool FilterAnswered() const { return answered_; }

  STDMETHODIMP Notify(long code, LONG_PTR, LONG_PTR) override {
    if (code != EC_COMPLETE) return S_OK;
    auto answer = std::async(std::launch::async, [this] {
      FILTER_STATE state;
      return filter_->GetState(0, &state);
    });
    answered_ = answer.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    completed_ = true;
    return S_OK;
  }
  STDMETHODIMP AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
  STDMETHODIMP RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
  STDMETHODIMP EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
  STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
  STDMETHODIMP ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
  STDMETHODIMP Reconnect(IPin*) override { return E_NOTIMPL; }
  STDMETHODIMP Disconnect(IPin*) override { return E_NOTIMPL; }
  STDMETHODIMP SetDefaultSyncSource() override { return E_NOTIMPL; }

private:
  IBaseFilter* filter_;
  std::atomic<bool> completed_{false};
  std::atomic<bool> answered_{false};
};

}  // namespace

TEST_CASE("the end of a recording reaches the graph while the filter still answers") {
  const std::wstring folder = MakeTempFolder(L"asfe");
  ComPtr<IBaseFilter> filter = MakeWriter(kVideoOnly56, folder + L"\\events.asf");
  const ComPtr<EventProbeGraph> graph = EventProbeGraph::Make(filter.Get());
  REQUIRE(filter->JoinFilterGraph(graph.Get(), L"writer") == S_OK);
  ComPtr<IMemInputPin> input = ConnectVideo(filter.Get(), MEDIASUBTYPE_RGB24, 160, 120, 24);
  REQUIRE(filter->Run(0) == S_OK);
  SampleSource samples(160 * 120 * 3, 2);
  const std::vector<uint8_t> frame = TestFrameRGB24(160, 120, 0);
  CHECK(input->Receive(samples.Make(frame.data(), frame.size(), 0, 400000).Get()) == S_OK);
  ComPtr<IPin> pin;
  REQUIRE(SUCCEEDED(input.As(&pin)));
  CHECK(pin->EndOfStream() == S_OK);
  REQUIRE(PumpUntil([&] { return graph->Completed(); }));
  CHECK(graph->FilterAnswered());
  CHECK(filter->Stop() == S_OK);
  CHECK(filter->JoinFilterGraph(nullptr, nullptr) == S_OK);
  filter.Reset();
  RemoveTree(folder);
}

TEST_CASE("a file switch while running loses no frame and leaves two whole files") {
  const std::wstring folder = MakeTempFolder(L"asfs");
  const std::wstring first = folder + L"\\first.asf", second = folder + L"\\second.asf";
  ComPtr<IBaseFilter> filter = MakeWriter(kVideoOnly56, first);
  ComPtr<IAsfWriterSegments> segments;
  REQUIRE(SUCCEEDED(filter->QueryInterface(IID_IAsfWriterSegments, reinterpret_cast<void**>(segments.GetAddressOf()))));
  CHECK(segments->SwitchFile(second.c_str()) == VFW_E_WRONG_STATE);  // not recording
  ComPtr<IMemInputPin> input = ConnectVideo(filter.Get(), MEDIASUBTYPE_RGB24, 160, 120, 24);
  SampleSource samples(160 * 120 * 3, 4);
  REQUIRE(SUCCEEDED(filter->Run(0)));
  const auto send = [&](int i) {
    REQUIRE(PumpUntil([&] { return Counters(filter.Get()).written == unsigned(i); }));
    const std::vector<uint8_t> frame = TestFrameRGB24(160, 120, i);
    CHECK(input->Receive(samples.Make(frame.data(), frame.size(), i * 400000LL, (i + 1) * 400000LL).Get()) == S_OK);
  };

  SUBCASE("the first file ends before the switch's IDR, the second starts with it") {
    const int sent = 30, before = 12;
    for (int i = 0; i < before; ++i) send(i);
    // Mid-second, so only the switch can make the IDR.
    CHECK(segments->SwitchFile((folder + L"\\missing\\x.asf").c_str()) != S_OK);
    REQUIRE(segments->SwitchFile(second.c_str()) == S_OK);
    CHECK(segments->SwitchFile((folder + L"\\third.asf").c_str()) == VFW_E_WRONG_STATE);
    for (int i = before; i < sent; ++i) send(i);
    REQUIRE(SUCCEEDED(filter->Stop()));
    const auto counters = Counters(filter.Get());
    CHECK(counters.written == sent);
    CHECK(counters.dropped == 0);
    CHECK(counters.files == 2);
    CHECK(GetFileAttributesW((folder + L"\\third.asf").c_str()) == INVALID_FILE_ATTRIBUTES);

    const ProbedStream a = ProbeFile(first), b = ProbeFile(second);
    CHECK(a.frames == before);
    CHECK(b.frames == sent - before);
    // Every frame decodes, so the second file begins with SPS, PPS and an IDR.
    CHECK(DecodeFrames(HostPath(first)) == before);
    CHECK(DecodeFrames(HostPath(second)) == sent - before);
    CHECK(b.duration == doctest::Approx((sent - before) * 0.04).epsilon(0.05));
    // The second file's preroll (File Properties + 80) is the time its first
    // frame was taken, one frame after the first file's last: players count
    // its time from 0, and no time is lost between the files.
    const std::string header = ReadFileBytes(second).substr(30 + 80, 8);
    REQUIRE(header.size() == 8);
    uint64_t preroll = 0;
    for (int i = 7; i >= 0; --i) preroll = preroll << 8 | static_cast<uint8_t>(header[i]);
    CHECK(preroll == before * 40);
  }

  SUBCASE("a switch that never gets its picture leaves no file") {
    send(0);
    REQUIRE(PumpUntil([&] { return Counters(filter.Get()).written == 1u; }));
    REQUIRE(segments->SwitchFile(second.c_str()) == S_OK);
    REQUIRE(SUCCEEDED(filter->Stop()));
    CHECK(GetFileAttributesW(second.c_str()) == INVALID_FILE_ATTRIBUTES);
    CHECK(ProbeFile(first).frames == 1);
  }
  filter.Reset();
  RemoveTree(folder);
}
