#include "platform/asf_writer/asf_writer_filter.h"

#include <cstring>

#include "platform/asf_writer/asf_writer_advanced.h"
#include "platform/dshow/media_type.h"
#include "platform/asf_writer/raw_video_format.h"
#include "platform/asf_writer/asf_writer_input_pin.h"
#include "platform/media_platform.h"
#include "platform/dshow/pin_enumerator.h"
using Microsoft::WRL::ComPtr;

namespace platform {

HRESULT CreateAsfWriterFilter(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  ComPtr<IBaseFilter> filter = Adopt(static_cast<IBaseFilter*>(new AsfWriterFilter()));
  return filter->QueryInterface(iid, object);
}

AsfWriterFilter::AsfWriterFilter()
    : profile_(&DefaultAsfSystemProfile()), sinks_(std::make_shared<AsfSinkList>()) {
  (void)ConfigureFilterUsingProfileGuid(profile_->id);  // a built-in profile always configures
}

AsfWriterFilter::~AsfWriterFilter() { FinishWriting(); }

AsfWritingSession::Counters AsfWriterFilter::LastCounters() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return session_ ? session_->Stats() : lastCounters_;
}

HRESULT AsfWriterFilter::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPersist) ||
      IsEqualIID(iid, IID_IMediaFilter) || IsEqualIID(iid, IID_IBaseFilter)) {
    *object = static_cast<IBaseFilter*>(this);
  } else if (IsEqualIID(iid, IID_IConfigAsfWriter) || IsEqualIID(iid, IID_IConfigAsfWriter2)) {
    *object = static_cast<IConfigAsfWriter2*>(this);
  } else if (IsEqualIID(iid, IID_IFileSinkFilter) || IsEqualIID(iid, IID_IFileSinkFilter2)) {
    *object = static_cast<IFileSinkFilter2*>(this);
  } else if (IsEqualIID(iid, IID_IServiceProvider)) {
    *object = static_cast<IServiceProvider*>(this);
  } else if (IsEqualIID(iid, IID_IAMFilterMiscFlags)) {
    *object = static_cast<IAMFilterMiscFlags*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG AsfWriterFilter::AddRef() { return ++refs_; }

ULONG AsfWriterFilter::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT AsfWriterFilter::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_WMAsfWriter;
  return S_OK;
}

bool AsfWriterFilter::Stopped() const {
  std::lock_guard<std::mutex> guard(stateLock_);
  return state_ == State_Stopped;
}

HRESULT AsfWriterFilter::StartWriting() {
  if (fileName_.empty()) return S_OK;  // nothing to write to: the samples are discarded
  AsfSessionSettings settings;
  settings.index = index_;
  std::vector<size_t> inputOfPin(pins_.size(), SIZE_MAX);
  for (size_t i = 0; i < pins_.size(); ++i) {
    AsfWriterInputPin& pin = *pins_[i];
    pin.ResetEndOfStream();
    if (!pin.IsConnected()) continue;
    AsfInput input;
    if (!DescribeAsfInput(pin.Kind(), pin.ConnectionType().Get(), dontCompress_,
                          profile_->videoBitRate, &input))
      return VFW_E_TYPE_NOT_ACCEPTED;
    // Refused before the file is made, so a failed channel leaves no empty file.
    if (input.encode && input.stream.bitRate == 0) return E_H264_PICTURE_REFUSED;
    inputOfPin[i] = settings.inputs.size();
    settings.inputs.push_back(std::move(input));
  }
  if (settings.inputs.empty()) return S_OK;
  // Only connected pins become streams; the pins' own numbers are used
  // when all of them are connected, which is the normal case.
  if (settings.inputs.size() != pins_.size()) return VFW_E_NOT_CONNECTED;

  HRESULT hr = S_OK;
  std::unique_ptr<AsfFileOutput> output =
      AsfFileOutput::Create(fileName_, (fileMode_ & AM_FILE_OVERWRITE) != 0, &hr);
  if (!output) return hr;
  std::unique_ptr<AsfWritingSession> session;
  hr = AsfWritingSession::Start(settings, std::move(output), sinks_,
                                [this](long code, LONG_PTR param) { RaiseEvent(code, param); },
                                &session);
  if (FAILED(hr)) return hr;
  std::lock_guard<std::mutex> guard(stateLock_);
  session_ = std::move(session);
  return S_OK;
}

void AsfWriterFilter::FinishWriting() {
  std::unique_ptr<AsfWritingSession> session;
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    session = std::move(session_);
  }
  if (!session) return;
  session->Finish();
  std::lock_guard<std::mutex> guard(stateLock_);
  lastCounters_ = session->Stats();
}

void AsfWriterFilter::RaiseEvent(long code, LONG_PTR param) {
  std::lock_guard<std::mutex> guard(stateLock_);
  if (!events_) return;
  const LONG_PTR second = code == EC_COMPLETE ? reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)) : 0;
  (void)events_->Notify(code, param, second);  // the graph may refuse events while it shuts down
}

HRESULT AsfWriterFilter::Stop() {
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    if (state_ == State_Stopped) return S_OK;
    state_ = State_Stopped;
  }
  // The encoder drains what was queued and the header is finalised.
  FinishWriting();
  return S_OK;
}

HRESULT AsfWriterFilter::Pause() {
  bool starting;
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    starting = state_ == State_Stopped;
  }
  if (starting) {
    const HRESULT hr = StartWriting();
    if (FAILED(hr)) return hr;
  }
  std::lock_guard<std::mutex> guard(stateLock_);
  state_ = State_Paused;
  return S_OK;
}

HRESULT AsfWriterFilter::Run(REFERENCE_TIME) {
  if (Stopped()) {
    const HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  std::lock_guard<std::mutex> guard(stateLock_);
  state_ = State_Running;
  return S_OK;
}

HRESULT AsfWriterFilter::GetState(DWORD, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  std::lock_guard<std::mutex> guard(stateLock_);
  *state = state_;
  return S_OK;
}

HRESULT AsfWriterFilter::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard<std::mutex> guard(stateLock_);
  clock_ = clock;
  return S_OK;
}

HRESULT AsfWriterFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard<std::mutex> guard(stateLock_);
  ComPtr<IReferenceClock> copy = clock_;
  *clock = copy.Detach();
  return S_OK;
}

std::vector<ComPtr<IPin>> AsfWriterFilter::PinList() const {
  std::vector<ComPtr<IPin>> pins;
  for (const auto& pin : pins_) pins.emplace_back(static_cast<IPin*>(pin.get()));
  return pins;
}

HRESULT AsfWriterFilter::EnumPins(IEnumPins** pins) {
  if (!pins) return E_POINTER;
  return PinEnumerator::Create(PinList(), pins);
}

HRESULT AsfWriterFilter::FindPin(LPCWSTR id, IPin** pin) {
  if (!id || !pin) return E_POINTER;
  *pin = nullptr;
  for (const ComPtr<IPin>& candidate : PinList()) {
    LPWSTR candidateId = nullptr;
    if (FAILED(candidate->QueryId(&candidateId))) continue;
    const bool same = lstrcmpW(candidateId, id) == 0;
    CoTaskMemFree(candidateId);
    if (same) {
      ComPtr<IPin> found = candidate;
      *pin = found.Detach();
      return S_OK;
    }
  }
  return VFW_E_NOT_FOUND;
}

HRESULT AsfWriterFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  lstrcpynW(info->achName, name_.c_str(), MAX_FILTER_NAME);
  ComPtr<IFilterGraph> graph(graph_);
  info->pGraph = graph.Detach();
  return S_OK;
}

HRESULT AsfWriterFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) {
  // Leaving the graph closes the recording even if nobody stopped us.
  if (!graph) {
    {
      std::lock_guard<std::mutex> guard(stateLock_);
      state_ = State_Stopped;
    }
    FinishWriting();
  }
  ComPtr<IMediaEventSink> events;
  if (graph) (void)graph->QueryInterface(IID_PPV_ARGS(&events));  // without it no events are raised
  std::lock_guard<std::mutex> guard(stateLock_);
  graph_ = graph;
  events_ = events.Get();
  name_ = name ? name : L"";
  return S_OK;
}

HRESULT AsfWriterFilter::QueryVendorInfo(LPWSTR*) { return E_NOTIMPL; }

HRESULT AsfWriterFilter::ConfigureFilterUsingProfileId(DWORD) { return E_NOTIMPL; }
HRESULT AsfWriterFilter::GetCurrentProfileId(DWORD*) { return E_NOTIMPL; }

HRESULT AsfWriterFilter::ConfigureFilterUsingProfileGuid(REFGUID id) {
  const AsfSystemProfile* profile = FindAsfSystemProfile(id);
  if (!profile) return E_INVALIDARG;
  if (!Stopped()) return VFW_E_NOT_STOPPED;
  std::vector<AsfPinKind> wanted;
  if (profile->video) wanted.push_back(AsfPinKind::Video);
  if (profile->audio) wanted.push_back(AsfPinKind::Audio);
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

HRESULT AsfWriterFilter::GetCurrentProfileGuid(GUID* id) {
  if (!id) return E_POINTER;
  *id = profile_->id;
  return S_OK;
}

// Custom profiles would need the Windows Media runtime's profile objects.
HRESULT AsfWriterFilter::ConfigureFilterUsingProfile(IWMProfile*) { return E_NOTIMPL; }
HRESULT AsfWriterFilter::GetCurrentProfile(IWMProfile**) { return E_NOTIMPL; }

HRESULT AsfWriterFilter::SetIndexMode(BOOL index) {
  index_ = index != FALSE;
  return S_OK;
}

HRESULT AsfWriterFilter::GetIndexMode(BOOL* index) {
  if (!index) return E_POINTER;
  *index = index_;
  return S_OK;
}

HRESULT AsfWriterFilter::StreamNumFromPin(IPin* pin, WORD* stream) {
  if (!pin || !stream) return E_POINTER;
  for (size_t i = 0; i < pins_.size(); ++i) {
    if (static_cast<IPin*>(pins_[i].get()) == pin) {
      *stream = static_cast<WORD>(i + 1);
      return S_OK;
    }
  }
  return E_INVALIDARG;
}

HRESULT AsfWriterFilter::SetParam(DWORD param, DWORD value, DWORD) {
  switch (param) {
    case AM_CONFIGASFWRITER_PARAM_AUTOINDEX: index_ = value != 0; return S_OK;
    case AM_CONFIGASFWRITER_PARAM_MULTIPASS: multiPass_ = value != 0; return S_OK;
    case AM_CONFIGASFWRITER_PARAM_DONTCOMPRESS:
      if (!Stopped()) return VFW_E_NOT_STOPPED;
      dontCompress_ = value != 0;
      return S_OK;
    default: return E_INVALIDARG;
  }
}

HRESULT AsfWriterFilter::GetParam(DWORD param, DWORD* value, DWORD* reserved) {
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
HRESULT AsfWriterFilter::ResetMultiPassState() { return S_OK; }

HRESULT AsfWriterFilter::SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE*) {
  if (!name) return E_POINTER;
  fileName_ = name;
  return S_OK;
}

HRESULT AsfWriterFilter::GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) {
  if (!name) return E_POINTER;
  *name = nullptr;
  if (type) {
    *type = AM_MEDIA_TYPE{};
    type->majortype = MEDIATYPE_Stream;
    type->subtype = MEDIASUBTYPE_Asf;
  }
  if (fileName_.empty()) return S_OK;
  const size_t bytes = (fileName_.size() + 1) * sizeof(wchar_t);
  *name = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (!*name) return E_OUTOFMEMORY;
  std::memcpy(*name, fileName_.c_str(), bytes);
  return S_OK;
}

HRESULT AsfWriterFilter::SetMode(DWORD flags) {
  if (flags & ~DWORD{AM_FILE_OVERWRITE}) return E_INVALIDARG;
  fileMode_ = flags;
  return S_OK;
}

HRESULT AsfWriterFilter::GetMode(DWORD* flags) {
  if (!flags) return E_POINTER;
  *flags = fileMode_;
  return S_OK;
}

HRESULT AsfWriterFilter::QueryService(REFGUID service, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!IsEqualGUID(service, IID_IWMWriterAdvanced2) && !IsEqualGUID(service, IID_IWMWriterAdvanced))
    return E_NOINTERFACE;
  return AsfWriterAdvanced::Create(sinks_)->QueryInterface(iid, object);
}

ULONG AsfWriterFilter::GetMiscFlags() { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

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
  std::lock_guard<std::mutex> guard(stateLock_);
  if (state_ == State_Stopped) return VFW_E_WRONG_STATE;
  if (!session_) return S_OK;  // no file name: accepted and discarded
  if (session_->Failed()) return S_FALSE;
  if (length > 0)
    session_->Deliver(input, data, static_cast<size_t>(length), start, stop, hasStart, hasStop);
  return S_OK;
}

void AsfWriterFilter::PinEndOfStream() {
  for (const auto& pin : pins_)
    if (pin->IsConnected() && !pin->AtEndOfStream()) return;
  std::unique_lock<std::mutex> guard(stateLock_);
  if (session_) {
    session_->EndOfStream();
    return;
  }
  guard.unlock();
  RaiseEvent(EC_COMPLETE, S_OK);
}

}  // namespace platform
