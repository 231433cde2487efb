#pragma once
// The options dialog: which device feeds which channel (fixed by the device
// count), the storage path, the idle-watch flag, loop recording and the
// segment length.
#include <memory>

#include "classlib/form.h"
#include "classlib/graphic_controls.h"
#include "classlib/std_controls.h"
#include "media/sys_dev_enum.h"
#include "skin/skin_manager.h"

class ToptionForm : public TForm {
public:
  explicit ToptionForm(TComponent* owner);

  TSkinProvider* SkinProvider1;
  TGroupBox* sGroupBox1;
  TLabel* sLabel1;
  TLabel* sLabel2;
  TLabel* sLabel4;
  TLabel* sLabel5;
  TComboBox* videoCap1;
  TComboBox* videoCap2;
  TComboBox* videoCap3;
  TComboBox* videoCap4;
  TGroupBox* sGroupBox3;
  TDirectoryEdit* DirectoryEdit;
  TCheckBox* autoCbx;
  TCheckBox* loopCbx;
  TLabel* sLabel6;
  TEdit* segmentEdit;
  TBitBtn* sBitBtn2;

  // The video-input devices. Made by the creation handler, released by the
  // main window when it closes.
  std::unique_ptr<TSysDevEnum> devEnum;

  // The device box of channel 1 to 4.
  TComboBox* DeviceBox(int channel) const;

  void FormCreate(TComponent* sender);
  void sBitBtn2Click(TComponent* sender);
};

extern ToptionForm* optionForm;
