// The designer: the main window, the property editor and the question box, run from the application
// folder until the main window closes.
#include "designer/DesignerPanel.h"
#include "designer/MainPanel.h"
#include "designer/VexMessages.h"
#include "gif/GIFImage.h"
#include "platform/rtl/FileUtils.h"
#include "platform/ui/Forms.h"
#include "skin/KUtilities.h"

int main(int argc, char** argv) {
  SetCommandLine(argc, argv);
  RegisterGIFImageFormat();
  (void)KMediaList::Instance();
  (void)StartDirectory();
  Application->Initialize();
  Application->SetTitle("Pelloran");
  TMainForm* MainForm = nullptr;
  TPropertyForm* PropertyForm = nullptr;
  TVexMessage* VexMessage = nullptr;
  Application->CreateForm(MainForm);
  Application->CreateForm(PropertyForm);
  Application->CreateForm(VexMessage);
  PropertyForm->SetMainWindow(MainForm);
  MainForm->SetPropertyForm(PropertyForm);
  MainForm->SetQuestionBox(VexMessage);
  Application->Run();
  DoneApplication();
  return 0;
}
