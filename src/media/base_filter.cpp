#include "media/base_filter.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "classlib/exceptions.h"
#include "classlib/sysutils.h"

using platform::ComPtr;

void TPersistentMemory::SetDataLength(std::uint32_t n) {
  if (length_ != 0 && data_) std::free(data_);
  data_ = nullptr;
  length_ = 0;
  if (n == 0) return;
  data_ = static_cast<std::uint8_t*>(std::calloc(n, 1));
  if (!data_) throw std::bad_alloc();
  length_ = n;
}

void TPersistentMemory::Assign(const TPersistent& source) {
  const auto* block = dynamic_cast<const TPersistentMemory*>(&source);
  if (!block)
    throw EConvertError(Format(L"Cannot assign a %ls to a %ls", source.ClassName().c_str(),
                               ClassName().c_str()));
  if (block == this) return;
  SetDataLength(block->length_);
  if (length_) std::memcpy(data_, block->data_, length_);
}

bool TPersistentMemory::SameData(const TPersistentMemory& other) const {
  return length_ != 0 && length_ == other.length_ && data_ && other.data_ &&
         std::memcmp(data_, other.data_, length_) == 0;
}

std::string TPersistentMemory::WriteData() const {
  std::string stored(4 + length_, '\0');
  for (int i = 0; i < 4; ++i) stored[i] = static_cast<char>((length_ >> (8 * i)) & 0xFF);
  if (length_) std::memcpy(stored.data() + 4, data_, length_);
  return stored;
}

void TPersistentMemory::ReadData(std::string_view stored) {
  if (stored.size() < 4) throw EReadError(L"Stream read error");
  std::uint32_t n = 0;
  for (int i = 0; i < 4; ++i) n |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(stored[i])) << (8 * i);
  // A count beyond the stored bytes is corrupt: refuse it before allocating.
  if (n > stored.size() - 4) throw EReadError(L"Stream read error");
  SetDataLength(n);
  if (n) std::memcpy(data_, stored.data() + 4, n);
}

namespace {
// Wine 8's device monikers cannot save themselves (IPersistStream::Save
// answers STG_E_CANTSAVE) but parse back from their display names. Such a
// moniker is kept as this mark followed by its display name (UTF-16, with
// its terminating null); a block the platform saved starts with the
// moniker's own class identifier instead.
const GUID kDisplayNameBlock = {
    0x5b0d6c1e, 0x8a41, 0x4f57, {0x9e, 0x2a, 0x43, 0x61, 0x6d, 0x4d, 0x6f, 0x6e}};

bool IsDisplayNameBlock(const std::uint8_t* data, std::uint32_t length) {
  return length > sizeof(GUID) && std::memcmp(data, &kDisplayNameBlock, sizeof(GUID)) == 0;
}
}  // namespace

void TBaseFilter::AssignMoniker(IMoniker* moniker) {
  SetDataLength(0);
  if (!moniker) return;
  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return;
  ComPtr<IPersistStream> persist;
  HRESULT saved = E_NOINTERFACE;
  if (SUCCEEDED(moniker->QueryInterface(IID_PPV_ARGS(&persist))))
    saved = OleSaveToStream(persist.Get(), stream.Get());
  if (FAILED(saved)) {
    LPOLESTR name = nullptr;
    if (SUCCEEDED(moniker->GetDisplayName(nullptr, nullptr, &name)) && name) {
      const size_t bytes = (wcslen(name) + 1) * sizeof(wchar_t);
      SetDataLength(static_cast<std::uint32_t>(sizeof(GUID) + bytes));
      std::memcpy(Data(), &kDisplayNameBlock, sizeof(GUID));
      std::memcpy(Data() + sizeof(GUID), name, bytes);
      CoTaskMemFree(name);
      return;
    }
  }
  // Whatever the stream received is kept, as the platform wrote it.
  STATSTG stat{};
  (void)stream->Stat(&stat, STATFLAG_NONAME);
  SetDataLength(static_cast<std::uint32_t>(stat.cbSize.QuadPart));
  if (!DataLength()) return;
  LARGE_INTEGER start{};
  (void)stream->Seek(start, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  (void)stream->Read(Data(), DataLength(), &read);
}

ComPtr<IBaseFilter> TBaseFilter::CreateFilter() const {
  ComPtr<IBaseFilter> filter;
  if (!DataLength()) return filter;
  ComPtr<IMoniker> moniker;
  if (IsDisplayNameBlock(Data(), DataLength())) {
    const auto* text = reinterpret_cast<const wchar_t*>(Data() + sizeof(GUID));
    const size_t chars = (DataLength() - sizeof(GUID)) / sizeof(wchar_t);
    const std::wstring name(text, wcsnlen(text, chars));
    ComPtr<IBindCtx> context;
    ULONG eaten = 0;
    if (SUCCEEDED(CreateBindCtx(0, &context)))
      (void)MkParseDisplayName(context.Get(), name.c_str(), &eaten, &moniker);
  } else {
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return filter;
    ULONG written = 0;
    (void)stream->Write(Data(), DataLength(), &written);
    LARGE_INTEGER start{};
    (void)stream->Seek(start, STREAM_SEEK_SET, nullptr);
    (void)OleLoadFromStream(stream.Get(), IID_IMoniker, reinterpret_cast<void**>(moniker.GetAddressOf()));
  }
  // A block that does not load, or a device that is gone, gives no filter.
  if (moniker)
    (void)moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter,
                                reinterpret_cast<void**>(filter.GetAddressOf()));
  return filter;
}
