// The web view's engine as the web-browser control drives it: navigation, history, printing, saving
// and the events it raises. The control holds one; tests may give it a scripted stand-in.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/rtl/SysUtils.h"

// Raised when the web view cannot do what it was asked (going back without history, a failed save).
PELLORAN_EXCEPTION(EOleException, Exception)
// Raised when the page cannot be saved or printed into a file; the message names the file and why. The
// file and what belongs to it are then as they were.
PELLORAN_EXCEPTION(EWebFileError, EOleException)

// Command numbers of the command-state event.
constexpr int CSC_NAVIGATEFORWARD = 1;
constexpr int CSC_NAVIGATEBACK = 2;

class TWebEngine {
 public:
  // What the engine reports, on the user-interface thread; the control assigns these.
  struct TEvents {
    // Going forward (1) or back (2) became possible or impossible.
    std::function<void(int Command, bool Enable)> CommandStateChange;
    std::function<void(const std::string& Text)> TitleChange;
    // The main frame now shows URL: a navigation of it was committed (a new document, also the error
    // page of a failed load, or a move within the page: an anchor, a script's history entry). Once per
    // navigation, before the page's parts have arrived; a navigation that keeps the address (a reload)
    // reports when it has finished loading.
    std::function<void(const std::string& URL)> NavigateComplete;
    // The page asked for full screen (true) or left it (false).
    std::function<void(bool FullScreen)> FullScreen;
    // The user clicked a link to URL, whose scheme the view does not show itself: true hands it to the
    // program the desktop has for it. Unassigned, nothing is started.
    std::function<bool(const std::string& Scheme, const std::string& URL)> ConfirmExternal;
  };

  virtual ~TWebEngine() = default;

  // Loads a complete URL (see WebAddressToURL).
  virtual void Navigate(const std::string& URL) = 0;
  virtual void GoBack() = 0;
  virtual void GoForward() = 0;
  virtual void Reload() = 0;
  virtual void Stop() = 0;
  [[nodiscard]] virtual bool CanGoBack() const = 0;
  [[nodiscard]] virtual bool CanGoForward() const = 0;
  [[nodiscard]] virtual std::string LocationURL() const = 0;
  [[nodiscard]] virtual std::string LocationName() const = 0;
  // Prints the page to the named printer (empty: the default one) or, with FileName, into that PDF
  // file; returns when done. Raises EOleException on failure, EWebFileError when the file cannot be
  // written (an old file stays as it was).
  virtual void Print(const std::string& PrinterName, const std::string& FileName) = 0;
  // Saves the page as FileName (".mht"/".mhtml": one archive file; otherwise the page with its
  // resources in the folder "<name>_files" beside it); returns when done. The file and the folder are
  // replaced only when the whole page has been written; raises EWebFileError otherwise (the old ones stay
  // as they were).
  virtual void SaveAs(const std::string& FileName) = 0;
  // The platform widget that shows the page, or null for an engine without one.
  [[nodiscard]] virtual void* NativeWidget() = 0;

  TEvents Events;

 protected:
  // Fires the command-state event for each direction whose state differs from the one last reported,
  // forward first.
  void ReportCommandState(bool CanBack, bool CanForward);
  // A fresh view can go neither way; the next report compares against that.
  void ResetCommandState() { FReportedBack = FReportedForward = false; }

 private:
  bool FReportedBack = false;
  bool FReportedForward = false;
};

// Creates the engine for new web views: the QtWebEngine one unless a factory is installed.
[[nodiscard]] std::unique_ptr<TWebEngine> CreateWebEngine();
// Installs the factory CreateWebEngine uses (null: the real engine) and returns the previous one.
using TWebEngineFactory = std::function<std::unique_ptr<TWebEngine>()>;
TWebEngineFactory SetWebEngineFactory(TWebEngineFactory Factory);

// Turns what a user or a project names into a URL: a URL with a scheme stays as it is; an existing
// file or folder (names resolved as for every opened path, relative to the current directory), a
// path starting with "/", "./" or "../", or one with backslashes, becomes a file URL; anything else
// is a host name with an optional path and gets "http://". Blanks around it are dropped; nothing at
// all is "about:blank".
[[nodiscard]] std::string WebAddressToURL(const std::string& Address);

// Asks the user how to print or where to save a page. Tests replace it.
class TWebDialogProvider {
 public:
  virtual ~TWebDialogProvider() = default;
  // The print dialog: true to print, to PrinterName (empty: the default printer) or, when FileName
  // is set, into that PDF file.
  virtual bool Print(std::string& PrinterName, std::string& FileName) = 0;
  // The save-as dialog, proposing FileName: true with the chosen name.
  virtual bool SaveAs(std::string& FileName) = 0;
};
// Installs the provider (null: the window layer's dialogs, through its dialog provider) and returns the
// previous one.
std::unique_ptr<TWebDialogProvider> SetWebDialogProvider(std::unique_ptr<TWebDialogProvider> Provider);
[[nodiscard]] TWebDialogProvider& WebDialogs();
