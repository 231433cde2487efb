#include "options/option_form.h"

#include "options/recording_settings.h"
#include "options/settings.h"

ToptionForm* optionForm = nullptr;

namespace {
TLabel* MakeLabel(TComponent* owner, TWinControl* parent, const wchar_t* name, int top,
                  const wchar_t* caption) {
  auto* label = new TLabel(owner);
  label->SetName(name);
  label->SetParent(parent);
  label->SetBounds(16, top, 72, 13);
  label->SetTransparent(true);
  label->Font().SetColor(clBlack);
  label->SetCaption(caption);
  return label;
}

TComboBox* MakeDeviceBox(TComponent* owner, TWinControl* parent, const wchar_t* name, int top) {
  auto* box = new TComboBox(owner);
  box->SetName(name);
  box->SetParent(parent);
  box->SetBounds(96, top, 177, 21);
  box->SetEnabled(false);
  box->SetColor(clWhite);
  box->Font().SetColor(clBlack);
  box->SetSkinSection(L"COMBOBOX");
  return box;
}
}  // namespace

ToptionForm::ToptionForm(TComponent* owner) : TForm(owner) {
  SetName(L"optionForm");
  SetCaption(L"设置");
  SetBorderStyle(bsDialog);
  SetBorderIcons(biSystemMenu);
  SetPosition(poMainFormCenter);
  SetClientWidth(405);
  SetClientHeight(257);

  SkinProvider1 = new TSkinProvider(this);
  SkinProvider1->SetName(L"SkinProvider1");

  sGroupBox1 = new TGroupBox(this);
  sGroupBox1->SetName(L"sGroupBox1");
  sGroupBox1->SetParent(this);
  sGroupBox1->SetBounds(6, 12, 393, 123);
  sGroupBox1->SetCaption(L"视频设备");
  sGroupBox1->SetSkinSection(L"GROUPBOX");

  sLabel1 = MakeLabel(this, sGroupBox1, L"sLabel1", 22, L"监控窗口#1:");
  sLabel2 = MakeLabel(this, sGroupBox1, L"sLabel2", 47, L"监控窗口#2:");
  sLabel4 = MakeLabel(this, sGroupBox1, L"sLabel4", 72, L"监控窗口#3:");
  sLabel5 = MakeLabel(this, sGroupBox1, L"sLabel5", 97, L"监控窗口#4:");
  videoCap1 = MakeDeviceBox(this, sGroupBox1, L"videoCap1", 18);
  videoCap2 = MakeDeviceBox(this, sGroupBox1, L"videoCap2", 42);
  videoCap3 = MakeDeviceBox(this, sGroupBox1, L"videoCap3", 67);
  videoCap4 = MakeDeviceBox(this, sGroupBox1, L"videoCap4", 92);

  sGroupBox3 = new TGroupBox(this);
  sGroupBox3->SetName(L"sGroupBox3");
  sGroupBox3->SetParent(this);
  sGroupBox3->SetBounds(6, 142, 393, 52);
  sGroupBox3->SetCaption(L"保存路径");
  sGroupBox3->SetSkinSection(L"GROUPBOX");

  DirectoryEdit = new TDirectoryEdit(this);
  DirectoryEdit->SetName(L"DirectoryEdit");
  DirectoryEdit->SetParent(sGroupBox3);
  DirectoryEdit->SetBounds(8, 19, 377, 21);
  DirectoryEdit->SetMaxLength(255);
  DirectoryEdit->SetRoot(rfMyComputer);
  DirectoryEdit->SetSkinSection(L"EDIT");

  autoCbx = new TCheckBox(this);
  autoCbx->SetName(L"autoCbx");
  autoCbx->SetParent(this);
  autoCbx->SetBounds(16, 200, 209, 19);
  autoCbx->SetCaption(L"根据鼠标键盘动作自动隐藏窗口");
  autoCbx->SetSkinSection(L"CHECKBOX");

  // Loop recording and the segment length sit right of the idle-watch flag
  // and the 确定 button, where the dialog had room.
  loopCbx = new TCheckBox(this);
  loopCbx->SetName(L"loopCbx");
  loopCbx->SetParent(this);
  loopCbx->SetBounds(248, 200, 81, 19);
  loopCbx->SetCaption(L"循环录像");
  loopCbx->SetSkinSection(L"CHECKBOX");

  sLabel6 = new TLabel(this);
  sLabel6->SetName(L"sLabel6");
  sLabel6->SetParent(this);
  sLabel6->SetBounds(248, 229, 96, 13);
  sLabel6->SetTransparent(true);
  sLabel6->Font().SetColor(clBlack);
  sLabel6->SetCaption(L"分段时长（分钟）");

  segmentEdit = new TEdit(this);
  segmentEdit->SetName(L"segmentEdit");
  segmentEdit->SetParent(this);
  segmentEdit->SetBounds(348, 225, 45, 21);
  segmentEdit->SetMaxLength(5);
  segmentEdit->SetSkinSection(L"EDIT");

  sBitBtn2 = new TBitBtn(this);
  sBitBtn2->SetName(L"sBitBtn2");
  sBitBtn2->SetParent(this);
  sBitBtn2->SetBounds(157, 225, 75, 25);
  sBitBtn2->SetCaption(L"确定");
  sBitBtn2->SetSkinSection(L"BUTTON");
  sBitBtn2->OnClick = [this](TComponent* s) { sBitBtn2Click(s); };
  OnShow = [this](TComponent*) { sBitBtn2->SetFocus(); };

  OnCreate = [this](TComponent* s) { FormCreate(s); };
}

TComboBox* ToptionForm::DeviceBox(int channel) const {
  TComboBox* const boxes[] = {videoCap1, videoCap2, videoCap3, videoCap4};
  return boxes[channel - 1];
}

void ToptionForm::FormCreate(TComponent*) {
  devEnum = std::make_unique<TSysDevEnum>(CLSID_VideoInputDeviceCategory);
  const int count = devEnum->CountFilters();
  for (int i = 0; i < count; ++i) {
    const std::wstring name = devEnum->FilterName(i).FriendlyName;
    for (int channel = 1; channel <= 4; ++channel) DeviceBox(channel)->Items().Add(name);
  }
  // Only one to four devices are assigned, one to a channel in order; the
  // lists of channels without a device are emptied. Five or more assign none.
  if (count >= 1 && count <= 4) {
    for (int channel = 1; channel <= 4; ++channel) {
      TComboBox* box = DeviceBox(channel);
      if (channel <= count) box->SetItemIndex(channel - 1);
      else box->Items().Clear();
    }
  }
  TIniFile settings = OpenSettings();
  DirectoryEdit->SetText(settings.ReadString(kSettingsSection, L"path", appPath));
  autoCbx->SetChecked(settings.ReadBool(kSettingsSection, L"auto", true));
  loopCbx->SetChecked(settings.ReadBool(kSettingsSection, L"loop", true));
  const std::wstring segment = settings.ReadString(kSettingsSection, L"segment", L"");
  segmentEdit->SetText(IsValidSegmentText(segment) ? segment
                                                   : std::to_wstring(kDefaultSegmentMinutes));
}

void ToptionForm::sBitBtn2Click(TComponent*) {
  TIniFile settings = OpenSettings();
  settings.WriteString(kSettingsSection, L"path", DirectoryEdit->Text());
  settings.WriteBool(kSettingsSection, L"auto", autoCbx->Checked());
  settings.WriteBool(kSettingsSection, L"loop", loopCbx->Checked());
  // What the key would not accept is written as the default it would give.
  const std::wstring segment = segmentEdit->Text();
  settings.WriteString(kSettingsSection, L"segment",
                       IsValidSegmentText(segment) ? segment : std::to_wstring(kDefaultSegmentMinutes));
  SetModalResult(mrOk);
}
