#include "platform/media_platform.h"

#include <dshow.h>

#include "classlib/sysutils.h"
#include "platform/asf_writer/h264_encoder.h"

namespace platform {

namespace {

constexpr DWORD kErrorTextLength = 255;

std::wstring TrimTrailing(std::wstring text) {
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                           text.back() == L'.'))
    text.pop_back();
  return text;
}

std::wstring QuartzText(HRESULT result) {
  wchar_t buffer[kErrorTextLength + 1] = {};
  const DWORD length = AMGetErrorTextW(result, buffer, kErrorTextLength);
  if (length == 0) return {};
  std::wstring text(buffer, wcsnlen(buffer, kErrorTextLength));
  // Wine's quartz answers every code with this placeholder, which says
  // nothing the hexadecimal code after it does not.
  if (text == Format(L"Error: 0x%08x", static_cast<unsigned>(result))) return {};
  return TrimTrailing(std::move(text));
}

std::wstring SystemText(HRESULT result) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(result), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text;
  if (length && buffer) text.assign(buffer, length);
  if (buffer) LocalFree(buffer);
  return TrimTrailing(std::move(text));
}

}  // namespace

void UniqueHandle::Reset(HANDLE handle) {
  if (Valid()) CloseHandle(handle_);
  handle_ = handle;
}

std::wstring ErrorText(HRESULT result) {
  if (result == E_H264_PICTURE_REFUSED)
    return L"录像编码器不接受此摄像头的画面：宽和高须为偶数，宽不超过 4096，帧率不能为零";
  std::wstring text = QuartzText(result);
  if (text.empty()) text = SystemText(result);
  if (text.empty()) text = L"Media operation failed";
  return text;
}

std::wstring FromBstr(BSTR text) {
  if (!text) return {};
  return std::wstring(text, SysStringLen(text));
}

}  // namespace platform
