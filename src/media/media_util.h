#pragma once
// Lists of a graph's filters and of a filter's pins, a filter's property
// pages and video-for-windows dialogs, and copies of media-type records.
#include <windows.h>
#include <dshow.h>

#include <vector>

#include "platform/media_platform.h"

// An ordered list of interface references, one reference per entry.
template <class I>
class TComInterfaceList {
public:
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError for an index outside the list.
  I* Items(int index) const;
  int Add(I* item);
  // Index of the first entry that is the same reference, or -1.
  int IndexOf(I* item) const;
  // Takes out the first entry that is the same reference; its former index or -1.
  int Remove(I* item);

private:
  std::vector<platform::ComPtr<I>> items_;
};

// A snapshot of the filters in a graph, in the platform's enumeration order.
class TFilterList : public TComInterfaceList<IBaseFilter> {
public:
  explicit TFilterList(IFilterGraph* graph = nullptr);
  IFilterGraph* Graph() const { return graph_.Get(); }

private:
  platform::ComPtr<IFilterGraph> graph_;
};

// A snapshot of a filter's pins, in the filter's order.
class TPinList : public TComInterfaceList<IPin> {
public:
  explicit TPinList(IBaseFilter* filter = nullptr);
  IBaseFilter* Filter() const { return filter_.Get(); }

private:
  platform::ComPtr<IBaseFilter> filter_;
};

enum TPropertyPageKind : BYTE {
  pkFilterPages = 0,       // the filter's own pages in an OLE property frame
  pkCaptureDisplay = 1,    // video-for-windows capture display dialog
  pkCaptureFormat = 2,     // video-for-windows capture format dialog
  pkCaptureSource = 3,     // video-for-windows capture source dialog
  pkCompressorConfig = 4,  // video-for-windows compressor configuration
  pkCompressorAbout = 5,   // video-for-windows compressor about box
};

// Shows the pages or dialog modally; S_FALSE without a filter or when the
// dialog does not exist, otherwise the first result that is not S_OK.
// Never raises.
HRESULT OpenFilterPropertyPages(HWND owner, IBaseFilter* filter, TPropertyPageKind kind);

// Copies `source` into `target`, with a task-allocated copy of its format
// block and a reference on its pUnk. Copying a record onto itself, or a
// format size without a block, is an assertion failure.
void DuplicateMediaType(AM_MEDIA_TYPE& target, const AM_MEDIA_TYPE& source);
// Frees the format block and releases pUnk; the rest stays as it is.
void ReleaseMediaTypeFormat(AM_MEDIA_TYPE& record);
