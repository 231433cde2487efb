#pragma once
// TASFWriter: a graph member that contributes the Windows Media ASF writer
// filter, configures it with a Windows Media Format 8 system profile, a
// file name and its indexing options, and, given a port and a client
// limit, serves the stream over HTTP through a network sink.
#include <windows.h>
#include <dshow.h>

#include <cstdint>
#include <string>

#include "classlib/component.h"
#include "media/graph_member.h"
#include "media/graph_member_link.h"
#include "platform/media_platform.h"
#include "platform/wm_interfaces.h"

class TFilterGraph;

// The Windows Media Format 8 system profiles, by ordinal into
// kWMProfiles8 (the enumeration's name is spelled so).
enum TWMPofiles8 : BYTE {
  wmp_V80_255VideoPDA,
  wmp_V80_150VideoPDA,
  wmp_V80_28856VideoMBR,
  wmp_V80_100768VideoMBR,
  wmp_V80_288100VideoMBR,
  wmp_V80_288Video,
  wmp_V80_56Video,
  wmp_V80_100Video,
  wmp_V80_256Video,
  wmp_V80_384Video,
  wmp_V80_768Video,
  wmp_V80_700NTSCVideo,
  wmp_V80_1400NTSCVideo,
  wmp_V80_384PALVideo,
  wmp_V80_700PALVideo,
  wmp_V80_288MonoAudio,
  wmp_V80_288StereoAudio,
  wmp_V80_32StereoAudio,
  wmp_V80_48StereoAudio,
  wmp_V80_64StereoAudio,
  wmp_V80_96StereoAudio,
  wmp_V80_128StereoAudio,
  wmp_V80_288VideoOnly,
  wmp_V80_56VideoOnly,
  wmp_V80_FAIRVBRVideo,
  wmp_V80_HIGHVBRVideo,
  wmp_V80_BESTVBRVideo,
};

constexpr int kWMProfiles8Count = 27;
// The profile GUID of each TWMPofiles8 value.
extern const GUID kWMProfiles8[kWMProfiles8Count];
// What reading Profile gives for a filter profile outside the table.
constexpr BYTE kUnknownWMProfile = 255;

class TASFWriter : public TComponent, public IGraphMember {
public:
  explicit TASFWriter(TComponent* owner);
  ~TASFWriter() override;
  std::wstring ClassName() const override { return L"TASFWriter"; }

  TFilterGraph* FilterGraph() const { return link_.Graph(); }
  void SetFilterGraph(TFilterGraph* graph) { link_.SetGraph(graph); }

  // The filter's current profile while a filter exists (255 when it is not
  // in the table), else the stored one. Writing configures the filter if
  // there is one, else stores the value.
  BYTE Profile();
  void SetProfile(BYTE value);
  // The filter's current file while a filter exists, else the stored name.
  // Writing always stores, and passes the name on to a filter.
  std::wstring FileName();
  void SetFileName(const std::wstring& value);

  // While recording, goes on in the new file `value` without stopping the
  // graph (the built-in writer only). E_NOINTERFACE from a writer that
  // cannot: the graph must be rebuilt; another failure leaves the
  // recording in its file. On success FileName reads `value`.
  HRESULT SwitchFileName(const std::wstring& value);
  // Frames the writer dropped since recording began (0 from a writer that
  // does not say).
  std::uint64_t DroppedFrames();

  DWORD Port() const { return port_; }
  void SetPort(DWORD value) { port_ = value; }
  DWORD MaxUsers() const { return maxUsers_; }
  void SetMaxUsers(DWORD value) { maxUsers_ = value; }
  bool AutoIndex() const { return autoIndex_; }
  void SetAutoIndex(bool value) { autoIndex_ = value; }
  bool MultiPass() const { return multiPass_; }
  void SetMultiPass(bool value) { multiPass_ = value; }
  bool DontCompress() const { return dontCompress_; }
  void SetDontCompress(bool value) { dontCompress_ = value; }

  // The network sink while the filter is configured (none otherwise).
  IWMWriterNetworkSink* NetworkSink() const { return networkSink_.Get(); }

  // The component's own interfaces, then the filter's.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  // IGraphMember
  platform::ComPtr<IBaseFilter> GetBaseFilter() override { return filter_; }
  std::wstring GetMemberName() override { return Name(); }
  void NotifyMember(TMemberOperation operation) override;

protected:
  void Notification(TComponent* component, TOperation operation) override;

private:
  void ConfigureAddedFilter();
  void StopFilter();
  void ReleaseFilter();

  TGraphMemberLink link_{*this, *this};
  platform::ComPtr<IBaseFilter> filter_;
  DWORD port_ = 0;
  DWORD maxUsers_ = 0;
  BYTE profile_ = wmp_V80_255VideoPDA;
  std::wstring fileName_;
  bool autoIndex_ = true;
  bool multiPass_ = false;
  bool dontCompress_ = false;
  platform::ComPtr<IWMWriterAdvanced2> writerAdvanced_;
  platform::ComPtr<IWMWriterNetworkSink> networkSink_;
  platform::ComPtr<IPin> firstPin_;
  platform::ComPtr<IPin> secondPin_;
};
