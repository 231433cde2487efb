#include "media/asf_writer.h"

#include "media/filter_graph.h"
#include "media/media_util.h"
#include "platform/network_sink/network_sink.h"
#include "platform/platform_factory.h"

using platform::ComPtr;

const GUID kWMProfiles8[kWMProfiles8Count] = {
    {0xfeedbcdf, 0x3fac, 0x4c93, {0xac, 0x0d, 0x47, 0x94, 0x1e, 0xc7, 0x2c, 0x0b}},
    {0xaee16dfa, 0x2c14, 0x4a2f, {0xad, 0x3f, 0xa3, 0x03, 0x40, 0x31, 0x78, 0x4f}},
    {0xd66920c4, 0xc21f, 0x4ec8, {0xa0, 0xb4, 0x95, 0xcf, 0x2b, 0xd5, 0x7f, 0xc4}},
    {0x5bdb5a0e, 0x979e, 0x47d3, {0x95, 0x96, 0x73, 0xb3, 0x86, 0x39, 0x2a, 0x55}},
    {0xd8722c69, 0x2419, 0x4b36, {0xb4, 0xe0, 0x6e, 0x17, 0xb6, 0x05, 0x64, 0xe5}},
    {0x3df678d9, 0x1352, 0x4186, {0xbb, 0xf8, 0x74, 0xf0, 0xc1, 0x9b, 0x6a, 0xe2}},
    {0x254e8a96, 0x2612, 0x405c, {0x80, 0x39, 0xf0, 0xbf, 0x72, 0x5c, 0xed, 0x7d}},
    {0xa2e300b4, 0xc2d4, 0x4fc0, {0xb5, 0xdd, 0xec, 0xbd, 0x94, 0x8d, 0xc0, 0xdf}},
    {0xbbc75500, 0x33d2, 0x4466, {0xb8, 0x6b, 0x12, 0x2b, 0x20, 0x1c, 0xc9, 0xae}},
    {0x29b00c2b, 0x09a9, 0x48bd, {0xad, 0x09, 0xcd, 0xae, 0x11, 0x7d, 0x1d, 0xa7}},
    {0x74d01102, 0xe71a, 0x4820, {0x8f, 0x0d, 0x13, 0xd2, 0xec, 0x1e, 0x48, 0x72}},
    {0xc8c2985f, 0xe5d9, 0x4538, {0x9e, 0x23, 0x9b, 0x21, 0xbf, 0x78, 0xf7, 0x45}},
    {0x931d1bee, 0x617a, 0x4bcd, {0x99, 0x05, 0xcc, 0xd0, 0x78, 0x66, 0x83, 0xee}},
    {0x9227c692, 0xae62, 0x4f72, {0xa7, 0xea, 0x73, 0x60, 0x62, 0xd0, 0xe2, 0x1e}},
    {0xec298949, 0x639b, 0x45e2, {0x96, 0xfd, 0x4a, 0xb3, 0x2d, 0x59, 0x19, 0xc2}},
    {0x7ea3126d, 0xe1ba, 0x4716, {0x89, 0xaf, 0xf6, 0x5c, 0xee, 0x0c, 0x0c, 0x67}},
    {0x7e4cab5c, 0x35dc, 0x45bb, {0xa7, 0xc0, 0x19, 0xb2, 0x80, 0x70, 0xd0, 0xcc}},
    {0x60907f9f, 0xb352, 0x47e5, {0xb2, 0x10, 0x0e, 0xf1, 0xf4, 0x7e, 0x9f, 0x9d}},
    {0x5ee06be5, 0x492b, 0x480a, {0x8a, 0x8f, 0x12, 0xf3, 0x73, 0xec, 0xf9, 0xd4}},
    {0x09bb5bc4, 0x3176, 0x457f, {0x8d, 0xd6, 0x3c, 0xd9, 0x19, 0x12, 0x3e, 0x2d}},
    {0x1fc81930, 0x61f2, 0x436f, {0x9d, 0x33, 0x34, 0x9f, 0x2a, 0x1c, 0x0f, 0x10}},
    {0x407b9450, 0x8bdc, 0x4ee5, {0x88, 0xf2, 0x6f, 0x52, 0x7b, 0xd9, 0x41, 0xf2}},
    {0x8c45b4c7, 0x4aeb, 0x4f78, {0xa5, 0xec, 0x88, 0x42, 0x0b, 0x9d, 0xad, 0xef}},
    {0x6e2a6955, 0x81df, 0x4943, {0xba, 0x50, 0x68, 0xa9, 0x86, 0xa7, 0x08, 0xf6}},
    {0x3510a862, 0x5850, 0x4886, {0x83, 0x5f, 0xd7, 0x8e, 0xc6, 0xa6, 0x40, 0x42}},
    {0x0f10d9d3, 0x3b04, 0x4fb0, {0xa3, 0xd3, 0x88, 0xd4, 0xac, 0x85, 0x4a, 0xcc}},
    {0x048439ba, 0x309c, 0x440e, {0x9c, 0xb4, 0x3d, 0xcc, 0xa3, 0x75, 0x64, 0x23}},
};

TASFWriter::TASFWriter(TComponent* owner) : TComponent(owner) {}

TASFWriter::~TASFWriter() { link_.Detach(); }

HRESULT TASFWriter::QueryInterface(REFIID iid, void** object) {
  return QueryMember(this, filter_.Get(), iid, object);
}

void TASFWriter::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  link_.Notification(component, operation);
}

BYTE TASFWriter::Profile() {
  ComPtr<IConfigAsfWriter> config;
  if (FAILED(QueryInterface(IID_PPV_ARGS(&config))))
    return profile_;
  GUID current = GUID_NULL;
  (void)config->GetCurrentProfileGuid(&current);  // a failure leaves GUID_NULL: not in the table
  for (int i = 0; i < kWMProfiles8Count; ++i)
    if (IsEqualGUID(kWMProfiles8[i], current)) return static_cast<BYTE>(i);
  return kUnknownWMProfile;
}

void TASFWriter::SetProfile(BYTE value) {
  ComPtr<IConfigAsfWriter> config;
  if (SUCCEEDED(QueryInterface(IID_PPV_ARGS(&config)))) {
    if (value < kWMProfiles8Count)
      (void)config->ConfigureFilterUsingProfileGuid(kWMProfiles8[value]);  // failure: the filter keeps its profile
    return;
  }
  profile_ = value;
}

std::wstring TASFWriter::FileName() {
  ComPtr<IFileSinkFilter2> sink;
  if (FAILED(QueryInterface(IID_PPV_ARGS(&sink))))
    return fileName_;
  LPOLESTR name = nullptr;
  (void)sink->GetCurFile(&name, nullptr);  // without a name the result is empty either way
  if (!name) return std::wstring();
  std::wstring result(name);
  CoTaskMemFree(name);
  return result;
}

void TASFWriter::SetFileName(const std::wstring& value) {
  fileName_ = value;
  ComPtr<IFileSinkFilter2> sink;
  if (SUCCEEDED(QueryInterface(IID_PPV_ARGS(&sink))))
    (void)sink->SetFileName(fileName_.c_str(), nullptr);  // a refused name shows as no recording
}

HRESULT TASFWriter::SwitchFileName(const std::wstring& value) {
  ComPtr<IAsfWriterSegments> segments;
  const HRESULT found = QueryInterface(IID_PPV_ARGS(&segments));
  if (FAILED(found)) return found;
  const HRESULT hr = segments->SwitchFile(value.c_str());
  if (SUCCEEDED(hr)) fileName_ = value;
  return hr;
}

std::uint64_t TASFWriter::DroppedFrames() {
  ComPtr<IAsfWriterSegments> segments;
  ULONGLONG count = 0;
  if (SUCCEEDED(QueryInterface(IID_PPV_ARGS(&segments))))
    (void)segments->GetDroppedFrames(&count);  // a writer that cannot say counts none
  return count;
}

void TASFWriter::NotifyMember(TMemberOperation operation) {
  switch (operation) {
    case moAdding:
      // Creation failure leaves no filter; the member then records nothing.
      (void)platform::CreatePlatformObject(CLSID_WMAsfWriter, filter_.ReleaseAndGetAddressOf());
      break;
    case moAdded:
      if (filter_) ConfigureAddedFilter();
      break;
    case moRemoving:
      StopFilter();
      break;
    case moRemoved:
      ReleaseFilter();
      break;
    case moRefresh:
      break;
  }
}

void TASFWriter::ConfigureAddedFilter() {
  SetProfile(profile_);
  SetFileName(fileName_);
  ComPtr<IConfigAsfWriter2> config;
  if (SUCCEEDED(filter_.As(&config))) {
    // Each parameter is a preference; the filter may refuse any of them.
    (void)config->SetParam(AM_CONFIGASFWRITER_PARAM_AUTOINDEX, autoIndex_ ? 1 : 0, 0);
    (void)config->SetParam(AM_CONFIGASFWRITER_PARAM_MULTIPASS, multiPass_ ? 1 : 0, 0);
    (void)config->SetParam(AM_CONFIGASFWRITER_PARAM_DONTCOMPRESS, dontCompress_ ? 1 : 0, 0);
  }

  TPinList pins(filter_.Get());
  if (pins.Count() > 0) {
    firstPin_ = pins.Items(0);
    if (pins.Count() == 2) secondPin_ = pins.Items(1);

    ComPtr<IServiceProvider> provider;
    if (SUCCEEDED(QueryInterface(IID_PPV_ARGS(&provider)))) {
      (void)provider->QueryService(IID_IWMWriterAdvanced2,  // none: no live serving
                                   IID_PPV_ARGS(writerAdvanced_.ReleaseAndGetAddressOf()));
      provider.Reset();
    }

    if (port_ > 0 && maxUsers_ > 0 &&
        SUCCEEDED(platform::CreateWriterNetworkSink(networkSink_.ReleaseAndGetAddressOf()))) {
      // The client limit must precede writing. A sink that cannot open its
      // port serves nobody, so it is not given the packets; the recording
      // goes on either way.
      (void)networkSink_->SetNetworkProtocol(WMT_PROTOCOL_HTTP);
      (void)networkSink_->SetMaximumClients(maxUsers_);
      if (SUCCEEDED(networkSink_->Open(&port_)) && writerAdvanced_)
        (void)writerAdvanced_->AddSink(networkSink_.Get());  // refused: no live serving
    }
  }
}

void TASFWriter::StopFilter() {
  // Every step is best effort: the filter must be able to leave the graph.
  if (filter_) (void)filter_->Stop();
  if (networkSink_) {
    (void)networkSink_->Disconnect();
    (void)networkSink_->Close();
  }
  if (firstPin_) (void)firstPin_->Disconnect();
  if (secondPin_) (void)secondPin_->Disconnect();
}

void TASFWriter::ReleaseFilter() {
  writerAdvanced_.Reset();
  networkSink_.Reset();
  firstPin_.Reset();
  secondPin_.Reset();
  filter_.Reset();
}
