#include "platform/asf_writer/asf_writer_filter.h"

#include "platform/asf_writer/asf_writer_advanced.h"
#include "platform/asf_writer/raw_video_format.h"
#include "platform/asf_writer/asf_writer_input_pin.h"
#include "platform/media_platform.h"
using dshow::ComPtr;

namespace platform {

HRESULT CreateAsfWriterFilter(REFIID iid, void** object) {
  return AsfWriterFilter::CreateInstance(iid, object);
}

AsfWriterFilter::AsfWriterFilter()
    : ComObject(CLSID_WMAsfWriter),
      profile_(&DefaultAsfSystemProfile()), sinks_(std::make_shared<AsfSinkList>()) {
  (void)ConfigureFilterUsingProfileGuid(profile_->id);  // a built-in profile always configures
}

AsfWriterFilter::~AsfWriterFilter() { FinishWriting(); }

AsfWritingSession::Counters AsfWriterFilter::LastCounters() const {
  std::lock_guard lock(stateLock_);
  return session_ ? session_->Stats() : lastCounters_;
}

HRESULT AsfWriterFilter::StartWriting() {
  if (fileName_.empty()) return S_OK;  // nothing to write to: the samples are discarded
  AsfSessionSettings settings;
  settings.index = index_;
  const std::vector<AsfWriterInputPin*> pins = InputPins();
  for (AsfWriterInputPin* pin : pins) {
    pin->ResetEndOfStream();
    if (!pin->IsConnected()) continue;
    AsfInput input;
    if (!DescribeAsfInput(pin->Kind(), pin->ConnectionType().Get(), dontCompress_,
                          profile_->videoBitRate, &input))
      return VFW_E_TYPE_NOT_ACCEPTED;
    // Refused before the file is made, so a failed channel leaves no empty file.
    if (input.encode && input.stream.bitRate == 0) return E_H264_PICTURE_REFUSED;
    settings.inputs.push_back(std::move(input));
  }
  if (settings.inputs.empty()) return S_OK;
  // Only connected pins become streams; the pins' own numbers are used
  // when all of them are connected, which is the normal case.
  if (settings.inputs.size() != pins.size()) return VFW_E_NOT_CONNECTED;

  HRESULT hr = S_OK;
  std::unique_ptr<AsfFileOutput> output =
      AsfFileOutput::Create(fileName_, (fileMode_ & AM_FILE_OVERWRITE) != 0, &hr);
  if (!output) return hr;
  std::unique_ptr<AsfWritingSession> session;
  hr = AsfWritingSession::Start(settings, std::move(output), sinks_,
                                [this](long code, LONG_PTR param) {
                                  NotifyEvent(code, param, code == EC_COMPLETE ? EventSender() : 0);
                                },
                                &session);
  if (FAILED(hr)) return hr;
  std::lock_guard lock(stateLock_);
  session_ = std::move(session);
  return S_OK;
}

void AsfWriterFilter::FinishWriting() {
  std::unique_ptr<AsfWritingSession> session;
  {
    std::lock_guard lock(stateLock_);
    session = std::move(session_);
  }
  if (!session) return;
  session->Finish();
  std::lock_guard lock(stateLock_);
  lastCounters_ = session->Stats();
}

STDMETHODIMP AsfWriterFilter::Stop() {
  {
    std::lock_guard lock(stateLock_);
    if (state_ == State_Stopped) return S_OK;
    state_ = State_Stopped;
  }
  // The encoder drains what was queued and the header is finalised.
  FinishWriting();
  return S_OK;
}

STDMETHODIMP AsfWriterFilter::Pause() {
  bool starting;
  {
    std::lock_guard lock(stateLock_);
    starting = state_ == State_Stopped;
  }
  if (starting) {
    const HRESULT hr = StartWriting();
    if (FAILED(hr)) return hr;
  }
  std::lock_guard lock(stateLock_);
  state_ = State_Paused;
  return S_OK;
}

STDMETHODIMP AsfWriterFilter::Run(REFERENCE_TIME) {
  if (IsStopped()) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  std::lock_guard lock(stateLock_);
  state_ = State_Running;
  return S_OK;
}

std::vector<AsfWriterInputPin*> AsfWriterFilter::InputPins() const {
  std::lock_guard lock(stateLock_);
  std::vector<AsfWriterInputPin*> pins;
  for (const auto& pin : pins_) pins.push_back(pin.get());
  return pins;
}

std::vector<ComPtr<IPin>> AsfWriterFilter::Pins() {
  std::vector<ComPtr<IPin>> pins;
  for (AsfWriterInputPin* pin : InputPins()) pins.emplace_back(static_cast<IPin*>(pin));
  return pins;
}

STDMETHODIMP AsfWriterFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  // Leaving the graph closes the recording even if nobody stopped us.
  if (!graph) {
    {
      std::lock_guard lock(stateLock_);
      state_ = State_Stopped;
    }
    FinishWriting();
  }
  return FilterBase::JoinFilterGraph(graph, name);
}

STDMETHODIMP AsfWriterFilter::ConfigureFilterUsingProfileId(DWORD) { return E_NOTIMPL; }
STDMETHODIMP AsfWriterFilter::GetCurrentProfileId(DWORD*) { return E_NOTIMPL; }

STDMETHODIMP AsfWriterFilter::ConfigureFilterUsingProfileGuid(REFGUID id) {
  const AsfSystemProfile* profile = FindAsfSystemProfile(id);
  if (!profile) return E_INVALIDARG;
  if (!IsStopped()) return VFW_E_NOT_STOPPED;
  std::vector<AsfPinKind> wanted;
  if (profile->video) wanted.push_back(AsfPinKind::Video);
  if (profile->audio) wanted.push_back(AsfPinKind::Audio);
  std::lock_guard lock(stateLock_);
  bool same = wanted.size() == pins_.size();
  for (size_t i = 0; same && i < wanted.size(); ++i) same = pins_[i]->Kind() == wanted[i];
  if (!same) {
    for (const auto& pin : pins_)
      if (pin->IsConnected()) return VFW_E_ALREADY_CONNECTED;
    for (auto& pin : pins_) retiredPins_.push_back(std::move(pin));
    pins_.clear();
    for (size_t i = 0; i < wanted.size(); ++i)
      pins_.push_back(std::make_unique<AsfWriterInputPin>(*this, wanted[i], i));
  }
  profile_ = profile;
  return S_OK;
}

STDMETHODIMP AsfWriterFilter::GetCurrentProfileGuid(GUID* id) {
  if (!id) return E_POINTER;
  *id = profile_->id;
  return S_OK;
}

// Custom profiles would need the Windows Media runtime's profile objects.
STDMETHODIMP AsfWriterFilter::ConfigureFilterUsingProfile(IWMProfile*) { return E_NOTIMPL; }
STDMETHODIMP AsfWriterFilter::GetCurrentProfile(IWMProfile**) { return E_NOTIMPL; }

STDMETHODIMP AsfWriterFilter::SetIndexMode(BOOL index) {
  index_ = index != FALSE;
  return S_OK;
}

STDMETHODIMP AsfWriterFilter::GetIndexMode(BOOL* index) {
  if (!index) return E_POINTER;
  *index = index_;
  return S_OK;
}

STDMETHODIMP AsfWriterFilter::StreamNumFromPin(IPin* pin, WORD* stream) {
  if (!pin || !stream) return E_POINTER;
  const std::vector<AsfWriterInputPin*> pins = InputPins();
  for (size_t i = 0; i < pins.size(); ++i) {
    if (static_cast<IPin*>(pins[i]) == pin) {
      *stream = static_cast<WORD>(i + 1);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

STDMETHODIMP AsfWriterFilter::SetParam(DWORD param, DWORD value, DWORD) {
  switch (param) {
    case AM_CONFIGASFWRITER_PARAM_AUTOINDEX: index_ = value != 0; return S_OK;
    case AM_CONFIGASFWRITER_PARAM_MULTIPASS: multiPass_ = value != 0; return S_OK;
    case AM_CONFIGASFWRITER_PARAM_DONTCOMPRESS:
      if (!IsStopped()) return VFW_E_NOT_STOPPED;
      dontCompress_ = value != 0;
      return S_OK;
    default: return E_INVALIDARG;
  }
}

STDMETHODIMP AsfWriterFilter::GetParam(DWORD param, DWORD* value, DWORD* reserved) {
  if (!value) return E_POINTER;
  if (reserved) *reserved = 0;
  switch (param) {
    case AM_CONFIGASFWRITER_PARAM_AUTOINDEX: *value = index_; return S_OK;
    case AM_CONFIGASFWRITER_PARAM_MULTIPASS: *value = multiPass_; return S_OK;
    case AM_CONFIGASFWRITER_PARAM_DONTCOMPRESS: *value = dontCompress_; return S_OK;
    default: return E_INVALIDARG;
  }
}

// H.264 is encoded in one pass; there is no multi-pass state to reset.
STDMETHODIMP AsfWriterFilter::ResetMultiPassState() { return S_OK; }

STDMETHODIMP AsfWriterFilter::SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*) {
  if (!name) return E_POINTER;
  fileName_ = name;
  return S_OK;
}

STDMETHODIMP AsfWriterFilter::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) {
  if (!name) return E_POINTER;
  *name = nullptr;
  if (type) {
    *type = AM_MEDIA_TYPE{};
    type->majortype = MEDIATYPE_Stream;
    type->subtype = MEDIASUBTYPE_Asf;
  }
  if (fileName_.empty()) return S_OK;
  return dshow::CopyToComString(fileName_, name);
}

STDMETHODIMP AsfWriterFilter::SetMode(DWORD flags) {
  if (flags & ~DWORD{AM_FILE_OVERWRITE}) return E_INVALIDARG;
  fileMode_ = flags;
  return S_OK;
}

STDMETHODIMP AsfWriterFilter::GetMode(DWORD* flags) {
  if (!flags) return E_POINTER;
  *flags = fileMode_;
  return S_OK;
}

STDMETHODIMP AsfWriterFilter::QueryService(REFGUID service, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualGUID(service, IID_IWMWriterAdvanced2) && !IsEqualGUID(service, IID_IWMWriterAdvanced))
    return E_NOINTERFACE;
  const ComPtr<AsfWriterAdvanced> advanced = AsfWriterAdvanced::Make(sinks_);
  if (!advanced) return E_OUTOFMEMORY;
  return advanced->QueryInterface(iid, object);
}

STDMETHODIMP_(ULONG) AsfWriterFilter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

STDMETHODIMP AsfWriterFilter::SwitchFile(LPCWSTR name) {
  if (!name) return E_POINTER;
  if (!*name) return E_INVALIDARG;
  {
    std::lock_guard lock(stateLock_);
    if (!session_) return VFW_E_WRONG_STATE;  // not recording
  }
  // Made here, off the streaming and encoder threads, so a storage folder
  // that refuses it fails the call and leaves the recording as it was.
  HRESULT hr = S_OK;
  std::unique_ptr<AsfFileOutput> output =
      AsfFileOutput::Create(name, (fileMode_ & AM_FILE_OVERWRITE) != 0, &hr);
  if (!output) return hr;
  std::lock_guard lock(stateLock_);
  if (!session_ || !session_->SwitchOutput(std::move(output), name)) {
    if (!session_) (void)DeleteFileW(name);  // the recording ended meanwhile
    return VFW_E_WRONG_STATE;
  }
  fileName_ = name;
  return S_OK;
}

STDMETHODIMP AsfWriterFilter::GetDroppedFrames(ULONGLONG* count) {
  if (!count) return E_POINTER;
  *count = LastCounters().dropped;
  return S_OK;
}

HRESULT AsfWriterFilter::DeliverSample(size_t input, IMediaSample* sample) {
  BYTE* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return E_POINTER;
  const long length = sample->GetActualDataLength();
  REFERENCE_TIME start = 0;
  REFERENCE_TIME stop = 0;
  const HRESULT timed = sample->GetTime(&start, &stop);
  // GetTime: S_OK start and stop, VFW_S_NO_STOP_TIME start only, an error none.
  const bool hasStart = SUCCEEDED(timed);
  const bool hasStop = timed == S_OK;
  std::lock_guard lock(stateLock_);
  if (state_ == State_Stopped) return VFW_E_WRONG_STATE;
  if (!session_) return S_OK;  // no file name: accepted and discarded
  if (session_->Failed()) return S_FALSE;
  if (length > 0)
    session_->Deliver(input, data, static_cast<size_t>(length), start, stop, hasStart, hasStop);
  return S_OK;
}

void AsfWriterFilter::PinEndOfStream() {
  for (AsfWriterInputPin* pin : InputPins())
    if (pin->IsConnected() && !pin->AtEndOfStream()) return;
  {
    std::lock_guard lock(stateLock_);
    if (session_) {
      session_->EndOfStream();
      return;
    }
  }
  NotifyEvent(EC_COMPLETE, S_OK, EventSender());
}

}  // namespace platform
