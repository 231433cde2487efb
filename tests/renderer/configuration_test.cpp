#include <doctest/doctest.h>

#include "platform/mixing_renderer/video_format.h"
#include "platform/dshow/media_type.h"
#include "renderer_support.h"

using namespace renderer_test;

namespace {
ComPtr<IPin> InputPin(IBaseFilter* renderer) {
  ComPtr<IPin> pin;
  REQUIRE(renderer->FindPin(L"VMR Input0", &pin) == S_OK);
  return pin;
}
}  // namespace

TEST_CASE("the input pin accepts RGB24, RGB32 and YUY2 video and refuses the rest") {
  ComPtr<IBaseFilter> renderer = NewRenderer();
  ComPtr<IPin> pin = InputPin(renderer.Get());

  SUBCASE("accepted") {
    CHECK(pin->QueryAccept(VideoType(MEDIASUBTYPE_RGB24, 640, 480, 24).Get()) == S_OK);
    CHECK(pin->QueryAccept(VideoType(MEDIASUBTYPE_RGB32, 640, -480, 32).Get()) == S_OK);
    CHECK(pin->QueryAccept(VideoType(MEDIASUBTYPE_YUY2, 640, 480, 16).Get()) == S_OK);
  }
  SUBCASE("refused") {
    CHECK(pin->QueryAccept(VideoType(MEDIASUBTYPE_RGB565, 640, 480, 16).Get()) == S_FALSE);
    CHECK(pin->QueryAccept(VideoType(MEDIASUBTYPE_MJPG, 640, 480, 24).Get()) == S_FALSE);
    CHECK(pin->QueryAccept(VideoType(MEDIASUBTYPE_RGB24, 640, 480, 32).Get()) == S_FALSE);
    CHECK(pin->QueryAccept(VideoType(MEDIASUBTYPE_YUY2, 641, 480, 16).Get()) == S_FALSE);
    CHECK(pin->QueryAccept(VideoType(MEDIASUBTYPE_RGB24, 0, 480, 24).Get()) == S_FALSE);
    VideoType shortBlock(MEDIASUBTYPE_RGB24, 640, 480, 24);
    shortBlock.type.cbFormat = sizeof(VIDEOINFOHEADER) - 1;
    CHECK(pin->QueryAccept(shortBlock.Get()) == S_FALSE);
    VideoType otherFormat(MEDIASUBTYPE_RGB24, 640, 480, 24);
    otherFormat.type.formattype = FORMAT_VideoInfo2;
    CHECK(pin->QueryAccept(otherFormat.Get()) == S_FALSE);
  }
  SUBCASE("a refused type does not connect") {
    ComPtr<PushSource> source = PushSource::Create(Frames(MEDIASUBTYPE_RGB565));
    CHECK(testing_source::ConnectToRenderer(*source.Get(), renderer.Get()) == VFW_E_TYPE_NOT_ACCEPTED);
    ComPtr<IPin> peer;
    CHECK(pin->ConnectedTo(&peer) == VFW_E_NOT_CONNECTED);
  }
  SUBCASE("connected once, reporting its type") {
    ComPtr<PushSource> source = PushSource::Create(Frames(MEDIASUBTYPE_RGB32, 320, 240));
    REQUIRE(testing_source::ConnectToRenderer(*source.Get(), renderer.Get()) == S_OK);
    AM_MEDIA_TYPE type{};
    REQUIRE(pin->ConnectionMediaType(&type) == S_OK);
    CHECK(IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB32));
    CHECK(reinterpret_cast<VIDEOINFOHEADER*>(type.pbFormat)->bmiHeader.biWidth == 320);
    dshow::MediaType::FreeContents(type);
    ComPtr<PushSource> second = PushSource::Create(Frames(MEDIASUBTYPE_RGB32));
    CHECK(testing_source::ConnectToRenderer(*second.Get(), renderer.Get()) == VFW_E_ALREADY_CONNECTED);
    CHECK(pin->Disconnect() == S_OK);
    CHECK(pin->Disconnect() == S_FALSE);
    (void)source->Output()->Disconnect();  // the source's side of the pair
  }
}

TEST_CASE("frames are converted to top-down BGRX") {
  SUBCASE("RGB24 rows arrive bottom-up") {
    VideoType type(MEDIASUBTYPE_RGB24, 2, 2, 24);
    const auto format = platform::VideoFormatOf(*type.Get());
    REQUIRE(format);
    CHECK(format->stride == 8);  // rows padded to four bytes
    const BYTE frame[16] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10, 11, 12, 0, 0};
    std::uint32_t out[4];
    platform::ConvertToRgb32(*format, frame, out);
    CHECK(out[0] == 0x090807);
    CHECK(out[1] == 0x0C0B0A);
    CHECK(out[2] == 0x030201);
    CHECK(out[3] == 0x060504);
  }
  SUBCASE("YUY2 white, black and a saturated red") {
    VideoType type(MEDIASUBTYPE_YUY2, 2, 2, 16);
    const auto format = platform::VideoFormatOf(*type.Get());
    REQUIRE(format);
    const BYTE frame[8] = {235, 128, 16, 128, 81, 90, 81, 240};
    std::uint32_t out[4];
    platform::ConvertToRgb32(*format, frame, out);
    CHECK(out[0] == 0xFFFFFF);
    CHECK(out[1] == 0x000000);
    CHECK(Near(RGB((out[2] >> 16) & 255, (out[2] >> 8) & 255, out[2] & 255), RGB(255, 0, 0), 3));
  }
}

TEST_CASE("filter configuration is kept and reported") {
  ComPtr<IBaseFilter> renderer = NewRenderer();
  ComPtr<IVMRFilterConfig9> config;
  REQUIRE(renderer.As(&config) == S_OK);

  SUBCASE("number of streams stays within 1..16") {
    DWORD streams = 99;
    CHECK(config->GetNumberOfStreams(&streams) == VFW_E_VMR_NOT_IN_MIXER_MODE);
    CHECK(config->SetNumberOfStreams(0) == E_INVALIDARG);
    CHECK(config->SetNumberOfStreams(17) == E_INVALIDARG);
    CHECK(config->SetNumberOfStreams(16) == S_OK);
    CHECK(config->GetNumberOfStreams(&streams) == S_OK);
    CHECK(streams == 16);
    CHECK(config->SetNumberOfStreams(4) == S_OK);
    CHECK(config->GetNumberOfStreams(&streams) == S_OK);
    CHECK(streams == 4);
    ComPtr<PushSource> source = PushSource::Create(Frames(MEDIASUBTYPE_RGB24));
    REQUIRE(testing_source::ConnectToRenderer(*source.Get(), renderer.Get()) == S_OK);
    CHECK(config->SetNumberOfStreams(2) == VFW_E_WRONG_STATE);
    CHECK(config->GetNumberOfStreams(&streams) == S_OK);
    CHECK(streams == 4);
    (void)InputPin(renderer.Get())->Disconnect();  // leave both sides apart
    (void)source->Output()->Disconnect();
  }
  SUBCASE("windowed by default, windowless on request, renderless refused") {
    DWORD mode = 0;
    CHECK(config->GetRenderingMode(&mode) == S_OK);
    CHECK(mode == VMR9Mode_Windowed);
    const HWND window = RendererWindowOf(renderer.Get());
    CHECK(IsWindow(window));
    CHECK(config->SetRenderingMode(VMR9Mode_Renderless) == E_NOTIMPL);
    CHECK(config->SetRenderingMode(3) == E_INVALIDARG);
    CHECK(config->SetRenderingMode(VMR9Mode_Windowless) == S_OK);
    CHECK(config->GetRenderingMode(&mode) == S_OK);
    CHECK(mode == VMR9Mode_Windowless);
    CHECK_FALSE(IsWindow(window));
    ComPtr<IVideoWindow> video;
    REQUIRE(renderer->QueryInterface(IID_IVideoWindow, &video) == S_OK);
    CHECK(video->put_Visible(OATRUE) == VFW_E_WRONG_STATE);
    CHECK(config->SetRenderingMode(VMR9Mode_Windowed) == S_OK);
    CHECK(IsWindow(RendererWindowOf(renderer.Get())));
  }
  SUBCASE("aspect ratio: none at first; only none or letter-box taken") {
    ComPtr<IVMRAspectRatioControl9> aspect;
    REQUIRE(renderer.As(&aspect) == S_OK);
    DWORD mode = 7;
    CHECK(aspect->GetAspectRatioMode(&mode) == S_OK);
    CHECK(mode == VMR9ARMode_None);
    CHECK(aspect->SetAspectRatioMode(2) == E_INVALIDARG);
  }
  SUBCASE("the renderer answers as the VMR-9 and keeps the graph's name") {
    CLSID clsid{};
    CHECK(renderer->GetClassID(&clsid) == S_OK);
    CHECK(IsEqualCLSID(clsid, CLSID_VideoMixingRenderer9));
    CHECK(renderer->JoinFilterGraph(nullptr, L"VideoWindow1") == S_OK);
    FILTER_INFO info{};
    CHECK(renderer->QueryFilterInfo(&info) == S_OK);
    CHECK(std::wstring(info.achName) == L"VideoWindow1");
    CHECK(info.pGraph == nullptr);
  }
}
