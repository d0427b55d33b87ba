// Platform-private: the Qt widgets behind windowed controls. Only platform/ui sources and tests that drive
// widgets include this header; nothing above the platform layer may see Qt.
#pragma once

#include <QPointer>
#include <QRegion>
#include <QWidget>

#include "platform/ui/Controls.h"

class QMouseEvent;
class QKeyEvent;
class QApplication;
class TCustomForm;

// The widget of a windowed control: forwards painting, mouse, keys, focus, moves and closing to it.
class THostWidget : public QWidget {
 public:
  THostWidget(TWinControl* Control, QWidget* Parent);
  ~THostWidget() override;
  TWinControl* Control;
  // The last press (global position) that reached any host, for moving and sizing by the mouse.
  static QPoint LastPressGlobal;

 protected:
  bool event(QEvent* Event) override;
  void paintEvent(QPaintEvent* Event) override;
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseDoubleClickEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;
  void keyReleaseEvent(QKeyEvent* Event) override;
  void moveEvent(QMoveEvent* Event) override;
  void resizeEvent(QResizeEvent* Event) override;
  void closeEvent(QCloseEvent* Event) override;
  void contextMenuEvent(QContextMenuEvent* Event) override;
  bool focusNextPrevChild(bool Next) override;
};

// What a windowed control keeps of its window.
struct TWidgetHost {
  ~TWidgetHost();
  QPointer<THostWidget> Widget;
  // A standard Qt control (line edit, combo box...) that fills the host widget, or null.
  QPointer<QWidget> Inner;
  // The filter that routes the standard control's input through the control.
  QPointer<QObject> InnerFilter;
  // The window region, owned by the window (null: rectangular).
  HRGN Region = nullptr;
  // Whether a point of the window lies in its region. The window system shows a window whose region is
  // empty whole, as one without a region, and so the whole of it takes the mouse.
  [[nodiscard]] bool InRegion(int X, int Y) const;
};

// What a graphic control that lies above its parent's windowed controls keeps of its window there.
struct TGraphicOverlay {
  ~TGraphicOverlay();
  QPointer<QWidget> Widget;
};
// Creates, places, shapes, shows or removes the window of a graphic control that lies above its
// parent's windowed controls, as its AboveWindows, parent, bounds, outline and visibility say.
void UpdateOverlay(TGraphicControl* Control);
// Puts the windows of Parent's graphic controls that lie above the windowed controls back on top (after
// a windowed child was created or raised).
void RaiseOverlays(TWinControl* Parent);

// The widget of a windowed control, creating its window when needed.
[[nodiscard]] QWidget* WidgetOf(TWinControl* Control);
// The windowed control whose window is Widget or contains it, or null.
[[nodiscard]] TWinControl* ControlOfWidget(const QWidget* Widget);
// Places a standard Qt control inside the control's window; it fills the client area, and its mouse
// and key input goes through the control's handlers first.
void SetInnerWidget(TWinControl* Control, QWidget* Inner);
// Mouse input that reached Receiver (the control's window or a widget inside it): targets, capture,
// enter/leave, clicks and pop-up menus. Over is the graphic control whose own window above the windowed
// controls (Receiver) the mouse is in, or null.
void DispatchMouseEvent(TWinControl* Win, QWidget* Receiver, QMouseEvent* Event, TControl* Over = nullptr);
// Key and mouse conversions.
[[nodiscard]] TShiftState ShiftStateOf(Qt::KeyboardModifiers Modifiers, Qt::MouseButtons Buttons);
[[nodiscard]] WORD VirtualKeyOf(int QtKey, const QString& Text);
[[nodiscard]] int QtKeyOf(WORD VirtualKey);
[[nodiscard]] Qt::CursorShape CursorShapeOf(TCursor Cursor);
// Makes every pop-up window of the application take the mouse from the control that holds it.
void WatchPopups(QApplication* App);
// Moves (Size false) or sizes a form with the mouse from the last press until the left button is
// released.
void StartWindowDrag(TCustomForm* Form, bool Size);
// Ends a move or size of Form that this program follows (the form goes).
void EndWindowDrag(const TCustomForm* Form);
// Reports an exception raised by code that Qt called, through the application's exception report.
void HandleUiException(TObject* Sender);
// Runs F; an exception is reported through the application and goes no further.
template <typename F>
void Guarded(TObject* Sender, F&& f) {
  try {
    f();
  } catch (...) {
    HandleUiException(Sender);
  }
}
// Updates which control is under the mouse and sends mouse enter/leave (DESIGN: follows the window
// region, suppressed for other controls while one has captured the mouse, never for disabled controls).
void UpdateMouseControl(TControl* Control);
// Forgets a control that is being destroyed (mouse, capture and focus tracking).
void ForgetControl(TControl* Control);
// A key message that went through TApplication::OnMessage; returns true when it was marked handled.
bool FilterKeyMessage(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);
// Hands out the posted messages now (the window system's input waits behind them, as posted messages
// come before input).
void FlushPostedMessages();
// A real key event that reached a host widget: messages, then the key handlers.
bool HostKeyEvent(TWinControl* Control, QKeyEvent* Event);
// The character a posted WM_KEYDOWN produces when the message loop translates it (0 for none).
[[nodiscard]] char TranslateKeyMessage(UINT Msg, WPARAM WParam);
