#include "platform/media/WebBrowser.h"

#include <QCoreApplication>
#include <QWidget>

#include "platform/ui/Dialogs.h"
#include "platform/ui/Forms.h"
#include "platform/ui/QtHost.h"

namespace {

// The web engine shares graphics contexts with the application's windows; Qt needs to know before
// the application object exists, so this is set while the program starts.
[[maybe_unused]] const bool kShareContexts = [] {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  return true;
}();

// The web view's dialogs as the window layer's dialog provider shows them.
class TUiWebDialogs final : public TWebDialogProvider {
 public:
  // The print goes to the printer or into the file chosen in the print dialog.
  bool Print(std::string& PrinterName, std::string& FileName) override {
    TPrintDialog dialog(nullptr);
    if (!dialog.Execute()) return false;
    PrinterName = dialog.PrinterName();
    FileName = dialog.FileName();
    return true;
  }
  bool SaveAs(std::string& FileName) override {
    TSaveDialog dialog(nullptr);
    dialog.SetTitle("Webseite speichern");
    dialog.SetFilter(
        "Webseite, komplett (*.htm;*.html)|*.htm;*.html|Webarchiv, einzelne Datei (*.mht)|*.mht");
    dialog.SetDefaultExt("htm");
    dialog.SetFileName(FileName);
    dialog.SetOptions({ofOverwritePrompt, ofHideReadOnly, ofEnableSizing});
    if (!dialog.Execute()) return false;
    FileName = dialog.FileName();
    return true;
  }
};

// The question asked before a link goes to another program.
std::string ExternalLinkQuestion(const std::string& Scheme, const std::string& URL) {
  return "This page wants to open a \"" + Scheme + "\" address with another program:\n\n" + URL +
         "\n\nDo you want to open it?";
}

std::unique_ptr<TWebDialogProvider>& Dialogs() {
  static std::unique_ptr<TWebDialogProvider> dialogs;
  return dialogs;
}

}  // namespace

std::unique_ptr<TWebDialogProvider> SetWebDialogProvider(std::unique_ptr<TWebDialogProvider> Provider) {
  std::swap(Dialogs(), Provider);
  return Provider;
}

TWebDialogProvider& WebDialogs() {
  if (!Dialogs()) Dialogs() = std::make_unique<TUiWebDialogs>();
  return *Dialogs();
}

// --- TWebBrowser

TWebBrowser::TWebBrowser(TComponent* AOwner) : TWinControl(AOwner), FEngine(CreateWebEngine()) {
  SetTabStop(true);
  FEngine->Events.CommandStateChange = [this](int Command, bool Enable) {
    if (OnCommandStateChange) OnCommandStateChange(this, Command, Enable);
  };
  FEngine->Events.TitleChange = [this](const std::string& Text) {
    if (OnTitleChange) OnTitleChange(this, Text);
  };
  FEngine->Events.NavigateComplete = [this](const std::string& URL) {
    if (OnNavigateComplete2) OnNavigateComplete2(this, nullptr, URL);
  };
  FEngine->Events.FullScreen = [this](bool FullScreen) {
    if (OnFullScreen) OnFullScreen(this, FullScreen);
  };
  FEngine->Events.ConfirmExternal = [](const std::string& Scheme, const std::string& URL) {
    return Application->MessageBox(ExternalLinkQuestion(Scheme, URL), Application->Title(),
                                   MB_YESNO | MB_ICONQUESTION) == IDYES;
  };
}

TWebBrowser::~TWebBrowser() {
  // No event reaches a control that is going away.
  FEngine->Events = {};
}

void TWebBrowser::CreateWnd() {
  TWinControl::CreateWnd();
  if (void* view = FEngine->NativeWidget()) SetInnerWidget(this, static_cast<QWidget*>(view));
}

void TWebBrowser::GoBack() {
  FEngine->GoBack();
}

void TWebBrowser::GoForward() {
  FEngine->GoForward();
}

void TWebBrowser::Refresh() {
  FEngine->Reload();
}

void TWebBrowser::Refresh2() {
  FEngine->Reload();
}

void TWebBrowser::Stop() {
  FEngine->Stop();
}

void TWebBrowser::Navigate(const std::string& URL) {
  FEngine->Navigate(WebAddressToURL(URL));
}

void TWebBrowser::Navigate2(const std::string& URL) {
  Navigate(URL);
}

std::string TWebBrowser::LocationURL() const {
  return FEngine->LocationURL();
}

std::string TWebBrowser::LocationName() const {
  return FEngine->LocationName();
}

void TWebBrowser::ExecWB(int cmdID, int cmdexecopt) {
  switch (cmdID) {
    case OLECMDID_PRINT:
      Print(cmdexecopt);
      return;
    case OLECMDID_SAVEAS:
      SaveAs();
      return;
    default:
      throw EOleException("Der Befehl wird nicht unterstützt");
  }
}

void TWebBrowser::Print(int cmdexecopt) {
  std::string printer, file;
  if (cmdexecopt != OLECMDEXECOPT_DONTPROMPTUSER && !WebDialogs().Print(printer, file)) return;
  FEngine->Print(printer, file);
}

void TWebBrowser::SaveAs() {
  // The dialog proposes the page's title as the file name, as a browser's save dialog does.
  std::string name = LocationName();
  for (char& c : name)
    if (std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) c = '_';
  if (!name.empty()) name += ".htm";
  if (!WebDialogs().SaveAs(name)) return;
  FEngine->SaveAs(name);
}
