#include "platform/platform_factory.h"

#include <uuids.h>

#include "platform/asf_writer/asf_writer_filter.h"
#include "platform/mixing_renderer/mixing_renderer.h"

namespace platform {

namespace {
// The program's own pieces, each added by the file that builds it.
const BuiltInPiece kBuiltInPieces[] = {
    {&CLSID_VideoMixingRenderer9, Replacement::UnderWine, &CreateMixingRenderer},
    {&CLSID_VideoRenderer, Replacement::UnderWine, &CreateVideoRenderer},
    {&CLSID_WMAsfWriter, Replacement::WhenCreationFails, &CreateAsfWriterFilter},
};

const BuiltInPiece* FindBuiltIn(REFCLSID clsid) {
  for (const BuiltInPiece& piece : kBuiltInPieces)
    if (IsEqualCLSID(*piece.clsid, clsid)) return &piece;
  return nullptr;
}
}  // namespace

bool RunningUnderWine() {
  static const bool wine = [] {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
  }();
  return wine;
}

HRESULT CreatePlatformObject(REFCLSID clsid, REFIID iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  const BuiltInPiece* piece = FindBuiltIn(clsid);
  if (piece && piece->when == Replacement::UnderWine && RunningUnderWine())
    return piece->create(iid, object);
  const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object);
  if (FAILED(hr) && piece && piece->when == Replacement::WhenCreationFails)
    return piece->create(iid, object);
  return hr;
}

}  // namespace platform
