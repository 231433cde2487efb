// A demo window with every skinned control, shown on the test's display. It
// checks the skin's marks by their pixels and leaves a picture of itself,
// controls_demo.bmp, in the working folder.
#include <doctest/doctest.h>

#include <fstream>

#include "classlib/form.h"
#include "classlib/graphic_controls.h"
#include "classlib/std_controls.h"
#include "skin/skin_manager.h"
#include "test_support.h"

namespace {
class TDemoForm : public TForm {
public:
  explicit TDemoForm(TComponent* owner) : TForm(owner) {
    SetCaption(L"多路摄像头监控系统");
    SetPosition(poDesktopCenter);
    SetBounds(0, 0, 769, 546);
    SkinManager1 = new TSkinManager(this);
    SkinProvider1 = new TSkinProvider(this);
    sPanel1 = Panel(this, 0, 0, 90, 100, L"PANEL");
    sPanel1->SetAlign(alRight);
    sPanel1->SetBevelOuter(bvNone);
    playBtn = Speed(8, 17, L"监控");
    recBtn = Speed(8, 65, L"开始录像");
    idleBtn = Speed(8, 113, L"未按下");
    idleBtn->SetDown(false);
    sBitBtn2 = Button(sPanel1, 8, 369, 34, L"录像文件");
    sBitBtn3 = Button(sPanel1, 8, 412, 34, L"系统设置");
    topcbx = new TCheckBox(this);
    topcbx->SetParent(sPanel1);
    topcbx->SetBounds(7, 453, 79, 19);
    topcbx->SetCaption(L"总在最前");
    topcbx->SetSkinSection(L"CHECKBOX");
    topcbx->SetChecked(true);
    sPanel2 = Panel(this, 0, 0, 671, 508, L"PANEL");
    sPanel2->SetAlign(alClient);
    for (int i = 0; i < 4; ++i) {
      vPanel[i] = Panel(sPanel2, i % 2 ? 337 : 5, i / 2 ? 256 : 5, 328, 247, L"PANEL_LOW");
      vPanel[i]->SetBevelOuter(bvLowered);
      vPanel[i]->SetBevelWidth(4);
    }
    vPanel[2]->SetSkinSection(L"PROGRESSV");
    // The options dialog's controls, in the second pane.
    auto* group = new TGroupBox(this);
    group->SetParent(vPanel[1]);
    group->SetBounds(8, 8, 310, 120);
    group->SetCaption(L"视频设备");
    group->SetSkinSection(L"GROUPBOX");
    label = new TLabel(this);
    label->SetParent(group);
    label->SetBounds(10, 24, 80, 16);
    label->SetTransparent(true);
    label->SetCaption(L"监控窗口#1:");
    combo = new TComboBox(this);
    combo->SetParent(group);
    combo->SetBounds(96, 20, 177, 21);
    combo->SetSkinSection(L"COMBOBOX");
    combo->Items().Add(L"USB 摄像头 1");
    combo->SetItemIndex(0);
    combo->SetEnabled(false);
    auto* empty = new TComboBox(this);
    empty->SetParent(group);
    empty->SetBounds(96, 46, 177, 21);
    empty->SetSkinSection(L"COMBOBOX");
    empty->SetEnabled(false);
    path = new TDirectoryEdit(this);
    path->SetParent(group);
    path->SetBounds(8, 80, 290, 21);
    path->SetSkinSection(L"EDIT");
    path->SetRoot(rfMyComputer);
    path->SetText(L"C:\\录像存储\\");
    auto* autoCbx = new TCheckBox(this);
    autoCbx->SetParent(vPanel[1]);
    autoCbx->SetBounds(16, 140, 209, 19);
    autoCbx->SetCaption(L"根据鼠标键盘动作自动隐藏窗口");
    autoCbx->SetSkinSection(L"CHECKBOX");
    auto* ok = Button(vPanel[1], 120, 170, 25, L"确定");
    ok->SetSkinSection(L"BUTTON");
    auto* shape = new TShape(this);
    shape->SetParent(vPanel[3]);
    shape->SetBounds(20, 20, 60, 40);
    shape->Brush().SetColor(clRed);
  }

  TSkinManager* SkinManager1;
  TSkinProvider* SkinProvider1;
  TPanel* sPanel1;
  TPanel* sPanel2;
  TPanel* vPanel[4];
  TSpeedButton* playBtn;
  TSpeedButton* recBtn;
  TSpeedButton* idleBtn;
  TBitBtn* sBitBtn2;
  TBitBtn* sBitBtn3;
  TCheckBox* topcbx;
  TLabel* label;
  TComboBox* combo;
  TDirectoryEdit* path;

private:
  TPanel* Panel(TWinControl* parent, int l, int t, int w, int h, const wchar_t* section) {
    auto* panel = new TPanel(this);
    panel->SetParent(parent);
    panel->SetBounds(l, t, w, h);
    panel->SetShowCaption(false);
    panel->SetSkinSection(section);
    return panel;
  }
  TSpeedButton* Speed(int l, int t, const wchar_t* caption) {
    auto* button = new TSpeedButton(this);
    button->SetParent(sPanel1);
    button->SetBounds(l, t, 75, 41);
    button->SetCaption(caption);
    button->SetSkinSection(L"SPEEDBUTTON");
    button->SetDown(true);
    return button;
  }
  TBitBtn* Button(TWinControl* parent, int l, int t, int h, const wchar_t* caption) {
    auto* button = new TBitBtn(this);
    button->SetParent(parent);
    button->SetBounds(l, t, 75, h);
    button->SetCaption(caption);
    button->SetSkinSection(L"BUTTON");
    return button;
  }
};

COLORREF ScreenPixel(TControl& control, int x, int y) {
  const POINT p = control.ClientToScreen(POINT{x, y});
  HDC screen = GetDC(nullptr);
  const COLORREF color = GetPixel(screen, p.x, p.y);
  ReleaseDC(nullptr, screen);
  return color;
}

bool Bluish(COLORREF c) { return GetBValue(c) > GetRValue(c) + 60; }

void SaveWindowPicture(HWND window, const std::wstring& name) {
  RECT r;
  GetWindowRect(window, &r);
  TBitmap picture;
  picture.SetSize(r.right - r.left, r.bottom - r.top);
  HDC screen = GetDC(nullptr);
  BitBlt(picture.Canvas().Handle(), 0, 0, picture.Width(), picture.Height(), screen, r.left, r.top,
         SRCCOPY);
  ReleaseDC(nullptr, screen);
  (void)picture.Handle();  // flushes the drawing into the pixels
  const int size = picture.Stride() * picture.Height();
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(54 + size), 0, 0, 54};
  BITMAPINFOHEADER info{sizeof(info), picture.Width(), -picture.Height(), 1, 24, BI_RGB,
                        static_cast<DWORD>(size), 0, 0, 0, 0};
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
  bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
  bytes.append(reinterpret_cast<const char*>(picture.Bits()), size);
  WriteFileBytes(name, bytes);
}
}  // namespace

TEST_CASE("demo window shows every control in the skin") {
  TDemoForm* form = TForm::Create<TDemoForm>(nullptr);
  form->Show();
  REQUIRE(PumpUntil([&] { return IsWindowVisible(form->Handle()) != FALSE; }));
  form->Update();
  PumpUntil([] { return GetQueueStatus(QS_PAINT) == 0; }, std::chrono::seconds(5));

  // The selected pane's frame is the accent colour; the others stay dark.
  CHECK(Bluish(ScreenPixel(*form->vPanel[2], 2, 100)));
  CHECK_FALSE(Bluish(ScreenPixel(*form->vPanel[0], 2, 100)));
  // Buttons with Down set are drawn pressed (filled with the accent).
  CHECK(Bluish(ScreenPixel(*form->playBtn, 37, 5)));
  CHECK(Bluish(ScreenPixel(*form->recBtn, 37, 5)));
  CHECK_FALSE(Bluish(ScreenPixel(*form->idleBtn, 37, 5)));
  // The frame comes from "FORM": a dark caption bar, not the platform's.
  RECT window;
  GetWindowRect(form->Handle(), &window);
  HDC screen = GetDC(nullptr);
  const COLORREF caption = GetPixel(screen, window.left + 200, window.top + 10);
  ReleaseDC(nullptr, screen);
  CHECK(GetRValue(caption) < 80);
  CHECK(GetGValue(caption) < 80);

  SUBCASE("switching a pane's section repaints it") {
    form->vPanel[2]->SetSkinSection(L"PANEL_LOW");
    form->vPanel[0]->SetSkinSection(L"PROGRESSV");
    // Wine puts the new pixels on the display a moment after the paint.
    CHECK(PumpUntil([&] {
      return Bluish(ScreenPixel(*form->vPanel[0], 2, 100)) &&
             !Bluish(ScreenPixel(*form->vPanel[2], 2, 100));
    }));
    form->vPanel[0]->SetSkinSection(L"PANEL_LOW");
    form->vPanel[2]->SetSkinSection(L"PROGRESSV");
    PumpUntil([&] { return Bluish(ScreenPixel(*form->vPanel[2], 2, 100)); });
  }
  SaveWindowPicture(form->Handle(), L"controls_demo.bmp");
  form->Free();
}
