// Platform-private: the web-view engine on QtWebEngine. Only platform/media sources and tests that drive
// widgets include this header; nothing above the platform layer may see Qt.
//
// A local page loads its parts (pictures, style sheets, scripts, frames, its scripts' requests) only
// from its own folder and below it; no page may read the user's other files. A link to a scheme the view
// does not show itself starts another program only when the user clicked it and ConfirmExternal agrees.
// A page's request for a new window (a link with a target, a script's window.open) is followed in the
// view itself, under the same rules as a link.
#pragma once

#include <QObject>
#include <QPointer>
#include <QUrl>
#include <memory>

#include "platform/media/WebEngine.h"

class QWebEngineLoadingInfo;
class QWebEngineView;
class TReadRule;

class TQtWebEngine final : public QObject, public TWebEngine {
 public:
  TQtWebEngine();
  ~TQtWebEngine() override;

  // The view, created with the engine. It belongs to whatever widget it is placed in; when that takes
  // it down, the next use creates a fresh one (with an empty history).
  [[nodiscard]] QWebEngineView* View();

  void Navigate(const std::string& URL) override;
  void GoBack() override;
  void GoForward() override;
  void Reload() override;
  void Stop() override;
  [[nodiscard]] bool CanGoBack() const override;
  [[nodiscard]] bool CanGoForward() const override;
  [[nodiscard]] std::string LocationURL() const override;
  [[nodiscard]] std::string LocationName() const override;
  void Print(const std::string& PrinterName, const std::string& FileName) override;
  void SaveAs(const std::string& FileName) override;
  [[nodiscard]] void* NativeWidget() override;

 private:
  void CreateView();
  // Prints the page into the PDF file Path (absolute).
  void PrintToFile(const QString& Path);
  // Reports the view's history directions (see ReportCommandState).
  void UpdateCommandState();
  // The page asks whether to follow a navigation to Url; false for a scheme that another program
  // handles, which the user is asked about once the engine's call has returned.
  bool NavigationRequested(const QUrl& Url);
  // Asks the user (through ConfirmExternal) whether to hand Url to the desktop, after the engine's call.
  void OfferExternal(const QUrl& Url);
  // The page asks for a new window showing Url: the view follows it as a navigation of its own, so the
  // page's rules and history hold; a refused or external address leaves the current page as it is.
  void NewWindowRequested(const QUrl& Url, bool UserInitiated);
  // True when a new-window request for Url becomes a navigation of the view: web addresses, and local
  // files from a local page; not an empty window, script, data or other engine-internal addresses.
  [[nodiscard]] bool MayOpenInView(const QUrl& Url) const;
  // The main frame shows a new page or address: command states, then NavigateComplete.
  void ReportNavigation();
  // A main-frame load started or ended.
  void LoadingChanged(const QWebEngineLoadingInfo& Info);

  QPointer<QWebEngineView> FView;
  // The main-frame load under way (empty: none), and whether it has shown its address yet.
  QUrl FLoadingURL;
  bool FLoadCommitted = false;
  // What the view's documents may read of the local files; its request filter holds it too.
  std::shared_ptr<TReadRule> FReadRule;
};
