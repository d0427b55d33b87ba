// A borderless form cut to an ellipse, with a button, for checking the window's shape on a real X server
// (tests/ui/shape_demo.sh); pressing its face drags it. Prints the X window id, then runs until the given
// number of milliseconds have passed (default 5000) or the window is closed.
#include <cstdio>
#include <cstdlib>

#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"
#include "platform/ui/StdCtrls.h"

int main(int argc, char** argv) {
  const int lifetime = argc > 1 ? std::atoi(argv[1]) : 5000;
  Application->Initialize();
  TForm* form = nullptr;
  Application->CreateForm(form);
  form->SetBorderStyle(bsNone);
  form->SetColor(clNavy);
  form->SetBounds(100, 80, 300, 200);
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetCaption("Close");
  button->SetBounds(110, 85, 80, 30);
  button->OnClick = [form](TObject*) { form->Close(); };
  SetWindowRgn(form->Handle(), CreateEllipticRgn(0, 0, 300, 200), true);
  // Pressing the face drags the window (the system's move command for borderless windows).
  form->OnMouseDown = [form](TObject*, TMouseButton Button, TShiftState, int, int) {
    if (Button != mbLeft) return;
    ReleaseCapture();
    form->Perform(WM_SYSCOMMAND, SC_DRAGMOVE, static_cast<LPARAM>(-1));
  };
  auto* timer = new TTimer(form);
  timer->SetInterval(static_cast<Cardinal>(lifetime));
  timer->OnTimer = [form](TObject*) { form->Close(); };
  form->Show();
  Application->ProcessMessages();
  std::printf("0x%llx\n", static_cast<unsigned long long>(WidgetOf(form)->winId()));
  std::fflush(stdout);
  Application->Run();
  return 0;
}
