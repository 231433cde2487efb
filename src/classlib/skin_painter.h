#pragma once
// How skinned controls reach the skin. Controls name a skin section; the
// skin layer installs a painter that draws those sections. Without a painter
// (or for a section the skin lacks) a control draws its plain look.
#include <windows.h>

#include <cstdint>
#include <string>

#include "classlib/graphics.h"

enum TDrawFlag : std::uint8_t {
  dsHot = 1, dsPressed = 2, dsDisabled = 4, dsChecked = 8, dsFocused = 16, dsActive = 32
};
using TDrawStates = std::uint8_t;

// The parts of a section a control may ask for.
enum TSkinPart {
  spFace,         // the body of a panel, button, edit or combo field
  spGlyph,        // a check box's tick box
  spButton,       // a combo box's drop button or an edit's browse button
};

class TSkinPainter {
public:
  virtual ~TSkinPainter() = default;
  // Draws a part of a section into the rectangle; false when the skin has
  // no such part, so the caller draws its own look.
  virtual bool DrawPart(const std::wstring& section, TSkinPart part, HDC dc, const RECT& rect,
                        TDrawStates states) = 0;
  // The section's background and text colours, or the fallback.
  virtual TColor SectionColor(const std::wstring& section, TColor fallback) = 0;
  virtual TColor FontColor(const std::wstring& section, TDrawStates states, TColor fallback) = 0;
  // Paints the frame (caption bar and borders) of a top-level window;
  // false when the skin has no frame for the section.
  virtual bool DrawFrame(const std::wstring& section, HWND window, TDrawStates states) = 0;
  // Hit-test of the frame's own caption buttons (HTCLOSE, HTMINBUTTON,
  // HTMAXBUTTON) at a point in window coordinates, or HTNOWHERE.
  virtual int FrameButtonAt(const std::wstring& section, HWND window, POINT windowPoint) = 0;
};

TSkinPainter* ActiveSkin();
// Installs (or removes, with null) the painter and repaints every window of
// the thread, frames included.
void SetActiveSkin(TSkinPainter* painter);
