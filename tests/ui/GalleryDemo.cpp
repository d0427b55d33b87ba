// A form with every standard control, for looking at them under Xvfb (screenshot by the caller).
// Runs for the given number of milliseconds (default 5000).
#include <cstdio>
#include <cstdlib>

#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"

int main(int argc, char** argv) {
  const int lifetime = argc > 1 ? std::atoi(argv[1]) : 5000;
  TForm* form = nullptr;
  Application->CreateForm(form);
  form->SetCaption("Gallery");
  form->SetBorderStyle(bsNone);
  form->SetBounds(20, 20, 420, 300);
  form->Font()->SetName("MS Sans Serif");
  form->Font()->SetHeight(-11);
  auto* panel = new TPanel(form);
  panel->SetParent(form);
  panel->SetBounds(10, 10, 400, 60);
  panel->SetCaption("HTML");
  panel->SetColor(8404992);
  panel->Font()->SetName("Arial");
  panel->Font()->SetColor(clSilver);
  panel->Font()->SetHeight(-21);
  auto* label = new TLabel(form);
  label->SetParent(form);
  label->SetBounds(10, 80, 100, 20);
  label->SetCaption("&Address:");
  auto* edit = new TEdit(form);
  edit->SetParent(form);
  edit->SetBounds(80, 78, 200, 21);
  edit->SetText("http://localhost/index.html");
  auto* combo = new TComboBox(form);
  combo->SetParent(form);
  combo->SetBounds(80, 108, 200, 21);
  combo->Items()->Add("first");
  combo->Items()->Add("second");
  combo->SetItemIndex(1);
  auto* check = new TCheckBox(form);
  check->SetParent(form);
  check->SetBounds(80, 138, 150, 17);
  check->SetCaption("Stay on top");
  check->SetChecked(true);
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetBounds(300, 78, 80, 25);
  button->SetCaption("Navigate");
  auto* shape = new TShape(form);
  shape->SetParent(form);
  shape->SetBounds(10, 170, 120, 80);
  shape->SetShape(stEllipse);
  shape->Brush()->SetColor(clYellow);
  shape->Pen()->SetColor(clRed);
  shape->Pen()->SetWidth(3);
  auto* frame = new TShape(form);
  frame->SetParent(form);
  frame->SetBounds(150, 170, 100, 80);
  frame->Brush()->SetStyle(bsClear);
  frame->Pen()->SetColor(clYellow);
  frame->Pen()->SetWidth(3);
  auto* image = new TImage(form);
  image->SetParent(form);
  image->SetBounds(270, 170, 100, 80);
  TBitmap bmp;
  bmp.SetSize(50, 40);
  bmp.Canvas()->Brush()->SetColor(clTeal);
  bmp.Canvas()->FillRect(Rect(0, 0, 50, 40));
  bmp.Canvas()->Pen()->SetColor(clWhite);
  bmp.Canvas()->MoveTo(0, 0);
  bmp.Canvas()->LineTo(50, 40);
  image->Picture()->SetGraphic(&bmp);
  image->SetStretch(true);
  auto* timer = new TTimer(form);
  timer->SetInterval(static_cast<Cardinal>(lifetime));
  timer->OnTimer = [form](TObject*) { form->Close(); };
  Application->Run();
  return 0;
}
