#include <doctest/doctest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "../renderer/push_source.h"
#include "platform/dshow/com_object.h"
#include "platform/dshow/filter_base.h"
#include "platform/dshow/input_pin_base.h"
#include "platform/dshow/media_type.h"

using dshow::ComPtr;
using testing_source::Frames;
using testing_source::PushSource;

namespace {

// Counts its destructions, so a test sees an object go exactly once.
class Probe final : public dshow::ComObject<Probe, IEnumPins> {
public:
  explicit Probe(std::atomic<int>& destroyed) : destroyed_(destroyed) {}
  ~Probe() { ++destroyed_; }
  STDMETHODIMP Next(ULONG, IPin**, ULONG*) override { return S_FALSE; }
  STDMETHODIMP Skip(ULONG) override { return S_FALSE; }
  STDMETHODIMP Reset() override { return S_OK; }
  STDMETHODIMP Clone(IEnumPins**) override { return E_NOTIMPL; }

private:
  std::atomic<int>& destroyed_;
};

ULONG References(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

class VideoSink;

// Takes RGB32 video only and counts the samples it receives.
class VideoSinkPin final : public dshow::InputPinBase {
public:
  explicit VideoSinkPin(dshow::FilterBase& filter) : InputPinBase(filter, L"In") {}
  STDMETHODIMP EndOfStream() override { return S_OK; }
  STDMETHODIMP BeginFlush() override { return S_OK; }
  STDMETHODIMP EndFlush() override { return S_OK; }
  STDMETHODIMP ReceiveCanBlock() override { return S_FALSE; }
  std::atomic<int> received{0};

private:
  bool Accepts(const AM_MEDIA_TYPE& type) const override {
    return IsEqualGUID(type.majortype, MEDIATYPE_Video) && IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB32);
  }
  HRESULT OnReceive(IMediaSample*) override {
    ++received;
    return S_OK;
  }
};

class VideoSink final : public dshow::ComObject<VideoSink, dshow::FilterBase, IAMFilterMiscFlags> {
public:
  VideoSink() : ComObject(CLSID_VideoRenderer), pin_(*this) {}
  STDMETHODIMP Stop() override { return SetState(State_Stopped); }
  STDMETHODIMP Pause() override { return SetState(State_Paused); }
  STDMETHODIMP Run(REFERENCE_TIME) override { return SetState(State_Running); }
  STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
  VideoSinkPin& Input() { return pin_; }

private:
  std::vector<ComPtr<IPin>> Pins() override { return {ComPtr<IPin>(&pin_)}; }
  HRESULT SetState(FILTER_STATE state) {
    std::lock_guard lock(stateLock_);
    state_ = state;
    return S_OK;
  }
  VideoSinkPin pin_;
};

}  // namespace

TEST_CASE("a shared object is released exactly once however threads count it") {
  std::atomic<int> destroyed{0};
  const long liveBefore = dshow::LiveObjects();
  ComPtr<Probe> probe = Probe::Make(destroyed);
  CHECK(dshow::LiveObjects() == liveBefore + 1);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        ComPtr<IEnumPins> copy = probe;  // AddRef and Release racing on one count
        copy.Reset();
      }
    });
  for (std::thread& thread : threads) thread.join();
  CHECK(References(probe.Get()) == 1);
  CHECK(destroyed == 0);
  probe.Reset();
  CHECK(destroyed == 1);
  CHECK(dshow::LiveObjects() == liveBefore);
}

TEST_CASE("QueryInterface answers the listed interfaces and what they extend, nothing else") {
  const ComPtr<VideoSink> sink = VideoSink::Make();
  ComPtr<IUnknown> identity;
  REQUIRE(sink->QueryInterface(IID_PPV_ARGS(&identity)) == S_OK);
  SUBCASE("every listed interface, with one identity") {
    ComPtr<IPersist> persist;
    ComPtr<IMediaFilter> media;
    ComPtr<IBaseFilter> base;
    ComPtr<IAMFilterMiscFlags> flags;
    CHECK(sink->QueryInterface(IID_PPV_ARGS(&persist)) == S_OK);
    CHECK(sink->QueryInterface(IID_PPV_ARGS(&media)) == S_OK);
    CHECK(sink->QueryInterface(IID_PPV_ARGS(&base)) == S_OK);
    REQUIRE(sink->QueryInterface(IID_PPV_ARGS(&flags)) == S_OK);
    CHECK(flags->GetMiscFlags() == AM_FILTER_MISC_FLAGS_IS_RENDERER);
    ComPtr<IUnknown> again;
    REQUIRE(flags->QueryInterface(IID_PPV_ARGS(&again)) == S_OK);
    CHECK(again.Get() == identity.Get());
    CLSID clsid{};
    CHECK(persist->GetClassID(&clsid) == S_OK);
    CHECK(IsEqualCLSID(clsid, CLSID_VideoRenderer));
  }
  SUBCASE("anything else is refused with a cleared pointer and no reference") {
    const ULONG before = References(identity.Get());
    IPin* pin = reinterpret_cast<IPin*>(0x1);
    CHECK(sink->QueryInterface(IID_IPin, reinterpret_cast<void**>(&pin)) == E_NOINTERFACE);
    CHECK(pin == nullptr);
    CHECK(References(identity.Get()) == before);
    CHECK(sink->QueryInterface(IID_IBaseFilter, nullptr) == E_POINTER);
  }
  SUBCASE("the pin counts on its filter and finds its way back") {
    const ULONG before = References(identity.Get());
    ComPtr<IPin> pin;
    REQUIRE(sink->FindPin(L"In", &pin) == S_OK);
    CHECK(References(identity.Get()) == before + 1);
    ComPtr<IMemInputPin> input;
    CHECK(pin.As(&input) == S_OK);
    PIN_INFO info{};
    REQUIRE(pin->QueryPinInfo(&info) == S_OK);
    const ComPtr<IBaseFilter> owner = dshow::Adopt(info.pFilter);
    CHECK(owner.Get() == static_cast<IBaseFilter*>(sink.Get()));
    CHECK(info.dir == PINDIR_INPUT);
  }
}

TEST_CASE("a media type holds one reference on pUnk per copy") {
  std::atomic<int> destroyed{0};
  ComPtr<Probe> unknown = Probe::Make(destroyed);
  BYTE format[4] = {1, 2, 3, 4};
  AM_MEDIA_TYPE record{};
  record.majortype = MEDIATYPE_Video;
  record.pUnk = unknown.Get();
  record.cbFormat = sizeof format;
  record.pbFormat = format;
  {
    const dshow::MediaType owned(record);
    CHECK(References(unknown.Get()) == 2);
    CHECK(owned.Get().pbFormat != format);
    CHECK(std::memcmp(owned.Get().pbFormat, format, sizeof format) == 0);
    dshow::MediaType copy = owned;
    CHECK(References(unknown.Get()) == 3);
    const dshow::MediaType moved = std::move(copy);
    CHECK(References(unknown.Get()) == 3);
    AM_MEDIA_TYPE filled{};
    REQUIRE(moved.CopyTo(&filled) == S_OK);
    CHECK(References(unknown.Get()) == 4);
    dshow::MediaType::FreeContents(filled);
    CHECK(filled.pUnk == nullptr);
    CHECK(filled.pbFormat == nullptr);
    AM_MEDIA_TYPE* allocated = owned.CreateCopy();
    REQUIRE(allocated);
    CHECK(References(unknown.Get()) == 4);
    dshow::MediaType::Delete(allocated);
    CHECK(References(unknown.Get()) == 3);
  }
  CHECK(References(unknown.Get()) == 1);
  unknown.Reset();
  CHECK(destroyed == 1);
}

TEST_CASE("an input pin connects to a type it accepts and refuses the rest") {
  const ComPtr<VideoSink> sink = VideoSink::Make();
  IPin* input = &sink->Input();
  SUBCASE("accepted: connected once, reporting the type, kept while running") {
    ComPtr<PushSource> source = PushSource::Create(Frames(MEDIASUBTYPE_RGB32, 32, 16));
    REQUIRE(source->Output()->Connect(input, nullptr) == S_OK);
    ComPtr<IPin> peer;
    REQUIRE(input->ConnectedTo(&peer) == S_OK);
    CHECK(peer.Get() == source->Output());
    AM_MEDIA_TYPE type{};
    REQUIRE(input->ConnectionMediaType(&type) == S_OK);
    CHECK(IsEqualGUID(type.subtype, MEDIASUBTYPE_RGB32));
    dshow::MediaType::FreeContents(type);
    ComPtr<PushSource> second = PushSource::Create(Frames(MEDIASUBTYPE_RGB32));
    CHECK(second->Output()->Connect(input, nullptr) == VFW_E_ALREADY_CONNECTED);
    REQUIRE(sink->Run(0) == S_OK);
    CHECK(input->Disconnect() == VFW_E_NOT_STOPPED);
    REQUIRE(sink->Stop() == S_OK);
    CHECK(input->Disconnect() == S_OK);
    CHECK(input->Disconnect() == S_FALSE);
    (void)source->Output()->Disconnect();  // the source's side of the pair
  }
  SUBCASE("refused: another type, another direction, a running filter") {
    ComPtr<PushSource> rgb24 = PushSource::Create(Frames(MEDIASUBTYPE_RGB24));
    CHECK(rgb24->Output()->Connect(input, nullptr) == VFW_E_TYPE_NOT_ACCEPTED);
    ComPtr<PushSource> rgb32 = PushSource::Create(Frames(MEDIASUBTYPE_RGB32));
    VideoType type = rgb32->MediaType();
    CHECK(input->ReceiveConnection(input, type.Get()) == VFW_E_INVALID_DIRECTION);
    CHECK(input->QueryAccept(type.Get()) == S_OK);
    REQUIRE(sink->Run(0) == S_OK);
    CHECK(rgb32->Output()->Connect(input, nullptr) == VFW_E_NOT_STOPPED);
    REQUIRE(sink->Stop() == S_OK);
    ComPtr<IPin> peer;
    CHECK(input->ConnectedTo(&peer) == VFW_E_NOT_CONNECTED);
    CHECK(peer == nullptr);
  }
}
