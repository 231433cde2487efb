#include "camera_page.h"

#include <cstring>

using dshow::ComPtr;

namespace testcam {

namespace {
const wchar_t kTitle[] = L"Test Camera";
const SIZE kPageSize = {260, 80};
}  // namespace

HRESULT CameraPage::Create(REFIID iid, void** object) {
  return CreateInstance(iid, object);
}

CameraPage::~CameraPage() {
  if (window_) DestroyWindow(window_);
}

STDMETHODIMP CameraPage::SetPageSite(IPropertyPageSite* site) {
  site_ = site;
  return S_OK;
}

STDMETHODIMP CameraPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (!rect) return E_POINTER;
  if (window_) return E_UNEXPECTED;
  wchar_t text[512] = L"";
  if (!camera_ || FAILED(camera_->GetDescription(text, ARRAYSIZE(text))))
    lstrcpynW(text, L"No camera", ARRAYSIZE(text));
  window_ = CreateWindowExW(0, L"STATIC", text, WS_CHILD | SS_LEFT | SS_NOPREFIX, rect->left,
                            rect->top, rect->right - rect->left, rect->bottom - rect->top, parent,
                            nullptr, ModuleInstance(), nullptr);
  if (!window_) return HRESULT_FROM_WIN32(GetLastError());
  SendMessageW(window_, WM_SETFONT, SendMessageW(parent, WM_GETFONT, 0, 0), FALSE);
  return S_OK;
}

STDMETHODIMP CameraPage::Deactivate() {
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
  return S_OK;
}

STDMETHODIMP CameraPage::GetPageInfo(PROPPAGEINFO* info) {
  if (!info) return E_POINTER;
  *info = PROPPAGEINFO{};
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof(kTitle)));
  if (!info->pszTitle) return E_OUTOFMEMORY;
  std::memcpy(info->pszTitle, kTitle, sizeof(kTitle));
  info->size = kPageSize;
  return S_OK;
}

STDMETHODIMP CameraPage::SetObjects(ULONG count, IUnknown** objects) {
  camera_.Reset();
  if (count == 0) return S_OK;
  if (!objects || !objects[0]) return E_POINTER;
  ComPtr<ITestCameraInfo> camera;
  const HRESULT hr = objects[0]->QueryInterface(IID_ITestCameraInfo, &camera);
  if (FAILED(hr)) return hr;
  camera_ = camera;
  return S_OK;
}

STDMETHODIMP CameraPage::Show(UINT command) {
  if (!window_) return E_UNEXPECTED;
  ShowWindow(window_, command);
  return S_OK;
}

STDMETHODIMP CameraPage::Move(LPCRECT rect) {
  if (!rect) return E_POINTER;
  if (!window_) return E_UNEXPECTED;
  MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
             TRUE);
  return S_OK;
}

// The page only shows; it has nothing to apply.
STDMETHODIMP CameraPage::IsPageDirty() { return S_FALSE; }
STDMETHODIMP CameraPage::Apply() { return S_OK; }
STDMETHODIMP CameraPage::Help(LPCOLESTR) { return E_NOTIMPL; }
STDMETHODIMP CameraPage::TranslateAccelerator(MSG*) { return S_FALSE; }

}  // namespace testcam
