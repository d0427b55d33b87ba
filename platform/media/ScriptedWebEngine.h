// A web-view engine without a web view, for logic tests: it keeps a history of addresses, raises the
// events the real engine raises in the same order (command states, navigation complete, title) and
// records every call it receives.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/media/WebEngine.h"

class TScriptedWebEngine final : public TWebEngine {
 public:
  // Every call in order: "Navigate <url>", "GoBack", "GoForward", "Reload", "Stop",
  // "Print <printer>|<file>", "SaveAs <file>".
  std::vector<std::string> Calls;
  // Titles of the pages the script knows; any other page is titled with its URL.
  std::map<std::string, std::string> Titles;
  // When false, a navigation stays pending (its page not shown yet) until Complete is called.
  bool CompleteAtOnce = true;
  // When set, the next Print or SaveAs raises EOleException (EWebFileError for a file).
  bool FailNextJob = false;

  // Finishes the pending navigation, if any.
  void Complete();
  // The page asks for full screen, or leaves it.
  void RequestFullScreen(bool On);

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
  [[noreturn]] static void FailFile(const std::string& FileName);
  void SaveAs(const std::string& FileName) override;
  [[nodiscard]] void* NativeWidget() override { return nullptr; }

 private:
  // Moves to history entry Index (replacing what lies after the current one when Push).
  void Commit(const std::string& URL, int Index, bool Push);
  void UpdateCommandState();
  [[nodiscard]] std::string TitleOf(const std::string& URL) const;

  std::vector<std::string> FHistory;
  int FCurrent = -1;
  bool FPending = false;
};
