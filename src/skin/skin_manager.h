#pragma once
// The skin manager draws skinned controls from a skin archive (the
// program's internal skin unless another is loaded); the skin provider
// gives its form the skinned frame of a section ("FORM").
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "classlib/component.h"
#include "classlib/graphics.h"
#include "classlib/skin_painter.h"

class TSkinManager : public TComponent, public TSkinPainter {
public:
  // Loads the internal skin and becomes the active skin.
  explicit TSkinManager(TComponent* owner);
  ~TSkinManager() override;

  bool Active() const { return ActiveSkin() == this; }
  void SetActive(bool value);

  // Replaces the skin with one read from archive bytes and repaints. Raises
  // ESkinArchiveError and keeps the current skin when the data is unusable.
  void LoadFromMemory(const void* data, size_t size);
  void LoadInternalSkin();
  bool HasSection(const std::wstring& section) const;

  bool DrawPart(const std::wstring& section, TSkinPart part, HDC dc, const RECT& rect,
                TDrawStates states) override;
  TColor SectionColor(const std::wstring& section, TColor fallback) override;
  TColor FontColor(const std::wstring& section, TDrawStates states, TColor fallback) override;
  bool DrawFrame(const std::wstring& section, HWND window, TDrawStates states) override;
  int FrameButtonAt(const std::wstring& section, HWND window, POINT windowPoint) override;

private:
  // A picture cell of a section: frames side by side, a nine-grid when it
  // has margins, else drawn centred at its own size.
  struct Part {
    int bitmap = -1;
    RECT cell{};
    int frames = 1;
    RECT margins{};
    bool nineGrid = false;
  };
  struct Section {
    Part face, glyph, button, border, caption, close, maximize, restore, minimize;
    TColor color = clNone;
    TColor font[4] = {clNone, clNone, clNone, clNone};  // normal, hot, pressed, disabled
    TColor fontInactive = clNone;
  };

  struct FrameLayout {
    RECT window, client, caption;
    RECT close, maximize, minimize;  // empty when the window lacks the button
  };
  const Section* Find(const std::wstring& section) const;
  void DrawCell(HDC dc, const Part& part, int frame, const RECT& rect);
  static FrameLayout LayoutFrame(HWND window);

  std::map<std::wstring, Section> sections_;
  std::vector<std::unique_ptr<TBitmap>> bitmaps_;
  TFont captionFont_;
};

class TSkinProvider : public TComponent {
public:
  // `owner` is the form whose frame and background take the section.
  explicit TSkinProvider(TComponent* owner);
  ~TSkinProvider() override;
  const std::wstring& SkinSection() const { return section_; }
  void SetSkinSection(std::wstring section);

private:
  void Apply();
  std::wstring section_ = L"FORM";
};
