#pragma once
// H.264 encoding of a camera's pictures with OpenH264: constrained baseline
// (CAVLC, no B-frames), an IDR picture at least once a second with SPS and
// PPS in front of it, and one Annex B access unit per picture.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

class ISVCEncoder;

namespace platform {

// The result of a recording whose camera picture the encoder refuses: an
// odd size, wider than kMaxH264Width, or no frame rate.
constexpr HRESULT E_H264_PICTURE_REFUSED = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0264);
constexpr int kMaxH264Width = 4096;

struct H264Settings {
  int width = 0;
  int height = 0;
  int64_t frameDuration = 0;  // 100 ns
  uint32_t bitRate = 0;       // bits per second
};

// Whether the encoder takes a picture of this size and frame duration.
bool H264AcceptsPicture(int width, int height, int64_t frameDuration);

// The rate a camera picture records at, from the profile's video rate; see
// the definition for the rule.
uint32_t H264BitRate(uint32_t profileBitRate, int width, int height, int64_t frameDuration);

// The stream's format block: a BITMAPINFOHEADER with compression 'H264'.
std::vector<uint8_t> H264FormatBlock(int width, int height);

class H264Encoder {
public:
  // Null when the picture is refused or the library cannot start.
  static std::unique_ptr<H264Encoder> Create(const H264Settings& settings);
  ~H264Encoder();
  H264Encoder(const H264Encoder&) = delete;
  H264Encoder& operator=(const H264Encoder&) = delete;

  // Encodes one I420 picture (width × height × 3 / 2 bytes) taken at
  // `timeMs`; `accessUnit` receives the Annex B bytes, empty when the
  // encoder skipped the picture. False on an encoder error.
  // Thread: the encoder thread.
  bool Encode(const uint8_t* i420, uint32_t timeMs, std::vector<uint8_t>& accessUnit, bool* idr);
  // The next picture encoded is an IDR (a new file starts with it).
  // Thread: the encoder thread.
  void ForceIdr() { forceIdr_ = true; }

private:
  H264Encoder(ISVCEncoder* encoder, const H264Settings& settings);

  ISVCEncoder* encoder_;
  H264Settings settings_;
  bool started_ = false;
  bool forceIdr_ = false;
  uint32_t lastIdrMs_ = 0;
};

}  // namespace platform
