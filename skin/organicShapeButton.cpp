#include "skin/organicShapeButton.h"

TOrganicShapeButton::TOrganicShapeButton(TComponent* AOwner)
    : TOrganicShapeControl(AOwner),
      FPressedBmp(std::make_unique<TBitmap>()),
      FOverBmp(std::make_unique<TBitmap>()) {
  SetControlStyle(TControlStyle::FromBits(0x8AA));
  SetWidth(40);
  SetHeight(40);
  FAlignment = taCenter;
  SetColor(clBtnFace);
  FMouseInside = false;
}

TOrganicShapeButton::~TOrganicShapeButton() = default;

void TOrganicShapeButton::SetAlignment(TAlignment Value) {
  if (Value == FAlignment) return;
  FAlignment = Value;
  Invalidate();
}

void TOrganicShapeButton::SetPressedBmp(TBitmap* Value) {
  FPressedBmp->Assign(Value);
}

void TOrganicShapeButton::SetOverBmp(TBitmap* Value) {
  FOverBmp->Assign(Value);
}

void TOrganicShapeButton::SetMask(TBitmap* Value) {
  TOrganicShapeControl::SetMask(Value);
  if (Value != nullptr) {
    SetWidth(Value->Width());
    SetHeight(Value->Height());
  }
}

bool TOrganicShapeButton::Covers(const TBitmap* Picture) const {
  return !Picture->Empty() && Picture->Width() >= Width() && Picture->Height() >= Height();
}

TBitmap* TOrganicShapeButton::CurrentPicture() const {
  if (ControlState().Contains(csLButtonDown)) return Covers(FPressedBmp.get()) ? FPressedBmp.get() : Mask();
  if (FMouseInside && FOverBmp->Width() != 0 && Covers(FOverBmp.get())) return FOverBmp.get();
  return Mask();
}

void TOrganicShapeButton::Paint() {
  TCanvas* canvas = Canvas();
  TRect r = ClientRect();
  canvas->Brush()->SetColor(Color());
  canvas->Brush()->SetStyle(bsClear);
  canvas->SetFont(Font());
  const int h = canvas->TextHeight("W");
  r.Top = (r.Top + r.Bottom - h) / 2;
  r.Bottom = r.Top + h;
  TBitmap* picture = CurrentPicture();
  if (!picture->Empty()) {
    BitBlt(canvas->Handle(), 0, 0, Width(), Height(), picture->Canvas()->Handle(), 0, 0, SRCCOPY);
  }
  UINT flags = DT_CENTER;
  if (FAlignment == taLeftJustify) flags = DT_LEFT;
  if (FAlignment == taRightJustify) flags = DT_RIGHT;
  DrawText(canvas->Handle(), Caption(), -1, &r, flags | DT_VCENTER | DT_EXPANDTABS);
}

void TOrganicShapeButton::CMMouseEnter(TMessage& Message) {
  FMouseInside = true;
  Invalidate();
  TOrganicShapeControl::CMMouseEnter(Message);
  if (OnMouseEnter) OnMouseEnter(this);
}

void TOrganicShapeButton::CMMouseLeave(TMessage& Message) {
  FMouseInside = false;
  Invalidate();
  TOrganicShapeControl::CMMouseLeave(Message);
  if (OnMouseLeave) OnMouseLeave(this);
}

void TOrganicShapeButton::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  FMouseInside = true;
  Invalidate();
  TOrganicShapeControl::MouseDown(Button, Shift, X, Y);
}

void TOrganicShapeButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  Invalidate();
  TOrganicShapeControl::MouseUp(Button, Shift, X, Y);
}

void TOrganicShapeButton::CMTextChanged(TMessage& Message) {
  Invalidate();
}

void TOrganicShapeButton::WMEraseBkgnd(TMessage& Message) {
  Message.Result = 0;
}

void TOrganicShapeButton::SaveToFolder(const std::string& Folder) {
  TOrganicShapeControl::SaveToFolder(Folder);
  FPressedBmp->SaveToFile(Folder + "\\pressedBmp_" + Name() + ".bmp");
  FOverBmp->SaveToFile(Folder + "\\overBmp_" + Name() + ".bmp");
  Mask()->SaveToFile(Folder + "\\mask_" + Name() + ".bmp");
}

void TOrganicShapeButton::LoadFromFolder(const std::string& Folder) {
  FPressedBmp->LoadFromFile(Folder + "\\pressedBmp_" + Name() + ".bmp");
  FOverBmp->LoadFromFile(Folder + "\\overBmp_" + Name() + ".bmp");
  Mask()->LoadFromFile(Folder + "\\mask_" + Name() + ".bmp");
  TOrganicShapeControl::LoadFromFolder(Folder);
}

TVXOWebBrowser::TVXOWebBrowser(TComponent* AOwner) : TWebBrowser(AOwner) {
  SetDoubleBuffered(true);
}
