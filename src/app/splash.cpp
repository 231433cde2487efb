#include "app/splash.h"

#include "resource_ids.h"

TsplashForm* splashForm = nullptr;

TsplashForm::TsplashForm(TComponent* owner) : TForm(owner) {
  SetName(L"splashForm");
  SetBorderStyle(bsNone);
  SetPosition(poDesktopCenter);
  SetColor(clWhite);
  SetClientWidth(358);
  SetClientHeight(225);

  Shape1 = new TShape(this);
  Shape1->SetName(L"Shape1");
  Shape1->SetParent(this);
  Shape1->SetBounds(0, 0, 358, 225);
  Shape1->Pen().SetColor(clGray);

  Image1 = new TImage(this);
  Image1->SetName(L"Image1");
  Image1->SetParent(this);
  Image1->SetBounds(1, 1, 357, 224);
  Image1->SetAutoSize(true);
  Image1->LoadJPEGResource(IDR_SPLASH_JPEG);

  Label1 = new TLabel(this);
  Label1->SetName(L"Label1");
  Label1->SetParent(this);
  Label1->SetBounds(149, 199, 60, 15);
  Label1->SetTransparent(true);
  Label1->Font().SetName(L"宋体");
  Label1->Font().SetCharset(GB2312_CHARSET);
  Label1->Font().SetHeight(-15);
  Label1->Font().SetColor(clWhite);
  Label1->SetCaption(L"Veltrano");
}
