// Platform-private: the web-view engine on QtWebEngine. Only platform/media sources and tests that drive
// widgets include this header; nothing above the platform layer may see Qt.
#pragma once

#include <QObject>
#include <QPointer>

#include "platform/media/WebEngine.h"

class QWebEngineView;

class TQtWebEngine final : public QObject, public TWebEngine {
 public:
  TQtWebEngine();
  ~TQtWebEngine() override;

  // The view, created on first use. It belongs to whatever widget it is placed in; when that takes
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
  // Reports the view's history directions (see ReportCommandState).
  void UpdateCommandState();

  QPointer<QWebEngineView> FView;
};
