#include <doctest/doctest.h>

#include <windows.h>
#include <dshow.h>

#include <string>

#include "classlib/exceptions.h"
#include "media/base_filter.h"
#include "media/media_type.h"

namespace {
// An IUnknown that counts its references, to see what a record holds.
class CountedUnknown : public IUnknown {
public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (!object) return E_POINTER;
    *object = IsEqualIID(iid, IID_IUnknown) ? this : nullptr;
    if (!*object) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
  // Never destroys: the object lives on the test's stack.
  ULONG STDMETHODCALLTYPE Release() override { return --count; }
  ULONG count = 1;
};

// The grabber's form value: video, RGB24, VIDEOINFO, no format block.
void MakeGrabberType(TMediaType& type) {
  type.SetSubType(MEDIASUBTYPE_RGB24);
  type.SetFormatType(FORMAT_VideoInfo);
}

void GiveFormat(TMediaType& type, ULONG size, BYTE first) {
  type.ReleaseFormat();
  AM_MEDIA_TYPE& record = type.AMMediaType();
  record.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(size));
  record.cbFormat = size;
  for (ULONG i = 0; i < size; ++i) record.pbFormat[i] = static_cast<BYTE>(first + i);
}

DWORD At32(const std::string& data, size_t offset) {
  DWORD value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<BYTE>(data[offset + i]);
  return value;
}
}  // namespace

TEST_CASE("media type: the persisted data form") {
  TMediaType type(MEDIATYPE_Video);
  MakeGrabberType(type);

  SUBCASE("without a format block it is exactly the 72-byte record") {
    const std::string data = type.Data();
    REQUIRE(data.size() == 72);
    CHECK(data.substr(0, 4) == "vids");
    CHECK(At32(data, 16) == 0xE436EB7D);  // RGB24's first group
    CHECK(At32(data, 32) == 0xFFFFFFFF);
    CHECK(At32(data, 36) == 0);
    CHECK(At32(data, 40) == 1);
    CHECK(At32(data, 44) == 0x05589F80);  // VIDEOINFO's first group
    CHECK(At32(data, 64) == 0);

    TMediaType read(GUID_NULL);
    read.ReadData(data);
    CHECK(read.Equal(type));
    CHECK(read.AMMediaType().pbFormat == nullptr);
    CHECK(read.AMMediaType().lSampleSize == 1);
    CHECK(read.AMMediaType().bFixedSizeSamples != 0);
  }

  SUBCASE("a format block of N bytes follows the record and reads back into a block of its own") {
    GiveFormat(type, 88, 7);
    const std::string data = type.Data();
    REQUIRE(data.size() == 72 + 88);
    CHECK(At32(data, 64) == 88);
    CHECK(static_cast<BYTE>(data[72]) == 7);
    CHECK(static_cast<BYTE>(data[72 + 87]) == 7 + 87);

    TMediaType read(GUID_NULL);
    read.ReadData(data);
    CHECK(read.Equal(type));
    CHECK(read.FormatSize() == 88);
    CHECK(read.AMMediaType().pbFormat != type.AMMediaType().pbFormat);
  }

  SUBCASE("a stored pUnk image never becomes a reference, and a held one is released") {
    std::string data = type.Data();
    for (int i = 60; i < 64; ++i) data[i] = '\x5A';
    CountedUnknown held;
    held.count = 2;  // one of them the record's
    type.AMMediaType().pUnk = &held;
    type.ReadData(data);
    CHECK(type.AMMediaType().pUnk == nullptr);
    CHECK(held.count == 1);
  }

  SUBCASE("a short form raises and leaves the type as it was") {
    GiveFormat(type, 16, 1);
    std::string data = type.Data();
    TMediaType read(MEDIATYPE_Audio);
    CHECK_THROWS_AS(read.ReadData(data.substr(0, 71)), EReadError);
    CHECK_THROWS_AS(read.ReadData(data.substr(0, 72 + 15)), EReadError);
    CHECK(IsEqualGUID(read.AMMediaType().majortype, MEDIATYPE_Audio));
    CHECK(read.FormatSize() == 0);
  }

  SUBCASE("data is stored without an ancestor or when it differs from the ancestor's") {
    TMediaType ancestor(MEDIATYPE_Video);
    MakeGrabberType(ancestor);
    CHECK(type.StoresData(nullptr));
    CHECK_FALSE(type.StoresData(&ancestor));
    type.SetSubType(MEDIASUBTYPE_RGB32);
    CHECK(type.StoresData(&ancestor));
  }
}

TEST_CASE("media type: equality and copies") {
  TMediaType a(MEDIATYPE_Video), b(MEDIATYPE_Video);
  MakeGrabberType(a);
  MakeGrabberType(b);

  SUBCASE("equality ignores the sample size and the two booleans") {
    b.AMMediaType().lSampleSize = 921600;
    b.AMMediaType().bFixedSizeSamples = 0;
    b.AMMediaType().bTemporalCompression = 1;
    CHECK(a.Equal(b));
  }

  SUBCASE("equality compares the types and the format block byte for byte") {
    GiveFormat(a, 8, 1);
    CHECK_FALSE(a.Equal(b));
    GiveFormat(b, 8, 1);
    CHECK(a.Equal(b));
    b.AMMediaType().pbFormat[7] ^= 1;
    CHECK_FALSE(a.Equal(b));
    GiveFormat(b, 8, 1);
    b.SetFormatType(FORMAT_VideoInfo2);
    CHECK_FALSE(a.Equal(b));
  }

  SUBCASE("a copy owns a block of its own and a reference on pUnk") {
    GiveFormat(a, 12, 3);
    CountedUnknown unknown;
    unknown.count = 2;  // one of them a's
    a.AMMediaType().pUnk = &unknown;
    b.Assign(&a);
    CHECK(b.Equal(a));
    CHECK(b.AMMediaType().pbFormat != a.AMMediaType().pbFormat);
    CHECK(unknown.count == 3);
    a.ReleaseFormat();
    CHECK(b.FormatSize() == 12);
    CHECK(b.AMMediaType().pbFormat[11] == 3 + 11);
    b.Assign(&a);  // the earlier copy's reference goes with its contents
    CHECK(unknown.count == 3);
    const TMediaType empty(GUID_NULL);
    a.Assign(&empty);
    b.Assign(&empty);
    CHECK(unknown.count == 1);
  }

  SUBCASE("copying onto itself changes nothing") {
    GiveFormat(a, 4, 9);
    BYTE* block = a.AMMediaType().pbFormat;
    a.Assign(&a);
    CHECK(a.AMMediaType().pbFormat == block);
    CHECK(a.FormatSize() == 4);
    CHECK(block[3] == 12);
  }

  SUBCASE("assigning another kind of object is an error naming both classes") {
    const auto message = [&](const TPersistent* source) {
      try {
        a.Assign(source);
      } catch (const EConvertError& e) {
        return e.Message();
      }
      return std::wstring(L"no error");
    };
    TPersistentMemory block;
    CHECK(message(&block) == L"Cannot assign a TPersistentMemory to a TMediaType");
    CHECK(message(nullptr) == L"Cannot assign a nil to a TMediaType");
    CHECK(a.Equal(b));
    try {
      block.Assign(a);
      FAIL("a block took a media type");
    } catch (const EConvertError& e) {
      CHECK(e.Message() == L"Cannot assign a TMediaType to a TPersistentMemory");
    }
  }
}
