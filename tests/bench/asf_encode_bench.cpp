// The recording encoder on the test camera's street scene at 640 × 480 × 30,
// side by side in one run: the built-in writer (OpenH264 into ASF at the
// rate the 56 kbit/s profile gives this picture) against native ffmpeg's
// Motion JPEG and libx264 (-preset veryfast -bf 0) over a sweep of quality
// settings, each with bits per second and PSNR. Every encoder gets the same
// I420 pictures (the built-in converter's output, video levels) and is
// measured against them, frame n against frame n, so neither a colour
// conversion nor a container's millisecond time stamps enter the figures; two
// sanity rows (the pictures against themselves, lossless libx264) must read
// inf. Also the built-in encoder's CPU per frame and the memory one channel's
// encoder holds.
// Run: ./scripts/wine-run build/bin/bench_asf_encode_bench.exe [frames]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/host_programs.h"
#include "platform/asf_writer/asf_muxer.h"
#include "platform/asf_writer/h264_encoder.h"
#include "platform/asf_writer/picture_converter.h"
#include "street_scene.h"

using bench::HostPath;
using bench::ReadWholeFile;
using bench::RunOnHost;

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFps = 30;
constexpr int64_t kFrameDuration = 10000000 / kFps;
constexpr uint32_t kProfileRate = 56000;  // the program's channels use the 56 kbit/s profile
constexpr DWORD kHostLimitMs = 600000;

struct Result {
  std::string setting;
  double bitsPerSecond = 0;  // of the video stream's packets
  double fileBitsPerSecond = 0;
  double psnr = 0;
  int compared = 0;  // frames the PSNR was taken over
};

// The number after `key` in the last line that has it, or 0.
double Figure(const std::string& output, const std::string& key) {
  const size_t at = output.rfind(key);
  return at == std::string::npos ? 0 : std::atof(output.c_str() + at + key.size());
}

double ThreadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto seconds = [](const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
  };
  return seconds(kernel) + seconds(user);
}

// Committed memory; Wine leaves PrivateUsage at 0.
double CommittedMiB() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PagefileUsage / 1048576.0;
}

// The bits of `theirs` at `psnr`, interpolated in log bits between the two
// sweep points around it; 0 when the sweep does not reach it.
double BitsAtPsnr(std::vector<Result> theirs, double psnr) {
  std::sort(theirs.begin(), theirs.end(), [](const Result& a, const Result& b) { return a.psnr < b.psnr; });
  for (size_t i = 1; i < theirs.size(); ++i) {
    const Result& low = theirs[i - 1];
    const Result& high = theirs[i];
    if (psnr < low.psnr || psnr > high.psnr || high.psnr == low.psnr) continue;
    const double t = (psnr - low.psnr) / (high.psnr - low.psnr);
    return std::exp(std::log(low.bitsPerSecond) + t * (std::log(high.bitsPerSecond) - std::log(low.bitsPerSecond)));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
  const double seconds = static_cast<double>(frames) / kFps;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"asf_bench";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring ours = folder + L"\\ours.asf";
  const std::wstring pictures = folder + L"\\frames.yuv";

  // The scene drawn once into memory, bottom-up like the camera's DIB.
  const LONG stride = kWidth * 3;
  std::vector<std::vector<uint8_t>> source(frames, std::vector<uint8_t>(size_t{stride} * kHeight));
  {
    testcam::StreetScene scene(kWidth, kHeight, stride);
    for (int i = 0; i < frames; ++i) scene.Draw(i, source[i].data());
  }

  platform::RawVideoFormat format;
  format.layout = platform::RawVideoLayout::RGB24;
  format.width = kWidth;
  format.height = kHeight;
  format.bottomUp = true;
  format.Complete();
  platform::AsfStream stream;
  stream.width = kWidth;
  stream.height = kHeight;
  stream.format = platform::H264FormatBlock(kWidth, kHeight);
  stream.bitRate = platform::H264BitRate(kProfileRate, kWidth, kHeight, kFrameDuration);

  double memoryBefore = 0, memoryAfter = 0, convertCpu = 0, encodeCpu = 0;
  const auto start = std::chrono::steady_clock::now();
  {
    HRESULT hr = E_FAIL;
    auto output = platform::AsfFileOutput::Create(ours, true, &hr);
    if (!output) return 1;
    platform::AsfMuxer muxer({stream}, true, *output);
    memoryBefore = CommittedMiB();
    platform::PictureConverter converter(format);
    auto encoder = platform::H264Encoder::Create({kWidth, kHeight, kFrameDuration, stream.bitRate});
    if (!encoder) return 1;
    std::vector<uint8_t> picture, accessUnit;
    FILE* reference = _wfopen(pictures.c_str(), L"wb");
    if (!reference) return 1;
    muxer.Begin();
    for (int i = 0; i < frames; ++i) {
      const uint32_t timeMs = static_cast<uint32_t>(i * 1000 / kFps);
      const double t0 = ThreadCpuSeconds();
      converter.Convert(source[i].data(), source[i].size(), picture);
      const double t1 = ThreadCpuSeconds();
      bool key = false;
      encoder->Encode(picture.data(), timeMs, accessUnit, &key);
      encodeCpu += ThreadCpuSeconds() - t1;
      convertCpu += t1 - t0;
      fwrite(picture.data(), 1, picture.size(), reference);
      if (!accessUnit.empty())
        muxer.WriteSample(1, accessUnit.data(), accessUnit.size(), timeMs, 1000 / kFps, key);
    }
    memoryAfter = CommittedMiB();
    fclose(reference);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    muxer.Finish(now);
  }
  const double oursSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
  const std::string rawFormat =
      "-f rawvideo -pixel_format yuv420p -video_size " + size + " -framerate " + std::to_string(kFps);
  const std::string yuvInput = rawFormat + " -i '" + HostPath(pictures) + "'";
  // Frames are paired by their number: a container's time stamps in whole
  // milliseconds otherwise make the filter pair a frame with its neighbour.
  const auto measure = [&](const std::string& setting, const std::wstring& file, const std::string& format = "") {
    const std::string host = format + " '" + HostPath(file) + "'";
    const std::string output = RunOnHost(
        folder,
        // The log is named without its folder: a ':' would end the filter option.
        "cd '" + HostPath(folder) + "' && rm -f psnr.log\n"
        "ffmpeg -nostdin " + format + " -i '" + HostPath(file) + "' " + yuvInput + " -lavfi '[0:v]settb=1/" +
            std::to_string(kFps) + ",setpts=N,format=yuv420p[a];[1:v]settb=1/" + std::to_string(kFps) +
            ",setpts=N[b];[a][b]psnr=shortest=1:stats_file=psnr.log' -f null - 2>&1 | grep -a average |"
            " sed 's/.*average:/average:/'\n"
            "echo compared:$(wc -l <psnr.log)\n"
            "echo packets:$(ffprobe -v error -select_streams v -show_entries packet=size -of csv=p=0 " + host +
            " | awk '{s+=$1} END {print s}')",
        kHostLimitMs);
    const double psnr = output.find("average:inf") != std::string::npos ? INFINITY : Figure(output, "average:");
    return Result{setting, Figure(output, "packets:") * 8 / seconds,
                  static_cast<double>(ReadWholeFile(file).size()) * 8 / seconds, psnr,
                  static_cast<int>(Figure(output, "compared:"))};
  };
  const auto theirs = [&](const std::string& codec, const std::string& setting) {
    const std::wstring file = folder + L"\\ffmpeg.asf";
    RunOnHost(folder, "ffmpeg -nostdin -v error -y " + yuvInput + " " + codec + " " + setting + " -f asf '" +
                          HostPath(file) + "'",
              kHostLimitMs);
    return measure(setting, file);
  };

  const Result builtIn = measure("OpenH264 at " + std::to_string(stream.bitRate / 1000) + " kbit/s", ours);
  const Result itself = measure("the pictures themselves", pictures, rawFormat);
  const std::string x264 = "-c:v libx264 -preset veryfast -bf 0";
  const Result lossless = theirs(x264, "-qp 0");
  std::vector<Result> mjpeg, x264Default, x264Second;
  for (const char* q : {"2", "4", "6", "8", "12", "16", "24", "31"})
    mjpeg.push_back(theirs("-c:v mjpeg", std::string("-q:v ") + q));
  for (const char* crf : {"17", "20", "23", "26", "29", "32", "35"}) {
    x264Default.push_back(theirs(x264, std::string("-crf ") + crf));
    x264Second.push_back(theirs(x264 + " -g " + std::to_string(kFps), std::string("-crf ") + crf));
  }

  std::printf("%d frames %dx%d at %d frames/s, street scene, RGB24 in; %.1f s of video\n\n", frames, kWidth,
              kHeight, kFps, seconds);
  std::printf("| encoder | setting | stream kbit/s | file kbit/s | PSNR dB | frames compared |\n"
              "|---|---|---|---|---|---|\n");
  const auto row = [](const char* encoder, const Result& r) {
    std::printf("| %s | %s | %.0f | %.0f | %.2f | %d |\n", encoder, r.setting.c_str(), r.bitsPerSecond / 1000,
                r.fileBitsPerSecond / 1000, r.psnr, r.compared);
  };
  row("sanity: reference", itself);
  row("sanity: ffmpeg libx264 lossless", lossless);
  row("built-in", builtIn);
  for (const Result& r : mjpeg) row("ffmpeg mjpeg", r);
  for (const Result& r : x264Default) row("ffmpeg libx264 veryfast -bf 0", r);
  for (const Result& r : x264Second) row("ffmpeg libx264 veryfast -bf 0 -g 30", r);

  const double mjpegBits = BitsAtPsnr(mjpeg, builtIn.psnr + 0.5);
  std::printf("\nmjpeg at the built-in PSNR + 0.5 dB: %.0f kbit/s; built-in / mjpeg bits: %.3f\n",
              mjpegBits / 1000, mjpegBits > 0 ? builtIn.bitsPerSecond / mjpegBits : 0.0);
  for (const auto& [name, sweep] : {std::pair{"libx264", &x264Default}, std::pair{"libx264 -g 30", &x264Second}}) {
    const double bits = BitsAtPsnr(*sweep, builtIn.psnr);
    std::printf("%s at the built-in PSNR: %.0f kbit/s; built-in / %s bits: %.3f\n", name, bits / 1000, name,
                bits > 0 ? builtIn.bitsPerSecond / bits : 0.0);
  }
  std::printf("built-in CPU per frame: conversion %.2f ms, encoding %.2f ms; wall %.2f s (%.0f frames/s)\n",
              convertCpu * 1000 / frames, encodeCpu * 1000 / frames, oursSeconds, frames / oursSeconds);
  std::printf("memory of one channel's converter and encoder: %.1f MiB committed\n", memoryAfter - memoryBefore);
  return 0;
}
