// The whole program with four test cameras at 640 x 480, 30 fps: start-up,
// live monitoring with four and with one channel, recording, eight live
// stream clients on each channel's port, the working-set trim and segment
// switches, one table each.
// Run: ./scripts/wine-run build/bin/bench_whole_program_bench.exe [street]
// It registers four test cameras, points the settings file at a temporary
// storage folder, runs itself again as the program (the start-up code
// cammon.exe runs, driven from a thread timer inside its message loop) and
// clears the cameras and the folder afterwards.
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>
#include <dshow.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_form.h"
#include "bench/host_programs.h"
#include "app/startup.h"
#include "support/asf_packet.h"
#include "platform/asf_writer/asf_writer_filter.h"
#include "platform/mixing_renderer/mixing_renderer.h"
#include "platform/platform_factory.h"
#include "support/test_cameras.h"

using Microsoft::WRL::ComPtr;
using bench::HostPath;
using bench::ReadWholeFile;
using bench::RunOnHost;

namespace {

constexpr int kChannels = 4;
constexpr double kFrameRate = 30;
constexpr double kWarmUp = 2;    // seconds before each measured interval
constexpr double kInterval = 10;  // seconds measured
constexpr int kClientsPerPort = 8;
constexpr int kClients = kClientsPerPort * kChannels;
constexpr u_short kFirstStreamPort = 3333;  // channel n serves on 3333 + n - 1

// ---- clocks -------------------------------------------------------------

double Seconds() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::uint64_t Ticks(const FILETIME& time) {
  return static_cast<std::uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

double ProcessCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  return static_cast<double>(Ticks(kernel) + Ticks(user)) / 1e7;
}

double SinceProcessStart() {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
  GetSystemTimePreciseAsFileTime(&now);
  return static_cast<double>(Ticks(now) - Ticks(created)) / 1e7;
}

// Maps this machine's performance counter onto a graph's reference clock.
struct ClockMap {
  REFERENCE_TIME offset = 0;  // clock time minus counter time, 100 ns

  static REFERENCE_TIME Counter() { return static_cast<REFERENCE_TIME>(Seconds() * 1e7); }

  // The offset of the tightest of several readings bracketed by the counter.
  static ClockMap Measure(IReferenceClock* clock) {
    ClockMap best;
    REFERENCE_TIME narrowest = INT64_MAX;
    for (int i = 0; i < 50; ++i) {
      const REFERENCE_TIME before = Counter();
      REFERENCE_TIME time = 0;
      if (FAILED(clock->GetTime(&time))) continue;
      const REFERENCE_TIME after = Counter();
      if (after - before < narrowest) {
        narrowest = after - before;
        best.offset = time - (before + after) / 2;
      }
    }
    return best;
  }
  REFERENCE_TIME ClockNow() const { return Counter() + offset; }
};

// ---- the program's insides ------------------------------------------------

ComPtr<IBaseFilter> MemberFilter(TComponent* member) {
  ComPtr<IBaseFilter> filter;
  if (FAILED(member->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(filter.GetAddressOf()))))
    return nullptr;
  return filter;
}

// Under Wine the panes always use the built-in renderer and recordings the
// built-in writer; elsewhere these figures are not available.
platform::MixingRenderer* BuiltInRenderer(IBaseFilter* filter) {
  CLSID clsid;
  if (!filter || !platform::RunningUnderWine() || FAILED(filter->GetClassID(&clsid)) ||
      clsid != CLSID_VideoMixingRenderer9)
    return nullptr;
  return static_cast<platform::MixingRenderer*>(filter);
}

platform::AsfWriterFilter* BuiltInWriter(IBaseFilter* filter) {
  CLSID clsid;
  if (!filter || !platform::RunningUnderWine() || FAILED(filter->GetClassID(&clsid)) ||
      clsid != CLSID_WMAsfWriter)
    return nullptr;
  return static_cast<platform::AsfWriterFilter*>(filter);
}

struct ChannelCounts {
  bool rendering = false;
  int drawn = 0;
  int dropped = 0;
  bool writing = false;
  platform::AsfWritingSession::Counters writer{};
};

struct Snapshot {
  double time = 0;
  double cpu = 0;
  std::array<ChannelCounts, kChannels> channels{};
};

Snapshot Take() {
  Snapshot shot;
  for (int i = 0; i < kChannels; ++i) {
    const TChannel& channel = mainForm->Channel(i + 1);
    ChannelCounts& counts = shot.channels[i];
    ComPtr<IQualProp> quality;
    if (ComPtr<IBaseFilter> renderer = MemberFilter(channel.VideoWindow);
        renderer && SUCCEEDED(renderer->QueryInterface(IID_IQualProp, reinterpret_cast<void**>(quality.GetAddressOf())))) {
      counts.rendering = SUCCEEDED(quality->get_FramesDrawn(&counts.drawn)) &&
                         SUCCEEDED(quality->get_FramesDroppedInRenderer(&counts.dropped));
    }
    if (ComPtr<IBaseFilter> writer = MemberFilter(channel.ASFWriter)) {
      if (platform::AsfWriterFilter* ours = BuiltInWriter(writer.Get())) {
        counts.writing = true;
        counts.writer = ours->LastCounters();
      }
    }
  }
  shot.cpu = ProcessCpuSeconds();
  shot.time = Seconds();
  return shot;
}

void Pump(double seconds) {
  const double end = Seconds() + seconds;
  while (Seconds() < end) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

// The frames, CPU and writer figures of one measured interval.
struct Interval {
  Snapshot from, to;
  double Length() const { return to.time - from.time; }
  double CpuPerSecond() const { return (to.cpu - from.cpu) / Length(); }
  int Drawn(int i) const { return to.channels[i].drawn - from.channels[i].drawn; }
  int Dropped(int i) const { return to.channels[i].dropped - from.channels[i].dropped; }
  // Every frame the camera's preview pin sends reaches the renderer, which
  // draws it or drops it as late.
  int Sent(int i) const { return Drawn(i) + Dropped(i); }
  bool Rendering(int i) const { return from.channels[i].rendering && to.channels[i].rendering; }
  bool Writing(int i) const { return from.channels[i].writing && to.channels[i].writing; }
  std::uint64_t Writer(int i, std::uint64_t platform::AsfWritingSession::Counters::*field) const {
    return to.channels[i].writer.*field - from.channels[i].writer.*field;
  }
};

Interval Measure(double seconds) {
  Pump(kWarmUp);
  Interval interval;
  interval.from = Take();
  Pump(seconds);
  interval.to = Take();
  return interval;
}

void StopChannel(int number) {
  // As the pane's 停止 does.
  TFilterGraph* graph = mainForm->Channel(number).FilterGraph;
  graph->Stop();
  graph->SetActive(false);
}

// ---- host programs (ffprobe) ----------------------------------------------

// The value after "key=" on its own line in ffprobe's output, from `from` on.
std::string Field(const std::string& text, const std::string& key, size_t from) {
  const size_t at = text.find("\n" + key + "=", from);
  if (at == std::string::npos) return std::string();
  const size_t begin = at + key.size() + 2;
  return text.substr(begin, text.find('\n', begin) - begin);
}

struct RecordedFile {
  bool found = false;
  long long frames = 0;
  double duration = 0;
  double kbits = 0;
  std::string codec;
  std::string size;
};

std::array<RecordedFile, kChannels> ProbeRecordings(const std::wstring& storage) {
  std::string script = "base='" + HostPath(storage) + "'\nfor n in 1 2 3 4; do for f in \"$base\"/*/\"#$n\"/*.asf; do"
                       " [ -f \"$f\" ] || continue; echo; echo channel=$n;"
                       " ffprobe -v error -count_packets -select_streams v:0 -show_entries"
                       " stream=codec_name,width,height,nb_read_packets:format=duration,bit_rate"
                       " -of default=nw=1 \"$f\"; done; done";
  const std::string output = RunOnHost(storage, script, 120000);
  std::array<RecordedFile, kChannels> files{};
  for (int n = 1; n <= kChannels; ++n) {
    const size_t at = output.find("\nchannel=" + std::to_string(n) + "\n");
    if (at == std::string::npos) continue;
    RecordedFile& file = files[n - 1];
    const size_t next = output.find("\nchannel=", at + 1);
    const std::string block = "\n" + output.substr(at + 1, next == std::string::npos ? std::string::npos : next - at);
    file.found = true;
    file.codec = Field(block, "codec_name", 0);
    file.size = Field(block, "width", 0) + "x" + Field(block, "height", 0);
    file.frames = std::atoll(Field(block, "nb_read_packets", 0).c_str());
    file.duration = std::atof(Field(block, "duration", 0).c_str());
    file.kbits = std::atof(Field(block, "bit_rate", 0).c_str()) / 1000;
  }
  return files;
}

// ---- a WMSP (mmsh) client -------------------------------------------------

struct ClientFigures {
  std::string error;
  bool header = false;
  int frames = 0;  // whole video frames, from the first one that began after joining
  int missed = 0;  // frames skipped in the stream's media object numbers
  double firstFrame = 0, lastFrame = 0;  // Seconds() of their receipt
  std::vector<double> delaysMs;  // from the camera's time stamp to receipt, per frame
};

std::uint32_t LE(const std::uint8_t* p, int bytes) {
  std::uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

// Reads one ASF data packet's payloads and completes the frames they end.
class PacketReader {
public:
  PacketReader(ClientFigures& figures, REFERENCE_TIME streamStart)
      : figures_(figures), streamStart_(streamStart) {}

  void SetPreroll(std::uint64_t prerollMs) { prerollMs_ = prerollMs; }

  // False when the packet does not parse.
  bool Read(const std::uint8_t* packet, size_t size, double receipt, REFERENCE_TIME receiptClock) {
    const std::optional<AsfPacket> parsed = ParseAsfPacket(packet, size);
    if (!parsed) return false;
    for (const AsfPayload& payload : parsed->payloads)
      Payload(payload.stream, payload.object, payload.offset, static_cast<std::uint32_t>(payload.data.size()),
              payload.objectSize, payload.presentation, receipt, receiptClock);
    return true;
  }

private:
  void Payload(std::uint8_t stream, std::uint32_t object, std::uint32_t offset, std::uint32_t length,
               std::uint32_t objectSize, std::uint32_t presentation, double receipt, REFERENCE_TIME receiptClock) {
    if (offset == 0) {
      stream_ = stream;
      object_ = static_cast<int>(object);
      got_ = 0;
      whole_ = true;
    } else if (stream != stream_ || static_cast<int>(object) != object_ || offset != got_) {
      whole_ = false;  // joined mid-frame or lost a piece
    }
    got_ = offset + length;
    if (!whole_ || got_ != objectSize) return;
    whole_ = false;
    if (lastObject_ >= 0) figures_.missed += ((object_ - lastObject_) & 0xFF) - 1;
    lastObject_ = object_;
    if (figures_.frames++ == 0) figures_.firstFrame = receipt;
    figures_.lastFrame = receipt;
    const REFERENCE_TIME captured =
        streamStart_ + (static_cast<REFERENCE_TIME>(presentation) - static_cast<REFERENCE_TIME>(prerollMs_)) * 10000;
    figures_.delaysMs.push_back(static_cast<double>(receiptClock - captured) / 1e4);
  }

  ClientFigures& figures_;
  const REFERENCE_TIME streamStart_;
  std::uint64_t prerollMs_ = 0;
  std::uint8_t stream_ = 0;
  int object_ = -1;
  std::uint32_t got_ = 0;
  bool whole_ = false;
  int lastObject_ = -1;
};

// The ASF header's preroll (File Properties +80), or 0 when absent.
std::uint64_t HeaderPreroll(const std::uint8_t* header, size_t size) {
  static const std::uint8_t kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                   0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  for (size_t at = 30; at + 24 <= size;) {
    const std::uint64_t objectSize = LE(header + at + 16, 4) | std::uint64_t{LE(header + at + 20, 4)} << 32;
    if (std::memcmp(header + at, kFileProperties, 16) == 0 && at + 88 <= size)
      return LE(header + at + 80, 4) | std::uint64_t{LE(header + at + 84, 4)} << 32;
    if (objectSize < 24) break;
    at += objectSize;
  }
  return 0;
}

// Plays the live stream as ffmpeg's mmsh client asks for it until `stop`.
void ReadStream(u_short port, REFERENCE_TIME streamStart, ClockMap clock, const std::atomic<bool>& stop,
                ClientFigures& figures) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    figures.error = "socket";
    return;
  }
  const DWORD timeoutMs = 200;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof(timeoutMs));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const std::string request =
      "GET / HTTP/1.1\r\nAccept: */*\r\nUser-Agent: NSPlayer/4.1.0.3856\r\nHost: 127.0.0.1:" +
      std::to_string(port) + "\r\n"
      "Pragma: no-cache,rate=1.000000,request-context=2\r\nPragma: xPlayStrm=1\r\n"
      "Pragma: xClientGUID={c77e7400-738a-11d2-9add-0020af0a3278}\r\nPragma: stream-switch-count=1\r\n"
      "Pragma: stream-switch-entry=ffff:1:0 \r\nConnection: Close\r\n\r\n";
  if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      send(s, request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size())) {
    figures.error = "connect";
    closesocket(s);
    return;
  }
  PacketReader reader(figures, streamStart);
  std::vector<std::uint8_t> buffer;
  bool response = false;
  char chunk[65536];
  while (!stop) {
    const int got = recv(s, chunk, sizeof(chunk), 0);
    if (got == 0) break;
    if (got < 0) {
      if (WSAGetLastError() == WSAETIMEDOUT) continue;
      figures.error = "recv";
      break;
    }
    const double receipt = Seconds();
    const REFERENCE_TIME receiptClock = clock.ClockNow();
    buffer.insert(buffer.end(), chunk, chunk + got);
    size_t used = 0;
    if (!response) {
      const std::string text(buffer.begin(), buffer.end());
      const size_t headEnd = text.find("\r\n\r\n");
      if (headEnd == std::string::npos) continue;
      if (text.size() < 12 || text.compare(0, 5, "HTTP/") != 0 || text.compare(9, 3, "200") != 0) {
        figures.error = "answer: " + text.substr(0, text.find('\r'));
        break;
      }
      response = true;
      used = headEnd + 4;
    }
    while (buffer.size() - used >= 4) {
      const std::uint8_t* frame = buffer.data() + used;
      const size_t length = LE(frame + 2, 2);
      if ((frame[0] & 0x7F) != 0x24) {
        figures.error = "framing";
        break;
      }
      if (buffer.size() - used < 4 + length) break;
      const std::uint8_t* body = frame + 4;
      if (frame[1] == 'H' && length >= 8) {
        figures.header = true;
        reader.SetPreroll(HeaderPreroll(body + 8, length - 8));
      } else if (frame[1] == 'D' && length >= 8) {
        if (!reader.Read(body + 8, length - 8, receipt, receiptClock)) figures.error = "packet";
      }
      used += 4 + length;
    }
    if (!figures.error.empty()) break;
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(used));
  }
  closesocket(s);
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())))];
}

// ---- the benchmarks --------------------------------------------------------

struct StartUp {
  double mainEntered = -1;
  double windowShown = -1;
  std::array<double, kChannels> firstFrame{-1, -1, -1, -1};
} startUp;

std::wstring storageFolder;

void PrintStartUp() {
  std::printf("\n### Start-up (seconds since the process was created)\n\n| moment | s |\n|---|---|\n");
  std::printf("| main() entered | %.3f |\n| main window shown | %.3f |\n", startUp.mainEntered, startUp.windowShown);
  double all = 0;
  for (int i = 0; i < kChannels; ++i) {
    std::printf("| pane %d: first frame drawn | %.3f |\n", i + 1, startUp.firstFrame[i]);
    all = startUp.firstFrame[i] < 0 || all < 0 ? -1 : std::max(all, startUp.firstFrame[i]);
  }
  std::printf("| all four panes live | %.3f |\n", all);
}

void PrintLiveRows(const char* label, const Interval& interval, int channels) {
  for (int i = 0; i < channels; ++i) {
    if (!interval.Rendering(i)) {
      std::printf("| %s | %d | not rendering |\n", label, i + 1);
      continue;
    }
    std::printf("| %s | %d | %.1f | %.1f | %.1f | %d |\n", label, i + 1, kFrameRate, interval.Sent(i) / interval.Length(),
                interval.Drawn(i) / interval.Length(), interval.Dropped(i));
  }
}

void LiveMonitoring() {
  const Interval four = Measure(kInterval);
  for (int number = 2; number <= kChannels; ++number) StopChannel(number);
  const Interval one = Measure(kInterval);
  std::printf("\n### Live monitoring (%.0f s per row group after %.0f s warm-up)\n\n", kInterval, kWarmUp);
  std::printf("| channels live | channel | camera schedule frames/s | sent by camera frames/s | drawn frames/s | dropped |\n");
  std::printf("|---|---|---|---|---|---|\n");
  PrintLiveRows("4", four, kChannels);
  PrintLiveRows("1", one, 1);
  std::printf("| 4 | process CPU s/s | %.3f | | | |\n", four.CpuPerSecond());
  std::printf("| 1 | process CPU s/s | %.3f | | | |\n", one.CpuPerSecond());
  std::printf("\nCPU ratio 4 channels / 1 channel: %.2f\n", four.CpuPerSecond() / one.CpuPerSecond());
}

struct MemoryFigures {
  double workingSet = 0, peakWorkingSet = 0, committed = 0;
};

MemoryFigures Memory() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  MemoryFigures figures;
  if (K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
    figures.workingSet = static_cast<double>(counters.WorkingSetSize) / (1 << 20);
    figures.peakWorkingSet = static_cast<double>(counters.PeakWorkingSetSize) / (1 << 20);
    figures.committed = static_cast<double>(counters.PagefileUsage) / (1 << 20);
  }
  return figures;
}

void WorkingSetTrim() {
  Pump(kWarmUp);
  const MemoryFigures before = Memory();
  mainForm->Timer1Timer(nullptr);  // the 30 s housekeeping tick: the trim
  const MemoryFigures after = Memory();
  Pump(1);
  const MemoryFigures second = Memory();
  Pump(4);
  const MemoryFigures fifth = Memory();
  std::printf("\n### Memory around the working-set trim (four channels live)\n\n");
  std::printf("| moment | working set MiB | peak working set MiB | committed MiB |\n|---|---|---|---|\n");
  const auto row = [](const char* moment, const MemoryFigures& m) {
    std::printf("| %s | %.1f | %.1f | %.1f |\n", moment, m.workingSet, m.peakWorkingSet, m.committed);
  };
  row("before the trim", before);
  row("right after", after);
  row("1 s after", second);
  row("5 s after", fifth);
  std::printf("\nWorking set after / before: %.2f\n", after.workingSet / before.workingSet);
}

void PrintStreaming(const std::array<ClientFigures, kClients>& clients, double seconds) {
  std::printf("\n### Live stream: %d clients on each channel's port while four channels record (%.0f s)\n\n",
              kClientsPerPort, seconds);
  std::printf("| port | client | frames | frames/s | missed | delay min ms | median ms | 95th ms | max ms | error |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
  std::vector<double> allDelays;
  int missed = 0;
  for (int i = 0; i < kClients; ++i) {
    const ClientFigures& c = clients[i];
    const double span = c.lastFrame - c.firstFrame;
    allDelays.insert(allDelays.end(), c.delaysMs.begin(), c.delaysMs.end());
    missed += c.missed;
    std::printf("| %d | %d | %d | %.1f | %d | %.1f | %.1f | %.1f | %.1f | %s |\n", kFirstStreamPort + i / kClientsPerPort,
                i % kClientsPerPort + 1, c.frames,
                span > 0 ? (c.frames - 1) / span : 0.0, c.missed, Percentile(c.delaysMs, 0),
                Percentile(c.delaysMs, 0.5), Percentile(c.delaysMs, 0.95), Percentile(c.delaysMs, 1),
                c.error.empty() ? (c.header ? "" : "no header") : c.error.c_str());
  }
  std::printf("\nAll %d clients: %d frames missed, median delay %.1f ms, 95th %.1f ms\n", kClients, missed,
              Percentile(allDelays, 0.5), Percentile(allDelays, 0.95));
}

void RecordingAndStreaming() {
  mainForm->playBtnClick(nullptr);
  Pump(1);
  mainForm->recBtnClick(nullptr);
  const double recordingStarted = Seconds();
  const Interval recording = Measure(kInterval);

  // The clients need the time each channel's camera stamps count from.
  std::array<ClientFigures, kClients> clients{};
  std::array<ComPtr<IReferenceClock>, kChannels> clocks;
  std::array<ClockMap, kChannels> maps{};
  std::array<REFERENCE_TIME, kChannels> streamStarts{};
  bool clocked = true;
  for (int i = 0; i < kChannels; ++i) {
    ComPtr<IBaseFilter> renderer = MemberFilter(mainForm->Channel(i + 1).VideoWindow);
    platform::MixingRenderer* ours = BuiltInRenderer(renderer.Get());
    if (!ours || FAILED(renderer->GetSyncSource(&clocks[i])) || !clocks[i]) {
      clocked = false;
      break;
    }
    maps[i] = ClockMap::Measure(clocks[i].Get());
    streamStarts[i] = ours->StreamStart();
  }
  Interval streaming;
  if (!clocked) {
    std::printf("\na channel has no built-in renderer with a clock: no stream figures\n");
  } else {
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < kClients; ++i) {
      const int channel = i / kClientsPerPort;
      threads.emplace_back([&, i, channel] {
        ReadStream(static_cast<u_short>(kFirstStreamPort + channel), streamStarts[channel], maps[channel], stop,
                   clients[i]);
      });
    }
    streaming = Measure(kInterval);
    stop = true;
    for (std::thread& thread : threads) thread.join();
    const ClockMap later = ClockMap::Measure(clocks[0].Get());
    PrintStreaming(clients, kInterval + kWarmUp);
    std::printf("\nClock drift of channel 1 against the performance counter over the run: %.2f ms\n",
                static_cast<double>(later.offset - maps[0].offset) / 1e4);
  }
  // Kept past 停止录像, which detaches the writers: their final counts are
  // read once the files are closed.
  std::array<ComPtr<IBaseFilter>, kChannels> writers;
  for (int i = 0; i < kChannels; ++i) writers[i] = MemberFilter(mainForm->Channel(i + 1).ASFWriter);
  mainForm->recBtnClick(nullptr);  // 停止录像
  std::array<platform::AsfWritingSession::Counters, kChannels> total{};
  for (int i = 0; i < kChannels; ++i)
    if (platform::AsfWriterFilter* writer = BuiltInWriter(writers[i].Get())) total[i] = writer->LastCounters();
  const double recordedFor = Seconds() - recordingStarted;
  const std::array<RecordedFile, kChannels> files = ProbeRecordings(storageFolder);

  using Counters = platform::AsfWritingSession::Counters;
  std::printf("\n### Recording, four channels (%.0f s intervals; files %.1f s long)\n\n", kInterval, recordedFor);
  std::printf("| channel | written/s | writer dropped | preview drawn/s | preview dropped |"
              " written/s, 32 clients | writer dropped, 32 clients | preview drawn/s, 32 clients |"
              " preview dropped, 32 clients | written in all | file frames (ffprobe) | file s | file kbit/s | codec |\n");
  std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
  for (int i = 0; i < kChannels; ++i) {
    const bool withClients = streaming.Length() > 0;
    const RecordedFile& file = files[i];
    std::printf("| %d | %.1f | %llu | %.1f | %d | ", i + 1,
                recording.Writer(i, &Counters::written) / recording.Length(),
                static_cast<unsigned long long>(recording.Writer(i, &Counters::dropped)),
                recording.Drawn(i) / recording.Length(), recording.Dropped(i));
    if (withClients)
      std::printf("%.1f | %llu | %.1f | %d | ", streaming.Writer(i, &Counters::written) / streaming.Length(),
                  static_cast<unsigned long long>(streaming.Writer(i, &Counters::dropped)),
                  streaming.Drawn(i) / streaming.Length(), streaming.Dropped(i));
    else
      std::printf("- | - | - | - | ");
    std::printf("%llu | %lld | %.2f | %.0f | %s %s |\n", static_cast<unsigned long long>(total[i].written),
                file.found ? file.frames : -1, file.duration, file.kbits, file.codec.c_str(), file.size.c_str());
  }
  std::printf("| CPU s/s | %.3f | | | | %.3f | | | | | | | | |\n", recording.CpuPerSecond(),
              streaming.Length() > 0 ? streaming.CpuPerSecond() : 0.0);
  std::printf("\nCamera schedule: %.0f frames/s per channel.\n", kFrameRate);
}

// ---- segment switches ------------------------------------------------------

std::wstring SettingsFileName();

// One file of a channel as placed on the recording's time line: the
// preroll (File Properties + 80) plus ffprobe's decoding times (ASF has no other), in ms.
struct SegmentFile {
  int channel = 0;
  double firstMs = 0, lastMs = 0, intervalMs = 0;
  int frames = 0;
};

std::vector<SegmentFile> ProbeSegments(const std::wstring& storage) {
  const std::string script =
      "base='" + HostPath(storage) + "'\nfor n in 1 2 3 4; do for f in \"$base\"/*/\"#$n\"/*.asf; do"
      " [ -f \"$f\" ] || continue; p=$(od -An -tu8 -j110 -N8 \"$f\" | tr -d ' ');"
      " ffprobe -v error -select_streams v:0 -show_entries packet=dts_time -of csv=p=0 \"$f\" |"
      " awk -v n=$n -v p=$p '$1 ~ /^[0-9]/ { if (!c++) first = $1; last = $1 }"
      " END { if (c > 1) printf \"%d %.1f %.1f %.3f %d\\n\", n, first * 1000 + p, last * 1000 + p,"
      " (last - first) * 1000 / (c - 1), c }'; done; done";
  std::vector<SegmentFile> files;
  const std::string output = RunOnHost(storage, script, 120000);
  size_t at = 0;
  while (at < output.size()) {
    const size_t end = output.find('\n', at);
    const std::string line = output.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? output.size() : end + 1;
    SegmentFile file;
    if (std::sscanf(line.c_str(), "%d %lf %lf %lf %d", &file.channel, &file.firstMs, &file.lastMs,
                    &file.intervalMs, &file.frames) == 5)
      files.push_back(file);
  }
  std::sort(files.begin(), files.end(), [](const SegmentFile& a, const SegmentFile& b) {
    return a.channel != b.channel ? a.channel < b.channel : a.firstMs < b.firstMs;
  });
  return files;
}

// Four channels record in 2-second segments, beside the rows above recorded
// in one file: a switch must cost no frame in the renderers or the writers,
// and a channel's files must follow each other with nothing lost between.
void SegmentSwitches() {
  RunOnHost(storageFolder, "rm -f '" + HostPath(storageFolder) + "'/*/'#'?/*.asf", 60000);
  const std::wstring settings = SettingsFileName();
  WritePrivateProfileStringW(L"comm", L"segment", L"2s", settings.c_str());
  mainForm->playBtnClick(nullptr);
  Pump(1);
  mainForm->recBtnClick(nullptr);
  const Interval recording = Measure(kInterval);
  std::array<ComPtr<IBaseFilter>, kChannels> writers;
  for (int i = 0; i < kChannels; ++i) writers[i] = MemberFilter(mainForm->Channel(i + 1).ASFWriter);
  mainForm->recBtnClick(nullptr);  // 停止录像
  WritePrivateProfileStringW(L"comm", L"segment", nullptr, settings.c_str());
  std::array<platform::AsfWritingSession::Counters, kChannels> total{};
  for (int i = 0; i < kChannels; ++i)
    if (platform::AsfWriterFilter* writer = BuiltInWriter(writers[i].Get())) total[i] = writer->LastCounters();
  const std::vector<SegmentFile> files = ProbeSegments(storageFolder);

  using Counters = platform::AsfWritingSession::Counters;
  std::printf("\n### Segment switches, four channels, 2 s segments (%.0f s interval)\n\n", kInterval);
  std::printf("| channel | files | writer dropped | preview drawn/s | preview dropped | written in all |"
              " frames in the files (ffprobe) | widest gap at a switch, ms beyond one frame interval |\n");
  std::printf("|---|---|---|---|---|---|---|---|\n");
  for (int i = 0; i < kChannels; ++i) {
    int count = 0, frames = 0;
    double widest = -1e9;
    const SegmentFile* previous = nullptr;
    for (const SegmentFile& file : files) {
      if (file.channel != i + 1) continue;
      ++count;
      frames += file.frames;
      if (previous) widest = std::max(widest, file.firstMs - previous->lastMs - previous->intervalMs);
      previous = &file;
    }
    std::printf("| %d | %d | %llu | %.1f | %d | %llu | %d | ", i + 1, count,
                static_cast<unsigned long long>(recording.Writer(i, &Counters::dropped)),
                recording.Drawn(i) / recording.Length(), recording.Dropped(i),
                static_cast<unsigned long long>(total[i].written), frames);
    if (count > 1)
      std::printf("%.1f |\n", widest);
    else
      std::printf("- |\n");
  }
}

void RunBenchmarks() {
  PrintStartUp();
  LiveMonitoring();
  mainForm->playBtnClick(nullptr);  // all four again for the trim
  WorkingSetTrim();
  RecordingAndStreaming();
  SegmentSwitches();
  std::fflush(stdout);
}

// Watches start-up from inside the program's message loop, then runs the
// benchmarks and closes the main window.
void CALLBACK Watch(HWND, UINT, UINT_PTR timer, DWORD) {
  static bool busy = false;
  static const double deadline = Seconds() + 60;
  if (busy || !mainForm) return;
  if (startUp.windowShown < 0 && IsWindowVisible(mainForm->Handle())) startUp.windowShown = SinceProcessStart();
  bool allLive = startUp.windowShown >= 0;
  for (int i = 0; i < kChannels; ++i) {
    if (startUp.firstFrame[i] >= 0) continue;
    ComPtr<IQualProp> quality;
    int drawn = 0;
    if (ComPtr<IBaseFilter> renderer = MemberFilter(mainForm->Channel(i + 1).VideoWindow);
        renderer && SUCCEEDED(renderer->QueryInterface(IID_IQualProp, reinterpret_cast<void**>(quality.GetAddressOf()))) && SUCCEEDED(quality->get_FramesDrawn(&drawn)) && drawn > 0)
      startUp.firstFrame[i] = SinceProcessStart();
    else
      allLive = false;
  }
  if (!allLive && Seconds() < deadline) return;
  busy = true;
  KillTimer(nullptr, timer);
  RunBenchmarks();
  mainForm->Close();
}

int RunProgramMeasured() {
  startUp.mainEntered = SinceProcessStart();
  WSADATA winsock;
  if (WSAStartup(MAKEWORD(2, 2), &winsock) != 0) return 1;
  SetTimer(nullptr, 0, 2, Watch);
  const int code = RunProgram();
  WSACleanup();
  return code;
}

std::wstring SettingsFileName() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length);
  return name.substr(0, name.find_last_of(L'.')) + L".ini";
}

// Registers the cameras, runs the measured program as a child and tidies up.
// `street` gives the encoders a street camera's picture (textured, noisy)
// instead of the colour bars; the cameras then cost more to draw.
int Drive(const std::wstring& self, bool street) {
  if (RunTestcam(std::wstring(L"register 4 --size 640x480 --rate 30") + (street ? L" --scene street" : L"")) != 0) {
    std::printf("cannot register the test cameras\n");
    return 1;
  }
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring storage = std::wstring(temp) + L"cammon_bench_" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(storage.c_str(), nullptr);
  const std::wstring settings = SettingsFileName();
  // A fixed window: the idle watch would maximise it after 150 s without input.
  WritePrivateProfileStringW(L"comm", L"path", storage.c_str(), settings.c_str());
  WritePrivateProfileStringW(L"comm", L"auto", L"0", settings.c_str());
  std::printf("four test cameras 640x480 at 30 fps, %s; storage %ls\n", street ? "street scene" : "colour bars",
              storage.c_str());
  std::fflush(stdout);

  std::wstring line = L"\"" + self + L"\" --measure";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  DWORD code = 1;
  if (CreateProcessW(self.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
    if (WaitForSingleObject(process.hProcess, 600000) == WAIT_OBJECT_0)
      GetExitCodeProcess(process.hProcess, &code);
    else
      TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  RunOnHost(storage, "rm -rf '" + HostPath(storage) + "'/*/", 120000);
  for (const wchar_t* file : {L"\\host.sh", L"\\host.out", L"\\host.status"})
    DeleteFileW((storage + file).c_str());
  RemoveDirectoryW(storage.c_str());
  DeleteFileW(settings.c_str());
  RunTestcam(L"clear");
  return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--measure") == 0) {
    wchar_t value[MAX_PATH];
    GetPrivateProfileStringW(L"comm", L"path", L"", value, MAX_PATH, SettingsFileName().c_str());
    storageFolder = value;
    return RunProgramMeasured();
  }
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  return Drive(std::wstring(path, length), argc > 1 && std::strcmp(argv[1], "street") == 0);
}
