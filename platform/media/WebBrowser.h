// The web-browser control: a window showing web pages, with the operations and events that the
// system's browser windows use (history, reload, stop, navigation, print and save-as, and the events
// of command state, title, completed navigation and full screen).
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/media/WebEngine.h"
#include "platform/ui/Controls.h"

// ExecWB commands and options.
constexpr int OLECMDID_SAVEAS = 4;
constexpr int OLECMDID_PRINT = 6;
constexpr int OLECMDEXECOPT_DODEFAULT = 0;
constexpr int OLECMDEXECOPT_PROMPTUSER = 1;
constexpr int OLECMDEXECOPT_DONTPROMPTUSER = 2;

using TWebBrowserCommandStateChange = std::function<void(TObject* Sender, int Command, bool Enable)>;
using TWebBrowserTitleChange = std::function<void(TObject* Sender, const std::string& Text)>;
// pDisp names the frame (always null here: only the main frame reports); URL is the address shown.
using TWebBrowserNavigateComplete2 =
    std::function<void(TObject* Sender, TObject* pDisp, const std::string& URL)>;
using TWebBrowserOnFullScreen = std::function<void(TObject* Sender, bool FullScreen)>;

class TWebBrowser : public TWinControl {
 public:
  // Takes its engine from CreateWebEngine (so tests can install a scripted one). A clicked link that
  // another program handles is started only after the user said Yes to a question box naming it.
  explicit TWebBrowser(TComponent* AOwner);
  ~TWebBrowser() override;

  // Each raises EOleException when the view cannot do it (no page to go back or forward to).
  void GoBack();
  void GoForward();
  void Refresh();
  void Refresh2();
  void Stop();
  // Opens an address: a URL, a host name, a local file or a folder (see WebAddressToURL).
  void Navigate(const std::string& URL);
  void Navigate2(const std::string& URL);
  // OLECMDID_PRINT: the print dialog (unless OLECMDEXECOPT_DONTPROMPTUSER), then printing;
  // OLECMDID_SAVEAS: the save dialog, then saving. A cancelled dialog does nothing; other commands
  // and failures raise EOleException.
  void ExecWB(int cmdID, int cmdexecopt);

  [[nodiscard]] std::string LocationURL() const;
  [[nodiscard]] std::string LocationName() const;
  [[nodiscard]] TWebEngine* Engine() const { return FEngine.get(); }

  TWebBrowserCommandStateChange OnCommandStateChange;
  TWebBrowserTitleChange OnTitleChange;
  TWebBrowserNavigateComplete2 OnNavigateComplete2;
  TWebBrowserOnFullScreen OnFullScreen;

 protected:
  void CreateWnd() override;

 private:
  void Print(int cmdexecopt);
  void SaveAs();

  std::unique_ptr<TWebEngine> FEngine;
};
