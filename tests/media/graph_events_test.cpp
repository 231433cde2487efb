// Event delivery from the graph manager's queue, and the decoding of the
// per-event handlers' arguments.
#include <doctest/doctest.h>

#include <dvdevcod.h>

#include "classlib/application.h"
#include "classlib/exceptions.h"
#include "fake_members.h"
#include "media/graph_events.h"
#include "test_support.h"

namespace {

// Queues an event in the graph manager as a filter would.
void Post(TFilterGraph& graph, LONG event, LONG_PTR param1, LONG_PTR param2) {
  ComPtr<IMediaEventSink> sink;
  REQUIRE(graph.QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(sink.GetAddressOf())) ==
          S_OK);
  REQUIRE(sink->Notify(event, param1, param2) == S_OK);
}

// A stand-in for the objects some events point to.
class TCountedDummy : public IUnknown {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

bool Contains(const CallLog& log, const std::string& entry) {
  return std::find(log.begin(), log.end(), entry) != log.end();
}

}  // namespace

TEST_CASE("a queued event reaches listeners, then OnDSEvent, then its handler") {
  CallLog log;
  TFilterGraph graph(nullptr);
  TFakeListener listener("L", log);
  graph.AddListener(&listener);
  graph.OnDSEvent = [&](TComponent* sender, LONG event, LONG_PTR param1, LONG_PTR) {
    CHECK(sender == &graph);
    log.push_back("OnDSEvent " + std::to_string(event) + " " + std::to_string(param1));
  };
  graph.OnGraphVideoSizeChanged = [&](TComponent* sender, WORD width, WORD height) {
    CHECK(sender == &graph);
    log.push_back("VideoSize " + std::to_string(width) + "x" + std::to_string(height));
  };
  graph.OnDVDDomainTitle = [&](TComponent*) { log.push_back("DomainTitle"); };
  graph.SetActive(true);
  log.clear();
  const LONG_PTR size = MAKELONG(640, 480);

  SUBCASE("in that order, with the arguments decoded") {
    Post(graph, EC_VIDEO_SIZE_CHANGED, size, 0);
    REQUIRE(PumpUntil([&] { return log.size() >= 3; }));
    CHECK(log == CallLog{"L.GraphEvent 10 " + std::to_string(size) + " 0",
                         "OnDSEvent 10 " + std::to_string(size), "VideoSize 640x480"});
  }
  SUBCASE("codes without a handler, or with an unknown selector, reach the listeners only") {
    Post(graph, EC_USER + 5, 1, 2);
    Post(graph, EC_DVD_DOMAIN_CHANGE, 9, 0);
    Post(graph, EC_DVD_DOMAIN_CHANGE, DVD_DOMAIN_Title, 0);
    REQUIRE(PumpUntil([&] { return Contains(log, "DomainTitle"); }));
    CHECK(log == CallLog{"L.GraphEvent 32773 1 2", "OnDSEvent 32773 1",
                         "L.GraphEvent 257 9 0", "OnDSEvent 257 9",
                         "L.GraphEvent 257 4 0", "OnDSEvent 257 4", "DomainTitle"});
  }
  SUBCASE("a handler that deactivates the graph ends the drain") {
    graph.OnDSEvent = [&](TComponent*, LONG event, LONG_PTR, LONG_PTR) {
      log.push_back("OnDSEvent " + std::to_string(event));
      graph.SetActive(false);
    };
    Post(graph, EC_USER + 1, 0, 0);
    Post(graph, EC_USER + 2, 0, 0);
    REQUIRE(PumpUntil([&] { return Contains(log, "OnDSEvent 32769"); }));
    PumpFor(std::chrono::milliseconds(300));
    CHECK_FALSE(Contains(log, "OnDSEvent 32770"));
    CHECK_FALSE(graph.Active());
  }
  SUBCASE("no event is delivered after deactivation") {
    Post(graph, EC_USER + 3, 0, 0);
    graph.SetActive(false);
    PumpFor(std::chrono::milliseconds(300));
    CHECK(log == CallLog{"L.ControlEvent 7 0"});
  }
  SUBCASE("an exception from a handler goes to the application, later events still arrive") {
    RecordedBoxes().clear();
    graph.OnDSEvent = [&](TComponent*, LONG event, LONG_PTR, LONG_PTR) {
      log.push_back("OnDSEvent " + std::to_string(event));
      if (event == EC_USER + 1) throw Exception(L"handler failed");
    };
    Post(graph, EC_USER + 1, 0, 0);
    Post(graph, EC_USER + 2, 0, 0);
    REQUIRE(PumpUntil([&] { return Contains(log, "OnDSEvent 32770"); }));
    REQUIRE(RecordedBoxes().size() == 1);
    CHECK(RecordedBoxes()[0].text.find(L"handler failed") != std::wstring::npos);
  }
  graph.SetActive(false);
  graph.RemoveListener(&listener);
}

TEST_CASE("SplitDvdTimeCode reads the digits from the most significant end") {
  const TDvdTimeCodeDigits d = SplitDvdTimeCode(0x12345678);
  CHECK(d.hoursUnits == 1);
  CHECK(d.hoursTens == 2);
  CHECK(d.minutesUnits == 3);
  CHECK(d.minutesTens == 4);
  CHECK(d.secondsUnits == 5);
  CHECK(d.secondsTens == 6);
  CHECK(d.framesUnits == 7);
  CHECK(d.framesTens == 2);
  CHECK(d.frameRateCode == 0);
  CHECK(SplitDvdTimeCode(0x0000000F).framesTens == 3);
  CHECK(SplitDvdTimeCode(0x0000000F).frameRateCode == 3);
}

TEST_CASE("handlers get their arguments decoded from the event's parameters") {
  TFilterGraph graph(nullptr);
  std::vector<std::string> raised;
  auto note = [&](std::string text) { raised.push_back(std::move(text)); };

  SUBCASE("playback rate is Param1 / 10000, signed") {
    float rate = 0;
    graph.OnDVDPlaybackRateChange = [&](TComponent*, float value) { rate = value; };
    graph.HandleGraphEvent(EC_DVD_PLAYBACK_RATE_CHANGE, 10000, 0);
    CHECK(rate == 1.0f);
    graph.HandleGraphEvent(EC_DVD_PLAYBACK_RATE_CHANGE, -25000, 0);
    CHECK(rate == -2.5f);
  }
  SUBCASE("current time with each frame-rate code") {
    graph.OnDVDCurrentTime = [&](TComponent*, LONG h, LONG m, LONG s, LONG f, LONG rate) {
      note(std::to_string(h) + ":" + std::to_string(m) + ":" + std::to_string(s) + "." +
           std::to_string(f) + "@" + std::to_string(rate));
    };
    // 12:34:56, frame 27 (units 7, tens 2), then the frame-rate code.
    for (DWORD code = 0; code < 4; ++code)
      graph.HandleGraphEvent(EC_DVD_CURRENT_TIME, static_cast<LONG>(0x21436578 | code), 0);
    CHECK(raised == std::vector<std::string>{"12:34:56.27@0", "12:34:56.27@25", "12:34:56.27@0",
                                             "12:34:56.27@30"});
  }
  SUBCASE("HMSF time: four bytes of Param1 by value, digits of Param2") {
    DVD_HMSF_TIMECODE hmsf = {};
    TDvdTimeCodeDigits digits = {};
    graph.OnDVDCurrentHMSFTime = [&](TComponent*, DVD_HMSF_TIMECODE value,
                                     const TDvdTimeCodeDigits& timeCode) {
      hmsf = value;
      digits = timeCode;
    };
    graph.HandleGraphEvent(EC_DVD_CURRENT_HMSF_TIME, 0x04030201, 0x10000003);
    CHECK(hmsf.bHours == 1);
    CHECK(hmsf.bMinutes == 2);
    CHECK(hmsf.bSeconds == 3);
    CHECK(hmsf.bFrames == 4);
    CHECK(digits.hoursUnits == 1);
    CHECK(digits.frameRateCode == 3);
  }
  SUBCASE("Param1 picks the DVD error and warning handlers") {
    graph.OnDVDErrorUnexpected = [&](TComponent*) { note("ErrorUnexpected"); };
    graph.OnDVDErrorIncompatibleDiscAndDecoderRegions = [&](TComponent*) { note("ErrorDiscRegions"); };
    graph.OnDVDWarningRead = [&](TComponent*) { note("WarningRead"); };
    graph.OnDVDWarningInvalidDVD1_0Disc = [&](TComponent*) { note("WarningInvalid"); };
    graph.OnDVDDomainFirstPlay = [&](TComponent*) { note("FirstPlay"); };
    graph.HandleGraphEvent(EC_DVD_ERROR, 1, 0);
    graph.HandleGraphEvent(EC_DVD_ERROR, 8, 0);
    graph.HandleGraphEvent(EC_DVD_ERROR, 9, 0);
    graph.HandleGraphEvent(EC_DVD_WARNING, 6, 0);
    graph.HandleGraphEvent(EC_DVD_WARNING, 1, 0);
    graph.HandleGraphEvent(EC_DVD_WARNING, 0, 0);
    graph.HandleGraphEvent(EC_DVD_DOMAIN_CHANGE, 1, 0);
    graph.HandleGraphEvent(EC_DVD_DOMAIN_CHANGE, 6, 0);
    CHECK(raised == std::vector<std::string>{"ErrorUnexpected", "ErrorDiscRegions", "WarningRead",
                                             "WarningInvalid", "FirstPlay"});
  }
  SUBCASE("flags, pointers and plain values") {
    REFERENCE_TIME streamTime = 123456789012LL;
    graph.OnGraphEndOfSegment = [&](TComponent*, REFERENCE_TIME time, ULONG segment) {
      note("segment " + std::to_string(time) + " " + std::to_string(segment));
    };
    graph.OnGraphDeviceLost = [&](TComponent*, IUnknown* device, bool removed) {
      note(std::string("lost ") + (device == nullptr ? "none" : "device") + " " +
           (removed ? "removed" : "back"));
    };
    graph.OnGraphFullscreenLost = [&](TComponent*, IBaseFilter* renderer) {
      note(std::string("fullscreen ") + (renderer ? "renderer" : "none"));
    };
    graph.OnGraphOpeningFile = [&](TComponent*, bool opening) { note(opening ? "opening" : "opened"); };
    graph.OnDVDKaraokeMode = [&](TComponent*, bool played) { note(played ? "played" : "silent"); };
    graph.OnDVDStillOn = [&](TComponent*, bool noButton, LONG seconds) {
      note(std::string(noButton ? "nobutton " : "buttons ") + std::to_string(seconds));
    };
    graph.OnGraphComplete = [&](TComponent*, HRESULT result, IBaseFilter* renderer) {
      note("complete " + std::to_string(result) + (renderer ? " renderer" : " none"));
    };
    graph.OnDVDAngleChange = [&](TComponent*, LONG total, LONG current) {
      note("angle " + std::to_string(total) + "/" + std::to_string(current));
    };
    graph.OnGraphSNDDevOutError = [&](TComponent*, _tagSND_DEVICE_ERROR when, ULONG code) {
      note("snd " + std::to_string(when) + " " + std::to_string(code));
    };
    TCountedDummy dummy;
    graph.HandleGraphEvent(EC_END_OF_SEGMENT, reinterpret_cast<LONG_PTR>(&streamTime), 7);
    graph.HandleGraphEvent(EC_DEVICE_LOST, reinterpret_cast<LONG_PTR>(&dummy), 1);
    graph.HandleGraphEvent(EC_DEVICE_LOST, 0, 0);
    graph.HandleGraphEvent(EC_FULLSCREEN_LOST, reinterpret_cast<LONG_PTR>(&dummy), 0);
    graph.HandleGraphEvent(EC_OPENING_FILE, 1, 0);
    graph.HandleGraphEvent(EC_OPENING_FILE, 2, 0);
    graph.HandleGraphEvent(EC_DVD_KARAOKE_MODE, 2, 0);
    graph.HandleGraphEvent(EC_DVD_STILL_ON, 1, 15);
    graph.HandleGraphEvent(EC_COMPLETE, E_ABORT, 0);
    graph.HandleGraphEvent(EC_DVD_ANGLE_CHANGE, 3, 2);
    graph.HandleGraphEvent(EC_SNDDEV_OUT_ERROR, SNDDEV_ERROR_Write, 42);
    CHECK(raised == std::vector<std::string>{
                        "segment 123456789012 7", "lost device removed", "lost none back",
                        "fullscreen none", "opening", "opened", "played", "nobutton 15",
                        "complete " + std::to_string(E_ABORT) + " none", "angle 3/2",
                        "snd " + std::to_string(SNDDEV_ERROR_Write) + " 42"});
  }
  SUBCASE("OLE event strings") {
    BSTR first = SysAllocString(L"名字");
    graph.OnGraphOleEvent = [&](TComponent*, const std::wstring& one, const std::wstring& two) {
      note(WideToUtf8(one) + "|" + WideToUtf8(two));
    };
    graph.HandleGraphEvent(EC_OLE_EVENT, reinterpret_cast<LONG_PTR>(first), 0);
    SysFreeString(first);
    CHECK(raised == std::vector<std::string>{"名字|"});
  }
  SUBCASE("a DVD stream change on a graph without IDvdInfo2 raises nothing") {
    graph.OnDVDAudioStreamChange = [&](TComponent*, LONG, LONG, const std::wstring&) { note("audio"); };
    graph.OnDVDSubpictureStreamChange = [&](TComponent*, LONG, LONG, const std::wstring&) {
      note("subpicture");
    };
    graph.SetActive(true);
    graph.HandleGraphEvent(EC_DVD_AUDIO_STREAM_CHANGE, 1, 0);
    graph.HandleGraphEvent(EC_DVD_SUBPICTURE_STREAM_CHANGE, 1, 0);
    CHECK(raised.empty());
  }
}
