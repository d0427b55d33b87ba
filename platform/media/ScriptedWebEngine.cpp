#include "platform/media/ScriptedWebEngine.h"

void TScriptedWebEngine::Commit(const std::string& URL, int Index, bool Push) {
  if (Push) {
    FHistory.resize(static_cast<size_t>(FCurrent + 1));
    FHistory.push_back(URL);
    Index = static_cast<int>(FHistory.size()) - 1;
  }
  FCurrent = Index;
  UpdateCommandState();
  FPending = true;
  if (CompleteAtOnce) Complete();
}

void TScriptedWebEngine::Complete() {
  if (!FPending) return;
  FPending = false;
  const std::string url = LocationURL();
  if (Events.NavigateComplete) Events.NavigateComplete(url);
  if (Events.TitleChange) Events.TitleChange(TitleOf(url));
}

void TScriptedWebEngine::RequestFullScreen(bool On) {
  if (Events.FullScreen) Events.FullScreen(On);
}

void TScriptedWebEngine::UpdateCommandState() {
  ReportCommandState(CanGoBack(), CanGoForward());
}

std::string TScriptedWebEngine::TitleOf(const std::string& URL) const {
  const auto it = Titles.find(URL);
  return it == Titles.end() ? URL : it->second;
}

void TScriptedWebEngine::Navigate(const std::string& URL) {
  Calls.push_back("Navigate " + URL);
  Commit(URL, 0, true);
}

void TScriptedWebEngine::GoBack() {
  Calls.emplace_back("GoBack");
  if (!CanGoBack()) throw EOleException("Unbekannter Fehler");
  Commit(FHistory[static_cast<size_t>(FCurrent - 1)], FCurrent - 1, false);
}

void TScriptedWebEngine::GoForward() {
  Calls.emplace_back("GoForward");
  if (!CanGoForward()) throw EOleException("Unbekannter Fehler");
  Commit(FHistory[static_cast<size_t>(FCurrent + 1)], FCurrent + 1, false);
}

void TScriptedWebEngine::Reload() {
  Calls.emplace_back("Reload");
  if (FCurrent < 0) return;
  FPending = true;
  if (CompleteAtOnce) Complete();
}

void TScriptedWebEngine::Stop() {
  Calls.emplace_back("Stop");
  FPending = false;
}

bool TScriptedWebEngine::CanGoBack() const {
  return FCurrent > 0;
}

bool TScriptedWebEngine::CanGoForward() const {
  return FCurrent >= 0 && FCurrent + 1 < static_cast<int>(FHistory.size());
}

std::string TScriptedWebEngine::LocationURL() const {
  return FCurrent < 0 ? std::string() : FHistory[static_cast<size_t>(FCurrent)];
}

std::string TScriptedWebEngine::LocationName() const {
  return FCurrent < 0 ? std::string() : TitleOf(LocationURL());
}

void TScriptedWebEngine::FailFile(const std::string& FileName) {
  throw EWebFileError("Die Seite konnte nicht in die Datei \"" + FileName +
                      "\" geschrieben werden: No space left on device");
}

void TScriptedWebEngine::Print(const std::string& PrinterName, const std::string& FileName) {
  Calls.push_back("Print " + PrinterName + "|" + FileName);
  if (FailNextJob) {
    FailNextJob = false;
    if (!FileName.empty()) FailFile(FileName);
    throw EOleException("Die Seite konnte nicht gedruckt werden");
  }
}

void TScriptedWebEngine::SaveAs(const std::string& FileName) {
  Calls.push_back("SaveAs " + FileName);
  if (FailNextJob) {
    FailNextJob = false;
    FailFile(FileName);
  }
}
