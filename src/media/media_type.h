#pragma once
// TMediaType: a persistent DirectShow media-type record (AM_MEDIA_TYPE)
// that owns its format block and its pUnk reference.
#include <windows.h>
#include <dshow.h>

#include <string>
#include <string_view>

#include "classlib/component.h"
#include "classlib/exceptions.h"

class TMediaType : public TPersistent {
public:
  // A zero-filled record with fixed-size samples of size 1 and the major type.
  explicit TMediaType(REFGUID majorType);
  ~TMediaType() override;
  TMediaType(const TMediaType&) = delete;
  TMediaType& operator=(const TMediaType&) = delete;
  std::wstring ClassName() const override { return L"TMediaType"; }

  AM_MEDIA_TYPE& AMMediaType() { return record_; }
  const AM_MEDIA_TYPE& AMMediaType() const { return record_; }
  void SetSubType(REFGUID subType) { record_.subtype = subType; }
  void SetFormatType(REFGUID formatType) { record_.formattype = formatType; }
  ULONG FormatSize() const { return record_.cbFormat; }
  // Frees the format block (if any); cbFormat 0 and pbFormat none afterwards.
  void ReleaseFormat();

  // Deep copy of another media type; any other source raises EConvertError
  // "Cannot assign a X to a TMediaType".
  void Assign(const TPersistent* source);
  // Same major, sub and format type and the same format block; sample size,
  // the two booleans and pUnk are not compared.
  bool Equal(const TMediaType& other) const;

  // The stored "data" property: the 72-byte record (pointer images in
  // 32-bit slots, written as 0) followed by cbFormat bytes of format block.
  static constexpr size_t kRecordSize = 72;
  std::string Data() const;
  // Reads a stored "data" property. Raises EReadError, leaving the type as it
  // was, when the bytes are shorter than the record and its format block.
  void ReadData(std::string_view data);
  // Whether "data" is written: always without an ancestor, else only when
  // the type differs from the ancestor's.
  bool StoresData(const TMediaType* ancestor) const;

private:
  void FreeContents();
  AM_MEDIA_TYPE record_{};
};
