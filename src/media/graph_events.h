#pragma once
// The per-event handlers of a filter graph: their callback types, the
// handler set, and the dispatch that picks a handler by the event code and
// decodes its arguments from the event's two parameters.
#include <windows.h>
#include <dshow.h>
#include <audevcod.h>

#include <functional>
#include <string>

#include "classlib/component.h"

using TOnDSEvent =
    std::function<void(TComponent* sender, LONG Event, LONG_PTR Param1, LONG_PTR Param2)>;
using TOnDSResult = std::function<void(TComponent* sender, HRESULT Result)>;
using TOnGraphComplete =
    std::function<void(TComponent* sender, HRESULT Result, IBaseFilter* Renderer)>;
using TOnGraphBufferingData = std::function<void(TComponent* sender, bool Buffering)>;
using TOnGraphDeviceLost = std::function<void(TComponent* sender, IUnknown* Device, bool Removed)>;
using TOnGraphEndOfSegment =
    std::function<void(TComponent* sender, REFERENCE_TIME StreamTime, ULONG NumSegment)>;
using TOnGraphFullscreenLost = std::function<void(TComponent* sender, IBaseFilter* Renderer)>;
using TOnGraphOleEvent = std::function<void(TComponent* sender, const std::wstring& String1,
                                            const std::wstring& String2)>;
using TOnGraphOpeningFile = std::function<void(TComponent* sender, bool opening)>;
using TOnGraphSNDDevError =
    std::function<void(TComponent* sender, _tagSND_DEVICE_ERROR OccurWhen, ULONG ErrorCode)>;
using TOnGraphStreamControl = std::function<void(TComponent* sender, IPin* PinSender, ULONG Cookie)>;
using TOnGraphStreamError = std::function<void(TComponent* sender, HRESULT Operation, ULONG Value)>;
using TOnGraphTimeCodeAvailable =
    std::function<void(TComponent* sender, IBaseFilter* From, ULONG DeviceID)>;
using TOnGraphEXTDeviceModeChange =
    std::function<void(TComponent* sender, ULONG NewMode, ULONG DeviceID)>;
using TOnGraphVideoSizeChanged = std::function<void(TComponent* sender, WORD Width, WORD height)>;
using TOnGraphVMRRenderDevice = std::function<void(TComponent* sender, LONG RenderDevice)>;
using TOnDVDAudioStreamChange =
    std::function<void(TComponent* sender, LONG stream, LONG lcid, const std::wstring& Lang)>;
using TOnDVDSubpictureStreamChange =
    std::function<void(TComponent* sender, LONG SubNum, LONG lcid, const std::wstring& Lang)>;
using TOnDVDCurrentTime = std::function<void(TComponent* sender, LONG Hours, LONG minutes,
                                             LONG seconds, LONG frames, LONG frate)>;

// The digits of a DVD time code, as SplitDvdTimeCode reads them.
struct TDvdTimeCodeDigits {
  BYTE hoursUnits;
  BYTE hoursTens;
  BYTE minutesUnits;
  BYTE minutesTens;
  BYTE secondsUnits;
  BYTE secondsTens;
  BYTE framesUnits;
  BYTE framesTens;
  BYTE frameRateCode;
};

using TOnDVDCurrentHMSFTime = std::function<void(
    TComponent* sender, DVD_HMSF_TIMECODE HMSFTimeCode, const TDvdTimeCodeDigits& TimeCode)>;
using TOnDVDTitleChange = std::function<void(TComponent* sender, LONG title)>;
using TOnDVDChapterStart = std::function<void(TComponent* sender, LONG chapter)>;
using TOnDVDChange = std::function<void(TComponent* sender, LONG total, LONG current)>;
using TOnDVDValidUOPSChange = std::function<void(TComponent* sender, LONG UOPS)>;
using TOnDVDStillOn = std::function<void(TComponent* sender, bool NoButtonAvailable, LONG seconds)>;
using TOnDVDPlaybackRateChange = std::function<void(TComponent* sender, float rate)>;
using TOnDVDParentalLevelChange = std::function<void(TComponent* sender, LONG level)>;
using TOnDVDAnglesAvailable = std::function<void(TComponent* sender, bool available)>;
using TOnDVDButtonAutoActivated = std::function<void(TComponent* sender, ULONG Button)>;
using TOnDVDCMD = std::function<void(TComponent* sender, ULONG CmdID)>;
using TOnDVDKaraokeMode = std::function<void(TComponent* sender, bool Played)>;

// Reads a DVD time code from its most significant end: hours units in
// bits 28-31 down to frames tens in bits 2-3 and the frame-rate code in
// bits 0-1.
TDvdTimeCodeDigits SplitDvdTimeCode(DWORD value);

// The seventy handlers, one per event (three codes pick theirs by Param1).
struct TGraphEventHandlers {
  TOnGraphComplete OnGraphComplete;                          // 0x01
  TNotifyEvent OnGraphUserAbort;                             // 0x02
  TOnDSResult OnGraphErrorAbort;                             // 0x03
  TOnGraphStreamError OnGraphStreamErrorStopped;             // 0x06
  TOnGraphStreamError OnGraphStreamErrorStillPlaying;        // 0x07
  TOnDSResult OnGraphErrorStillPlaying;                      // 0x08
  TNotifyEvent OnGraphPaletteChanged;                        // 0x09
  TOnGraphVideoSizeChanged OnGraphVideoSizeChanged;          // 0x0A
  TNotifyEvent OnGraphQualityChange;                         // 0x0B
  TNotifyEvent OnGraphClockChanged;                          // 0x0D
  TOnDSResult OnGraphPaused;                                 // 0x0E
  TOnGraphOpeningFile OnGraphOpeningFile;                    // 0x10
  TOnGraphBufferingData OnGraphBufferingData;                // 0x11
  TOnGraphFullscreenLost OnGraphFullscreenLost;              // 0x12
  TOnGraphOleEvent OnGraphOleEvent;                          // 0x18
  TOnGraphStreamControl OnGraphStreamControlStopped;         // 0x1A
  TOnGraphStreamControl OnGraphStreamControlStarted;         // 0x1B
  TOnGraphEndOfSegment OnGraphEndOfSegment;                  // 0x1C
  TOnGraphDeviceLost OnGraphDeviceLost;                      // 0x1F
  TNotifyEvent OnGraphStepComplete;                          // 0x24
  TOnGraphTimeCodeAvailable OnGraphTimeCodeAvailable;        // 0x30
  TOnGraphEXTDeviceModeChange OnGraphEXTDeviceModeChange;    // 0x31
  TNotifyEvent OnGraphChanged;                               // 0x50
  TNotifyEvent OnGraphClockUnset;                            // 0x51
  TOnGraphVMRRenderDevice OnGraphVMRRenderDevice;            // 0x53
  TNotifyEvent OnDVDDomainFirstPlay;                         // 0x101, Param1 1
  TNotifyEvent OnDVDDomainVideoManagerMenu;                  // 0x101, Param1 2
  TNotifyEvent OnDVDDomainVideoTitleSetMenu;                 // 0x101, Param1 3
  TNotifyEvent OnDVDDomainTitle;                             // 0x101, Param1 4
  TNotifyEvent OnDVDDomainStop;                              // 0x101, Param1 5
  TOnDVDTitleChange OnDVDTitleChange;                        // 0x102
  TOnDVDChapterStart OnDVDChapterStart;                      // 0x103
  TOnDVDAudioStreamChange OnDVDAudioStreamChange;            // 0x104
  TOnDVDSubpictureStreamChange OnDVDSubpictureStreamChange;  // 0x105
  TOnDVDChange OnDVDAngleChange;                             // 0x106
  TOnDVDChange OnDVDButtonChange;                            // 0x107
  TOnDVDValidUOPSChange OnDVDValidUOPSChange;                // 0x108
  TOnDVDStillOn OnDVDStillOn;                                // 0x109
  TNotifyEvent OnDVDStillOff;                                // 0x10A
  TOnDVDCurrentTime OnDVDCurrentTime;                        // 0x10B
  TNotifyEvent OnDVDErrorUnexpected;                         // 0x10C, Param1 1
  TNotifyEvent OnDVDErrorCopyProtectFail;                    // 0x10C, Param1 2
  TNotifyEvent OnDVDErrorInvalidDVD1_0Disc;                  // 0x10C, Param1 3
  TNotifyEvent OnDVDErrorInvalidDiscRegion;                  // 0x10C, Param1 4
  TNotifyEvent OnDVDErrorLowParentalLevel;                   // 0x10C, Param1 5
  TNotifyEvent OnDVDErrorMacrovisionFail;                    // 0x10C, Param1 6
  TNotifyEvent OnDVDErrorIncompatibleSystemAndDecoderRegions;  // 0x10C, Param1 7
  TNotifyEvent OnDVDErrorIncompatibleDiscAndDecoderRegions;    // 0x10C, Param1 8
  TNotifyEvent OnDVDWarningInvalidDVD1_0Disc;                // 0x10D, Param1 1
  TNotifyEvent OnDVDWarningFormatNotSupported;               // 0x10D, Param1 2
  TNotifyEvent OnDVDWarningIllegalNavCommand;                // 0x10D, Param1 3
  TNotifyEvent OnDVDWarningOpen;                             // 0x10D, Param1 4
  TNotifyEvent OnDVDWarningSeek;                             // 0x10D, Param1 5
  TNotifyEvent OnDVDWarningRead;                             // 0x10D, Param1 6
  TNotifyEvent OnDVDChapterAutoStop;                         // 0x10E
  TNotifyEvent OnDVDNoFP_PGC;                                // 0x10F
  TOnDVDPlaybackRateChange OnDVDPlaybackRateChange;          // 0x110
  TOnDVDParentalLevelChange OnDVDParentalLevelChange;        // 0x111
  TNotifyEvent OnDVDPlaybackStopped;                         // 0x112
  TOnDVDAnglesAvailable OnDVDAnglesAvailable;                // 0x113
  TNotifyEvent OnDVDPlayPeriodAutoStop;                      // 0x114
  TOnDVDButtonAutoActivated OnDVDButtonAutoActivated;        // 0x115
  TOnDVDCMD OnDVDCMDStart;                                   // 0x116
  TOnDVDCMD OnDVDCMDEnd;                                     // 0x117
  TNotifyEvent OnDVDDiscEjected;                             // 0x118
  TNotifyEvent OnDVDDiscInserted;                            // 0x119
  TOnDVDCurrentHMSFTime OnDVDCurrentHMSFTime;                // 0x11A
  TOnDVDKaraokeMode OnDVDKaraokeMode;                        // 0x11B
  TOnGraphSNDDevError OnGraphSNDDevInError;                  // 0x200
  TOnGraphSNDDevError OnGraphSNDDevOutError;                 // 0x201
};

// Raises the handler that the event selects, if it is assigned. `sender`
// is passed to the handler and asked for IDvdInfo2 where the language of a
// DVD stream is wanted.
void RaiseGraphEventHandler(const TGraphEventHandlers& handlers, TComponent* sender, LONG event,
                            LONG_PTR param1, LONG_PTR param2);
