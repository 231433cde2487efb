#include "media/graph_events.h"

#include <dvdevcod.h>

#include <cstring>

#include "media/media_errors.h"
#include "platform/media_platform.h"

using platform::ComPtr;

TDvdTimeCodeDigits SplitDvdTimeCode(DWORD value) {
  TDvdTimeCodeDigits digits;
  digits.hoursUnits = static_cast<BYTE>((value >> 28) & 0xF);
  digits.hoursTens = static_cast<BYTE>((value >> 24) & 0xF);
  digits.minutesUnits = static_cast<BYTE>((value >> 20) & 0xF);
  digits.minutesTens = static_cast<BYTE>((value >> 16) & 0xF);
  digits.secondsUnits = static_cast<BYTE>((value >> 12) & 0xF);
  digits.secondsTens = static_cast<BYTE>((value >> 8) & 0xF);
  digits.framesUnits = static_cast<BYTE>((value >> 4) & 0xF);
  digits.framesTens = static_cast<BYTE>((value >> 2) & 0x3);
  digits.frameRateCode = static_cast<BYTE>(value & 0x3);
  return digits;
}

namespace {

template <class Handler, class... Args>
void Raise(const Handler& handler, TComponent* sender, Args&&... args) {
  if (handler) handler(sender, std::forward<Args>(args)...);
}

LONG Signed(LONG_PTR param) { return static_cast<LONG>(param); }
ULONG Unsigned(LONG_PTR param) { return static_cast<ULONG>(param); }
template <class I>
I* Interface(LONG_PTR param) {
  return reinterpret_cast<I*>(param);
}

std::wstring EnglishLanguageName(LCID lcid) {
  wchar_t buffer[260] = {};
  if (GetLocaleInfoW(lcid, LOCALE_SENGLANGUAGE, buffer, 260) == 0) return {};
  return buffer;
}

ComPtr<IDvdInfo2> DvdInfo(TComponent* sender) {
  ComPtr<IDvdInfo2> info;
  if (FAILED(sender->QueryInterface(IID_PPV_ARGS(&info))))
    info.Reset();
  return info;
}

void RaiseAudioStreamChange(const TGraphEventHandlers& h, TComponent* sender, LONG_PTR param1) {
  if (!h.OnDVDAudioStreamChange) return;
  const ComPtr<IDvdInfo2> info = DvdInfo(sender);
  if (!info) return;
  LCID lcid = 0;
  CheckMediaResult(info->GetAudioLanguage(Unsigned(param1), &lcid));
  h.OnDVDAudioStreamChange(sender, Signed(param1), static_cast<LONG>(lcid), EnglishLanguageName(lcid));
}

void RaiseSubpictureStreamChange(const TGraphEventHandlers& h, TComponent* sender,
                                 LONG_PTR param1) {
  if (!h.OnDVDSubpictureStreamChange) return;
  const ComPtr<IDvdInfo2> info = DvdInfo(sender);
  if (!info) return;
  LCID lcid = 0;
  // A stream without a language is reported with lcid 0 and no name.
  if (FAILED(info->GetSubpictureLanguage(Unsigned(param1), &lcid))) lcid = 0;
  h.OnDVDSubpictureStreamChange(sender, Signed(param1), static_cast<LONG>(lcid),
                                lcid ? EnglishLanguageName(lcid) : std::wstring());
}

void RaiseCurrentTime(const TGraphEventHandlers& h, TComponent* sender, LONG_PTR param1) {
  if (!h.OnDVDCurrentTime) return;
  const TDvdTimeCodeDigits d = SplitDvdTimeCode(Unsigned(param1));
  const LONG frate = d.frameRateCode == 1 ? 25 : d.frameRateCode == 3 ? 30 : 0;
  h.OnDVDCurrentTime(sender, d.hoursUnits + 10 * d.hoursTens, d.minutesUnits + 10 * d.minutesTens,
                     d.secondsUnits + 10 * d.secondsTens, d.framesUnits + 10 * d.framesTens, frate);
}

void RaiseCurrentHMSFTime(const TGraphEventHandlers& h, TComponent* sender, LONG_PTR param1,
                          LONG_PTR param2) {
  if (!h.OnDVDCurrentHMSFTime) return;
  const DWORD packed = Unsigned(param1);
  DVD_HMSF_TIMECODE hmsf;
  static_assert(sizeof(hmsf) == sizeof(packed));
  std::memcpy(&hmsf, &packed, sizeof(hmsf));
  const TDvdTimeCodeDigits digits = SplitDvdTimeCode(Unsigned(param2));
  h.OnDVDCurrentHMSFTime(sender, hmsf, digits);
}

void RaiseDomainChange(const TGraphEventHandlers& h, TComponent* sender, LONG_PTR param1) {
  switch (param1) {
    case DVD_DOMAIN_FirstPlay: return Raise(h.OnDVDDomainFirstPlay, sender);
    case DVD_DOMAIN_VideoManagerMenu: return Raise(h.OnDVDDomainVideoManagerMenu, sender);
    case DVD_DOMAIN_VideoTitleSetMenu: return Raise(h.OnDVDDomainVideoTitleSetMenu, sender);
    case DVD_DOMAIN_Title: return Raise(h.OnDVDDomainTitle, sender);
    case DVD_DOMAIN_Stop: return Raise(h.OnDVDDomainStop, sender);
  }
}

void RaiseDvdError(const TGraphEventHandlers& h, TComponent* sender, LONG_PTR param1) {
  switch (param1) {
    case DVD_ERROR_Unexpected: return Raise(h.OnDVDErrorUnexpected, sender);
    case DVD_ERROR_CopyProtectFail: return Raise(h.OnDVDErrorCopyProtectFail, sender);
    case DVD_ERROR_InvalidDVD1_0Disc: return Raise(h.OnDVDErrorInvalidDVD1_0Disc, sender);
    case DVD_ERROR_InvalidDiscRegion: return Raise(h.OnDVDErrorInvalidDiscRegion, sender);
    case DVD_ERROR_LowParentalLevel: return Raise(h.OnDVDErrorLowParentalLevel, sender);
    case DVD_ERROR_MacrovisionFail: return Raise(h.OnDVDErrorMacrovisionFail, sender);
    case DVD_ERROR_IncompatibleSystemAndDecoderRegions:
      return Raise(h.OnDVDErrorIncompatibleSystemAndDecoderRegions, sender);
    case DVD_ERROR_IncompatibleDiscAndDecoderRegions:
      return Raise(h.OnDVDErrorIncompatibleDiscAndDecoderRegions, sender);
  }
}

void RaiseDvdWarning(const TGraphEventHandlers& h, TComponent* sender, LONG_PTR param1) {
  switch (param1) {
    case DVD_WARNING_InvalidDVD1_0Disc: return Raise(h.OnDVDWarningInvalidDVD1_0Disc, sender);
    case DVD_WARNING_FormatNotSupported: return Raise(h.OnDVDWarningFormatNotSupported, sender);
    case DVD_WARNING_IllegalNavCommand: return Raise(h.OnDVDWarningIllegalNavCommand, sender);
    case DVD_WARNING_Open: return Raise(h.OnDVDWarningOpen, sender);
    case DVD_WARNING_Seek: return Raise(h.OnDVDWarningSeek, sender);
    case DVD_WARNING_Read: return Raise(h.OnDVDWarningRead, sender);
  }
}

}  // namespace

void RaiseGraphEventHandler(const TGraphEventHandlers& h, TComponent* sender, LONG event,
                            LONG_PTR param1, LONG_PTR param2) {
  switch (event) {
    case EC_COMPLETE:
      return Raise(h.OnGraphComplete, sender, static_cast<HRESULT>(param1),
                   Interface<IBaseFilter>(param2));
    case EC_USERABORT: return Raise(h.OnGraphUserAbort, sender);
    case EC_ERRORABORT: return Raise(h.OnGraphErrorAbort, sender, static_cast<HRESULT>(param1));
    case EC_STREAM_ERROR_STOPPED:
      return Raise(h.OnGraphStreamErrorStopped, sender, static_cast<HRESULT>(param1),
                   Unsigned(param2));
    case EC_STREAM_ERROR_STILLPLAYING:
      return Raise(h.OnGraphStreamErrorStillPlaying, sender, static_cast<HRESULT>(param1),
                   Unsigned(param2));
    case EC_ERROR_STILLPLAYING:
      return Raise(h.OnGraphErrorStillPlaying, sender, static_cast<HRESULT>(param1));
    case EC_PALETTE_CHANGED: return Raise(h.OnGraphPaletteChanged, sender);
    case EC_VIDEO_SIZE_CHANGED:
      return Raise(h.OnGraphVideoSizeChanged, sender, LOWORD(Unsigned(param1)),
                   HIWORD(Unsigned(param1)));
    case EC_QUALITY_CHANGE: return Raise(h.OnGraphQualityChange, sender);
    case EC_CLOCK_CHANGED: return Raise(h.OnGraphClockChanged, sender);
    case EC_PAUSED: return Raise(h.OnGraphPaused, sender, static_cast<HRESULT>(param1));
    case EC_OPENING_FILE: return Raise(h.OnGraphOpeningFile, sender, param1 == 1);
    case EC_BUFFERING_DATA: return Raise(h.OnGraphBufferingData, sender, param1 == 1);
    case EC_FULLSCREEN_LOST:
      return Raise(h.OnGraphFullscreenLost, sender, Interface<IBaseFilter>(param2));
    case EC_OLE_EVENT:
      if (!h.OnGraphOleEvent) return;
      return h.OnGraphOleEvent(sender, platform::FromBstr(reinterpret_cast<BSTR>(param1)),
                               platform::FromBstr(reinterpret_cast<BSTR>(param2)));
    case EC_STREAM_CONTROL_STOPPED:
      return Raise(h.OnGraphStreamControlStopped, sender, Interface<IPin>(param1), Unsigned(param2));
    case EC_STREAM_CONTROL_STARTED:
      return Raise(h.OnGraphStreamControlStarted, sender, Interface<IPin>(param1), Unsigned(param2));
    case EC_END_OF_SEGMENT:
      if (!h.OnGraphEndOfSegment) return;
      return h.OnGraphEndOfSegment(sender, param1 ? *reinterpret_cast<REFERENCE_TIME*>(param1) : 0,
                                   Unsigned(param2));
    case EC_DEVICE_LOST:
      return Raise(h.OnGraphDeviceLost, sender, Interface<IUnknown>(param1), param2 == 1);
    case EC_STEP_COMPLETE: return Raise(h.OnGraphStepComplete, sender);
    case EC_TIMECODE_AVAILABLE:
      return Raise(h.OnGraphTimeCodeAvailable, sender, Interface<IBaseFilter>(param1),
                   Unsigned(param2));
    case EC_EXTDEVICE_MODE_CHANGE:
      return Raise(h.OnGraphEXTDeviceModeChange, sender, Unsigned(param1), Unsigned(param2));
    case EC_GRAPH_CHANGED: return Raise(h.OnGraphChanged, sender);
    case EC_CLOCK_UNSET: return Raise(h.OnGraphClockUnset, sender);
    case EC_VMR_RENDERDEVICE_SET: return Raise(h.OnGraphVMRRenderDevice, sender, Signed(param1));
    case EC_DVD_DOMAIN_CHANGE: return RaiseDomainChange(h, sender, param1);
    case EC_DVD_TITLE_CHANGE: return Raise(h.OnDVDTitleChange, sender, Signed(param1));
    case EC_DVD_CHAPTER_START: return Raise(h.OnDVDChapterStart, sender, Signed(param1));
    case EC_DVD_AUDIO_STREAM_CHANGE: return RaiseAudioStreamChange(h, sender, param1);
    case EC_DVD_SUBPICTURE_STREAM_CHANGE: return RaiseSubpictureStreamChange(h, sender, param1);
    case EC_DVD_ANGLE_CHANGE:
      return Raise(h.OnDVDAngleChange, sender, Signed(param1), Signed(param2));
    case EC_DVD_BUTTON_CHANGE:
      return Raise(h.OnDVDButtonChange, sender, Signed(param1), Signed(param2));
    case EC_DVD_VALID_UOPS_CHANGE: return Raise(h.OnDVDValidUOPSChange, sender, Signed(param1));
    case EC_DVD_STILL_ON: return Raise(h.OnDVDStillOn, sender, param1 == 1, Signed(param2));
    case EC_DVD_STILL_OFF: return Raise(h.OnDVDStillOff, sender);
    case EC_DVD_CURRENT_TIME: return RaiseCurrentTime(h, sender, param1);
    case EC_DVD_ERROR: return RaiseDvdError(h, sender, param1);
    case EC_DVD_WARNING: return RaiseDvdWarning(h, sender, param1);
    case EC_DVD_CHAPTER_AUTOSTOP: return Raise(h.OnDVDChapterAutoStop, sender);
    case EC_DVD_NO_FP_PGC: return Raise(h.OnDVDNoFP_PGC, sender);
    case EC_DVD_PLAYBACK_RATE_CHANGE:
      return Raise(h.OnDVDPlaybackRateChange, sender, static_cast<float>(Signed(param1)) / 10000.0f);
    case EC_DVD_PARENTAL_LEVEL_CHANGE:
      return Raise(h.OnDVDParentalLevelChange, sender, Signed(param1));
    case EC_DVD_PLAYBACK_STOPPED: return Raise(h.OnDVDPlaybackStopped, sender);
    case EC_DVD_ANGLES_AVAILABLE: return Raise(h.OnDVDAnglesAvailable, sender, param1 == 1);
    case EC_DVD_PLAYPERIOD_AUTOSTOP: return Raise(h.OnDVDPlayPeriodAutoStop, sender);
    case EC_DVD_BUTTON_AUTO_ACTIVATED:
      return Raise(h.OnDVDButtonAutoActivated, sender, Unsigned(param1));
    case EC_DVD_CMD_START: return Raise(h.OnDVDCMDStart, sender, Unsigned(param1));
    case EC_DVD_CMD_END: return Raise(h.OnDVDCMDEnd, sender, Unsigned(param1));
    case EC_DVD_DISC_EJECTED: return Raise(h.OnDVDDiscEjected, sender);
    case EC_DVD_DISC_INSERTED: return Raise(h.OnDVDDiscInserted, sender);
    case EC_DVD_CURRENT_HMSF_TIME: return RaiseCurrentHMSFTime(h, sender, param1, param2);
    case EC_DVD_KARAOKE_MODE: return Raise(h.OnDVDKaraokeMode, sender, param1 != 0);
    case EC_SNDDEV_IN_ERROR:
      return Raise(h.OnGraphSNDDevInError, sender, static_cast<_tagSND_DEVICE_ERROR>(param1),
                   Unsigned(param2));
    case EC_SNDDEV_OUT_ERROR:
      return Raise(h.OnGraphSNDDevOutError, sender, static_cast<_tagSND_DEVICE_ERROR>(param1),
                   Unsigned(param2));
  }
}
