#include <doctest/doctest.h>

#include <winsock2.h>

#include <atomic>
#include <memory>
#include <thread>

#include "asf_test_support.h"
#include "platform/asf_writer/asf_muxer.h"
#include "platform/asf_writer/asf_writer_filter.h"
#include "platform/asf_writer/asf_writer_advanced.h"
#include "platform/network_sink/network_sink.h"
#include "platform/network_sink/wmsp_protocol.h"
#include "platform/platform_factory.h"
#include "test_support.h"

using platform::Bytes;

namespace {

// The requests ffmpeg 5.1 sends, verbatim (the Play one with its glued last line).
const char kDescribe[] =
    "GET / HTTP/1.1\r\nAccept: */*\r\nUser-Agent: NSPlayer/4.1.0.3856\r\nHost: 127.0.0.1:3333\r\n"
    "Pragma: no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,request-context=1,max-duration=0\r\n"
    "Pragma: xClientGUID={c77e7400-738a-11d2-9add-0020af0a3278}\r\nConnection: Close\r\n\r\n";
const char kPlay[] =
    "GET / HTTP/1.1\r\nAccept: */*\r\nUser-Agent: NSPlayer/4.1.0.3856\r\nHost: 127.0.0.1:3333\r\n"
    "Pragma: no-cache,rate=1.000000,request-context=2\r\nPragma: xPlayStrm=1\r\n"
    "Pragma: xClientGUID={c77e7400-738a-11d2-9add-0020af0a3278}\r\nPragma: stream-switch-count=1\r\n"
    "Pragma: stream-switch-entry=ffff:1:0 \r\n"
    "Pragma: no-cache,rate=1.000000,stream-time=0Connection: Close\r\n\r\n";

class Winsock {
public:
  Winsock() {
    WSADATA data;
    ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~Winsock() {
    if (ok) WSACleanup();
  }
  bool ok;
};

// A plain TCP client for the hostile and silent cases.
class RawClient {
public:
  explicit RawClient(DWORD port) {
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    connected = connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  }
  ~RawClient() { closesocket(socket_); }
  void Send(const std::string& text) { (void)send(socket_, text.data(), static_cast<int>(text.size()), 0); }
  // Everything until the server closes or the deadline passes; `closed`
  // says which.
  std::string ReadAll(DWORD deadlineMs, bool* closed) {
    std::string received;
    const DWORD end = GetTickCount() + deadlineMs;
    *closed = false;
    while (GetTickCount() < end) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(socket_, &set);
      timeval wait{0, 50000};
      if (select(0, &set, nullptr, nullptr, &wait) <= 0) continue;
      char buffer[4096];
      const int got = recv(socket_, buffer, sizeof(buffer), 0);
      if (got <= 0) {
        *closed = true;
        break;
      }
      received.append(buffer, got);
    }
    return received;
  }
  bool connected = false;

private:
  SOCKET socket_;
};

// A writer filter fed with live test frames by a thread of its own, with
// the built-in sink serving it.
class LiveWriter {
public:
  LiveWriter(const std::wstring& file, int width, int height, DWORD port, DWORD maxClients)
      : width_(width), height_(height), samples_(width * height * 3, 4) {
    filter = MakeWriter(kVideoOnly56, file);
    input_ = ConnectVideo(filter.Get(), MEDIASUBTYPE_RGB24, width, height, 24);

    REQUIRE(SUCCEEDED(platform::CreateBuiltInNetworkSink(sink.GetAddressOf())));
    REQUIRE(SUCCEEDED(sink->SetMaximumClients(maxClients)));
    this->port = port;
    openResult = sink->Open(&this->port);
    ComPtr<IServiceProvider> provider;
    REQUIRE(SUCCEEDED(filter.As(&provider)));
    ComPtr<IWMWriterAdvanced2> advanced;
    REQUIRE(SUCCEEDED(provider->QueryService(IID_IWMWriterAdvanced2, IID_IWMWriterAdvanced2,
                                             reinterpret_cast<void**>(advanced.GetAddressOf()))));
    REQUIRE(SUCCEEDED(advanced->AddSink(sink.Get())));
    REQUIRE(SUCCEEDED(filter->Run(0)));
    feeder_ = std::thread([this] { Feed(); });
  }
  ~LiveWriter() { Stop(); }

  void Stop() {
    if (!feeder_.joinable()) return;
    stop_ = true;
    feeder_.join();
    (void)filter->Stop();  // test teardown; checked through the file
    (void)sink->Close();
  }
  DWORD Clients() {
    ComPtr<IWMClientConnections> connections;
    DWORD count = 0;
    if (SUCCEEDED(sink->QueryInterface(IID_IWMClientConnections, reinterpret_cast<void**>(connections.GetAddressOf()))))
      (void)connections->GetClientCount(&count);
    return count;
  }
  platform::AsfWritingSession::Counters Counters() {
    return static_cast<platform::AsfWriterFilter*>(filter.Get())->LastCounters();
  }
  // While held no frame is fed: clients that connect meanwhile stay, waiting.
  void Hold(bool held) { held_ = held; }

  ComPtr<IBaseFilter> filter;
  ComPtr<IWMWriterNetworkSink> sink;
  DWORD port = 0;
  HRESULT openResult = E_FAIL;

private:
  // Thread: the feeder, standing in for a capture pin at 25 frames/s.
  void Feed() {
    auto next = std::chrono::steady_clock::now();
    for (int i = 0; !stop_; ++i) {
      while (held_ && !stop_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        next = std::chrono::steady_clock::now();
      }
      std::this_thread::sleep_until(next);
      next += std::chrono::milliseconds(40);
      const std::vector<uint8_t> frame = TestFrameRGB24(width_, height_, i);
      ComPtr<IMediaSample> sample = samples_.Make(frame.data(), frame.size(), i * 400000LL, (i + 1) * 400000LL);
      if (sample) (void)input_->Receive(sample.Get());  // counted by the filter
    }
  }

  int width_;
  int height_;
  SampleSource samples_;
  ComPtr<IMemInputPin> input_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> held_{false};
  std::thread feeder_;
};

std::string MmshUrl(DWORD port) { return "mmsh://127.0.0.1:" + std::to_string(port) + "/"; }

std::string FfmpegClient(DWORD port, int frames) {
  return "ffmpeg -nostdin -v error -i " + MmshUrl(port) + " -frames:v " + std::to_string(frames) +
         " -f framemd5 - | grep -vc '^#'";
}

}  // namespace

TEST_CASE("requests are recognised the way WMSP clients send them") {
  SUBCASE("ffmpeg's describe and play") {
    CHECK(platform::RequestHeadLength(kDescribe) == sizeof(kDescribe) - 1);
    const platform::WmspRequest describe = platform::ParseWmspRequest(kDescribe);
    CHECK(describe.valid);
    CHECK_FALSE(describe.play);
    const platform::WmspRequest play = platform::ParseWmspRequest(kPlay);
    CHECK(play.valid);
    CHECK(play.play);
  }
  SUBCASE("incomplete, foreign and malformed requests") {
    CHECK(platform::RequestHeadLength("GET / HTTP/1.0\r\nPragma: x") == 0);
    CHECK(platform::RequestHeadLength("GET / HTTP/1.0\n\n") == 16);
    CHECK_FALSE(platform::ParseWmspRequest("POST / HTTP/1.0\r\n\r\n").valid);
    CHECK_FALSE(platform::ParseWmspRequest("GET\r\n\r\n").valid);
    CHECK_FALSE(platform::ParseWmspRequest("GET /\r\n\r\n").valid);
    CHECK_FALSE(platform::ParseWmspRequest(std::string("\0\x01\xff garbage\r\n\r\n", 16)).valid);
    CHECK_FALSE(platform::ParseWmspRequest("GET / HTTP/1.0\r\nX-Other: xPlayStrm=1\r\n\r\n").play);
  }
}

TEST_CASE("WMSP framing") {
  SUBCASE("a data packet") {
    const Bytes packet(3200, 0xAB);
    const Bytes framed = platform::FrameWmspData(packet.data(), packet.size(), 7);
    const Bytes prefix = {0x24, 0x44, 0x88, 0x0C, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00, 0x88, 0x0C};
    REQUIRE(framed.size() == 12 + 3200);
    CHECK(Bytes(framed.begin(), framed.begin() + 12) == prefix);
    CHECK(framed.back() == 0xAB);
    CHECK(platform::FrameWmspData(packet.data(), 70000, 1).empty());
  }
  SUBCASE("the header in one chunk, the end marker") {
    const Bytes header(1000, 1);
    const Bytes framed = platform::FrameWmspHeader(header);
    REQUIRE(framed.size() == 1012);
    CHECK(framed[0] == 0x24);
    CHECK(framed[1] == 0x48);
    CHECK((framed[2] | framed[3] << 8) == 1008);
    CHECK((framed[10] | framed[11] << 8) == 1008);
    CHECK(platform::FrameWmspEnd() == Bytes{0x24, 0x45, 0x04, 0x00, 0, 0, 0, 0});
  }
  SUBCASE("where a late client may start") {
    DiscardOutput out;
    platform::AsfStream stream;
    stream.format.resize(40);
    platform::AsfMuxer muxer({stream}, false, out);
    std::vector<Bytes> packets;
    muxer.SetPacketObserver([&](const Bytes& packet) { packets.push_back(packet); });
    REQUIRE(muxer.Begin());
    const Bytes big(10000, 5);
    REQUIRE(muxer.WriteSample(1, big.data(), big.size(), 0, 40, true));
    REQUIRE(muxer.WriteSample(1, big.data(), big.size(), 40, 40, true));
    REQUIRE(muxer.WriteSample(1, big.data(), big.size(), 80, 40, false));
    REQUIRE(muxer.Finish(FILETIME{}));
    REQUIRE(packets.size() == 9);
    // Packet 0 starts object 0; 1 and the short live packet 2 continue it;
    // key object 1 opens packet 3; 5 ends it; 6 starts the delta object 2
    // (the rest of 5's file packet) and 8 ends it.
    for (size_t i = 0; i < packets.size(); ++i)
      CHECK(platform::AsfPacketStartsKeyFrame(packets[i].data(), packets[i].size()) == (i == 0 || i == 3));
    CHECK_FALSE(platform::AsfPacketStartsKeyFrame(packets[0].data(), 10));
  }
}

TEST_CASE("the built-in sink serves ffmpeg's mmsh client and survives hostile clients") {
  Winsock winsock;
  REQUIRE(winsock.ok);
  const std::wstring folder = MakeTempFolder(L"asfnet");
  const std::wstring file = folder + L"\\live.asf";
  auto writer = std::make_unique<LiveWriter>(file, 160, 120, 0, 8);
  REQUIRE(SUCCEEDED(writer->openResult));
  REQUIRE(writer->port != 0);
  const DWORD port = writer->port;

  SUBCASE("eight clients decode at once and a ninth is refused") {
    // Held frames keep the first clients waiting however slowly the last start.
    writer->Hold(true);
    std::vector<std::unique_ptr<NativeProcess>> clients;
    for (int i = 0; i < 8; ++i) clients.push_back(std::make_unique<NativeProcess>(FfmpegClient(port, 75)));
    REQUIRE(PumpUntil([&] { return writer->Clients() == 8; }, std::chrono::seconds(60)));
    const NativeResult refused = RunNative("ffmpeg -nostdin -v error -i " + MmshUrl(port) + " -f null -", 30000);
    CHECK(refused.finished);
    CHECK(refused.exitCode != 0);
    writer->Hold(false);
    for (auto& client : clients) {
      const NativeResult result = client->Wait(60000);
      CHECK(result.exitCode == 0);
      CHECK(result.output == "75\n");
    }
  }

  SUBCASE("a client that never reads costs the file no frame") {
    RawClient silent(port);
    REQUIRE(silent.connected);
    silent.Send(kPlay);
    REQUIRE(PumpUntil([&] { return writer->Clients() == 1; }));
    // Long enough for its queue and socket buffers to fill up.
    CHECK(RunNative(FfmpegClient(port, 100), 60000).output == "100\n");
    // With the silent client's queue full, a sink that blocked the encoder
    // would stop the file growing; it keeps taking frames instead.
    const unsigned written = writer->Counters().written;
    CHECK(PumpUntil([&] { return writer->Counters().written >= written + 25; }, std::chrono::seconds(30)));
    writer->Stop();
    const auto counters = writer->Counters();
    CHECK(ProbeFile(file).frames == static_cast<int>(counters.written));
  }

  SUBCASE("garbage, oversized and half-sent requests close only their own connection") {
    bool closed = false;
    RawClient garbage(port);
    garbage.Send(std::string("\x16\x03\x01 hello\r\n\r\n", 13));
    CHECK(garbage.ReadAll(5000, &closed).rfind("HTTP/1.0 400", 0) == 0);
    CHECK(closed);

    RawClient oversized(port);
    oversized.Send("GET / HTTP/1.0\r\n" + std::string(20000, 'a'));
    (void)oversized.ReadAll(5000, &closed);
    CHECK(closed);

    RawClient half(port);
    half.Send("GET / HTTP/1.0\r\nPragma: xPla");
    // Meanwhile a real client is served.
    CHECK(RunNative(FfmpegClient(port, 10), 60000).output == "10\n");
    (void)half.ReadAll(platform::WmspServer::kRequestTimeoutMs + 3000, &closed);
    CHECK(closed);

    writer->Stop();
    const auto counters = writer->Counters();
    CHECK(counters.written == counters.delivered - counters.dropped);
    CHECK(ProbeFile(file).frames == static_cast<int>(counters.written));
  }

  SUBCASE("a second sink cannot take a port that is serving; the first goes on") {
    auto second = std::make_unique<LiveWriter>(folder + L"\\second.asf", 64, 48, port, 8);
    CHECK(FAILED(second->openResult));
    const NativeResult probe = RunNative("ffprobe -v error -show_entries stream=width -of csv=p=0 " + MmshUrl(port), 60000);
    CHECK(probe.output == "160\n");
    second->Stop();
    CHECK(ProbeFile(folder + L"\\second.asf").frames > 0);
  }
  writer.reset();
  RemoveTree(folder);
}

TEST_CASE("a client that stops reading is dropped once its queue is full") {
  Winsock winsock;
  REQUIRE(winsock.ok);
  ComPtr<IWMWriterNetworkSink> sink;
  REQUIRE(SUCCEEDED(platform::CreateBuiltInNetworkSink(sink.GetAddressOf())));
  DWORD port = 0;
  REQUIRE(SUCCEEDED(sink->Open(&port)));
  ComPtr<IWMClientConnections> connections;
  REQUIRE(SUCCEEDED(sink->QueryInterface(IID_IWMClientConnections, reinterpret_cast<void**>(connections.GetAddressOf()))));
  const auto clients = [&] {
    DWORD count = 0;
    (void)connections->GetClientCount(&count);  // stays 0 on failure, which fails the waits
    return count;
  };

  DiscardOutput out;
  platform::AsfStream stream;
  stream.format.resize(40);
  platform::AsfMuxer muxer({stream}, false, out);
  muxer.SetPacketObserver([&](const Bytes& packet) {
    const ComPtr<INSSBuffer> unit = platform::MemoryNssBuffer::Create(packet.data(), packet.size());
    CHECK(SUCCEEDED(sink->OnDataUnit(unit.Get())));
  });
  REQUIRE(muxer.Begin());
  const ComPtr<INSSBuffer> header = platform::MemoryNssBuffer::Create(muxer.Header().data(), muxer.Header().size());
  REQUIRE(SUCCEEDED(sink->OnHeader(header.Get())));

  RawClient silent(port);
  silent.Send(kPlay);
  REQUIRE(PumpUntil([&] { return clients() == 1; }));
  const Bytes frame(40000, 0x5A);
  uint32_t time = 0;
  // 80 MB: far more than the client's queue and the socket buffers hold.
  CHECK(PumpUntil([&] {
    for (int i = 0; i < 20; ++i, time += 40) muxer.WriteSample(1, frame.data(), frame.size(), time, 40, true);
    return clients() == 0 || time > 80000;
  }, std::chrono::seconds(60)));
  CHECK(clients() == 0);
  (void)sink->Close();  // test teardown
}
