#include "skin/skin_manager.h"

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <sstream>

#include "classlib/form.h"
#include "classlib/gdi.h"
#include "classlib/sysutils.h"
#include "resource_ids.h"
#include "skin/skin_archive.h"

namespace {
constexpr COLORREF kTransparent = RGB(255, 0, 255);
constexpr int kMaxBitmapSide = 4096;

[[noreturn]] void Fail(const std::wstring& what) {
  throw ESkinArchiveError(L"Invalid skin: " + what);
}

std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

std::string Trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// Options.dat: sections of key=value lines; ";" starts a comment line.
using IniText = std::map<std::wstring, std::map<std::wstring, std::string>>;

IniText ParseIni(const std::string& text) {
  IniText ini;
  std::wstring section;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[' && line.back() == ']') {
      section = Upper(Utf8ToWide(Trim(line.substr(1, line.size() - 2))));
      ini[section];
      continue;
    }
    const auto equals = line.find('=');
    if (equals == std::string::npos || section.empty()) continue;
    ini[section][Upper(Utf8ToWide(Trim(line.substr(0, equals))))] = Trim(line.substr(equals + 1));
  }
  return ini;
}

std::vector<int> ParseNumbers(const std::string& text, size_t count, const std::wstring& where) {
  std::vector<int> numbers;
  std::istringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    const auto value = TryStrToInt(Utf8ToWide(Trim(item)));
    if (!value || *value < 0 || *value > kMaxBitmapSide) Fail(where + L" is not a list of numbers");
    numbers.push_back(*value);
  }
  if (numbers.size() != count) Fail(Format(L"%s needs %u numbers", where.c_str(), unsigned(count)));
  return numbers;
}

TColor ParseColor(const std::string& text, const std::wstring& where) {
  const auto value = TryStrToInt(L"$" + Utf8ToWide(text));
  if (text.size() != 6 || !value) Fail(where + L" is not an RRGGBB colour");
  return static_cast<TColor>(RGB((*value >> 16) & 0xFF, (*value >> 8) & 0xFF, *value & 0xFF));
}

std::uint32_t Le32(const std::string& d, size_t at) {
  return static_cast<std::uint8_t>(d[at]) | (static_cast<std::uint8_t>(d[at + 1]) << 8) |
         (static_cast<std::uint8_t>(d[at + 2]) << 16) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(d[at + 3])) << 24);
}

// A 24- or 32-bit uncompressed Windows bitmap file into a 24-bit DIB.
std::unique_ptr<TBitmap> DecodeBitmap(const std::string& data, const std::wstring& name) {
  if (data.size() < 54 || data[0] != 'B' || data[1] != 'M') Fail(name + L" is not a bitmap file");
  const std::uint32_t offset = Le32(data, 10), headerSize = Le32(data, 14);
  const auto width = static_cast<std::int32_t>(Le32(data, 18));
  const auto height = static_cast<std::int32_t>(Le32(data, 22));
  const int planes = static_cast<std::uint8_t>(data[26]) | (static_cast<std::uint8_t>(data[27]) << 8);
  const int bits = static_cast<std::uint8_t>(data[28]) | (static_cast<std::uint8_t>(data[29]) << 8);
  const std::uint32_t compression = Le32(data, 30);
  if (headerSize < 40 || planes != 1 || (bits != 24 && bits != 32) || compression != BI_RGB)
    Fail(name + L" is not an uncompressed 24- or 32-bit bitmap");
  const std::int64_t rows = height < 0 ? -static_cast<std::int64_t>(height) : height;
  if (width <= 0 || width > kMaxBitmapSide || rows == 0 || rows > kMaxBitmapSide)
    Fail(name + L" has a bad size");
  const std::int64_t bytes = bits / 8;
  const std::int64_t stride = (width * bytes + 3) & ~std::int64_t{3};
  if (offset < 14 + headerSize || offset + stride * rows > static_cast<std::int64_t>(data.size()))
    Fail(name + L" is cut short");
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(width, static_cast<int>(rows));
  for (std::int64_t y = 0; y < rows; ++y) {
    const std::int64_t sourceRow = height > 0 ? rows - 1 - y : y;  // positive height: bottom-up
    const char* src = data.data() + offset + sourceRow * stride;
    std::uint8_t* dst = bitmap->Bits() + y * bitmap->Stride();
    for (std::int32_t x = 0; x < width; ++x) std::memcpy(dst + x * 3, src + x * bytes, 3);
  }
  return bitmap;
}

// The frame of a strip for a state: normal, hot, pressed, disabled.
int StateFrame(TDrawStates states) {
  if (states & dsDisabled) return 3;
  if (states & dsPressed) return 2;
  if (states & (dsHot | dsFocused)) return 1;
  return 0;
}
}  // namespace

TSkinManager::TSkinManager(TComponent* owner) : TComponent(owner) {
  captionFont_.SetName(L"宋体");
  captionFont_.SetCharset(GB2312_CHARSET);
  captionFont_.SetHeight(-13);
  captionFont_.SetStyle(fsBold);
  LoadInternalSkin();
  SetActive(true);
}

TSkinManager::~TSkinManager() {
  if (Active()) SetActiveSkin(nullptr);
}

void TSkinManager::SetActive(bool value) {
  if (value) SetActiveSkin(this);
  else if (Active()) SetActiveSkin(nullptr);
}

void TSkinManager::LoadInternalSkin() {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDR_SKIN), MAKEINTRESOURCEW(10) /*RT_RCDATA*/);
  HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) RaiseLastOSError(L"the internal skin resource");
  LoadFromMemory(data, SizeofResource(module, resource));
}

void TSkinManager::LoadFromMemory(const void* data, size_t size) {
  const TSkinArchive archive = TSkinArchive::Read(data, size);
  const IniText ini = ParseIni(archive.Find(TSkinArchive::kOptionsName)->data);

  std::vector<std::unique_ptr<TBitmap>> bitmaps;
  std::map<std::wstring, int> bitmapIndex;
  std::map<std::wstring, Section> sections;
  for (const auto& [name, keys] : ini) {
    Section section;
    auto value = [&keys](const wchar_t* key) -> const std::string* {
      auto found = keys.find(key);
      return found == keys.end() ? nullptr : &found->second;
    };
    int bitmap = -1;
    if (const std::string* file = value(L"BITMAP")) {
      const std::wstring key = Upper(Utf8ToWide(*file));
      auto known = bitmapIndex.find(key);
      if (known != bitmapIndex.end()) {
        bitmap = known->second;
      } else {
        const TSkinArchive::File* found = archive.Find(*file);
        if (!found) Fail(L"section " + name + L" names the missing bitmap " + Utf8ToWide(*file));
        bitmaps.push_back(DecodeBitmap(found->data, Utf8ToWide(*file)));
        bitmap = bitmapIndex[key] = static_cast<int>(bitmaps.size()) - 1;
      }
    }
    auto part = [&](const wchar_t* key, Part& out) {
      const std::string* cell = value(key);
      if (!cell) return;
      const std::wstring where = name + L"." + key;
      if (bitmap < 0) Fail(where + L" has no bitmap");
      const auto r = ParseNumbers(*cell, 4, where);
      out.bitmap = bitmap;
      out.cell = RECT{r[0], r[1], r[0] + r[2], r[1] + r[3]};
      if (const std::string* frames = value((std::wstring(key) + L"FRAMES").c_str()))
        out.frames = ParseNumbers(*frames, 1, where + L"Frames")[0];
      const TBitmap& picture = *bitmaps[bitmap];
      if (r[2] == 0 || r[3] == 0 || out.frames < 1 ||
          r[0] + r[2] * out.frames > picture.Width() || r[1] + r[3] > picture.Height())
        Fail(where + L" lies outside its bitmap");
      if (const std::string* margins = value((std::wstring(key) + L"MARGINS").c_str())) {
        const auto m = ParseNumbers(*margins, 4, where + L"Margins");
        if (m[0] + m[2] > r[2] || m[1] + m[3] > r[3]) Fail(where + L"Margins exceed the cell");
        out.margins = RECT{m[0], m[1], m[2], m[3]};
        out.nineGrid = true;
      }
    };
    part(L"FACE", section.face);
    part(L"GLYPH", section.glyph);
    part(L"BUTTON", section.button);
    part(L"BORDER", section.border);
    part(L"CAPTION", section.caption);
    part(L"CLOSE", section.close);
    part(L"MAXIMIZE", section.maximize);
    part(L"RESTORE", section.restore);
    part(L"MINIMIZE", section.minimize);
    auto color = [&](const wchar_t* key, TColor& out) {
      if (const std::string* text = value(key)) out = ParseColor(*text, name + L"." + key);
    };
    color(L"COLOR", section.color);
    color(L"FONTCOLOR", section.font[0]);
    color(L"FONTCOLORHOT", section.font[1]);
    color(L"FONTCOLORPRESSED", section.font[2]);
    color(L"FONTCOLORDISABLED", section.font[3]);
    color(L"FONTCOLORINACTIVE", section.fontInactive);
    sections[name] = section;
  }
  sections_ = std::move(sections);
  bitmaps_ = std::move(bitmaps);
  if (Active()) {
    SetActiveSkin(nullptr);
    SetActiveSkin(this);
  }
}

const TSkinManager::Section* TSkinManager::Find(const std::wstring& section) const {
  auto found = sections_.find(Upper(section));
  return found == sections_.end() ? nullptr : &found->second;
}

bool TSkinManager::HasSection(const std::wstring& section) const { return Find(section) != nullptr; }

void TSkinManager::DrawCell(HDC dc, const Part& part, int frame, const RECT& rect) {
  TBitmap& bitmap = *bitmaps_[part.bitmap];
  HDC source = bitmap.Canvas().Handle();
  const int cellW = part.cell.right - part.cell.left, cellH = part.cell.bottom - part.cell.top;
  const int sx = part.cell.left + std::min(frame, part.frames - 1) * cellW, sy = part.cell.top;
  const int w = rect.right - rect.left, h = rect.bottom - rect.top;
  if (w <= 0 || h <= 0) return;
  auto blit = [&](int dx, int dy, int dw, int dh, int srcX, int srcY, int srcW, int srcH) {
    if (dw > 0 && dh > 0 && srcW > 0 && srcH > 0)
      GdiTransparentBlt(dc, dx, dy, dw, dh, source, srcX, srcY, srcW, srcH, kTransparent);
  };
  if (!part.nineGrid) {
    blit(rect.left + (w - cellW) / 2, rect.top + (h - cellH) / 2, cellW, cellH, sx, sy, cellW, cellH);
    return;
  }
  // Corners keep their size (shrunk only when the target is smaller);
  // edges stretch along, the centre both ways.
  const int l = std::min<int>(part.margins.left, w / 2), r = std::min<int>(part.margins.right, w - l);
  const int t = std::min<int>(part.margins.top, h / 2), b = std::min<int>(part.margins.bottom, h - t);
  const int ml = part.margins.left, mr = part.margins.right, mt = part.margins.top,
            mb = part.margins.bottom;
  const int xs[3] = {rect.left, rect.left + l, rect.right - r};
  const int ws[3] = {l, w - l - r, r};
  const int srcXs[3] = {sx, sx + ml, sx + cellW - mr};
  const int srcWs[3] = {ml, cellW - ml - mr, mr};
  const int ys[3] = {rect.top, rect.top + t, rect.bottom - b};
  const int hs[3] = {t, h - t - b, b};
  const int srcYs[3] = {sy, sy + mt, sy + cellH - mb};
  const int srcHs[3] = {mt, cellH - mt - mb, mb};
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      blit(xs[col], ys[row], ws[col], hs[row], srcXs[col], srcYs[row], srcWs[col], srcHs[row]);
}

bool TSkinManager::DrawPart(const std::wstring& name, TSkinPart which, HDC dc, const RECT& rect,
                            TDrawStates states) {
  const Section* section = Find(name);
  if (!section) return false;
  const Part& part = which == spFace ? section->face : which == spGlyph ? section->glyph : section->button;
  if (part.bitmap < 0) return false;
  int frame = StateFrame(states);
  if (which == spGlyph && (states & dsChecked)) frame += 4;
  DrawCell(dc, part, frame, rect);
  return true;
}

TColor TSkinManager::SectionColor(const std::wstring& name, TColor fallback) {
  const Section* section = Find(name);
  return section && section->color != clNone ? section->color : fallback;
}

TColor TSkinManager::FontColor(const std::wstring& name, TDrawStates states, TColor fallback) {
  const Section* section = Find(name);
  if (!section) return fallback;
  const TColor chosen = section->font[StateFrame(states)];
  if (chosen != clNone) return chosen;
  return section->font[0] != clNone ? section->font[0] : fallback;
}

TSkinManager::FrameLayout TSkinManager::LayoutFrame(HWND window) {
  FrameLayout layout{};
  RECT screen;
  GetWindowRect(window, &screen);
  layout.window = RECT{0, 0, screen.right - screen.left, screen.bottom - screen.top};
  RECT client;
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  layout.client = RECT{origin.x - screen.left, origin.y - screen.top,
                       origin.x - screen.left + client.right, origin.y - screen.top + client.bottom};
  const int side = layout.client.left;
  layout.caption = RECT{side, side, layout.window.right - side, layout.client.top};
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  if (!(style & WS_SYSMENU) || layout.caption.bottom - layout.caption.top < 8) return layout;
  const int height = layout.caption.bottom - layout.caption.top - 4;
  const int width = height * 9 / 8;
  int right = layout.caption.right - 2;
  auto next = [&](RECT& button) {
    button = RECT{right - width, layout.caption.top + 2, right, layout.caption.top + 2 + height};
    right -= width + 2;
  };
  next(layout.close);
  if (style & WS_MAXIMIZEBOX) next(layout.maximize);
  if (style & WS_MINIMIZEBOX) next(layout.minimize);
  return layout;
}

bool TSkinManager::DrawFrame(const std::wstring& name, HWND window, TDrawStates states) {
  const Section* section = Find(name);
  if (!section || section->border.bitmap < 0 || section->caption.bitmap < 0) return false;
  const FrameLayout layout = LayoutFrame(window);
  const bool active = states & dsActive;
  const TWindowDC windowDC(window, true);
  if (!windowDC) return false;
  // Drawn off-screen and copied in one go, around the client area.
  ExcludeClipRect(windowDC.Get(), layout.client.left, layout.client.top, layout.client.right,
                  layout.client.bottom);
  const TBufferedPaint buffer(windowDC.Get(), layout.window.right, layout.window.bottom);
  const HDC dc = buffer.Handle();
  DrawCell(dc, section->border, active ? 0 : 1, layout.window);
  DrawCell(dc, section->caption, active ? 0 : 1, layout.caption);
  int textLeft = layout.caption.left + 6;
  const LONG style = GetWindowLongW(window, GWL_STYLE);
  const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
  if ((style & WS_SYSMENU) && !(exStyle & WS_EX_DLGMODALFRAME)) {
    auto icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
    if (!icon) icon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
    if (icon) {
      const int top = (layout.caption.top + layout.caption.bottom - 16) / 2;
      DrawIconEx(dc, textLeft, top, icon, 16, 16, 0, nullptr, DI_NORMAL);
      textLeft += 20;
    }
  }
  const bool zoomed = IsZoomed(window);
  if (!IsRectEmpty(&layout.close)) DrawCell(dc, section->close, 0, layout.close);
  if (!IsRectEmpty(&layout.maximize))
    DrawCell(dc, zoomed ? section->restore : section->maximize, 0, layout.maximize);
  if (!IsRectEmpty(&layout.minimize)) DrawCell(dc, section->minimize, 0, layout.minimize);
  int textRight = layout.caption.right - 4;
  for (const RECT* button : {&layout.close, &layout.maximize, &layout.minimize})
    if (!IsRectEmpty(button)) textRight = std::min<int>(textRight, button->left - 4);
  const int length = GetWindowTextLengthW(window);
  std::wstring title(static_cast<size_t>(length) + 1, L'\0');
  title.resize(static_cast<size_t>(GetWindowTextW(window, title.data(), length + 1)));
  RECT text{textLeft, layout.caption.top, textRight, layout.caption.bottom};
  const TColor fallback = active ? clWhite : clGray;
  const TColor color = active ? (section->font[0] != clNone ? section->font[0] : fallback)
                              : (section->fontInactive != clNone ? section->fontInactive : fallback);
  const TSelectedObject selected(dc, captionFont_.Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(color));
  DrawTextW(dc, title.c_str(), static_cast<int>(title.size()), &text,
            DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  return true;
}

int TSkinManager::FrameButtonAt(const std::wstring& name, HWND window, POINT p) {
  if (!Find(name)) return HTNOWHERE;
  const FrameLayout layout = LayoutFrame(window);
  if (PtInRect(&layout.close, p)) return HTCLOSE;
  if (PtInRect(&layout.maximize, p)) return HTMAXBUTTON;
  if (PtInRect(&layout.minimize, p)) return HTMINBUTTON;
  return HTNOWHERE;
}

// ------------------------------------------------------------ TSkinProvider

TSkinProvider::TSkinProvider(TComponent* owner) : TComponent(owner) { Apply(); }

TSkinProvider::~TSkinProvider() {
  if (auto* form = dynamic_cast<TForm*>(Owner()); form && !form->Destroying()) {
    form->SetSkinSection(L"");
    if (form->HandleAllocated())
      SetWindowPos(form->Handle(), nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void TSkinProvider::SetSkinSection(std::wstring section) {
  section_ = std::move(section);
  Apply();
}

void TSkinProvider::Apply() {
  auto* form = dynamic_cast<TForm*>(Owner());
  if (!form) return;
  form->SetSkinSection(section_);
  if (form->HandleAllocated())
    RedrawWindow(form->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}
