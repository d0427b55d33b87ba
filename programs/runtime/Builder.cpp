// The runtime browser: reads "Config.VX" from the current directory and runs as one skinned browser
// window until that window is closed.
#include "gif/GIFImage.h"
#include "platform/rtl/FileUtils.h"
#include "platform/ui/Forms.h"
#include "runtime/VXBuilder.h"
#include "skin/KUtilities.h"

int main(int argc, char** argv) {
  SetCommandLine(argc, argv);
  // The picture formats beyond those of the drawing layer, and the image cache with the start folder.
  RegisterGIFImageFormat();
  (void)KMediaList::Instance();
  (void)StartDirectory();
  Application->Initialize();
  // No title is set: the task bar text and message-box captions follow the program file's name.
  TVXBuilder* VXBuilder = nullptr;
  Application->CreateForm(VXBuilder);
  // The window system's task bar shows the window's own title: give it the application's, so that each
  // copy of the program shows the name it was saved under.
  VXBuilder->SetCaption(Application->Title());
  Application->Run();
  DoneApplication();
  return 0;
}
