#pragma once
// Helpers of the ASF writer and network sink tests: native ffmpeg/ffprobe
// as the judge of files and streams, test frames, media samples, and a
// stand-in upstream pin to connect the writer's inputs to.
#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host_programs.h"
#include "platform/asf_writer/asf_muxer.h"
#include "platform/media_platform.h"
#include "video_type.h"

using platform::ComPtr;

struct ProbedStream {
  std::string codec;
  int width = 0;
  int height = 0;
  double duration = 0;   // of the format, seconds
  int frames = -1;       // decoded frames counted by ffprobe
  int streams = 0;
  std::string format;
  std::string profile;   // of an H.264 stream, e.g. "Constrained Baseline"
  int bFrames = -1;      // has_b_frames
};

// ffprobe's view of a recording (counting every frame by decoding it).
ProbedStream ProbeFile(const std::wstring& file);
// The longest stretch in seconds between key frames of the first video
// stream, counting from 0 to the first one and from the last to the end.
double LongestKeyFrameGap(const std::wstring& file);
// Number of frames ffmpeg decodes from a file or URL, or -1 on any
// decoding error message or failure.
int DecodeFrames(const std::string& input, DWORD timeoutMs = 60000);

// A BGR24 bottom-up test frame, different for every `index`.
std::vector<uint8_t> TestFrameRGB24(int width, int height, int index);

// Samples from the platform's memory allocator.
class SampleSource {
public:
  SampleSource(long bufferSize, long count);
  ~SampleSource();
  ComPtr<IMediaSample> Make(const uint8_t* data, size_t size, REFERENCE_TIME start,
                            REFERENCE_TIME stop);

private:
  ComPtr<IMemAllocator> allocator_;
};

// The system profile the program records with: video only, 56 kbit/s.
inline const GUID kVideoOnly56 = {0x6e2a6955, 0x81df, 0x4943, {0xba, 0x50, 0x68, 0xa9, 0x86, 0xa7, 0x08, 0xf6}};

// A filter's pins in enumeration order; none for no filter.
std::vector<ComPtr<IPin>> Pins(IBaseFilter* filter);

// Mono 8 kHz 16-bit PCM as an audio pin takes it; the format block is the
// object's own, so it is neither copied nor moved.
struct PcmAudioType {
  PcmAudioType();
  PcmAudioType(const PcmAudioType&) = delete;
  PcmAudioType& operator=(const PcmAudioType&) = delete;
  WAVEFORMATEX wave{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
  AM_MEDIA_TYPE type{};
};

// The platform's ASF writer filter configured with `profile`, writing to
// `file` unless it is empty.
ComPtr<IBaseFilter> MakeWriter(const GUID& profile, const std::wstring& file);
// Connects the writer's first pin to a stand-in upstream pin with this type.
ComPtr<IMemInputPin> ConnectVideo(IBaseFilter* filter, const GUID& subtype, int width, int height, WORD bits);

// A port nobody listens on right now.
DWORD FreePort();

// An output pin that exists only to be connected to: the writer asks it
// nothing but its direction.
ComPtr<IPin> MakeUpstreamPin();

// A muxer output that accepts everything and keeps nothing, for tests that
// only look at the packets handed to the observer.
class DiscardOutput : public platform::AsfOutput {
public:
  bool Append(const uint8_t*, size_t) override { return true; }
  bool Patch(uint64_t, const uint8_t*, size_t) override { return true; }
  bool Truncate(uint64_t) override { return true; }
};
