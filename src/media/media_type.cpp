#include "media/media_type.h"

#include <cstring>
#include <new>

#include "classlib/sysutils.h"
#include "media/media_util.h"

namespace {
// Offsets of the stored record; the two pointer images keep 32-bit slots
// whatever the pointer width of the build.
constexpr size_t kMajorType = 0, kSubType = 16, kFixedSize = 32, kTemporal = 36,
                 kSampleSize = 40, kFormatType = 44, kUnkImage = 60, kFormatSize = 64,
                 kFormatImage = 68;

void Put32(std::string& out, size_t at, DWORD value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

void PutGuid(std::string& out, size_t at, const GUID& guid) {
  Put32(out, at, guid.Data1);
  out[at + 4] = static_cast<char>(guid.Data2 & 0xFF);
  out[at + 5] = static_cast<char>(guid.Data2 >> 8);
  out[at + 6] = static_cast<char>(guid.Data3 & 0xFF);
  out[at + 7] = static_cast<char>(guid.Data3 >> 8);
  std::memcpy(&out[at + 8], guid.Data4, 8);
}

DWORD Get32(std::string_view in, size_t at) {
  DWORD value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<BYTE>(in[at + i]);
  return value;
}

GUID GetGuid(std::string_view in, size_t at) {
  GUID guid;
  guid.Data1 = Get32(in, at);
  guid.Data2 = static_cast<WORD>(static_cast<BYTE>(in[at + 4]) | static_cast<BYTE>(in[at + 5]) << 8);
  guid.Data3 = static_cast<WORD>(static_cast<BYTE>(in[at + 6]) | static_cast<BYTE>(in[at + 7]) << 8);
  std::memcpy(guid.Data4, in.data() + at + 8, 8);
  return guid;
}
}  // namespace

TMediaType::TMediaType(REFGUID majorType) {
  record_.majortype = majorType;
  record_.lSampleSize = 1;
  record_.bFixedSizeSamples = -1;
}

TMediaType::~TMediaType() { FreeContents(); }

void TMediaType::ReleaseFormat() {
  if (record_.cbFormat != 0) CoTaskMemFree(record_.pbFormat);
  record_.cbFormat = 0;
  record_.pbFormat = nullptr;
}

void TMediaType::FreeContents() { ReleaseMediaTypeFormat(record_); }

void TMediaType::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TMediaType*>(source);
  if (!other)
    throw EConvertError(Format(L"Cannot assign a %ls to a %ls",
                               source ? source->ClassName().c_str() : L"nil", ClassName().c_str()));
  if (other == this) return;
  FreeContents();
  DuplicateMediaType(record_, other->record_);
}

bool TMediaType::Equal(const TMediaType& other) const {
  const AM_MEDIA_TYPE& a = record_;
  const AM_MEDIA_TYPE& b = other.record_;
  if (!IsEqualGUID(a.majortype, b.majortype) || !IsEqualGUID(a.subtype, b.subtype) ||
      !IsEqualGUID(a.formattype, b.formattype) || a.cbFormat != b.cbFormat)
    return false;
  if (a.cbFormat == 0 || a.pbFormat == b.pbFormat) return true;
  // A format size without a block equals nothing but the same record.
  if (!a.pbFormat || !b.pbFormat) return false;
  return std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0;
}

std::string TMediaType::Data() const {
  const ULONG formatSize = record_.pbFormat ? record_.cbFormat : 0;
  std::string out(kRecordSize + formatSize, '\0');
  PutGuid(out, kMajorType, record_.majortype);
  PutGuid(out, kSubType, record_.subtype);
  Put32(out, kFixedSize, static_cast<DWORD>(record_.bFixedSizeSamples));
  Put32(out, kTemporal, static_cast<DWORD>(record_.bTemporalCompression));
  Put32(out, kSampleSize, record_.lSampleSize);
  PutGuid(out, kFormatType, record_.formattype);
  Put32(out, kUnkImage, 0);
  Put32(out, kFormatSize, formatSize);
  Put32(out, kFormatImage, 0);
  if (formatSize) std::memcpy(&out[kRecordSize], record_.pbFormat, formatSize);
  return out;
}

void TMediaType::ReadData(std::string_view data) {
  if (data.size() < kRecordSize || data.size() - kRecordSize < Get32(data, kFormatSize))
    throw EReadError(L"Stream read error");
  // The record owns its pUnk; it is released, not lost, and a stored
  // pointer image never becomes a reference.
  FreeContents();
  record_.majortype = GetGuid(data, kMajorType);
  record_.subtype = GetGuid(data, kSubType);
  record_.bFixedSizeSamples = static_cast<BOOL>(Get32(data, kFixedSize));
  record_.bTemporalCompression = static_cast<BOOL>(Get32(data, kTemporal));
  record_.lSampleSize = Get32(data, kSampleSize);
  record_.formattype = GetGuid(data, kFormatType);
  record_.cbFormat = Get32(data, kFormatSize);
  record_.pbFormat = nullptr;
  if (record_.cbFormat == 0) return;
  record_.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(record_.cbFormat));
  if (!record_.pbFormat) {
    record_.cbFormat = 0;
    throw std::bad_alloc();
  }
  std::memcpy(record_.pbFormat, data.data() + kRecordSize, record_.cbFormat);
}

bool TMediaType::StoresData(const TMediaType* ancestor) const {
  return !ancestor || !Equal(*ancestor);
}
