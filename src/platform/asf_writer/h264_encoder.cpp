#include "platform/asf_writer/h264_encoder.h"

#include <mmsystem.h>
#include <wels/codec_api.h>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

constexpr int64_t kSecond = 10000000;  // in 100 ns
constexpr uint32_t kIdrIntervalMs = 1000;

// The rate rule. A system profile's video rate was chosen for the small
// picture such profiles were made for, taken here as 320 × 240 at 30
// frames/s; the camera's picture gets the same bits per pixel. Below a floor
// of 0.03 bit per pixel the IDR picture every second takes most of the
// budget on a textured, noisy camera picture and the pictures between go
// to the coarsest quantiser, so a 640 × 480 × 30 channel on the 56 kbit/s
// profile records at up to 276 kbit/s (the test camera's street scene takes
// about 200 kbit/s at 38 dB PSNR).
constexpr double kProfilePixelRate = 320.0 * 240.0 * 30.0;
constexpr double kFloorBitsPerPixel = 0.03;
constexpr double kMaxBitRate = 100e6;

double FrameRate(int64_t frameDuration) {
  return static_cast<double>(kSecond) / static_cast<double>(frameDuration);
}

}  // namespace

bool H264AcceptsPicture(int width, int height, int64_t frameDuration) {
  return width > 0 && height > 0 && width % 2 == 0 && height % 2 == 0 &&
         width <= kMaxH264Width && height <= kMaxH264Width && frameDuration > 0 &&
         frameDuration <= 10 * kSecond;
}

uint32_t H264BitRate(uint32_t profileBitRate, int width, int height, int64_t frameDuration) {
  if (!H264AcceptsPicture(width, height, frameDuration)) return 0;
  const double pixelRate = static_cast<double>(width) * height * FrameRate(frameDuration);
  const double scaled = profileBitRate * (pixelRate / kProfilePixelRate);
  const double rate = std::max(scaled, kFloorBitsPerPixel * pixelRate);
  return static_cast<uint32_t>(std::lround(std::min(rate, kMaxBitRate)));
}

std::vector<uint8_t> H264FormatBlock(int width, int height) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = MAKEFOURCC('H', '2', '6', '4');
  header.biSizeImage = static_cast<DWORD>(width * height * 3);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&header);
  return std::vector<uint8_t>(bytes, bytes + sizeof(header));
}

std::unique_ptr<H264Encoder> H264Encoder::Create(const H264Settings& settings) {
  if (!H264AcceptsPicture(settings.width, settings.height, settings.frameDuration) ||
      settings.bitRate == 0)
    return nullptr;
  ISVCEncoder* encoder = nullptr;
  if (WelsCreateSVCEncoder(&encoder) != 0 || !encoder) return nullptr;
  // Only errors: otherwise every channel's start prints a warning about
  // frame skip being off, which is meant.
  int traceLevel = WELS_LOG_ERROR;
  (void)encoder->SetOption(ENCODER_OPTION_TRACE_LEVEL, &traceLevel);  // the default only adds noise
  SEncParamExt params;
  encoder->GetDefaultParams(&params);
  params.iUsageType = CAMERA_VIDEO_REAL_TIME;
  params.iPicWidth = settings.width;
  params.iPicHeight = settings.height;
  params.iTargetBitrate = static_cast<int>(settings.bitRate);
  params.iMaxBitrate = UNSPECIFIED_BIT_RATE;
  params.iRCMode = RC_BITRATE_MODE;
  params.fMaxFrameRate = static_cast<float>(FrameRate(settings.frameDuration));
  params.iTemporalLayerNum = 1;
  params.iSpatialLayerNum = 1;
  // IDRs are forced by time in Encode, so a camera slower than it says
  // still gives one every second.
  params.uiIntraPeriod = 0;
  params.iNumRefFrame = 1;
  params.eSpsPpsIdStrategy = CONSTANT_ID;
  params.bPrefixNalAddingCtrl = false;
  params.iEntropyCodingModeFlag = 0;
  // A skipped picture would leave a gap in the recording and the count.
  params.bEnableFrameSkip = false;
  // The rate is a ceiling rather than a goal: below QP 26 the encoder would
  // spend bits on sensor noise, above 36 the picture breaks into blocks.
  // Without the bounds OpenH264's rate control gives the pictures between
  // IDRs too many bits (the street scene at 150 kbit/s: 34.8 dB without the
  // bounds and the IDR share below, 37.6 dB with them).
  params.iMinQp = 26;
  params.iMaxQp = 36;
  // An IDR picture of a still, textured scene costs about 15 others; the
  // default share (4) starves it and every second starts blurred.
  params.iIdrBitrateRatio = 1500;
  // One thread per channel: four channels already keep two cores busy.
  params.iMultipleThreadIdc = 1;
  SSpatialLayerConfig& layer = params.sSpatialLayers[0];
  layer.iVideoWidth = settings.width;
  layer.iVideoHeight = settings.height;
  layer.fFrameRate = params.fMaxFrameRate;
  layer.iSpatialBitrate = params.iTargetBitrate;
  layer.iMaxSpatialBitrate = UNSPECIFIED_BIT_RATE;
  layer.uiProfileIdc = PRO_BASELINE;
  layer.sSliceArgument.uiSliceMode = SM_SINGLE_SLICE;
  if (encoder->InitializeExt(&params) != 0) {
    WelsDestroySVCEncoder(encoder);
    return nullptr;
  }
  int format = videoFormatI420;
  (void)encoder->SetOption(ENCODER_OPTION_DATAFORMAT, &format);  // I420 is the default already
  return std::unique_ptr<H264Encoder>(new H264Encoder(encoder, settings));
}

H264Encoder::H264Encoder(ISVCEncoder* encoder, const H264Settings& settings)
    : encoder_(encoder), settings_(settings) {}

H264Encoder::~H264Encoder() {
  (void)encoder_->Uninitialize();  // nothing to do about a failure on the way out
  WelsDestroySVCEncoder(encoder_);
}

bool H264Encoder::Encode(const uint8_t* i420, uint32_t timeMs, std::vector<uint8_t>& accessUnit,
                         bool* idr) {
  accessUnit.clear();
  *idr = false;
  const uint32_t frameMs = static_cast<uint32_t>(settings_.frameDuration / 10000);
  if (!started_ || forceIdr_ || timeMs < lastIdrMs_ || timeMs - lastIdrMs_ + frameMs > kIdrIntervalMs) {
    if (encoder_->ForceIntraFrame(true) != 0) return false;
  }
  const int w = settings_.width;
  const int h = settings_.height;
  SSourcePicture picture{};
  picture.iColorFormat = videoFormatI420;
  picture.iPicWidth = w;
  picture.iPicHeight = h;
  picture.iStride[0] = w;
  picture.iStride[1] = picture.iStride[2] = w / 2;
  uint8_t* luma = const_cast<uint8_t*>(i420);  // OpenH264 reads the planes only
  picture.pData[0] = luma;
  picture.pData[1] = luma + static_cast<size_t>(w) * h;
  picture.pData[2] = picture.pData[1] + static_cast<size_t>(w / 2) * (h / 2);
  picture.uiTimeStamp = timeMs;
  SFrameBSInfo info{};
  if (encoder_->EncodeFrame(&picture, &info) != cmResultSuccess) return false;
  if (info.eFrameType == videoFrameTypeSkip || info.eFrameType == videoFrameTypeInvalid) return true;
  for (int i = 0; i < info.iLayerNum; ++i) {
    const SLayerBSInfo& layer = info.sLayerInfo[i];
    size_t bytes = 0;
    for (int n = 0; n < layer.iNalCount; ++n) bytes += static_cast<size_t>(layer.pNalLengthInByte[n]);
    accessUnit.insert(accessUnit.end(), layer.pBsBuf, layer.pBsBuf + bytes);
  }
  *idr = info.eFrameType == videoFrameTypeIDR;
  if (*idr) {
    started_ = true;
    forceIdr_ = false;
    lastIdrMs_ = timeMs;
  }
  return true;
}

}  // namespace platform
