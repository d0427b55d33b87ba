// The runtime program's start-up with one addition: when the start page has finished loading it writes
// "loaded" to its standard output. Started by the start-up benchmark in a browser folder.
#include <cstdio>

#include "gif/GIFImage.h"
#include "platform/rtl/FileUtils.h"
#include "platform/ui/Forms.h"
#include "runtime/VXBuilder.h"
#include "skin/KUtilities.h"

int main(int argc, char** argv) {
  SetCommandLine(argc, argv);
  RegisterGIFImageFormat();
  (void)KMediaList::Instance();
  (void)StartDirectory();
  Application->Initialize();
  TVXBuilder* VXBuilder = nullptr;
  Application->CreateForm(VXBuilder);
  auto handler = VXBuilder->Web->OnNavigateComplete2;
  VXBuilder->Web->OnNavigateComplete2 = [handler](TObject* Sender, TObject* pDisp, const std::string& URL) {
    if (handler) handler(Sender, pDisp, URL);
    std::printf("loaded %s\n", URL.c_str());
    std::fflush(stdout);
  };
  Application->Run();
  DoneApplication();
  return 0;
}
