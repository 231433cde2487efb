// Encode+mux throughput of the built-in ASF writer (libjpeg-turbo Motion
// JPEG into ASF) against native ffmpeg encoding the same raw frames to
// MJPEG-in-ASF, with file sizes and PSNR (in RGB, so colour conversion and
// chroma subsampling count for both) so the quality can be compared.
// Run: ./scripts/wine-run build/bin/bench_asf_encode_bench.exe [frames]
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/host_programs.h"
#include "platform/asf_writer/asf_muxer.h"
#include "platform/asf_writer/mjpeg_encoder.h"

using bench::HostPath;
using bench::ReadWholeFile;
using bench::RunOnHost;

namespace {

constexpr int kWidth = 640;
constexpr DWORD kHostLimitMs = 600000;
constexpr int kHeight = 480;
// libjpeg quality of the built-in writer and ffmpeg's -q:v; these two give
// about the same PSNR on the test pictures (both can be given as arguments).
int kQuality = 90;
std::string kFfmpegQ = "3";

// Bottom-up BGR frames with edges, gradients and some noise.
std::vector<uint8_t> MakeFrame(int index) {
  std::vector<uint8_t> frame(size_t{kWidth} * kHeight * 3);
  uint32_t seed = 12345u + index;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 28) - 8;
      uint8_t* p = &frame[(size_t{static_cast<size_t>(y)} * kWidth + x) * 3];
      const bool block = ((x + index * 4) / 40 + y / 40) % 2;
      p[0] = static_cast<uint8_t>(std::clamp(x / 3 + noise, 0, 255));
      p[1] = static_cast<uint8_t>(std::clamp(y / 2 + noise, 0, 255));
      p[2] = static_cast<uint8_t>(std::clamp((block ? 200 : 40) + noise, 0, 255));
    }
  }
  return frame;
}

double Psnr(const std::string& output) {
  const size_t at = output.rfind("average:");
  return at == std::string::npos ? 0 : std::atof(output.c_str() + at + 8);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 300;
  if (argc > 2) kQuality = std::atoi(argv[2]);
  if (argc > 3) kFfmpegQ = argv[3];
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"asf_bench";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring ours = folder + L"\\ours.asf";
  const std::wstring raw = folder + L"\\frames.raw";

  std::vector<std::vector<uint8_t>> source;
  for (int i = 0; i < 10; ++i) source.push_back(MakeFrame(i));

  // The same pictures top-down for ffmpeg's raw reader.
  if (FILE* f = _wfopen(raw.c_str(), L"wb")) {
    for (int i = 0; i < frames; ++i) {
      const std::vector<uint8_t>& frame = source[i % source.size()];
      for (int y = kHeight - 1; y >= 0; --y) fwrite(&frame[size_t{static_cast<size_t>(y)} * kWidth * 3], 1, kWidth * 3, f);
    }
    fclose(f);
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
  BITMAPINFOHEADER header{sizeof(BITMAPINFOHEADER), kWidth, kHeight, 1, 24, MAKEFOURCC('M', 'J', 'P', 'G'),
                          kWidth * kHeight * 3, 0, 0, 0, 0};
  const auto* bytes = reinterpret_cast<const uint8_t*>(&header);
  stream.format.assign(bytes, bytes + sizeof(header));

  const auto start = std::chrono::steady_clock::now();
  {
    HRESULT hr = E_FAIL;
    auto output = platform::AsfFileOutput::Create(ours, true, &hr);
    if (!output) return 1;
    platform::AsfMuxer muxer({stream}, true, *output);
    platform::MjpegEncoder encoder(format, kQuality);
    std::vector<uint8_t> jpeg;
    muxer.Begin();
    for (int i = 0; i < frames; ++i) {
      const std::vector<uint8_t>& frame = source[i % source.size()];
      encoder.Encode(frame.data(), frame.size(), jpeg);
      muxer.WriteSample(1, jpeg.data(), jpeg.size(), i * 40, 40, true);
    }
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    muxer.Finish(now);
  }
  const double oursSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  const std::string size = std::to_string(kWidth) + "x" + std::to_string(kHeight);
  const std::string rawHost = "'" + HostPath(raw) + "'";
  const std::string theirsHost = "'" + HostPath(folder + L"\\ffmpeg.asf") + "'";
  const std::string oursHost = "'" + HostPath(ours) + "'";
  const std::string timing = RunOnHost(
      folder, "s=$(date +%s%N); ffmpeg -nostdin -v error -y -f rawvideo -pix_fmt bgr24 -s " + size +
                  " -r 25 -i " + rawHost + " -c:v mjpeg -q:v " + kFfmpegQ + " -f asf " + theirsHost +
                  "; e=$(date +%s%N); echo $(( (e - s) / 1000 ))",
      kHostLimitMs);
  const double theirsSeconds = std::atof(timing.c_str()) / 1e6;
  const auto psnr = [&](const std::string& file) {
    return Psnr(RunOnHost(folder, "ffmpeg -nostdin -i " + file + " -f rawvideo -pix_fmt bgr24 -s " + size +
                                    " -i " + rawHost +
                                    " -lavfi '[0:v]format=bgr24[a];[1:v]format=bgr24[b];[a][b]psnr'"
                                    " -f null - 2>&1 | grep average",
                          kHostLimitMs));
  };
  const double oursPsnr = psnr(oursHost);
  const double theirsPsnr = psnr(theirsHost);
  const long long oursSize = static_cast<long long>(ReadWholeFile(ours).size());
  const long long theirsSize = static_cast<long long>(ReadWholeFile(folder + L"\\ffmpeg.asf").size());

  std::printf("%d frames %dx%d RGB24 -> MJPEG in ASF\n", frames, kWidth, kHeight);
  std::printf("built-in (libjpeg-turbo q%d): %.3f s, %.1f frames/s, %lld bytes, PSNR %.2f dB\n", kQuality,
              oursSeconds, frames / oursSeconds, oursSize, oursPsnr);
  std::printf("ffmpeg (native, -q:v %s):      %.3f s, %.1f frames/s, %lld bytes, PSNR %.2f dB\n", kFfmpegQ.c_str(),
              theirsSeconds, frames / theirsSeconds, theirsSize, theirsPsnr);
  std::printf("throughput ratio (built-in / ffmpeg): %.2f\n", theirsSeconds / oursSeconds);
  return 0;
}
