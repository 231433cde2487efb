#include "media/vmr_bitmap.h"

#include "classlib/exceptions.h"
#include "classlib/gdi.h"
#include "media/video_window.h"

using platform::ComPtr;

TVMRBitmap::TVMRBitmap(TVideoWindow* videoWindow) : videoWindow_(videoWindow) {
  Assert(videoWindow != nullptr, L"No valid video Window.");
  SetOverlayOptions(0);
  description_.hdc = nullptr;
  description_.fAlpha = 1.0f;
}

TVMRBitmap::~TVMRBitmap() { ReleaseBitmap(); }

void TVMRBitmap::SetOverlayOptions(TOverlayOptions options) {
  options_ = options;
  DWORD flags = VMR9AlphaBitmap_hDC;
  if (options & OverlayOption(ooDisable)) flags |= VMR9AlphaBitmap_Disable;
  if (options & OverlayOption(ooColorKey)) flags |= VMR9AlphaBitmap_SrcColorKey;
  if (options & OverlayOption(ooSourceRect)) flags |= VMR9AlphaBitmap_SrcRect;
  description_.dwFlags = flags;
}

void TVMRBitmap::AttachBitmap(TBitmap* bitmap) {
  Assert(bitmap != nullptr, L"Invalid Bitmap.");
  ReleaseBitmap();
  const TWindowDC windowDC(videoWindow_->Handle());
  if (!windowDC) return;
  TMemoryDC memoryDC(windowDC.Get());
  if (!memoryDC) return;
  // Taking the handle makes the bitmap give up its own device context, so
  // the pixels can be selected here.
  const HBITMAP pixels = bitmap->Handle();
  BITMAP info;
  previous_ = pixels && GetObjectW(pixels, sizeof(info), &info)
                  ? SelectObject(memoryDC.Get(), pixels)
                  : nullptr;
  if (!previous_) return;
  description_.hdc = memoryDC.Release();
  canvas_.SetHandle(description_.hdc);
}

void TVMRBitmap::CreateBlankBitmap(int width, int height, TPixelFormat format, TColor color) {
  TBitmap blank;
  blank.SetPixelFormat(format);
  blank.SetSize(width, height);
  TCanvas& canvas = blank.Canvas();
  canvas.Brush().SetColor(color);
  canvas.FillRect(canvas.ClipRect());
  AttachBitmap(&blank);
}

void TVMRBitmap::ReleaseBitmap() {
  canvas_.SetHandle(nullptr);
  if (!description_.hdc) return;
  // A bitmap is not deleted while it is selected; the platform deletes it
  // here or, where its owner asked for that already, on the way out.
  const TGdiObject<HGDIOBJ> attached(SelectObject(description_.hdc, previous_));
  DeleteDC(description_.hdc);
  description_.hdc = nullptr;
  previous_ = nullptr;
}

void TVMRBitmap::ApplyOverlay() {
  ComPtr<IVMRMixerBitmap9> mixer;
  if (FAILED(videoWindow_->QueryInterface(mixer.GetAddressOf()))) return;
  (void)mixer->SetAlphaBitmap(&description_);  // a mixer that refuses shows no picture
}

void TVMRBitmap::RefreshOverlay() {
  ComPtr<IVMRMixerBitmap9> mixer;
  if (FAILED(videoWindow_->QueryInterface(mixer.GetAddressOf()))) return;
  (void)mixer->UpdateAlphaBitmapParameters(&description_);  // as above
}

void TVMRBitmap::PlaceOverlay(float left, float top, float right, float bottom, float alpha,
                              bool refreshOnly) {
  description_.rDest = VMR9NormalizedRect{left, top, right, bottom};
  description_.fAlpha = alpha;
  if (refreshOnly)
    RefreshOverlay();
  else
    ApplyOverlay();
}
