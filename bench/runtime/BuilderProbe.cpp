// The runtime program's start-up with one addition: when the start page has finished loading it writes
// "loaded" to its standard output. Started by the start-up benchmark in a browser folder.
#include <QWebEngineView>
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
  // The address is reported as soon as the page is shown; "loaded" waits for all of it, as the peer does.
  auto* view = static_cast<QWebEngineView*>(VXBuilder->Web->Engine()->NativeWidget());
  QObject::connect(view, &QWebEngineView::loadFinished, [view](bool) {
    std::printf("loaded %s\n", view->url().toString().toUtf8().constData());
    std::fflush(stdout);
  });
  Application->Run();
  DoneApplication();
  return 0;
}
